#pragma once

#include "platform/base/KeyValueObserving.h"
#include "platform/base/Mutex.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::platform {

inline constexpr const char* NSGlobalDomain = "NSGlobalDomain";
inline constexpr const char* NSRegistrationDomain = "NSRegistrationDomain";
inline constexpr const char* UserDefaultsDidChangeNotification =
    "NSUserDefaultsDidChangeNotification";

namespace detail {
class DefaultsDatabase;
}

// The defaults database of one suite (`NSUserDefaults`). A value is searched for in the
// suite's own persistent domain (the app domain), then in the global domain, then in
// the registration domain. Persistent domains are kept one binary property list each
// under `${XDG_CONFIG_HOME:-~/.config}/zestrel/Preferences/<domain>.plist`; changes are
// written at the end of the run-loop turn, at `synchronize()` and at `flushAll()`, and
// whatever is still pending when the process exits or stops in `fatal()`. A write replaces
// the file atomically (through a symbolic link, the file it leads to); loading a domain
// removes the temporary files of writes that died half-way.
//
// Every change made through an object is reported synchronously on the writing thread:
// to key-value observers of the changed keys and by posting
// "NSUserDefaultsDidChangeNotification" (object: the defaults) on the default centre.
// Safe to use from any thread.
class UserDefaults final : public NSObject {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    // The app's own suite; its persistent domain is named after the main bundle.
    static std::shared_ptr<UserDefaults> standard();
    // The shared object of a named suite, or nothing for a name that cannot be one
    // (the global domain, the main bundle's identifier, an empty name or one that is
    // not a plain file name).
    static std::shared_ptr<UserDefaults> suite(std::string_view name);
    // Writes every pending change now; the app calls it when it terminates.
    static void flushAll();
    // How many preference files this process has written.
    static std::uint64_t fileWriteCount();

    UserDefaults(Passkey, std::string domainName,
                 std::shared_ptr<detail::DefaultsDatabase> database);
    ~UserDefaults() override;

    std::string className() const override { return "NSUserDefaults"; }
    // The name of the suite's persistent domain.
    const std::string& domainName() const { return domainName_; }

    // MARK: Reading, with the platform's conversions.

    // The stored value, or absent.
    Value object(std::string_view key) const;
    // A string, or a number's text.
    std::optional<std::string> string(std::string_view key) const;
    // A number truncated, a Boolean as 0 or 1, a string's leading integer; else 0.
    std::int64_t integer(std::string_view key) const;
    // A number, a Boolean as 0 or 1, a string's leading number; else 0.
    double doubleValue(std::string_view key) const;
    // A number that is not zero; a string that starts, after white space, a sign and
    // zeros, with Y, y, T, t or a digit 1 to 9; else false.
    bool boolValue(std::string_view key) const;
    std::optional<Data> data(std::string_view key) const;
    std::optional<Value::Array> array(std::string_view key) const;
    std::optional<Value::Dictionary> dictionary(std::string_view key) const;
    // An array made of strings only.
    std::optional<std::vector<std::string>> stringArray(std::string_view key) const;
    // A stored URL text, or a file URL for a stored path ("~" is the home folder).
    std::optional<URL> url(std::string_view key) const;

    // MARK: Writing (the app domain).

    // An absent value removes the key. A value or a key that a property list cannot hold
    // (a key with a NUL or bytes that are not UTF-8) stops the process ("Attempt to insert
    // non-property list object ..."), and what was set before is still written.
    void setObject(const Value& value, std::string_view key);
    // As `setObject`, except that a URL is kept as its absolute text.
    void set(const Value& value, std::string_view key);
    // Sets `key` (an absent value removes it) only once its domain is stored so: the domain's
    // file is written now, and the change is made, and reported, only when it was. Answers why
    // it could not be, when the domain is as it was, in memory and in its file; later changes
    // are judged on their own. A value or key as `setObject` refuses stops the process.
    std::optional<std::string> store(const Value& value, std::string_view key);
    // Registered defaults stay readable.
    void removeObject(std::string_view key);
    // Removes, one by one, every key that `dictionaryRepresentation()` lists.
    void removeAll();
    // Adds to the registration domain; the latest registration of a key wins.
    void registerDefaults(const Value::Dictionary& defaults);

    // MARK: Domains.

    // Every domain merged in search order.
    Value::Dictionary dictionaryRepresentation() const;
    // Nothing when the domain holds nothing.
    std::optional<Value::Dictionary> persistentDomain(std::string_view name) const;
    void setPersistentDomain(const Value::Dictionary& domain, std::string_view name);
    void removePersistentDomain(std::string_view name);
    // The registration domain under NSRegistrationDomain; empty for any other name.
    Value::Dictionary volatileDomain(std::string_view name) const;
    // Writes pending changes now; false when a file could not be written, or a domain has
    // changes that cannot be kept because its file could not be read. Each failing domain
    // logs one warning until it is written again.
    bool synchronize();
    // Why the suite's own domain could not be written when that was last tried (what a false
    // `synchronize()` means for it); nothing once it was written.
    std::optional<std::string> writeFailure() const;
    // The file its own domain is kept in.
    std::filesystem::path file() const;

    // MARK: Key-value observation of keys.

    KeyValueObservationToken addObserver(std::string keyPath, NSKeyValueObservingOptions options,
                                         KeyValueObserver observer, const void* context = nullptr);
    void removeObserver(KeyValueObservationToken token);
    // How many observers the key has now: what an ended observation must leave behind is
    // none of its own.
    std::size_t observerCount(std::string_view keyPath) const;

private:
    static std::shared_ptr<UserDefaults> make(std::string domainName);
    Value registered(const std::string& key) const;
    // Applies `mutate`, reporting `keys` to their observers, then posts the notification.
    void change(const std::vector<std::string>& keys, const std::function<void()>& mutate);

    const std::string domainName_;
    const std::shared_ptr<detail::DefaultsDatabase> database_;
    mutable Mutex registrationMutex_;
    Value::Dictionary registration_ GUARDED_BY(registrationMutex_);
    KeyValueObserverRegistry observers_;
};

} // namespace zestrel::platform

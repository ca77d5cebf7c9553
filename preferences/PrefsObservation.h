#pragma once

#include "foundation/LifetimeAssociation.h"
#include "platform/base/KeyValueObserving.h"
#include "platform/base/Mutex.h"
#include "platform/base/Value.h"
#include "platform/data/UserDefaults.h"
#include "preferences/Prefs.h"

#include <concepts>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

// Change observation of preference keys. Every face (a callback for one key, one callback
// for several keys, publishers, an async stream) rests on key-value observation of the
// key's name in its suite: notifications arrive synchronously on the thread that wrote the
// value, and every write notifies, also of an equal value.

namespace zestrel::Prefs {

enum class ObservationOption { initial, prior };

// A set of observation options.
class ObservationOptions {
public:
    ObservationOptions() = default;
    ObservationOptions(std::initializer_list<ObservationOption> options) {
        for (ObservationOption option : options) {
            bits_ |= bit(option);
        }
    }
    bool contains(ObservationOption option) const { return (bits_ & bit(option)) != 0; }

    // What is asked of the platform: new and old always; initial wins over prior.
    platform::NSKeyValueObservingOptions keyValueObservingOptions() const;

private:
    static unsigned bit(ObservationOption option) { return 1u << static_cast<unsigned>(option); }
    unsigned bits_ = 0;
};

using IndexSet = std::set<std::uint64_t>;

// A change as the platform reported it; the values are the stored objects.
struct BaseChange {
    platform::NSKeyValueChange kind = platform::NSKeyValueChangeSetting;
    std::optional<IndexSet> indexes;
    bool isPrior = false;
    platform::Value newValue;
    platform::Value oldValue;

    // A dictionary without a kind is a programming error: the process stops.
    static BaseChange fromChangeDictionary(const platform::Value::Dictionary& change);
};

// A change of one key, its values read as the key's type. A value that is missing, NSNull
// or unreadable is the key's default.
template <Storable T> struct KeyChange {
    platform::NSKeyValueChange kind = platform::NSKeyValueChangeSetting;
    std::optional<IndexSet> indexes;
    bool isPrior = false;
    T newValue;
    T oldValue;

    KeyChange(const BaseChange& change, const T& defaultValue)
        : kind(change.kind), indexes(change.indexes), isPrior(change.isPrior),
          newValue(read(change.newValue, defaultValue)),
          oldValue(read(change.oldValue, defaultValue)) {}

    friend bool operator==(const KeyChange& a,
                           const KeyChange& b) requires std::equality_comparable<T> {
        return a.kind == b.kind && a.indexes == b.indexes && a.isPrior == b.isPrior &&
               a.newValue == b.newValue && a.oldValue == b.oldValue;
    }

private:
    static T read(const platform::Value& object, const T& defaultValue) {
        if (object.isAbsent() || object.isNull()) {
            return defaultValue;
        }
        if (auto value = toValue<T>(object)) {
            return std::move(*value);
        }
        return defaultValue;
    }
};

// Runs `body` with notifications of this thread's writes held back from the observers
// (other threads are unaffected). Afterwards the flag is off, whatever it was before.
void performWithUpdatingValuesFlag(const std::function<void()>& body);

namespace detail {
bool isUpdatingValues();
}

} // namespace zestrel::Prefs

namespace zestrel {

// The handle of an observation of preferences.
class PrefsObservation {
public:
    virtual ~PrefsObservation() = default;
    // Stops observing for good; harmless when repeated.
    virtual void invalidate() = 0;
    // Keeps the observation alive as long as `owner` and invalidates it when the owner goes.
    // A later tie replaces this one.
    virtual std::shared_ptr<PrefsObservation>
    tieToLifetime(const std::shared_ptr<platform::NSObject>& owner) = 0;
    // Undoes the tie without invalidating.
    virtual void removeLifetimeTie() = 0;
};

namespace detail {

// The lifetime tie shared by both observations. Ties are made on the main thread (checked), but an
// observation may be invalidated from a writer's thread too, so the handle is locked.
class PrefsLifetimeTie {
public:
    // Cancels a tie already made first: releasing it uncancelled would run its handler and
    // invalidate the observation being tied anew.
    void tie(const std::shared_ptr<platform::NSObject>& owner,
             const std::shared_ptr<PrefsObservation>& observation);
    void cancel();

private:
    platform::Mutex mutex_;
    std::unique_ptr<LifetimeAssociation> association_ GUARDED_BY(mutex_);
};

// What the platform's observers reach: the registrations, the callback, and the ordering of
// an observation's end against deliveries on other threads. The observers hold it weakly and
// never hold the observation, so its release ends it on the releasing thread.
class PrefsObservationCore;

} // namespace detail

class CompositeUserDefaultsKeyObservation;

} // namespace zestrel

namespace zestrel::Prefs {

// One key of one suite; the suite is held weakly. Notifications come on the writing thread;
// once invalidate() or the destructor returns, the callback is neither running on another
// thread nor called again, so what it uses may go. Ending it from inside its own callback is
// allowed; a callback that waits for the thread ending it deadlocks.
class UserDefaultsKeyObservation final : public platform::NSObject, public PrefsObservation {
public:
    using Callback = std::function<void(const BaseChange&)>;

    // Observes nothing until started.
    UserDefaultsKeyObservation(const std::shared_ptr<platform::UserDefaults>& object,
                               std::string key, Callback callback);
    ~UserDefaultsKeyObservation() override;

    std::string className() const override { return "Prefs.UserDefaultsKeyObservation"; }

    // Does nothing once the suite is gone.
    void start(const ObservationOptions& options);
    void invalidate() override;
    std::shared_ptr<PrefsObservation>
    tieToLifetime(const std::shared_ptr<platform::NSObject>& owner) override;
    void removeLifetimeTie() override;

    // One notification of the platform.
    void observeValue(const platform::KeyValueNotification& notification);

    const std::string& key() const { return key_; }

private:
    const std::string key_;
    const std::shared_ptr<zestrel::detail::PrefsObservationCore> core_;
    zestrel::detail::PrefsLifetimeTie lifetimeTie_;
};

// Calls `handler` with each change of `key`, from now on. The caller keeps the observation
// (or ties it to an owner); releasing it ends the observation.
template <Storable T>
std::shared_ptr<UserDefaultsKeyObservation>
observe(const Key<T>& key, const ObservationOptions& options,
        std::function<void(const KeyChange<T>&)> handler) {
    auto observation = std::make_shared<UserDefaultsKeyObservation>(
        key.suite(), key.name(),
        [handler = std::move(handler), defaultValue = key.defaultValue()](
            const BaseChange& change) { handler(KeyChange<T>(change, defaultValue)); });
    observation->start(options);
    return observation;
}

std::shared_ptr<CompositeUserDefaultsKeyObservation>
observeKeys(const std::vector<std::reference_wrapper<const Keys>>& keys,
            const ObservationOptions& options, std::function<void(const BaseChange&)> handler);

} // namespace zestrel::Prefs

namespace zestrel {

// One callback for several keys, possibly of several suites. Ends as the single-key
// observation does.
class CompositeUserDefaultsKeyObservation final : public platform::NSObject,
                                                  public PrefsObservation {
public:
    class SuiteKeyPair {
    public:
        SuiteKeyPair(const std::shared_ptr<platform::UserDefaults>& suite, std::string key)
            : suite(suite), key(std::move(key)) {}
        std::weak_ptr<platform::UserDefaults> suite;
        std::string key;
    };
    using Callback = std::function<void(const Prefs::BaseChange&)>;

    CompositeUserDefaultsKeyObservation(std::vector<SuiteKeyPair> observables, Callback callback);
    ~CompositeUserDefaultsKeyObservation() override;

    std::string className() const override { return "CompositeUserDefaultsKeyObservation"; }

    void start(const Prefs::ObservationOptions& options);
    void invalidate() override;
    std::shared_ptr<PrefsObservation>
    tieToLifetime(const std::shared_ptr<platform::NSObject>& owner) override;
    void removeLifetimeTie() override;

    void observeValue(const platform::KeyValueNotification& notification);

    // Tells this observation's notifications from any other.
    static const void* context();

private:
    const std::shared_ptr<zestrel::detail::PrefsObservationCore> core_;
    zestrel::detail::PrefsLifetimeTie lifetimeTie_;
};

} // namespace zestrel

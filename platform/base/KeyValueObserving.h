#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::platform {

// Options of an observation, combined with `|`.
using NSKeyValueObservingOptions = std::uint64_t;
inline constexpr NSKeyValueObservingOptions NSKeyValueObservingOptionNew = 0x01;
inline constexpr NSKeyValueObservingOptions NSKeyValueObservingOptionOld = 0x02;
inline constexpr NSKeyValueObservingOptions NSKeyValueObservingOptionInitial = 0x04;
inline constexpr NSKeyValueObservingOptions NSKeyValueObservingOptionPrior = 0x08;

// The kind of a change, under NSKeyValueChangeKindKey.
using NSKeyValueChange = std::uint64_t;
inline constexpr NSKeyValueChange NSKeyValueChangeSetting = 1;
inline constexpr NSKeyValueChange NSKeyValueChangeInsertion = 2;
inline constexpr NSKeyValueChange NSKeyValueChangeRemoval = 3;
inline constexpr NSKeyValueChange NSKeyValueChangeReplacement = 4;

// Keys of the change dictionary. A missing value is reported as NSNull.
inline constexpr const char* NSKeyValueChangeKindKey = "kind";
inline constexpr const char* NSKeyValueChangeNewKey = "new";
inline constexpr const char* NSKeyValueChangeOldKey = "old";
inline constexpr const char* NSKeyValueChangeIndexesKey = "indexes";
inline constexpr const char* NSKeyValueChangeNotificationIsPriorKey = "notificationIsPrior";

// What an observer is called with.
struct KeyValueNotification {
    std::string keyPath;
    // The observed object; empty when it is not held by a shared pointer.
    std::shared_ptr<NSObject> object;
    Value::Dictionary change;
    // The context given when the observer was added.
    const void* context = nullptr;
};

using KeyValueObserver = std::function<void(const KeyValueNotification&)>;

// Identifies one added observer; removing it twice is harmless.
struct KeyValueObservationToken {
    std::uint64_t id = 0;
    bool operator==(const KeyValueObservationToken&) const = default;
};

// The observers of one object's keys. The observed object owns one, answers the
// current value of a key through `valueForKey`, and brackets every change of a key with
// `performChange`. Observers are called synchronously on the changing thread, never
// under the registry's lock, so they may add or remove observers (themselves too).
class KeyValueObserverRegistry {
public:
    using ValueForKey = std::function<Value(const std::string& key)>;

    // `owner` is the observed object (passed to observers); `valueForKey` reads a key.
    KeyValueObserverRegistry(const NSObject& owner, ValueForKey valueForKey);
    KeyValueObserverRegistry(const KeyValueObserverRegistry&) = delete;
    KeyValueObserverRegistry& operator=(const KeyValueObserverRegistry&) = delete;

    // With the initial option the observer is called once before this returns (new
    // value only, when asked for). The token removes it.
    KeyValueObservationToken addObserver(std::string keyPath, NSKeyValueObservingOptions options,
                                         KeyValueObserver observer, const void* context = nullptr);
    // An observer removed while a change is being delivered is not called afterwards.
    void removeObserver(KeyValueObservationToken token);
    bool hasObservers(std::string_view keyPath) const;
    std::size_t observerCount() const;
    std::size_t observerCount(std::string_view keyPath) const;

    // Tells the observers of `keys` about a change made by `mutate`: prior
    // notifications (old value) before it, the ordinary ones (old and new) after it.
    // The keys' observers are those registered when the change starts.
    void performChange(const std::vector<std::string>& keys, const std::function<void()>& mutate);

private:
    struct Entry;
    std::vector<std::shared_ptr<Entry>> entriesFor(const std::string& key) const;
    void deliver(const Entry& entry, const std::string& key, Value::Dictionary change) const;

    const NSObject& owner_;
    ValueForKey valueForKey_;
    mutable Mutex mutex_;
    std::vector<std::shared_ptr<Entry>> entries_ GUARDED_BY(mutex_);
    std::uint64_t nextId_ GUARDED_BY(mutex_) = 1;
};

} // namespace zestrel::platform

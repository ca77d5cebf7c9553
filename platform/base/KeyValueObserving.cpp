#include "platform/base/KeyValueObserving.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessTeardown.h"

#include <algorithm>
#include <atomic>

namespace zestrel::platform {

struct KeyValueObserverRegistry::Entry {
    std::uint64_t id = 0;
    std::string keyPath;
    NSKeyValueObservingOptions options = 0;
    KeyValueObserver observer;
    const void* context = nullptr;
    std::atomic<bool> active{true};

    bool wants(NSKeyValueObservingOptions option) const { return (options & option) != 0; }
};

namespace {

Value reported(const Value& value) {
    return value.isAbsent() ? Value::null() : value;
}

} // namespace

KeyValueObserverRegistry::KeyValueObserverRegistry(const NSObject& owner, ValueForKey valueForKey)
    : owner_(owner), valueForKey_(std::move(valueForKey)) {}

KeyValueObservationToken KeyValueObserverRegistry::addObserver(std::string keyPath,
                                                               NSKeyValueObservingOptions options,
                                                               KeyValueObserver observer,
                                                               const void* context) {
    auto entry = std::make_shared<Entry>();
    entry->keyPath = std::move(keyPath);
    entry->options = options;
    entry->observer = std::move(observer);
    entry->context = context;
    if (ProcessTeardown::hasEnded()) {
        return KeyValueObservationToken{}; // an ended process observes nothing
    }
    {
        MutexLock lock(mutex_);
        entry->id = nextId_++;
        entries_.push_back(entry);
    }
    if (entry->wants(NSKeyValueObservingOptionInitial)) {
        Value::Dictionary change{{NSKeyValueChangeKindKey, Value(NSKeyValueChangeSetting)}};
        if (entry->wants(NSKeyValueObservingOptionNew)) {
            change[NSKeyValueChangeNewKey] = reported(valueForKey_(entry->keyPath));
        }
        deliver(*entry, entry->keyPath, std::move(change));
    }
    return KeyValueObservationToken{entry->id};
}

void KeyValueObserverRegistry::removeObserver(KeyValueObservationToken token) {
    MutexLock lock(mutex_);
    const auto found = std::find_if(entries_.begin(), entries_.end(),
                                    [&](const auto& entry) { return entry->id == token.id; });
    if (found != entries_.end()) {
        (*found)->active = false;
        entries_.erase(found);
    }
}

bool KeyValueObserverRegistry::hasObservers(std::string_view keyPath) const {
    MutexLock lock(mutex_);
    return std::any_of(entries_.begin(), entries_.end(),
                       [&](const auto& entry) { return entry->keyPath == keyPath; });
}

std::size_t KeyValueObserverRegistry::observerCount() const {
    MutexLock lock(mutex_);
    return entries_.size();
}

std::size_t KeyValueObserverRegistry::observerCount(std::string_view keyPath) const {
    MutexLock lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(entries_.begin(), entries_.end(),
                      [&](const auto& entry) { return entry->keyPath == keyPath; }));
}

std::vector<std::shared_ptr<KeyValueObserverRegistry::Entry>>
KeyValueObserverRegistry::entriesFor(const std::string& key) const {
    MutexLock lock(mutex_);
    std::vector<std::shared_ptr<Entry>> found;
    for (const auto& entry : entries_) {
        if (entry->keyPath == key) {
            found.push_back(entry);
        }
    }
    return found;
}

void KeyValueObserverRegistry::deliver(const Entry& entry, const std::string& key,
                                       Value::Dictionary change) const {
    // Every observer is the process's: an ended one is told nothing.
    if (!entry.active || ProcessTeardown::hasEnded()) {
        return;
    }
    KeyValueNotification notification{
        key, std::const_pointer_cast<NSObject>(owner_.weak_from_this().lock()), std::move(change),
        entry.context};
    // The machine's changes (the desktop's frontmost application) call into the process here.
    ProcessTeardown::callIn([&] { entry.observer(notification); });
}

void KeyValueObserverRegistry::performChange(const std::vector<std::string>& keys,
                                             const std::function<void()>& mutate) {
    struct Pending {
        const std::string* key;
        std::vector<std::shared_ptr<Entry>> entries;
        Value oldValue;
    };
    std::vector<Pending> pending;
    for (const auto& key : keys) {
        auto entries = entriesFor(key);
        if (entries.empty()) {
            continue;
        }
        const bool wantsOld = std::any_of(entries.begin(), entries.end(), [](const auto& entry) {
            return entry->wants(NSKeyValueObservingOptionOld);
        });
        pending.push_back({&key, std::move(entries), wantsOld ? valueForKey_(key) : Value()});
    }

    for (const auto& item : pending) {
        for (const auto& entry : item.entries) {
            if (!entry->wants(NSKeyValueObservingOptionPrior)) {
                continue;
            }
            Value::Dictionary change{{NSKeyValueChangeKindKey, Value(NSKeyValueChangeSetting)},
                                     {NSKeyValueChangeNotificationIsPriorKey, Value(true)}};
            if (entry->wants(NSKeyValueObservingOptionOld)) {
                change[NSKeyValueChangeOldKey] = reported(item.oldValue);
            }
            deliver(*entry, *item.key, std::move(change));
        }
    }

    mutate();

    for (const auto& item : pending) {
        const bool wantsNew =
            std::any_of(item.entries.begin(), item.entries.end(), [](const auto& entry) {
                return entry->wants(NSKeyValueObservingOptionNew);
            });
        const Value newValue = wantsNew ? valueForKey_(*item.key) : Value();
        for (const auto& entry : item.entries) {
            Value::Dictionary change{{NSKeyValueChangeKindKey, Value(NSKeyValueChangeSetting)}};
            if (entry->wants(NSKeyValueObservingOptionNew)) {
                change[NSKeyValueChangeNewKey] = reported(newValue);
            }
            if (entry->wants(NSKeyValueObservingOptionOld)) {
                change[NSKeyValueChangeOldKey] = reported(item.oldValue);
            }
            deliver(*entry, *item.key, std::move(change));
        }
    }
}

} // namespace zestrel::platform

#include "platform/base/NSCache.h"
#include "platform/base/Mutex.h"

namespace zestrel::platform {

std::string NSCache::name() const {
    MutexLock lock(mutex_);
    return name_;
}

void NSCache::setName(std::string name) {
    MutexLock lock(mutex_);
    name_ = std::move(name);
}

std::int64_t NSCache::totalCostLimit() const {
    MutexLock lock(mutex_);
    return totalCostLimit_;
}

void NSCache::setTotalCostLimit(std::int64_t limit) {
    std::vector<Entry> released;
    MutexLock lock(mutex_);
    totalCostLimit_ = limit;
    evictLocked(released);
}

std::int64_t NSCache::countLimit() const {
    MutexLock lock(mutex_);
    return countLimit_;
}

void NSCache::setCountLimit(std::int64_t limit) {
    std::vector<Entry> released;
    MutexLock lock(mutex_);
    countLimit_ = limit;
    evictLocked(released);
}

NSCache::Entries::iterator NSCache::findLocked(const NSObject& key) const {
    auto [first, last] = index_.equal_range(key.hash());
    for (auto it = first; it != last; ++it) {
        if (it->second->key->isEqual(key)) {
            return it->second;
        }
    }
    return entries_.end();
}

// Entries leave the lock's reach before they are destroyed (see `released`), so an
// object's destructor may use the cache.
void NSCache::eraseLocked(Entries::iterator entry, std::vector<Entry>& released) {
    auto [first, last] = index_.equal_range(entry->key->hash());
    for (auto it = first; it != last; ++it) {
        if (it->second == entry) {
            index_.erase(it);
            break;
        }
    }
    totalCost_ -= entry->cost;
    released.push_back(std::move(*entry));
    entries_.erase(entry);
}

void NSCache::evictLocked(std::vector<Entry>& released) {
    while (!entries_.empty()) {
        const bool overCount =
            countLimit_ > 0 && static_cast<std::int64_t>(entries_.size()) > countLimit_;
        const bool overCost = totalCostLimit_ > 0 && totalCost_ > totalCostLimit_;
        if (!overCount && !overCost) {
            return;
        }
        eraseLocked(entries_.begin(), released);
    }
}

std::shared_ptr<NSObject> NSCache::objectForKey(const std::shared_ptr<NSObject>& key) const {
    if (!key) {
        return nullptr;
    }
    MutexLock lock(mutex_);
    auto entry = findLocked(*key);
    return entry == entries_.end() ? nullptr : entry->object;
}

void NSCache::setObject(std::shared_ptr<NSObject> object, std::shared_ptr<NSObject> key,
                        std::int64_t cost) {
    if (!key) {
        return;
    }
    if (!object) {
        removeObjectForKey(key);
        return;
    }
    std::vector<Entry> released;
    MutexLock lock(mutex_);
    if (auto existing = findLocked(*key); existing != entries_.end()) {
        eraseLocked(existing, released);
    }
    const std::size_t hash = key->hash();
    entries_.push_back(Entry{std::move(key), std::move(object), cost});
    index_.emplace(hash, std::prev(entries_.end()));
    totalCost_ += cost;
    evictLocked(released);
}

void NSCache::removeObjectForKey(const std::shared_ptr<NSObject>& key) {
    if (!key) {
        return;
    }
    std::vector<Entry> released;
    MutexLock lock(mutex_);
    if (auto existing = findLocked(*key); existing != entries_.end()) {
        eraseLocked(existing, released);
    }
}

void NSCache::removeAllObjects() {
    Entries released;
    MutexLock lock(mutex_);
    index_.clear();
    totalCost_ = 0;
    released.swap(entries_);
}

} // namespace zestrel::platform

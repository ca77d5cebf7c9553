#pragma once

#include "platform/base/Mutex.h"
#include "platform/base/Value.h"

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace zestrel::platform {

// A thread-safe cache of objects by key object. Keys match by `isEqual` within their
// `hash`. When the count or the total cost goes over a limit (0 means none), the entries
// added longest ago are evicted first.
class NSCache : public NSObject {
public:
    NSCache() = default;
    std::string className() const override { return "NSCache"; }

    std::string name() const;
    void setName(std::string name);
    std::int64_t totalCostLimit() const;
    void setTotalCostLimit(std::int64_t limit);
    std::int64_t countLimit() const;
    void setCountLimit(std::int64_t limit);

    std::shared_ptr<NSObject> objectForKey(const std::shared_ptr<NSObject>& key) const;
    void setObject(std::shared_ptr<NSObject> object, std::shared_ptr<NSObject> key,
                   std::int64_t cost = 0);
    void removeObjectForKey(const std::shared_ptr<NSObject>& key);
    void removeAllObjects();

private:
    struct Entry {
        std::shared_ptr<NSObject> key;
        std::shared_ptr<NSObject> object;
        std::int64_t cost = 0;
    };
    using Entries = std::list<Entry>;

    Entries::iterator findLocked(const NSObject& key) const REQUIRES(mutex_);
    void eraseLocked(Entries::iterator entry, std::vector<Entry>& released) REQUIRES(mutex_);
    void evictLocked(std::vector<Entry>& released) REQUIRES(mutex_);

    mutable Mutex mutex_;
    std::string name_ GUARDED_BY(mutex_);
    std::int64_t totalCostLimit_ GUARDED_BY(mutex_) = 0;
    std::int64_t countLimit_ GUARDED_BY(mutex_) = 0;
    std::int64_t totalCost_ GUARDED_BY(mutex_) = 0;
    // Oldest first; the index finds entries by key hash.
    mutable Entries entries_ GUARDED_BY(mutex_);
    std::unordered_multimap<std::size_t, Entries::iterator> index_ GUARDED_BY(mutex_);
};

} // namespace zestrel::platform

#include "foundation/NSCacheCategory.h"

#include "platform/base/ProcessLocal.h"

namespace zestrel {

namespace {

struct SharedCache {
    std::shared_ptr<platform::NSCache> cache = std::make_shared<platform::NSCache>();
};

platform::ProcessLocal<SharedCache>& sharedCacheLocal() {
    static platform::ProcessLocal<SharedCache> local;
    return local;
}

} // namespace

std::shared_ptr<platform::NSCache> sharedCache() {
    return sharedCacheLocal()->cache;
}

std::shared_ptr<platform::NSCache> makeCache(std::string name, std::int64_t totalCostLimit,
                                             std::int64_t countLimit) {
    auto cache = std::make_shared<platform::NSCache>();
    cache->setName(std::move(name));
    cache->setTotalCostLimit(totalCostLimit);
    cache->setCountLimit(countLimit);
    return cache;
}

std::shared_ptr<platform::NSObject>
objectForKeyedSubscript(const platform::NSCache& cache,
                        const std::shared_ptr<platform::NSObject>& key) {
    return cache.objectForKey(key);
}

void setObjectForKeyedSubscript(platform::NSCache& cache,
                                std::shared_ptr<platform::NSObject> object,
                                std::shared_ptr<platform::NSObject> key) {
    if (object) {
        cache.setObject(std::move(object), std::move(key));
    } else {
        cache.removeObjectForKey(key);
    }
}

} // namespace zestrel

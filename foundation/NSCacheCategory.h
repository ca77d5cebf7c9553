#pragma once

#include "platform/base/NSCache.h"

#include <cstdint>
#include <memory>
#include <string>

namespace zestrel {

// One cache for the whole process, created on first use.
std::shared_ptr<platform::NSCache> sharedCache();

// A cache with that name, total cost limit and count limit.
std::shared_ptr<platform::NSCache> makeCache(std::string name, std::int64_t totalCostLimit,
                                             std::int64_t countLimit);

// Keyed-subscript access: `objectForKey:`, and `setObject:forKey:` or, for no object,
// `removeObjectForKey:`.
std::shared_ptr<platform::NSObject>
objectForKeyedSubscript(const platform::NSCache& cache,
                        const std::shared_ptr<platform::NSObject>& key);
void setObjectForKeyedSubscript(platform::NSCache& cache,
                                std::shared_ptr<platform::NSObject> object,
                                std::shared_ptr<platform::NSObject> key);

} // namespace zestrel

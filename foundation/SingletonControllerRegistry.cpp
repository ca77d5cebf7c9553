#include "foundation/SingletonControllerRegistry.h"

#include "platform/base/ProcessLocal.h"

namespace zestrel {

std::shared_ptr<platform::NSObject>
SingletonControllerRegistry::controller(const HashableType& type) const {
    platform::MutexLock lock(mutex_);
    auto found = controllers_.find(type);
    return found == controllers_.end() ? nullptr : found->second;
}

void SingletonControllerRegistry::set(const HashableType& type,
                                      std::shared_ptr<platform::NSObject> controller) {
    platform::MutexLock lock(mutex_);
    controllers_.insert_or_assign(type, std::move(controller));
}

void SingletonControllerRegistry::remove(const HashableType& type) {
    platform::MutexLock lock(mutex_);
    controllers_.erase(type);
}

SingletonControllerRegistry& SingletonControllerRegistry::shared() {
    static auto* const local = new platform::ProcessLocal<SingletonControllerRegistry>;
    return local->get();
}

} // namespace zestrel

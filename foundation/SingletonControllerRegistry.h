#pragma once

#include "foundation/AggregateHashable.h"
#include "platform/base/Mutex.h"
#include "platform/base/Value.h"

#include <memory>
#include <unordered_map>

namespace zestrel {

// The one live window controller of each singleton controller class, by the class.
class SingletonControllerRegistry final {
public:
    std::shared_ptr<platform::NSObject> controller(const HashableType& type) const;
    void set(const HashableType& type, std::shared_ptr<platform::NSObject> controller);
    void remove(const HashableType& type);

    // The process's registry, empty on first use.
    static SingletonControllerRegistry& shared();

private:
    mutable platform::Mutex mutex_;
    std::unordered_map<HashableType, std::shared_ptr<platform::NSObject>>
        controllers_ GUARDED_BY(mutex_);
};

} // namespace zestrel

#pragma once

#include "foundation/AggregateHashable.h"
#include "platform/base/Value.h"

#include <memory>
#include <mutex>
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
    mutable std::mutex mutex_;
    std::unordered_map<HashableType, std::shared_ptr<platform::NSObject>> controllers_;
};

} // namespace zestrel

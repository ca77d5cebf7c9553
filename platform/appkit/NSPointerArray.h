#pragma once

#include "platform/base/Value.h"

#include <memory>
#include <vector>

namespace zestrel::platform {

// An ordered list of weakly held objects, as the platform's private lists keep them.
class NSPointerArray final : public NSObject {
public:
    std::string className() const override { return "NSPointerArray"; }
    void addPointer(const std::shared_ptr<NSObject>& object) { pointers_.push_back(object); }
    // The objects still alive, in order.
    std::vector<std::shared_ptr<NSObject>> allObjects() const {
        std::vector<std::shared_ptr<NSObject>> objects;
        for (const auto& pointer : pointers_) {
            if (auto object = pointer.lock()) {
                objects.push_back(std::move(object));
            }
        }
        return objects;
    }

private:
    std::vector<std::weak_ptr<NSObject>> pointers_;
};

} // namespace zestrel::platform

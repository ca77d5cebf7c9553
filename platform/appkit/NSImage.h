#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/Value.h"

#include <memory>
#include <optional>
#include <string>

namespace zestrel::platform {

// An image as our code handles one: nothing is drawn, so it is its name (a named image or
// a system symbol) and its size.
class NSImage final : public NSObject {
public:
    explicit NSImage(std::string name, CGSize size = {}) : name_(std::move(name)), size_(size) {}

    // A system symbol ("exclamationmark.triangle"); nothing when the name is empty.
    static std::shared_ptr<NSImage> systemSymbol(std::string name) {
        if (name.empty()) {
            return nullptr;
        }
        return std::make_shared<NSImage>(std::move(name), CGSize{16, 16});
    }

    const std::string& name() const { return name_; }
    CGSize size() const { return size_; }
    void setSize(CGSize size) { size_ = size; }

    std::string className() const override { return "NSImage"; }
    std::string describe() const override { return "<NSImage " + name_ + ">"; }

private:
    std::string name_;
    CGSize size_;
};

} // namespace zestrel::platform

#pragma once

#include "platform/base/Value.h"

#include <string>
#include <string_view>
#include <utility>

namespace zestrel::platform {

// A way of sharing (mail, messages, AirDrop). Its public face is a title and an image; the
// name that tells services apart is only reachable by key-value coding.
class NSSharingService : public NSObject {
public:
    NSSharingService(std::string name, std::string title)
        : name_(std::move(name)), title_(std::move(title)) {}
    std::string className() const override { return "NSSharingService"; }
    const std::string& title() const { return title_; }

    // "name" and "title" answer their texts; any other key nothing.
    Value valueForKey(std::string_view key) const {
        if (key == "name") {
            return Value(name_);
        }
        if (key == "title") {
            return Value(title_);
        }
        return Value();
    }

private:
    std::string name_;
    std::string title_;
};

} // namespace zestrel::platform

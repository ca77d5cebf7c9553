#pragma once

#include "platform/base/Value.h"

#include <functional>
#include <string>
#include <utility>

namespace zestrel::platform {

// One suggestion of a place search as the user types: equal, and hashed alike, when title
// and subtitle are.
class MKLocalSearchCompletion : public NSObject {
public:
    MKLocalSearchCompletion(std::string title, std::string subtitle)
        : title_(std::move(title)), subtitle_(std::move(subtitle)) {}
    std::string className() const override { return "MKLocalSearchCompletion"; }
    const std::string& title() const { return title_; }
    const std::string& subtitle() const { return subtitle_; }

    bool isEqual(const NSObject& other) const override {
        const auto* completion = dynamic_cast<const MKLocalSearchCompletion*>(&other);
        return completion != nullptr && completion->title_ == title_ &&
               completion->subtitle_ == subtitle_;
    }
    std::size_t hash() const override {
        const std::size_t first = std::hash<std::string>{}(title_);
        return first ^ (std::hash<std::string>{}(subtitle_) + 0x9e3779b97f4a7c15ULL + (first << 6) +
                        (first >> 2));
    }

private:
    std::string title_;
    std::string subtitle_;
};

} // namespace zestrel::platform

#pragma once

#include <string>
#include <utility>

namespace zestrel::platform {

// A time zone, known by its identifier in the time-zone database ("Europe/Paris").
class TimeZone {
public:
    explicit TimeZone(std::string identifier) : identifier_(std::move(identifier)) {}
    const std::string& identifier() const { return identifier_; }
    bool operator==(const TimeZone&) const = default;

private:
    std::string identifier_;
};

} // namespace zestrel::platform

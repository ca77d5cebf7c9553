#pragma once

#include <cstdint>

namespace zestrel {

class Duration;

// The dispatch library's interval: a count in one of four units, or `never`. Our dispatch
// queues take nanoseconds directly, so the type lives here with its conversions. A value made
// by a newer dispatch library may carry a case this code does not know; such a case has no
// length.
class DispatchTimeInterval {
public:
    enum class Case : std::uint8_t { seconds, milliseconds, microseconds, nanoseconds, never };

    // A case and count as the dispatch library hands them over.
    constexpr DispatchTimeInterval(Case kind, std::int64_t count) : kind_(kind), count_(count) {}

    static constexpr DispatchTimeInterval seconds(std::int64_t n) { return {Case::seconds, n}; }
    static constexpr DispatchTimeInterval milliseconds(std::int64_t n) {
        return {Case::milliseconds, n};
    }
    static constexpr DispatchTimeInterval microseconds(std::int64_t n) {
        return {Case::microseconds, n};
    }
    static constexpr DispatchTimeInterval nanoseconds(std::int64_t n) {
        return {Case::nanoseconds, n};
    }
    static constexpr DispatchTimeInterval never() { return {Case::never, 0}; }

    // Always the nanoseconds case: the duration in whole nanoseconds, truncated toward zero and
    // saturated toward its own sign when it does not fit 64 bits.
    explicit DispatchTimeInterval(const Duration& duration);

    constexpr Case kind() const { return kind_; }
    // The count of the unit; 0 for `never`.
    constexpr std::int64_t count() const { return count_; }

    // By case and count.
    friend constexpr bool operator==(const DispatchTimeInterval& a, const DispatchTimeInterval& b) {
        return a.kind_ == b.kind_ && (a.kind_ == Case::never || a.count_ == b.count_);
    }

    // `never` is later than every other interval; the others compare by their length in
    // nanoseconds, so `seconds(1)` and `milliseconds(1000)` are neither less nor greater than
    // each other. A length that overflows 64 bits stops the process.
    friend bool operator<(const DispatchTimeInterval& a, const DispatchTimeInterval& b);
    friend bool operator<=(const DispatchTimeInterval& a, const DispatchTimeInterval& b);
    friend bool operator>(const DispatchTimeInterval& a, const DispatchTimeInterval& b);
    friend bool operator>=(const DispatchTimeInterval& a, const DispatchTimeInterval& b);

private:
    Case kind_;
    std::int64_t count_;
};

} // namespace zestrel

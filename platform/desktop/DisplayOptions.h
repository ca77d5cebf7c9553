#pragma once

#include <atomic>
#include <memory>

namespace zestrel::platform {

// The user's display accommodations in the Accessibility settings of this machine: a
// desktop-level object that outlives the app process. Everything off by default.
class DisplayOptions {
public:
    DisplayOptions() = default;
    DisplayOptions(const DisplayOptions&) = delete;
    DisplayOptions& operator=(const DisplayOptions&) = delete;

    static std::shared_ptr<DisplayOptions> current();
    // nullptr installs a fresh default instance.
    static void setCurrent(std::shared_ptr<DisplayOptions> options);

    // "Reduce motion": animations are to be skipped or made instant.
    bool reduceMotion() const;
    void setReduceMotion(bool reduce);

private:
    std::atomic<bool> reduceMotion_{false};
};

} // namespace zestrel::platform

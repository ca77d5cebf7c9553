#pragma once

#include <functional>
#include <string>

namespace zestrel {

// What these services ask of the application object (`NSApp`) and the launch machinery,
// handed in by the app shell when it starts, so that services need not sit above the
// application kit. Members left empty do nothing (and an empty policy reads as accessory,
// what this menu-bar app runs as). Set once per process; later settings replace earlier ones.
struct ApplicationHooks {
    // NSApplication.activationPolicy: 0 regular, 1 accessory, 2 prohibited.
    std::function<int()> activationPolicy{};
    std::function<void(const std::string& bundleIdentifier)>
        yieldActivationToApplicationWithBundleIdentifier{};
    std::function<void()> activate{};
    // NSApplication.showSettingsWindow().
    std::function<void()> showSettingsWindow{};
};

const ApplicationHooks& applicationHooks();
void setApplicationHooks(ApplicationHooks hooks);

} // namespace zestrel

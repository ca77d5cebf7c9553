#pragma once

#include "platform/desktop/Desktop.h"
#include "platform/desktop/FileManagerApp.h"
#include "platform/testing/TestEnvironment.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace zestrel::platform::testing {

// Virtual key codes of the keys the tests press.
inline constexpr std::uint16_t kVKC = 8;
inline constexpr std::uint16_t kVKV = 9;
inline constexpr std::uint16_t kVKX = 7;

// A test environment on a fresh standard desktop, made current: the Finder running and
// frontmost, this program running, both in the test's HOME. Tests that drive the
// simulated applications or the workspace hold one.
class DesktopEnvironment : public TestEnvironment {
public:
    DesktopEnvironment();
    ~DesktopEnvironment() override;

    Desktop& desktop() { return *desktop_; }
    const std::shared_ptr<Desktop>& desktopPointer() const { return desktop_; }
    // The running Finder's behaviour.
    std::shared_ptr<FileManagerApplication> finder();
    // Launches an installed application (not activating it unless asked) and answers its
    // behaviour as T.
    template <class T>
    std::shared_ptr<T> launch(const std::string& bundleIdentifier, bool activates = false) {
        auto running = desktop_->launch(bundleIdentifier, activates);
        return std::dynamic_pointer_cast<T>(desktop_->application(running->processIdentifier()));
    }

    // A new empty folder under HOME.
    std::filesystem::path makeFolder(const std::string& name);
    // Writes a file (making its folders) and answers its path.
    std::filesystem::path writeFile(const std::filesystem::path& path, const std::string& contents);
    static std::string readFile(const std::filesystem::path& path);

    // Where most cut-and-paste tests start: a folder "Source" holding a.txt ("alpha") and
    // b.txt ("beta"), shown in the Finder with both selected, and an empty folder "Target".
    struct CutScene {
        std::filesystem::path source;
        std::filesystem::path target;
        std::shared_ptr<FileManagerApplication> finder;
    };
    CutScene makeCutScene();

    // Hands a key chord to an application as the end of the key pipeline would.
    void press(const SimulatedApplication& app, std::uint16_t keyCode, NSEvent::ModifierFlags flags,
               const std::string& characters);

private:
    std::shared_ptr<Desktop> desktop_;
};

} // namespace zestrel::platform::testing

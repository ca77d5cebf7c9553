#pragma once

#include "foundation/SimpleOnce.h"
#include "platform/base/Value.h"
#include "platform/desktop/NSWorkspace.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace zestrel {

// An application installed on this machine. Copies share the browser flag, computed on
// first read.
class InstalledApp {
public:
    InstalledApp(std::string bundleIdentifier, std::string name, std::string version,
                 std::string build, platform::URL url);

    std::string bundleIdentifier;
    std::string name;
    std::string version;
    std::string build;
    platform::URL url;

    const platform::URL& id() const { return url; }
    // Whether the application opens web pages ("https:" links).
    bool isBrowser() const;

    // Equal texts and URL, and the same browser flag: a copy, not a namesake.
    bool operator==(const InstalledApp& other) const;

private:
    friend struct std::hash<InstalledApp>;
    std::shared_ptr<SimpleOnce<InstalledApp, bool>> isBrowser_;
};

// The installed application with the bundle identifier. The answer, "none" included, is
// kept for a second: the legacy cut method asks on every cut keystroke.
std::optional<platform::URL> urlForApplication(const platform::NSWorkspace& workspace,
                                               const std::string& bundleIdentifier);
// Its name as the Finder shows it; nothing when it is not installed. Kept for a second.
std::optional<std::string> appName(const platform::NSWorkspace& workspace,
                                   const std::string& bundleIdentifier);

// The application that opens "mailto:" links; Mail when there is none.
platform::URL defaultEmailAppURL(const platform::NSWorkspace& workspace);
// Its bundle identifier; "com.apple.mail" when it cannot be read.
std::string defaultEmailAppBundleIdentifier(const platform::NSWorkspace& workspace);

} // namespace zestrel

template <> struct std::hash<zestrel::InstalledApp> {
    std::size_t operator()(const zestrel::InstalledApp& app) const noexcept {
        const std::size_t url = std::hash<std::string>()(app.url.absoluteString());
        return url ^ (std::hash<const void*>()(app.isBrowser_.get()) * 31);
    }
};

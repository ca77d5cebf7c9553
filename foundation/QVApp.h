#pragma once

#include "platform/base/Value.h"

#include <cstdint>
#include <memory>
#include <string>

// Facts about the running app: its identity, where it runs and how it was started.
// Each is computed on first read and constant for the rest of the process (until
// `platform::resetProcess()`); references stay valid until then. A missing or malformed
// identity value in the main bundle is a build fault and stops the process.
namespace zestrel::platform {
class NSMenu;
}

namespace zestrel::QVApp {

// The main bundle's identifier ("com.quorvik.Zestrel").
const std::string& id();
const std::string& name();
// "CFBundleShortVersionString".
const std::string& version();
// "CFBundleVersion" as a decimal integer; an optional sign and leading zeros are accepted.
std::int64_t build();
// "1.2 (34)".
const std::string& versionWithBuild();
const platform::URL& url();

// The environment has APP_SANDBOX_CONTAINER_ID.
bool isSandboxed();
// The bundle runs from a randomised read-only copy: its path has "/AppTranslocation/".
bool isTranslocated();
// Never on this platform.
bool isiOSAppOnMac();
// Exactly Shift+Option held when first asked (during launch): start without touching
// the launch bookkeeping.
bool isSafeLaunch();

// The application's main menu as it stood when first read; may be absent.
std::shared_ptr<platform::NSMenu> initialMainMenu();

} // namespace zestrel::QVApp

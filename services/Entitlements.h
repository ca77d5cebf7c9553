#pragma once

#include "platform/base/Bundle.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What the app may do under the sandbox and the hardened runtime, from the code signatures
// of its bundle and of its running task.
namespace zestrel {

// The entitlement keys the kit knows; each one's raw value is its key text.
enum class Entitlement {
    securityAppSandbox,
    securityAutomationAppleEvents,
    securityNetworkClient,
    securityNetworkServer,
    securityDeviceBluetooth,
    securityDeviceCamera,
    securityDeviceMicrophone,
    securityDevicePrint,
    securityDeviceUSB,
    securityPersonalInformationAddressbook,
    securityPersonalInformationCalendars,
    securityPersonalInformationLocation,
    securityAssetsMoviesReadOnly,
    securityAssetsMoviesReadWrite,
    securityAssetsMusicReadOnly,
    securityAssetsMusicReadWrite,
    securityAssetsPicturesReadOnly,
    securityAssetsPicturesReadWrite,
    securityFilesDownloadsReadOnly,
    securityFilesDownloadsReadWrite,
    securityFilesUserSelectedReadOnly,
    securityFilesUserSelectedReadWrite,
};

// "com.apple.security.app-sandbox".
std::string_view rawValue(Entitlement entitlement);
// The case with exactly that key text; nothing for any other text.
std::optional<Entitlement> entitlementFromRawValue(std::string_view rawValue);

// Whether the list holds the entitlement: an element with the same key text.
bool contains(const std::vector<Entitlement>& list, Entitlement entitlement);

// The keys switched on (value 1 or true) in the signature of the bundle's code, in the
// signature's order. Empty when the code is missing or unsigned, or when any entitlement
// value is not a whole number.
std::vector<std::string> entitlementKeys(const platform::Bundle& bundle);
// The known entitlements among those keys, in their order; "get-task-allow" never shows.
std::vector<Entitlement> entitlements(const platform::Bundle& bundle);
// Whether the entitlement is in force. In a sandboxed process the running task answers,
// whatever the bundle. Otherwise, with the hardened runtime, only the protected resources
// (Apple events, camera, microphone, contacts, calendars, location, writing pictures) need
// the entitlement in the bundle's signature; without it everything is allowed.
bool hasEntitlement(const platform::Bundle& bundle, Entitlement entitlement);

namespace QVApp {
// The running task's sandbox entitlement is the Boolean true.
bool isSandboxedByEntitlement();
} // namespace QVApp

} // namespace zestrel

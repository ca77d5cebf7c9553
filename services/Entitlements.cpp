#include "services/Entitlements.h"

#include "foundation/SmallUtilities.h"
#include "platform/desktop/CodeSigning.h"
#include "services/QVProcessID.h"

#include <algorithm>
#include <array>
#include <utility>

namespace zestrel {
namespace {

namespace pf = platform;

constexpr std::array<std::pair<Entitlement, std::string_view>, 22> kKeys{{
    {Entitlement::securityAppSandbox, "com.apple.security.app-sandbox"},
    {Entitlement::securityAutomationAppleEvents, "com.apple.security.automation.apple-events"},
    {Entitlement::securityNetworkClient, "com.apple.security.network.client"},
    {Entitlement::securityNetworkServer, "com.apple.security.network.server"},
    {Entitlement::securityDeviceBluetooth, "com.apple.security.device.bluetooth"},
    {Entitlement::securityDeviceCamera, "com.apple.security.device.camera"},
    {Entitlement::securityDeviceMicrophone, "com.apple.security.device.microphone"},
    {Entitlement::securityDevicePrint, "com.apple.security.device.print"},
    {Entitlement::securityDeviceUSB, "com.apple.security.device.usb"},
    {Entitlement::securityPersonalInformationAddressbook,
     "com.apple.security.personal-information.addressbook"},
    {Entitlement::securityPersonalInformationCalendars,
     "com.apple.security.personal-information.calendars"},
    {Entitlement::securityPersonalInformationLocation,
     "com.apple.security.personal-information.location"},
    {Entitlement::securityAssetsMoviesReadOnly, "com.apple.security.assets.movies.read-only"},
    {Entitlement::securityAssetsMoviesReadWrite, "com.apple.security.assets.movies.read-write"},
    {Entitlement::securityAssetsMusicReadOnly, "com.apple.security.assets.music.read-only"},
    {Entitlement::securityAssetsMusicReadWrite, "com.apple.security.assets.music.read-write"},
    {Entitlement::securityAssetsPicturesReadOnly, "com.apple.security.assets.pictures.read-only"},
    {Entitlement::securityAssetsPicturesReadWrite, "com.apple.security.assets.pictures.read-write"},
    {Entitlement::securityFilesDownloadsReadOnly, "com.apple.security.files.downloads.read-only"},
    {Entitlement::securityFilesDownloadsReadWrite, "com.apple.security.files.downloads.read-write"},
    {Entitlement::securityFilesUserSelectedReadOnly,
     "com.apple.security.files.user-selected.read-only"},
    {Entitlement::securityFilesUserSelectedReadWrite,
     "com.apple.security.files.user-selected.read-write"},
}};

// The resources the hardened runtime guards even outside the sandbox.
bool needsSignatureUnderHardenedRuntime(Entitlement entitlement) {
    switch (entitlement) {
    case Entitlement::securityAutomationAppleEvents:
    case Entitlement::securityDeviceCamera:
    case Entitlement::securityDeviceMicrophone:
    case Entitlement::securityPersonalInformationAddressbook:
    case Entitlement::securityPersonalInformationCalendars:
    case Entitlement::securityPersonalInformationLocation:
    case Entitlement::securityAssetsPicturesReadWrite:
        return true;
    default:
        return false;
    }
}

bool taskEntitlementIsTrue(std::string_view key) {
    const pf::SecTaskRef task = pf::SecTaskCreateFromSelf();
    if (!task) {
        return false;
    }
    const pf::Value value = pf::SecTaskCopyValueForEntitlement(task, std::string(key));
    return value.kind() == pf::Value::Kind::boolean && value.asBool() == true;
}

} // namespace

std::string_view rawValue(Entitlement entitlement) {
    for (const auto& [candidate, key] : kKeys) {
        if (candidate == entitlement) {
            return key;
        }
    }
    return {};
}

std::optional<Entitlement> entitlementFromRawValue(std::string_view rawValue) {
    for (const auto& [candidate, key] : kKeys) {
        if (key == rawValue) {
            return candidate;
        }
    }
    return std::nullopt;
}

std::vector<std::string> entitlementKeys(const pf::Bundle& bundle) {
    pf::SecStaticCodeRef code;
    if (pf::SecStaticCodeCreateWithPath(bundle.bundleURL(), pf::kSecCSDefaultFlags, code) !=
            pf::errSecSuccess ||
        !code) {
        return {};
    }
    pf::Value information;
    if (pf::SecCodeCopySigningInformation(code, pf::kSecCSDefaultFlags, information) !=
        pf::errSecSuccess) {
        return {};
    }
    const auto* signing = information.flattened().asDictionary();
    if (!signing) {
        return {};
    }
    const auto found = signing->find(pf::kSecCodeInfoEntitlementsDict);
    if (found == signing->end()) {
        return {};
    }
    const auto* dictionary = found->second.flattened().asDictionary();
    if (!dictionary) {
        return {};
    }
    std::vector<std::string> keys;
    for (const auto& [key, value] : *dictionary) {
        // One value that is not a whole number (an application identifier, say) means the
        // table is not a table of switches at all.
        std::optional<std::int64_t> number;
        if (value.kind() == pf::Value::Kind::boolean) {
            number = *value.asBool() ? 1 : 0;
        } else if (value.kind() == pf::Value::Kind::integer ||
                   value.kind() == pf::Value::Kind::unsignedInteger ||
                   value.kind() == pf::Value::Kind::real) {
            number = value.asInt64();
        }
        if (!number) {
            return {};
        }
        if (*number == 1) {
            keys.push_back(key);
        }
    }
    return keys;
}

std::vector<Entitlement> entitlements(const pf::Bundle& bundle) {
    std::vector<Entitlement> known;
    for (const auto& key : withoutFirstGetTaskAllow(entitlementKeys(bundle))) {
        if (const auto entitlement = entitlementFromRawValue(key)) {
            known.push_back(*entitlement);
        }
    }
    return known;
}

bool contains(const std::vector<Entitlement>& list, Entitlement entitlement) {
    return std::any_of(list.begin(), list.end(), [entitlement](Entitlement element) {
        return rawValue(element) == rawValue(entitlement);
    });
}

bool hasEntitlement(const pf::Bundle& bundle, Entitlement entitlement) {
    if (QVApp::isSandboxedByEntitlement()) {
        return taskEntitlementIsTrue(rawValue(entitlement));
    }
    if (hasHardenedRuntime(bundle)) {
        if (!needsSignatureUnderHardenedRuntime(entitlement)) {
            return true;
        }
        const auto signedOnes = entitlements(bundle);
        return contains(signedOnes, entitlement);
    }
    return true;
}

bool QVApp::isSandboxedByEntitlement() {
    return taskEntitlementIsTrue(rawValue(Entitlement::securityAppSandbox));
}

} // namespace zestrel

#pragma once

#include "platform/base/Value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace zestrel::platform {

using OSStatus = std::int32_t;

inline constexpr OSStatus errSecSuccess = 0;
inline constexpr OSStatus errSecCSUnsigned = -67062;
inline constexpr OSStatus errSecCSNoSuchCode = -67065;
inline constexpr OSStatus errSecCSStaticCodeNotFound = -67068;

// Keys of the signing information and of guest attributes.
inline constexpr const char* kSecCodeInfoIdentifier = "identifier";
inline constexpr const char* kSecCodeInfoPList = "info-plist";
inline constexpr const char* kSecCodeInfoMainExecutable = "main-executable";
inline constexpr const char* kSecCodeInfoFlags = "flags";
inline constexpr const char* kSecCodeInfoEntitlementsDict = "entitlements-dict";
inline constexpr const char* kSecGuestAttributePid = "pid";

using SecCSFlags = std::uint32_t;
inline constexpr SecCSFlags kSecCSDefaultFlags = 0;

// A running process's code and the code on disk it runs: here both are the bundle's
// path, with the process identifier for running code.
struct SecStaticCode {
    URL bundleURL;
    // Set for the code of a running process, whose own information may differ.
    std::optional<int> processIdentifier;
};
struct SecCode {
    int processIdentifier = -1;
    URL bundleURL;
};
struct SecTask {
    int processIdentifier = -1;
};
using SecStaticCodeRef = std::shared_ptr<const SecStaticCode>;
using SecCodeRef = std::shared_ptr<const SecCode>;
using SecTaskRef = std::shared_ptr<const SecTask>;

// The running code of the process named by kSecGuestAttributePid; errSecCSNoSuchCode
// when no such process runs on the desktop.
OSStatus SecCodeCopyGuestWithAttributes(const SecCodeRef& host, const Value::Dictionary& attributes,
                                        SecCSFlags flags, SecCodeRef& guest);
OSStatus SecCodeCopyStaticCode(const SecCodeRef& code, SecCSFlags flags,
                               SecStaticCodeRef& staticCode);
// errSecCSStaticCodeNotFound when no application is installed at the path.
OSStatus SecStaticCodeCreateWithPath(const URL& path, SecCSFlags flags,
                                     SecStaticCodeRef& staticCode);
// The signing information the desktop holds for the code; errSecCSUnsigned for code that
// was never signed (the default).
OSStatus SecCodeCopySigningInformation(const SecStaticCodeRef& code, SecCSFlags flags,
                                       Value& information);
// The system's message for a status; nothing for a status it does not know.
std::optional<std::string> SecCopyErrorMessageString(OSStatus status);

// How this program is signed on the simulated machine.
struct OwnSignature {
    // Adds the "com.apple.security.app-sandbox" entitlement, switched on.
    bool sandboxed = false;
    // Sets the hardened-runtime bit (0x10000) in the signature's flags.
    bool hardenedRuntime = false;
    // Further entitlements of the signature, by key.
    Value::Dictionary entitlements;
};
// Signs this program's bundle (the main bundle's URL) and, while it runs, its process on the
// current desktop; until then the program is unsigned.
void signOwnApplication(const OwnSignature& signature);

// This program's task.
SecTaskRef SecTaskCreateFromSelf();
// The task's entitlement value: from the entitlements of this program's signature.
Value SecTaskCopyValueForEntitlement(const SecTaskRef& task, const std::string& entitlement);

} // namespace zestrel::platform

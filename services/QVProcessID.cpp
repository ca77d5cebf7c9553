#include "services/QVProcessID.h"

#include "foundation/ErrorReporter.h"

#include <limits>

namespace zestrel {

namespace {

namespace pf = platform;

// What the Security framework answers when the signing information is not a dictionary.
constexpr pf::OSStatus kErrSecInternalComponent = -4960;
constexpr std::uint32_t kSecCodeSignatureRuntime = 0x10000;

const std::string* textEntry(const pf::Value::Dictionary& dictionary, const char* key) {
    auto it = dictionary.find(key);
    return it == dictionary.end() ? nullptr : it->second.asString();
}

} // namespace

pf::Error SecError::make(pf::OSStatus osStatus) {
    return pf::Error::make<SecError>(osStatus);
}

std::string SecError::describe() const {
    return "SecError(osStatus: " + std::to_string(osStatus) + ")";
}

std::optional<std::string> SecError::errorDescription() const {
    if (auto message = pf::SecCopyErrorMessageString(osStatus)) {
        return message;
    }
    return "Unknown error: " + std::to_string(osStatus);
}

pf::SecStaticCodeRef QVProcessID::staticCode() const {
    pf::SecCodeRef code;
    const pf::Value::Dictionary attributes{{pf::kSecGuestAttributePid, pf::Value(rawValue)}};
    if (auto status =
            pf::SecCodeCopyGuestWithAttributes(nullptr, attributes, pf::kSecCSDefaultFlags, code);
        status != pf::errSecSuccess) {
        throw SecError::make(status);
    }
    pf::SecStaticCodeRef staticCode;
    if (auto status = pf::SecCodeCopyStaticCode(code, pf::kSecCSDefaultFlags, staticCode);
        status != pf::errSecSuccess) {
        throw SecError::make(status);
    }
    return staticCode;
}

std::optional<QVProcessID::BundleInfo> QVProcessID::bundleInfo() const {
    const auto code = staticCode();
    pf::Value information;
    if (auto status = pf::SecCodeCopySigningInformation(code, pf::kSecCSDefaultFlags, information);
        status != pf::errSecSuccess) {
        throw SecError::make(status);
    }
    const auto* dictionary = information.flattened().asDictionary();
    if (!dictionary) {
        auto error = SecError::make(kErrSecInternalComponent);
        reportError(error);
        throw error;
    }
    const auto plistEntry = dictionary->find(pf::kSecCodeInfoPList);
    const auto executableEntry = dictionary->find(pf::kSecCodeInfoMainExecutable);
    if (plistEntry == dictionary->end() || executableEntry == dictionary->end()) {
        return std::nullopt;
    }
    const auto* plist = plistEntry->second.asDictionary();
    const auto* executable = executableEntry->second.asURL();
    if (!plist || !executable) {
        return std::nullopt;
    }
    const auto* identifier = textEntry(*plist, pf::kCFBundleIdentifierKey);
    const auto* name = textEntry(*plist, pf::kCFBundleNameKey);
    const auto* version = textEntry(*plist, pf::kCFBundleVersionKey);
    if (!identifier || !name || !version) {
        return std::nullopt;
    }
    const auto* displayName = textEntry(*plist, "CFBundleDisplayName");
    const auto* signedIdentifier = textEntry(*dictionary, pf::kSecCodeInfoIdentifier);
    return BundleInfo{
        *identifier, *name,
        *version,    displayName ? *displayName : *name,
        *executable, signedIdentifier ? std::optional(*signedIdentifier) : std::nullopt};
}

bool hasHardenedRuntime(const pf::Bundle& bundle) {
    pf::SecStaticCodeRef code;
    if (pf::SecStaticCodeCreateWithPath(bundle.bundleURL(), pf::kSecCSDefaultFlags, code) !=
        pf::errSecSuccess) {
        return false;
    }
    pf::Value information;
    if (pf::SecCodeCopySigningInformation(code, pf::kSecCSDefaultFlags, information) !=
        pf::errSecSuccess) {
        return false;
    }
    const auto* dictionary = information.flattened().asDictionary();
    if (!dictionary) {
        return false;
    }
    const auto flagsEntry = dictionary->find(pf::kSecCodeInfoFlags);
    if (flagsEntry == dictionary->end()) {
        return false;
    }
    const auto flags = flagsEntry->second.asUInt64();
    if (!flags || *flags > std::numeric_limits<std::uint32_t>::max()) {
        return false;
    }
    return (*flags & kSecCodeSignatureRuntime) != 0;
}

} // namespace zestrel

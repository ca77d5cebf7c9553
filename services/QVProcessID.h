#pragma once

#include "platform/base/Bundle.h"
#include "platform/base/Error.h"
#include "platform/base/Value.h"
#include "platform/desktop/CodeSigning.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zestrel {

// A failed Security call: its status, described by the system's message for it.
class SecError final : public platform::ErrorBody {
public:
    explicit SecError(platform::OSStatus osStatus) : osStatus(osStatus) {}
    static platform::Error make(platform::OSStatus osStatus);

    const platform::OSStatus osStatus;

    std::string typeName() const override { return "Zestrel.SecError"; }
    // "SecError(osStatus: -67062)".
    std::string describe() const override;
    bool isLocalizedError() const override { return true; }
    // The system's message, or "Unknown error: " and the status when it has none.
    std::optional<std::string> errorDescription() const override;
};

// A process on this machine, by its identifier, and its code-signing identity.
struct QVProcessID {
    // What the signature of a process's code says about its bundle.
    struct BundleInfo {
        std::string identifier;
        std::string name;
        std::string version;
        // "CFBundleDisplayName" when the bundle has one, else `name`.
        std::string displayName;
        // The main executable, as the signing information gives it.
        platform::URL url;
        // The identifier the code was signed with.
        std::optional<std::string> signedIdentifier;

        bool operator==(const BundleInfo&) const = default;
    };

    std::int32_t rawValue = 0;

    // The code on disk the process runs. Throws `SecError` when the process or its code
    // cannot be found.
    platform::SecStaticCodeRef staticCode() const;
    // Nothing when the signature lacks the bundle's identifier, name, version or main
    // executable. Throws `SecError` when the code cannot be read or is not signed.
    std::optional<BundleInfo> bundleInfo() const;

    bool operator==(const QVProcessID&) const = default;
};

// Whether the bundle's code is signed with the hardened runtime; false when it cannot be
// read or is not signed.
bool hasHardenedRuntime(const platform::Bundle& bundle);

} // namespace zestrel

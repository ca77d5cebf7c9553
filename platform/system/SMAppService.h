#pragma once

#include "platform/base/Error.h"

#include <filesystem>
#include <optional>

namespace zestrel::platform {

inline constexpr const char* SMAppServiceErrorDomain = "SMAppServiceErrorDomain";
inline constexpr std::int64_t kSMErrorInternalFailure = 2;
inline constexpr std::int64_t kSMErrorJobNotFound = 6;
inline constexpr std::int64_t kSMErrorAlreadyRegistered = 12;

// The app's login item: an XDG autostart entry, `com.quorvik.Zestrel.desktop` (after the
// main bundle's identifier) in `${XDG_CONFIG_HOME:-~/.config}/autostart/`, which starts
// the running executable. The entry is the state: it outlives the process.
class SMAppService {
public:
    enum class Status : int { notRegistered = 0, enabled = 1, requiresApproval = 2, notFound = 3 };
    enum class Operation { registering, unregistering };

    static SMAppService mainAppService();

    Status status() const;
    // Writes the entry; kSMErrorAlreadyRegistered when it exists.
    void registerAndReturnError() const;
    // Removes the entry; kSMErrorJobNotFound when there is none.
    void unregisterAndReturnError() const;

    std::filesystem::path autostartEntryPath() const;

    // The next call of `operation` in this process throws `error` and changes nothing.
    static void failNext(Operation operation, Error error);
};

} // namespace zestrel::platform

#include "platform/data/UserDirectories.h"

#include <cstdlib>

namespace zestrel::platform {
namespace {

std::filesystem::path absoluteFromEnvironment(const char* name,
                                              const std::filesystem::path& fallback) {
    const char* value = std::getenv(name);
    return value != nullptr && *value == '/' ? std::filesystem::path(value) : fallback;
}

} // namespace

std::filesystem::path homeDirectory() {
    const char* home = std::getenv("HOME");
    return home != nullptr && *home != '\0' ? std::filesystem::path(home)
                                            : std::filesystem::path("/");
}

std::filesystem::path diagnosticReportsDirectory() {
    return homeDirectory() / "Library" / "Logs" / "DiagnosticReports";
}

std::filesystem::path xdgConfigHome() {
    return absoluteFromEnvironment("XDG_CONFIG_HOME", homeDirectory() / ".config");
}

std::filesystem::path xdgDataHome() {
    return absoluteFromEnvironment("XDG_DATA_HOME", homeDirectory() / ".local" / "share");
}

std::filesystem::path xdgCacheHome() {
    return absoluteFromEnvironment("XDG_CACHE_HOME", homeDirectory() / ".cache");
}

std::filesystem::path temporaryDirectory() {
    if (homeDirectory() == "/") {
        return absoluteFromEnvironment("TMPDIR", "/tmp");
    }
    return xdgCacheHome() / "tmp";
}

} // namespace zestrel::platform

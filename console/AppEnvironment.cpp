#include "console/AppEnvironment.h"

#include <cstdlib>

namespace zestrel::console {

void installAppEnvironment(const std::filesystem::path& root) {
    const auto home = root / "home";
    const auto defaults = root / "defaults";
    std::filesystem::create_directories(home);
    std::filesystem::create_directories(defaults);
    // Each folder is named outright: one left to its default under the person's HOME would
    // follow it only as long as nobody had set the variable.
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", defaults.c_str(), 1);
    setenv("XDG_DATA_HOME", (home / ".local" / "share").c_str(), 1);
    setenv("XDG_CACHE_HOME", (home / ".cache").c_str(), 1);
}

} // namespace zestrel::console

#pragma once

#include <filesystem>

namespace zestrel::console {

// Makes the app's own folders under `root` and points this process's environment at them:
// HOME is `root`/home, where the app's Application Support and Trash (XDG_DATA_HOME,
// ~/.local/share), its Caches and temporary items (XDG_CACHE_HOME, ~/.cache) and its
// Documents lie, and XDG_CONFIG_HOME is `root`/defaults, the simulated machine's defaults
// database. Whatever the person's environment held, nothing the app writes then lands in the
// person's own folders. The program and the fuzz target that runs its scripts both set up a
// session this way, so the two cannot drift apart.
//
// Call it before the app runs and while no other thread reads the environment. Throws
// `std::filesystem::filesystem_error` when a folder cannot be made.
void installAppEnvironment(const std::filesystem::path& root);

} // namespace zestrel::console

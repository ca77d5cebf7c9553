#pragma once

#include <filesystem>

namespace zestrel::platform {

// The user's home folder: $HOME, or "/" when it is unset or empty.
std::filesystem::path homeDirectory();
// The XDG base directories: the variable when it holds an absolute path (relative values are
// ignored, as the base-directory rules ask), else the default under the home folder.
std::filesystem::path xdgConfigHome(); // ~/.config
std::filesystem::path xdgDataHome();   // ~/.local/share
std::filesystem::path xdgCacheHome();  // ~/.cache
// The machine's folder of crash reports ("/Library/Logs/DiagnosticReports" on the real
// system): Library/Logs/DiagnosticReports of the home folder, where the simulated machine keeps
// them.
std::filesystem::path diagnosticReportsDirectory();
// The user's own temporary folder, `tmp` in the cache folder. The system keeps one per user
// (and sets $TMPDIR to it, not the other way round), so the simulated user's temporary items
// stay in their home, never in the machine's shared folder. Without a home folder, $TMPDIR
// when it holds an absolute path, else /tmp.
std::filesystem::path temporaryDirectory();

} // namespace zestrel::platform

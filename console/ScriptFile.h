#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace zestrel::console {

// Far more than any script needs, so a disk image given by mistake is refused instead of
// read until memory runs out.
inline constexpr std::size_t kLargestScript = 16 * 1024 * 1024;

// The whole text of a script file. Throws `CommandError` saying why for what is not a
// regular file (a folder, a named pipe, a device, a socket: refused at once, without
// waiting on it), a file that cannot be opened or read (with the system's reason), or one
// over `kLargestScript`.
std::string readScriptFile(const std::filesystem::path& path);

} // namespace zestrel::console

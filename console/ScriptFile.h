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

// Refuses a standard input `fd` (read in place of a script) that is a folder, as a script
// of that kind is refused: throws `CommandError` saying so. Every other kind (a terminal, a
// pipe, a file, a device) is read as it comes.
void refuseFolderInput(int fd);

} // namespace zestrel::console

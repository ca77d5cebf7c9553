#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace zestrel::console {

// Far more than any script needs, so `/dev/zero` or a disk image given by mistake is
// refused instead of read until memory runs out.
inline constexpr std::size_t kLargestScript = 16 * 1024 * 1024;

// The whole text of a script file. Throws `CommandError` saying why for a folder, a file
// that cannot be opened or read (with the system's reason), or one over `kLargestScript`.
std::string readScriptFile(const std::filesystem::path& path);

} // namespace zestrel::console

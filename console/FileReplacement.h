#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace zestrel::console {

// Puts a new file holding `contents` in the place of `file`, a path inside `folder` (both
// without links, as resolved when the command was checked). The folders on the way are
// walked from `folder` without following a link, made where missing, and the new file is
// made beside the path and renamed onto the path itself: a link put there since the check is
// replaced, never written through, and a file hard-linked elsewhere keeps what it held. A
// new file gets the mode any new file gets (0666 less the umask); one that replaces a file
// keeps that file's mode. Answers the failure's text, or nothing when it is written.
std::optional<std::string> replaceFileWithin(const std::filesystem::path& folder,
                                             const std::filesystem::path& file,
                                             std::string_view contents);

} // namespace zestrel::console

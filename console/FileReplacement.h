#pragma once

#include "platform/data/FolderWalk.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace zestrel::console {

// Puts a new file holding `contents` in the place of `file`, a path inside `folder` (both
// without links, as resolved when the command was checked). The folders on the way are
// walked from `folder` without following a link, made where missing, and the new file is
// made beside the path and renamed onto the path itself: what is there, a link too, is
// replaced, never written through, and a file hard-linked elsewhere keeps what it held. A
// new file gets the mode any new file gets (0666 less the umask); one that replaces a file
// keeps that file's mode. What a write of the same name left when it was killed goes first,
// as `stale` found it in the file's folder. Answers the failure's text, or nothing when it is
// written.
std::optional<std::string> replaceFileWithin(const std::filesystem::path& folder,
                                             const std::filesystem::path& file,
                                             std::string_view contents,
                                             platform::StaleTemporaryFiles& stale);

// Makes the folders of `path`, a path inside `folder` or `folder` itself (both without links,
// as resolved when the command was checked), walked from `folder` the same way: a link put
// in place of a folder since the check is not followed ("Not a directory") and nothing is
// made outside; each missing folder gets 0777 less the umask. A folder already at `path` is
// fine (`made`, when given, then says false); anything else there is "File exists". Answers
// the failure's text, or nothing.
std::optional<std::string> makeFoldersWithin(const std::filesystem::path& folder,
                                             const std::filesystem::path& path,
                                             bool* made = nullptr);

// The items of the folder `path`, a path inside `folder` or `folder` itself (both without
// links, as resolved when the command was checked), reached from `folder` the same way: a link
// put in place of a folder since the check is not followed, so nothing outside is read.
// Answers the failure's errno (ENOTDIR for a link, a file or a missing folder), or 0.
int listFolderWithin(const std::filesystem::path& folder, const std::filesystem::path& path,
                     std::vector<platform::FolderEntry>& entries);

// What is at `path`, a path inside `folder` as it is named (its links not resolved), walked
// from `folder` one name at a time, a `..` back out of the folder walked into last; the last
// name is looked at itself, never followed if a link: nothing only when a name on the way, or
// the last, is not there (ENOENT). Answers the failure's errno (ENOTDIR for a file or a link
// on the way, or a path leading out of `folder`), or 0.
int lookWithin(const std::filesystem::path& folder, const std::filesystem::path& path,
               std::optional<mode_t>& found);

} // namespace zestrel::console

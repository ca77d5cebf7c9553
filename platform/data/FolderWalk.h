#pragma once

#include "platform/data/FileSafety.h"

#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace zestrel::platform {

// Work on files through open folders, one name at a time and never through a symbolic link:
// a link put in the place of a folder on the way, or of the item itself, is refused where it
// stands, so nothing is read or done anywhere else. Each answers an error number, 0 when it
// succeeded.

// Opens the folder `relative` below the open folder `from` (an absolute path: from the root),
// each name opened without following a link: a link on the way is ELOOP, a file ENOTDIR, and
// a `..` EINVAL. With `make`, each missing folder is made on the way (0777 less the umask).
// An empty `relative` or "." opens `from` itself again.
int openFolderBelow(int from, const std::filesystem::path& relative, FileDescriptor& folder,
                    bool make = false);

// An item of a folder as it is, a link not followed.
struct FolderEntry {
    std::string name;
    mode_t mode = 0;
    std::string linkTarget; // for a link

    bool isFolder() const { return S_ISDIR(mode); }
    bool isLink() const { return S_ISLNK(mode); }
};

// The entries of the open folder `folder`, without "." and "..", in no set order. One that
// goes while it is listed is left out.
int listFolder(int folder, std::vector<FolderEntry>& entries);

// Copies the item `name` of the open folder `from` into the open folder `to` under the same
// name: a file with its bytes and permissions, a link as a link, a folder with everything in
// it; anything else is ENOTSUP. Never replaces what is there (EEXIST). On a failure whatever
// it made is removed again.
int copyItemAt(int from, const std::string& name, int to);

// Moves the item: renamed where that needs no replacing (EEXIST when something is there);
// onto another file system, copied and then removed.
int moveItemAt(int from, const std::string& name, int to);

// Removes the item `name` of the open folder `folder`, a folder with everything in it; a link
// is removed itself.
int removeItemAt(int folder, const std::string& name);

} // namespace zestrel::platform

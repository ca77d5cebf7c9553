#pragma once

#include "platform/data/FileSafety.h"

#include <filesystem>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace zestrel::platform {

// Work on files through open folders, one name at a time and never through a symbolic link:
// a link put in the place of a folder on the way, or of the item itself, is refused where it
// stands, so nothing is read or done anywhere else. Each answers an error number, 0 when it
// succeeded; a copy and a move answer how they ended.

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
// goes while it is listed (ENOENT) is left out; any other failure to look at an entry fails
// the listing.
int listFolder(int folder, std::vector<FolderEntry>& entries);

// How a copy or a move of an item ended.
struct ItemTransfer {
    // Why the item was not copied or moved; 0 when it was.
    int error = 0;
    // A failed copy or move removes again all it made; why it could not, when it could not.
    int cleanupError = 0;
    // A move onto another file system copies the item whole, then removes at its source what
    // it copied, and only that. What it could not remove there (paths from the item's own
    // name, each below its folder, the folders that then still hold them not named again),
    // and why the first could not: these are in both places.
    std::vector<std::string> stayed;
    int stayedError = 0;
    // What such a move left at its source since it changed after the copy read it (another
    // item stands there now, or its size or times, its status-change time too, are not those
    // the copy saw), with the folders that hold it: there it is as it is now, and its copy
    // holds it as it was read. Paths as in `stayed`.
    std::vector<std::string> changed;
};

// Copies the item `name` of the open folder `from` into the open folder `to` under the same
// name: a file with its bytes, permissions and modification time, a link as a link with its own
// modification time where the system lets it be set, a folder with everything in it (an entry
// that goes meanwhile left out); anything else is ENOTSUP. Never replaces what is there
// (EEXIST). A folder gets its permissions and modification time once all in it is copied. On a
// failure whatever it made is removed again, its folders made writable for that first.
ItemTransfer copyItemAt(int from, const std::string& name, int to);

// Moves the item: renamed where that needs no replacing (EEXIST when something is there);
// onto another file system, copied and then removed where it was as above. `copiedHook` is a
// test's way in: called between such a copy and the removal of its source.
ItemTransfer moveItemAt(int from, const std::string& name, int to,
                        const std::function<void()>& copiedHook = nullptr);

// Removes the item `name` of the open folder `folder`, a folder with everything in it; a link
// is removed itself. What cannot be removed stays and the first failure is answered.
int removeItemAt(int folder, const std::string& name);

} // namespace zestrel::platform

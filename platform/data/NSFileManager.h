#pragma once

#include "platform/base/CocoaError.h"
#include "platform/base/Error.h"
#include "platform/base/Value.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::platform {

// The platform's search-path directories, by their raw values.
enum class NSSearchPathDirectory : unsigned {
    documentDirectory = 9,
    cachesDirectory = 13,
    applicationSupportDirectory = 14,
    downloadsDirectory = 15,
    itemReplacementDirectory = 99,
};
// "applicationSupportDirectory".
std::string describe(NSSearchPathDirectory directory);

enum class NSSearchPathDomainMask : unsigned { userDomainMask = 1 };

// Resource-value keys.
inline constexpr const char* NSURLIsDirectoryKey = "NSURLIsDirectoryKey";
inline constexpr const char* NSURLIsRegularFileKey = "NSURLIsRegularFileKey";
inline constexpr const char* NSURLIsSymbolicLinkKey = "NSURLIsSymbolicLinkKey";
inline constexpr const char* NSURLIsApplicationKey = "NSURLIsApplicationKey";
// A folder the Finder shows as one item: an application, bundle, framework, plug-in or
// rich-text document with attachments, known by its extension.
inline constexpr const char* NSURLIsPackageKey = "NSURLIsPackageKey";
inline constexpr const char* NSURLNameKey = "NSURLNameKey";
inline constexpr const char* NSURLFileSizeKey = "NSURLFileSizeKey";
inline constexpr const char* NSURLContentModificationDateKey = "NSURLContentModificationDateKey";
inline constexpr const char* NSURLCreationDateKey = "NSURLCreationDateKey";
inline constexpr const char* NSURLLocalizedNameKey = "NSURLLocalizedNameKey";
inline constexpr const char* NSURLIsReadableKey = "NSURLIsReadableKey";
inline constexpr const char* NSURLIsWritableKey = "NSURLIsWritableKey";

// The file manager over the real file system, with the freedesktop layout for the user's
// places: Application Support is `$XDG_DATA_HOME`, Caches `$XDG_CACHE_HOME`, Documents
// `~/Documents`, the Trash `$XDG_DATA_HOME/Trash` (files/ and info/*.trashinfo), and
// item-replacement directories are made under `TemporaryItems` of the temporary directory. A
// sandboxed process (APP_SANDBOX_CONTAINER_ID set) finds Application Support, Caches and
// Documents in its container, `~/Library/Containers/<bundle identifier>/Data`, under
// `Library/` as the system lays it out, and its temporary directory there in `tmp`; its Trash
// stays the user's.
// Downloads is `~/Downloads`; in a sandbox, the container's, beside its Documents.
//
// Permissions are those an ordinary user has, also when the program runs as the super-user:
// the readable and writable resource values, listing a folder and removing an item follow
// the permission bits of the class the user falls in (owner, group, others), so a program
// run as root sees a folder it cannot read as a user would.
//
// An ended process's code makes, changes and removes nothing here (`FileChangeGate`): its
// removals, trash and folders fail with 513 and EPERM under it, and `temporaryDirectory()`
// makes no folder.
class NSFileManager {
public:
    static NSFileManager& defaultManager();
    // The container's data folder of a sandboxed process; nothing otherwise.
    static std::optional<std::filesystem::path> sandboxContainer();

    // With `create`, the directory is made when missing (an item-replacement directory is
    // always new). Throws the Cocoa file error when it cannot.
    URL URLForDirectory(NSSearchPathDirectory directory, NSSearchPathDomainMask domain,
                        const std::optional<URL>& appropriateForURL, bool create);
    // The app's temporary directory, made when missing: `tmp` in a sandboxed app's container,
    // else the user's temporary folder (`platform::temporaryDirectory()`). Never the machine's
    // shared one while the user has a home.
    URL temporaryDirectory() const;
    bool fileExistsAtPath(std::string_view path) const;
    // Removes a file, or a directory with everything in it. Throws 513 and removes nothing
    // when a folder it must change (the one holding the item, or one inside the item) may
    // not be written or searched, or a folder inside may not be read.
    void removeItemAtURL(const URL& url);
    // The items of a folder, hidden ones included, in no fixed order. Throws 260 for a
    // missing folder, 257 for one that may not be read, 256 for anything else.
    std::vector<URL> contentsOfDirectoryAtURL(const URL& url);
    // Everything below a folder, depth first, a folder before its items, hidden ones and
    // package contents included; folders that may not be read are listed but not entered.
    // Nothing when the folder cannot be listed at all.
    std::optional<std::vector<URL>> enumeratorAtURL(const URL& url);
    // Moves the item into the Trash with its restore information; answers its new URL.
    URL trashItemAtURL(const URL& url);
    // The asked values that apply; a missing item throws 260, a URL that is not a file
    // URL 262. The localized name is the last path component; the creation date is the
    // file system's birth time, absent where it keeps none.
    Value::Dictionary resourceValuesForKeys(const URL& url, const std::vector<std::string>& keys);

    // The next `count` calls of `URLForDirectory` for `directory` throw `error`.
    void failNextDirectoryLookups(NSSearchPathDirectory directory, Error error, int count = 1);
};

} // namespace zestrel::platform

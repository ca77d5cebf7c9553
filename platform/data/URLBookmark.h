#pragma once

#include "platform/base/Value.h"

#include <cstdint>

// Bookmarks of file URLs over the real file system. A bookmark remembers the item's path and
// its identity on disk (device and inode), so it still finds an item that was renamed in
// its folder, and says that it is stale then. Security scope is simulated: a URL resolved
// with scope from a security-scoped bookmark can be accessed, any other cannot.
namespace zestrel::platform {

using NSURLBookmarkCreationOptions = std::uint64_t;
inline constexpr NSURLBookmarkCreationOptions NSURLBookmarkCreationMinimalBookmark = 1u << 9;
inline constexpr NSURLBookmarkCreationOptions NSURLBookmarkCreationSuitableForBookmarkFile = 1u
                                                                                             << 10;
inline constexpr NSURLBookmarkCreationOptions NSURLBookmarkCreationWithSecurityScope = 1u << 11;
inline constexpr NSURLBookmarkCreationOptions
    NSURLBookmarkCreationSecurityScopeAllowOnlyReadAccess = 1u << 12;

using NSURLBookmarkResolutionOptions = std::uint64_t;
inline constexpr NSURLBookmarkResolutionOptions NSURLBookmarkResolutionWithoutUI = 1u << 8;
inline constexpr NSURLBookmarkResolutionOptions NSURLBookmarkResolutionWithoutMounting = 1u << 9;
inline constexpr NSURLBookmarkResolutionOptions NSURLBookmarkResolutionWithSecurityScope = 1u << 10;

// Cocoa error for data that is not a bookmark.
inline constexpr std::int64_t NSFileReadCorruptFileError = 259;

// `URL.bookmarkData(options:...)`: throws Cocoa 262 for a URL that is not a file URL and 260
// when nothing is at its path.
Data bookmarkData(const URL& url, NSURLBookmarkCreationOptions options = 0);

struct ResolvedBookmark {
    URL url;
    // The item was found by its identity at another path, or another item now stands at the
    // path: the caller should make a new bookmark.
    bool isStale = false;
};
// `URL(resolvingBookmarkData:options:relativeTo:bookmarkDataIsStale:)`: the item at the
// remembered path, else the same item (same device and inode) renamed within its old folder.
// Throws Cocoa 259 for data that is not a bookmark and 4 when the item is gone.
ResolvedBookmark resolveBookmarkData(const Data& data, NSURLBookmarkResolutionOptions options = 0);

// True, and one more hold on the access, for a URL that was resolved with security scope from
// a security-scoped bookmark in this process; false for any other URL.
bool startAccessingSecurityScopedResource(const URL& url);
// Gives one hold back; nothing when none is held.
void stopAccessingSecurityScopedResource(const URL& url);
// The holds on the URL's access that were not given back.
int securityScopedAccessCount(const URL& url);

} // namespace zestrel::platform

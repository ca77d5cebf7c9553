#include "platform/data/URLBookmark.h"

#include "platform/base/Error.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/NSFileManager.h"

#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/stat.h>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;

constexpr char kMagic[] = "ZBOOKMARK1";
constexpr std::size_t kMagicSize = sizeof(kMagic) - 1;

struct Identity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const Identity&) const = default;
};

struct Bookmark {
    NSURLBookmarkCreationOptions options = 0;
    Identity identity;
    bool isDirectory = false;
    std::string path;
};

std::optional<Identity> identityAt(const std::string& path, bool* isDirectory = nullptr) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return std::nullopt;
    }
    if (isDirectory != nullptr) {
        *isDirectory = S_ISDIR(status.st_mode);
    }
    return Identity{static_cast<std::uint64_t>(status.st_dev),
                    static_cast<std::uint64_t>(status.st_ino)};
}

void appendNumber(Data& data, std::uint64_t value) {
    for (int shift = 0; shift < 64; shift += 8) {
        data.push_back(static_cast<std::uint8_t>(value >> shift));
    }
}

std::optional<std::uint64_t> readNumber(const Data& data, std::size_t& offset) {
    if (data.size() - offset < 8) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (int index = 0; index < 8; ++index) {
        value |= std::uint64_t{data[offset + index]} << (8 * index);
    }
    offset += 8;
    return value;
}

Data encode(const Bookmark& bookmark) {
    Data data(kMagic, kMagic + kMagicSize);
    appendNumber(data, bookmark.options);
    appendNumber(data, bookmark.identity.device);
    appendNumber(data, bookmark.identity.inode);
    appendNumber(data, bookmark.isDirectory ? 1 : 0);
    appendNumber(data, bookmark.path.size());
    data.insert(data.end(), bookmark.path.begin(), bookmark.path.end());
    return data;
}

std::optional<Bookmark> decode(const Data& data) {
    if (data.size() < kMagicSize || std::memcmp(data.data(), kMagic, kMagicSize) != 0) {
        return std::nullopt;
    }
    std::size_t offset = kMagicSize;
    const auto options = readNumber(data, offset);
    const auto device = readNumber(data, offset);
    const auto inode = readNumber(data, offset);
    const auto directory = readNumber(data, offset);
    const auto length = readNumber(data, offset);
    if (!length || data.size() - offset != *length || *length == 0) {
        return std::nullopt;
    }
    Bookmark bookmark{*options,
                      {*device, *inode},
                      *directory != 0,
                      std::string(data.begin() + static_cast<std::ptrdiff_t>(offset), data.end())};
    if (bookmark.path.front() != '/') {
        return std::nullopt;
    }
    return bookmark;
}

Error cocoaError(std::int64_t code, const std::string& description) {
    return NSError::make(NSCocoaErrorDomain, code,
                         {{NSLocalizedDescriptionKey, Value(description)}});
}

// The item with that identity among the entries of a folder.
std::optional<std::string> findInFolder(const fs::path& folder, const Identity& identity) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        if (identityAt(it->path().string()) == identity) {
            return it->path().string();
        }
    }
    return std::nullopt;
}

struct ScopedAccess {
    Mutex mutex;
    // Paths resolved with scope, and the holds on each.
    std::map<std::string, int> holds GUARDED_BY(mutex);
};

ScopedAccess& scopedAccess() {
    static auto* const local = new ProcessLocal<ScopedAccess>;
    return local->get();
}

std::string keyOf(const URL& url) {
    std::string path = url.path();
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

} // namespace

Data bookmarkData(const URL& url, NSURLBookmarkCreationOptions options) {
    if (!url.isFileURL()) {
        throw cocoaError(NSFileReadUnsupportedSchemeError, "The file couldn’t be opened.");
    }
    Bookmark bookmark;
    bookmark.options = options;
    bookmark.path = keyOf(url);
    const auto identity = identityAt(bookmark.path, &bookmark.isDirectory);
    if (!identity) {
        throw cocoaError(NSFileReadNoSuchFileError, "The file “" + url.lastPathComponent() +
                                                        "” couldn’t be opened because "
                                                        "there is no such file.");
    }
    bookmark.identity = *identity;
    return encode(bookmark);
}

ResolvedBookmark resolveBookmarkData(const Data& data, NSURLBookmarkResolutionOptions options) {
    const auto bookmark = decode(data);
    if (!bookmark) {
        throw cocoaError(NSFileReadCorruptFileError,
                         "The file couldn’t be opened because it isn’t in the correct format.");
    }
    std::optional<std::string> found;
    bool isStale = false;
    if (const auto atPath = identityAt(bookmark->path)) {
        found = bookmark->path;
        isStale = *atPath != bookmark->identity;
    } else if (auto moved =
                   findInFolder(fs::path(bookmark->path).parent_path(), bookmark->identity)) {
        found = std::move(moved);
        isStale = true;
    }
    if (!found) {
        throw cocoaError(NSFileNoSuchFileError,
                         "The file couldn’t be opened because it doesn’t exist.");
    }
    bool isDirectory = false;
    identityAt(*found, &isDirectory);
    ResolvedBookmark resolved{URL::fileURL(*found, isDirectory), isStale};
    if ((options & NSURLBookmarkResolutionWithSecurityScope) != 0 &&
        (bookmark->options & NSURLBookmarkCreationWithSecurityScope) != 0) {
        ScopedAccess& access = scopedAccess();
        MutexLock lock(access.mutex);
        access.holds.try_emplace(keyOf(resolved.url), 0);
    }
    return resolved;
}

bool startAccessingSecurityScopedResource(const URL& url) {
    ScopedAccess& access = scopedAccess();
    MutexLock lock(access.mutex);
    const auto entry = access.holds.find(keyOf(url));
    if (entry == access.holds.end()) {
        return false;
    }
    ++entry->second;
    return true;
}

void stopAccessingSecurityScopedResource(const URL& url) {
    ScopedAccess& access = scopedAccess();
    MutexLock lock(access.mutex);
    const auto entry = access.holds.find(keyOf(url));
    if (entry != access.holds.end() && entry->second > 0) {
        --entry->second;
    }
}

int securityScopedAccessCount(const URL& url) {
    ScopedAccess& access = scopedAccess();
    MutexLock lock(access.mutex);
    const auto entry = access.holds.find(keyOf(url));
    return entry == access.holds.end() ? 0 : entry->second;
}

} // namespace zestrel::platform

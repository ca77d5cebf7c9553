#include "platform/desktop/FileManagerApp.h"

#include "platform/base/Error.h"
#include "platform/data/FolderWalk.h"
#include "platform/data/UserDirectories.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSPasteboard.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <deque>
#include <fcntl.h>
#include <set>
#include <string_view>
#include <sys/stat.h>
#include <system_error>

namespace zestrel::platform {

namespace fs = std::filesystem;

namespace {

constexpr int kNoSuchFileError = 4;
constexpr int kNoPermissionError = 257;
constexpr int kInvalidFileNameError = 258;

// As many links as the system follows in one path before it calls it a loop.
constexpr int kMostLinksFollowed = 40;

Error fileError(const std::string& description, const fs::path& path, int code = kNoSuchFileError) {
    return NSError::make(NSCocoaErrorDomain, code,
                         {{NSLocalizedDescriptionKey, Value(description)},
                          {NSFilePathErrorKey, Value(path.string())}});
}

// The last component of a path, also when it ends with a separator (a folder's URL).
fs::path itemName(const fs::path& path) {
    auto normal = path.lexically_normal();
    return normal.has_filename() ? normal.filename() : normal.parent_path().filename();
}

// Why a folder could not be opened one name at a time.
std::string walkFailure(int error) {
    return error == ELOOP ? "a symbolic link stands in its way" : errnoText(error);
}

// Paths below `folder` as a log line names them: the first few, and how many more.
std::string listed(const std::vector<std::string>& paths, const fs::path& folder) {
    constexpr std::size_t kNamed = 5;
    std::string text;
    for (std::size_t i = 0; i < paths.size() && i < kNamed; ++i) {
        text += (i == 0 ? "“" : ", “") + (folder / paths[i]).string() + "”";
    }
    if (paths.size() > kNamed) {
        text += " and " + std::to_string(paths.size() - kNamed) + " more";
    }
    return text;
}

bool isPlainName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." &&
           name.find_first_of(std::string_view("/\0", 2)) == std::string::npos;
}

} // namespace

fs::path realPath(const fs::path& path) {
    if (path.native().find('\0') != std::string::npos) {
        throw fileError("“" + path.string() + "” holds a NUL byte.", path, kInvalidFileNameError);
    }
    const fs::path absolute = path.is_absolute() ? path : fs::current_path() / path;
    const fs::path relative = absolute.relative_path();
    std::deque<fs::path> pending(relative.begin(), relative.end());
    fs::path at = absolute.root_path();
    int linksFollowed = 0;
    while (!pending.empty()) {
        const fs::path part = std::move(pending.front());
        pending.pop_front();
        if (part.empty() || part == ".") {
            continue;
        }
        if (part == "..") {
            at = at.parent_path();
            continue;
        }
        fs::path next = at / part;
        std::error_code error;
        const auto status = fs::symlink_status(next, error);
        if (error && error != std::errc::no_such_file_or_directory &&
            error != std::errc::not_a_directory) {
            throw fileError("“" + next.string() + "” cannot be examined: " + error.message() + ".",
                            next, kNoPermissionError);
        }
        if (!fs::is_symlink(status)) {
            at = std::move(next);
            continue;
        }
        if (++linksFollowed > kMostLinksFollowed) {
            throw fileError("“" + path.string() + "” goes round a loop of symbolic links.", path);
        }
        const fs::path target = fs::read_symlink(next, error);
        if (error == std::errc::invalid_argument) {
            pending.push_front(part); // no longer a link: looked at again
            continue;
        }
        if (error) {
            throw fileError("“" + next.string() + "” cannot be read: " + error.message() + ".",
                            next, kNoPermissionError);
        }
        // The link's own parts come before what followed it; `..` in them is taken from where
        // the link leads, as the system does.
        if (target.is_absolute()) {
            at = target.root_path();
        }
        const fs::path targetParts = target.relative_path();
        pending.insert(pending.begin(), targetParts.begin(), targetParts.end());
    }
    return at;
}

bool isWithin(const fs::path& path, const fs::path& folder) {
    return std::mismatch(folder.begin(), folder.end(), path.begin(), path.end()).first ==
           folder.end();
}

void FileManagerApplication::confine(const fs::path& root) {
    auto real = realPath(root);
    std::error_code error;
    if (!fs::is_directory(real, error)) {
        throw fileError("“" + root.string() + "” is not a folder.", root);
    }
    root_ = real;
    if (window_ != kCGNullWindowID) {
        openFolder(real);
    }
}

void FileManagerApplication::didLaunch() {
    auto desktop = this->desktop();
    if (drawsDesktop_ && desktop) {
        ServerWindow background;
        background.bounds = desktop->windowServer().mainScreenFrame();
        background.layer = kCGDesktopIconWindowLevel;
        openWindow(background);
    }
    folder_ = root_.value_or(homeDirectory());
    try {
        realFolder_ = realPath(folder_);
    } catch (const Error&) {
        realFolder_ = folder_; // a home it cannot examine: opening it fails later, saying so
    }
    ServerWindow browser;
    browser.name = itemName(folder_).string();
    browser.bounds = CGRect(180, 120, 920, 560);
    window_ = openWindow(browser);
}

void FileManagerApplication::openFolder(const fs::path& folder) {
    const auto real = realPath(folder);
    if (root_ && !isWithin(real, *root_)) {
        throw fileError("“" + folder.string() + "” is outside “" + root_->string() + "”.", folder,
                        kNoPermissionError);
    }
    opened(real, folder);
    realFolder_ = real;
    folder_ = fs::absolute(folder).lexically_normal();
    selection_.clear();
    if (auto desktop = this->desktop()) {
        auto title = itemName(folder_).string();
        desktop->windowServer().updateWindow(
            window_, [&](ServerWindow& w) { w.name = title.empty() ? std::string("/") : title; });
    }
}

void FileManagerApplication::select(const std::vector<std::string>& names) {
    const auto folder = opened(realFolder_, folder_);
    std::vector<fs::path> chosen;
    std::set<std::string_view> named;
    for (const auto& name : names) {
        if (!isPlainName(name)) {
            throw fileError("“" + name + "” is not the name of an item in “" + folder_.string() +
                                "”: select takes names of the current folder only.",
                            folder_, kInvalidFileNameError);
        }
        auto path = folder_ / name;
        // A plain name is the one way to name an item of the folder: the same name is the
        // same item.
        if (!named.insert(name).second) {
            throw fileError("“" + name + "” is named twice: a selection holds an item once.", path,
                            kInvalidFileNameError);
        }
        struct stat status {};
        if (::fstatat(folder.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            throw fileError("“" + name + "” is not in “" + folder_.string() + "”.", path);
        }
        if (root_ && !isWithin(realPath(realFolder_ / name), *root_)) {
            throw fileError("“" + name + "” leads outside “" + root_->string() + "”.", path,
                            kNoPermissionError);
        }
        chosen.push_back(path);
    }
    selection_ = std::move(chosen);
}

void FileManagerApplication::selectAll() {
    std::vector<FolderEntry> entries;
    if (const int error = listFolder(opened(realFolder_, folder_).get(), entries)) {
        throw fileError("“" + folder_.string() + "” cannot be listed: " + errnoText(error) + ".",
                        folder_, kNoPermissionError);
    }
    std::vector<fs::path> all;
    for (const auto& entry : entries) {
        all.push_back(folder_ / entry.name);
    }
    std::sort(all.begin(), all.end());
    selection_ = std::move(all);
}

void FileManagerApplication::keyDown(const ReceivedKeyEvent& event) {
    const auto flags = shortcutFlags(event.modifierFlags);
    const auto key = keyEquivalent(event);
    if (key == "c" && flags == NSEvent::ModifierFlags::command) {
        copySelection();
    } else if (key == "v" && flags == NSEvent::ModifierFlags::command) {
        paste(false);
    } else if (key == "v" &&
               flags == (NSEvent::ModifierFlags::command | NSEvent::ModifierFlags::option)) {
        paste(true);
    }
}

void FileManagerApplication::copySelection() {
    auto desktop = this->desktop();
    if (!desktop || selection_.empty()) {
        return; // nothing selected: the pasteboard stays as it is
    }
    // A folder's URL ends in a slash; a link is an item of its own, never looked through. An
    // item that went is left out; any other failure to look copies nothing.
    FileDescriptor folder(-1);
    if (const int error = openFolderBelow(AT_FDCWD, realFolder_, folder)) {
        log("did not copy from “" + folder_.string() + "”: " + walkFailure(error));
        return;
    }
    std::vector<URL> urls;
    for (const auto& path : selection_) {
        struct stat status {};
        if (::fstatat(folder.get(), path.filename().c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            const int error = errno;
            if (error == ENOENT) {
                log("did not copy “" + path.string() + "”: it no longer exists");
                continue;
            }
            log("did not copy from “" + folder_.string() + "”: “" + path.filename().string() +
                "” cannot be examined: " + errnoText(error));
            return;
        }
        urls.push_back(URL::fileURL(path.string(), S_ISDIR(status.st_mode)));
    }
    if (urls.empty()) {
        return;
    }
    auto self = std::static_pointer_cast<FileManagerApplication>(shared_from_this());
    desktop->after(copyLatency(), [weak = std::weak_ptr(self), urls] {
        auto app = weak.lock();
        auto desktop = app ? app->desktop() : nullptr;
        if (!app || !app->isRunning() || !desktop) {
            return; // quit before the copy was done
        }
        auto pasteboard = desktop->generalPasteboard();
        pasteboard->clearContents();
        std::vector<std::shared_ptr<NSPasteboardItem>> items;
        for (const auto& url : urls) {
            auto item = std::make_shared<NSPasteboardItem>();
            item->setString(url.absoluteString(), NSPasteboardType::fileURL);
            item->setString(itemName(url.path()).string(), NSPasteboardType::string);
            items.push_back(std::move(item));
        }
        pasteboard->writeObjects(items);
    });
}

Nanoseconds FileManagerApplication::copyLatency() const {
    if (latency_) {
        return *latency_;
    }
    const auto desktop = this->desktop();
    return desktop ? desktop->copyLatency(bundleIdentifier()) : kDefaultCopyLatency;
}

void FileManagerApplication::paste(bool move) {
    auto desktop = this->desktop();
    if (!desktop) {
        return;
    }
    const auto urls = desktop->generalPasteboard()->readFileURLs();
    if (urls.empty()) {
        return;
    }
    // Everything is done in open folders, one name at a time and never through a link: a
    // folder swapped for a link since it was checked is refused, not followed elsewhere.
    FileDescriptor into(-1);
    if (const int error = openFolderBelow(AT_FDCWD, realFolder_, into)) {
        log("did not paste into “" + folder_.string() + "”: " + walkFailure(error));
        return;
    }
    std::vector<fs::path> pasted;
    for (const auto& url : urls) {
        const fs::path source = fs::path(url.path()).lexically_normal();
        const std::string name = itemName(source).string();
        // The item itself, not what it links to: a link is copied and moved as a link.
        fs::path from;
        try {
            from = realPath(source.parent_path());
        } catch (const Error& error) {
            log("did not paste “" + name + "”: " + error.localizedDescription());
            continue;
        }
        if (const auto why = refusal(from / name)) {
            log("did not paste “" + name + "”: " + *why);
            continue;
        }
        FileDescriptor fromFolder(-1);
        struct stat status {};
        int error = openFolderBelow(AT_FDCWD, from, fromFolder);
        if (error == 0 &&
            ::fstatat(fromFolder.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            error = errno;
        }
        if (error == ENOENT || error == ENOTDIR) {
            log("did not paste “" + source.string() + "”: it no longer exists");
            continue;
        }
        if (error != 0) {
            log("did not paste “" + name + "”: " + walkFailure(error));
            continue;
        }
        if (::fstatat(into.get(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0) {
            log("did not paste “" + name + "”: an item with that name already exists in “" +
                folder_.string() + "”");
            continue;
        }
        const auto transfer = move ? moveItemAt(fromFolder.get(), name, into.get(), moveCopiedHook_)
                                   : copyItemAt(fromFolder.get(), name, into.get());
        if (transfer.error != 0) {
            log(std::string("did not ") + (move ? "move" : "copy") + " “" + source.string() +
                "”: " + errnoText(transfer.error) +
                (transfer.cleanupError == 0
                     ? std::string()
                     : ", and what it had made of “" + (folder_ / name).string() +
                           "” could not all be removed: " + errnoText(transfer.cleanupError)));
            continue;
        }
        if (!transfer.stayed.empty()) {
            log("moved “" + source.string() + "” only in part: all of it was copied, but " +
                listed(transfer.stayed, source.parent_path()) +
                " could not be removed where it was: " + errnoText(transfer.stayedError));
        }
        if (!transfer.changed.empty()) {
            log("moved “" + source.string() +
                "” only in part: what changed during the move stayed where it was, and its copy "
                "holds it as it was before: " +
                listed(transfer.changed, source.parent_path()));
        }
        pasted.push_back(folder_ / name);
    }
    if (!pasted.empty()) {
        selection_ = std::move(pasted);
    }
}

std::optional<std::string> FileManagerApplication::refusal(const fs::path& item) const {
    try {
        if (root_ && (!isWithin(item, *root_) || !isWithin(realPath(item), *root_))) {
            return "it lies outside “" + root_->string() + "”";
        }
        if (isWithin(realFolder_, item)) {
            return std::string("a folder cannot go inside itself");
        }
    } catch (const Error& error) {
        return error.localizedDescription();
    }
    return std::nullopt;
}

FileDescriptor FileManagerApplication::opened(const fs::path& real, const fs::path& shown) {
    FileDescriptor folder(-1);
    if (const int error = openFolderBelow(AT_FDCWD, real, folder)) {
        if (error == ENOENT || error == ENOTDIR) {
            throw fileError("“" + shown.string() + "” is not a folder.", shown);
        }
        throw fileError("“" + shown.string() + "” cannot be opened: " + walkFailure(error) + ".",
                        shown, kNoPermissionError);
    }
    return folder;
}

void FileManagerApplication::log(const std::string& message) const {
    if (auto desktop = this->desktop()) {
        desktop->log(name() + ": " + message);
    }
}

} // namespace zestrel::platform

#include "platform/desktop/FileManagerApp.h"

#include "platform/base/Error.h"
#include "platform/data/UserDirectories.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSPasteboard.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <deque>
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
    ServerWindow browser;
    browser.name = itemName(folder_).string();
    browser.bounds = CGRect(180, 120, 920, 560);
    window_ = openWindow(browser);
}

void FileManagerApplication::openFolder(const fs::path& folder) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw fileError("“" + folder.string() + "” is not a folder.", folder);
    }
    if (root_ && !isWithin(realPath(folder), *root_)) {
        throw fileError("“" + folder.string() + "” is outside “" + root_->string() + "”.", folder,
                        kNoPermissionError);
    }
    folder_ = fs::absolute(folder).lexically_normal();
    selection_.clear();
    if (auto desktop = this->desktop()) {
        auto title = itemName(folder_).string();
        desktop->windowServer().updateWindow(
            window_, [&](ServerWindow& w) { w.name = title.empty() ? std::string("/") : title; });
    }
}

void FileManagerApplication::select(const std::vector<std::string>& names) {
    std::vector<fs::path> chosen;
    for (const auto& name : names) {
        if (!isPlainName(name)) {
            throw fileError("“" + name + "” is not the name of an item in “" + folder_.string() +
                                "”: select takes names of the current folder only.",
                            folder_, kInvalidFileNameError);
        }
        auto path = folder_ / name;
        std::error_code error;
        if (!fs::exists(fs::symlink_status(path, error))) {
            throw fileError("“" + name + "” is not in “" + folder_.string() + "”.", path);
        }
        if (root_ && !isWithin(realPath(path), *root_)) {
            throw fileError("“" + name + "” leads outside “" + root_->string() + "”.", path,
                            kNoPermissionError);
        }
        chosen.push_back(path);
    }
    selection_ = std::move(chosen);
}

void FileManagerApplication::selectAll() {
    std::vector<fs::path> all;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder_, error)) {
        all.push_back(entry.path());
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
    std::vector<URL> urls;
    for (const auto& path : selection_) {
        std::error_code error;
        urls.push_back(URL::fileURL(path.string(), fs::is_directory(path, error)));
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
    std::vector<fs::path> pasted;
    for (const auto& url : desktop->generalPasteboard()->readFileURLs()) {
        const fs::path source = fs::path(url.path()).lexically_normal();
        const fs::path name = itemName(source);
        const fs::path target = folder_ / name;
        std::error_code error;
        if (!fs::exists(fs::symlink_status(source, error))) {
            log("did not paste “" + source.string() + "”: it no longer exists");
            continue;
        }
        if (fs::exists(fs::symlink_status(target, error))) {
            log("did not paste “" + name.string() +
                "”: an item with that name already exists in “" + folder_.string() + "”");
            continue;
        }
        if (const auto why = refusal(source)) {
            log("did not paste “" + name.string() + "”: " + *why);
            continue;
        }
        if (move) {
            fs::rename(source, target, error);
            if (error == std::errc::cross_device_link) {
                error.clear();
                fs::copy(source, target,
                         fs::copy_options::recursive | fs::copy_options::copy_symlinks, error);
                if (!error) {
                    fs::remove_all(source, error);
                }
            }
        } else {
            fs::copy(source, target, fs::copy_options::recursive | fs::copy_options::copy_symlinks,
                     error);
        }
        if (error) {
            log(std::string("did not ") + (move ? "move" : "copy") + " “" + source.string() +
                "”: " + error.message());
            continue;
        }
        pasted.push_back(target);
    }
    if (!pasted.empty()) {
        selection_ = std::move(pasted);
    }
}

std::optional<std::string> FileManagerApplication::refusal(const fs::path& source) const {
    try {
        // The item itself, not what it links to: a link is copied and moved as a link.
        const auto item = realPath(source.parent_path()) / itemName(source);
        const auto folder = realPath(folder_);
        if (root_ && (!isWithin(item, *root_) || !isWithin(realPath(source), *root_))) {
            return "it lies outside “" + root_->string() + "”";
        }
        if (root_ && !isWithin(folder, *root_)) {
            return "“" + folder_.string() + "” lies outside “" + root_->string() + "”";
        }
        if (isWithin(folder, item)) {
            return std::string("a folder cannot go inside itself");
        }
    } catch (const Error& error) {
        return error.localizedDescription();
    }
    return std::nullopt;
}

void FileManagerApplication::log(const std::string& message) const {
    if (auto desktop = this->desktop()) {
        desktop->log(name() + ": " + message);
    }
}

} // namespace zestrel::platform

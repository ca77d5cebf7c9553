#include "platform/FileManagerApp.h"

#include "platform/Desktop.h"
#include "platform/Error.h"
#include "platform/NSPasteboard.h"
#include "platform/UserDirectories.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <system_error>

namespace zestrel::platform {

namespace fs = std::filesystem;

namespace {

Error fileError(const std::string& description, const fs::path& path) {
    return NSError::make(NSCocoaErrorDomain, 4, // no such file
                         {{NSLocalizedDescriptionKey, Value(description)},
                          {NSFilePathErrorKey, Value(path.string())}});
}

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The last component of a path, also when it ends with a separator (a folder's URL).
fs::path itemName(const fs::path& path) {
    auto normal = path.lexically_normal();
    return normal.has_filename() ? normal.filename() : normal.parent_path().filename();
}

} // namespace

void FileManagerApplication::didLaunch() {
    auto desktop = this->desktop();
    if (drawsDesktop_ && desktop) {
        ServerWindow background;
        background.bounds = desktop->windowServer().mainScreenFrame();
        background.layer = kCGDesktopIconWindowLevel;
        openWindow(background);
    }
    folder_ = homeDirectory();
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
        auto path = folder_ / name;
        std::error_code error;
        if (!fs::exists(fs::symlink_status(path, error))) {
            throw fileError("“" + name + "” is not in “" + folder_.string() + "”.", path);
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
    const auto key = lowercased(event.characters);
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
    desktop->after(latency_, [weak = std::weak_ptr(self), urls] {
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
        const auto [sourceEnd, targetAt] =
            std::mismatch(source.begin(), source.end(), folder_.begin(), folder_.end());
        if (sourceEnd == source.end()) {
            log("did not paste “" + name.string() + "”: a folder cannot go inside itself");
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

void FileManagerApplication::log(const std::string& message) const {
    if (auto desktop = this->desktop()) {
        desktop->log(name() + ": " + message);
    }
}

} // namespace zestrel::platform

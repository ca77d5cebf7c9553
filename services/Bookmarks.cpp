#include "services/Bookmarks.h"

#include "foundation/ErrorUserInfo.h"
#include "services/FileSystem.h"

#include <string_view>

namespace zestrel {

namespace pf = platform;

void SandboxURLBookmark::encode(pf::Encoder& encoder) const {
    encoder.singleValueContainer().encode(bookmarkData);
}

SandboxURLBookmark SandboxURLBookmark::decode(const pf::Decoder& decoder) {
    return SandboxURLBookmark{decoder.singleValueContainer().decode<pf::Data>()};
}

std::string homeRelativeDisplayPath(std::string_view path, std::string_view home) {
    while (home.size() > 1 && home.back() == '/') {
        home.remove_suffix(1);
    }
    if (home.empty() || home == "/") {
        return std::string(path);
    }
    if (path == home) {
        return "~";
    }
    // Only a whole leading folder is the home folder: "/Users/bobby" is not inside "/Users/bob".
    if (path.size() > home.size() && path.substr(0, home.size()) == home &&
        path[home.size()] == '/') {
        return "~" + std::string(path.substr(home.size()));
    }
    return std::string(path);
}

std::string homeRelativeDisplayPath(const pf::URL& url) {
    return homeRelativeDisplayPath(url.path(), realHomeDirectory().path());
}

bool detail::answerValidation(const std::function<void()>& check, std::optional<pf::Error>* error) {
    try {
        check();
        return true;
    } catch (const pf::Error& thrown) {
        if (error != nullptr) {
            *error = pf::Error(thrown.nsError());
        }
        return false;
    }
}

namespace SecurityScopedBookmarkManager {

BookmarksUserDefaults::BookmarksUserDefaults(std::string key)
    : userDefaultsKey(std::move(key), {}) {}

NSOpenSavePanelDelegateHandler::NSOpenSavePanelDelegateHandler() {
    pf::fatal("Use of unimplemented initializer 'init()' for class '" + className() + "'");
}

NSOpenSavePanelDelegateHandler::NSOpenSavePanelDelegateHandler(pf::URL currentURL)
    : currentURL(std::move(currentURL)) {}

void NSOpenSavePanelDelegateHandler::validate(const pf::URL& url) const {
    if (url == currentURL) {
        return;
    }
    throw appError("Incorrect directory.",
                   {.recoverySuggestion = "Select the directory \u201C" +
                                          homeRelativeDisplayPath(currentURL) + "\u201D."});
}

bool NSOpenSavePanelDelegateHandler::panelValidateURL(const pf::NSOpenPanel& /*panel*/,
                                                      const pf::URL& url,
                                                      std::optional<pf::Error>* error) {
    return detail::answerValidation([&] { validate(url); }, error);
}

} // namespace SecurityScopedBookmarkManager

} // namespace zestrel

std::size_t std::hash<zestrel::SandboxURLBookmark>::operator()(
    const zestrel::SandboxURLBookmark& bookmark) const noexcept {
    return std::hash<std::string_view>()(std::string_view(
        reinterpret_cast<const char*>(bookmark.bookmarkData.data()), bookmark.bookmarkData.size()));
}

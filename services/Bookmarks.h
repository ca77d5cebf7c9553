#pragma once

#include "platform/appkit/NSOpenPanel.h"
#include "platform/base/Value.h"
#include "platform/data/Coding.h"
#include "platform/data/JSONCoder.h"
#include "preferences/Prefs.h"
#include "preferences/PrefsBridges.h"

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

// What a sandboxed app keeps to reach user-chosen places again: bookmark values, the
// preference that holds them by name, and the open-panel delegate that makes the user pick
// one particular directory again.
namespace zestrel {

// The platform's bookmark data of a URL, as a storable value: coded and stored as the bare
// bytes, equal and hashed by them.
struct SandboxURLBookmark {
    platform::Data bookmarkData;

    bool operator==(const SandboxURLBookmark&) const = default;

    void encode(platform::Encoder& encoder) const;
    static SandboxURLBookmark decode(const platform::Decoder& decoder);
};

// `path` with the home folder written as "~" when the path is the home folder or lies inside
// it; a sibling that merely starts with the same letters ("/Users/bobby" for "/Users/bob")
// keeps its full path.
std::string homeRelativeDisplayPath(std::string_view path, std::string_view home);
// The same against the real user's home folder.
std::string homeRelativeDisplayPath(const platform::URL& url);

namespace SecurityScopedBookmarkManager {

// The preference that keeps bookmark data by name.
class BookmarksUserDefaults {
public:
    explicit BookmarksUserDefaults(std::string key);

    const Prefs::Key<std::map<std::string, platform::Data>> userDefaultsKey;
};

// Accepts only `currentURL`: any other choice, a folder inside it included, is refused with
// "Incorrect directory." and the suggestion to select that directory.
class NSOpenSavePanelDelegateHandler final : public platform::NSObject,
                                             public platform::NSOpenSavePanelDelegate {
public:
    // Unavailable: a handler without its directory stops the process.
    NSOpenSavePanelDelegateHandler();
    explicit NSOpenSavePanelDelegateHandler(platform::URL currentURL);

    const platform::URL currentURL;

    std::string className() const override {
        return "SecurityScopedBookmarkManager.NSOpenSavePanelDelegateHandler";
    }
    // Throws the refusal.
    void validate(const platform::URL& url) const;
    bool panelValidateURL(const platform::NSOpenPanel& panel, const platform::URL& url,
                          std::optional<platform::Error>* error) override;
};

} // namespace SecurityScopedBookmarkManager

namespace detail {
// A delegate's throwing check as the panel's answer: false, with the error object handed
// back when the panel asked for it.
bool answerValidation(const std::function<void()>& check, std::optional<platform::Error>* error);
} // namespace detail

} // namespace zestrel

template <> struct std::hash<zestrel::SandboxURLBookmark> {
    std::size_t operator()(const zestrel::SandboxURLBookmark& bookmark) const noexcept;
};

template <> struct zestrel::Prefs::RawRepresentable<zestrel::SandboxURLBookmark> {
    using RawValue = platform::Data;
    static RawValue rawValue(const SandboxURLBookmark& bookmark) { return bookmark.bookmarkData; }
    static std::optional<SandboxURLBookmark> init(const RawValue& rawValue) {
        return SandboxURLBookmark{rawValue};
    }
};

template <>
struct zestrel::Prefs::PrefsSerializable<zestrel::SandboxURLBookmark>
    : zestrel::Prefs::RawRepresentableSerializable<zestrel::SandboxURLBookmark> {};

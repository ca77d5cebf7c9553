#pragma once

#include "foundation/OrderedDictionary.h"
#include "platform/base/Value.h"
#include "platform/data/UserDefaults.h"
#include "platform/swiftui/View.h"

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The developer debug screens: a sidebar of five pages (a dashboard of the debug report's
// commands, the app's stored settings, the live log, a file browser over the app's folders,
// and AppKit's own debugging switches with the deletion of all app data). Main thread only.
namespace zestrel {

// The defaults databases shown after the standard one; none in this app.
std::vector<std::shared_ptr<platform::UserDefaults>>& additionalDebugSuites();
// Folders the Files page lists after the app's own; none in this app.
std::vector<platform::URL>& additionalDebugFileBrowserURLs();

struct IOSDebug_MainView {
    enum class Page { dashboard, userDefaults, logs, files, settings };
    // The sidebar's order.
    static constexpr std::array<Page, 5> allCases{Page::dashboard, Page::userDefaults, Page::logs,
                                                  Page::files, Page::settings};
    static std::string rawValue(Page page);
    // Exactly the five raw values; nothing for any other text ("UserDefaults" included).
    static std::optional<Page> page(std::string_view rawValue);
    // The raw value split at its capitals and title-cased: "User Defaults".
    static std::string title(Page page);

    // The page shown first; none shows the dashboard.
    std::optional<Page> initialSelection = Page::dashboard;

    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
    // The page's own view, with its navigation title.
    static platform::swiftui::View pageView(Page page);
};

// The stored settings of each shown database, one section each, redrawn on any change of
// any defaults database; rows can be copied or deleted, all entries copied, shared or
// cleared.
struct IOSDebug_UserDefaultsView {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;

    // The value as shown: its description, pretty-printed when it reads like JSON (a quote,
    // a colon, and a pair of braces or of brackets) and parses as JSON.
    static std::string valueText(const platform::Value& value);
    // Every shown database's entries, in order.
    static std::vector<std::pair<std::string, platform::Value>> allEntries();
    // "key: value" lines, no line break after the last.
    static std::string
    entriesText(const std::vector<std::pair<std::string, platform::Value>>& entries);
    static void copyAll();
    static void clearAll();
};

// The log buffer, read again every second; it can be copied, shared and cleared.
struct IOSDebug_LogView {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
    static void copyAll();
    // Empties the buffer; only this does, so the debug report keeps what was logged.
    static void clear();
};

// The file browser over the app's own folders.
struct IOSDebug_FilesView {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
    // Application Support, Documents and Caches of the app; a sandboxed app's container
    // folders (home, documents, temporary, application support, caches, library); then
    // `additionalDebugFileBrowserURLs()`.
    static std::vector<platform::URL> rootItems();
};

// AppKit's debugging switches, and "Delete App Data". Every change relaunches the app.
struct IOSDebug_SettingsView {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

// "Highlight Drawn Rectangles": on while "NSShowAllDrawing" holds "200". A click flips what
// is stored, whatever the switch showed, and relaunches the app.
struct DebugAddHighlightDrawnRectanglesSetting {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
    static bool isOn();
    static void flip();
};

} // namespace zestrel

#include "app/DebugScreens.h"

#include "app/DebugInfo.h"
#include "app/DebugWindowController.h"
#include "app/FeedbackEmail.h"
#include "app/FileBrowser.h"
#include "app/QVKit.h"
#include "foundation/Logger.h"
#include "foundation/QVApp.h"
#include "foundation/TaskStarters.h"
#include "foundation/TextDateUtilities.h"
#include "foundation/TextUtilities.h"
#include "platform/base/ProcessLocal.h"
#include "platform/concurrency/NotificationPublisher.h"
#include "platform/concurrency/PublisherOperators.h"
#include "platform/data/NSFileManager.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/Navigation.h"
#include "platform/swiftui/Presentation.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/Toggle.h"
#include "platform/swiftui/ViewState.h"
#include "preferences/PrefsToggle.h"
#include "services/FileSystem.h"
#include "services/Relaunch.h"
#include "ui/Pasteboard.h"
#include "ui/PublisherObservables.h"
#include "ui/SwiftUIHelpers.h"
#include "ui/SwiftUIWindowAccess.h"

#include <chrono>

namespace zestrel {

namespace pf = platform;
namespace ui = platform::swiftui;
using Page = IOSDebug_MainView::Page;

namespace {

constexpr const char* kShowAllDrawingKey = "NSShowAllDrawing";

// Every switch of the Settings page ends the process this way, so the change takes effect.
void relaunchForDebugSetting() {
    startMainActorTask(std::nullopt, [] { return relaunchApp(RelaunchOptions{}); });
}

ui::View titled(ui::View page, const std::string& title) {
    return page.modifier("navigationTitle", "\"" + title + "\"")
        .modifier("toolbarTitleDisplayMode", ".inline");
}

// A command of a More menu: its title, the menu shows no symbol.
ui::View menuCommand(std::string title, std::string symbol, std::function<void()> action,
                     std::string role = "") {
    return ui::Button(ui::Label(std::move(title), std::move(symbol)), std::move(action),
                      std::move(role));
}

// Copy, share and clear of a page's whole text; disabled while there is nothing.
ui::View moreMenu(const std::string& text, bool isEmpty, std::function<void()> copy,
                  std::function<void()> clear) {
    return MoreButton(std::nullopt, false, false,
                      {ui::View(ui::Group({menuCommand("Copy", "doc.on.doc", std::move(copy)),
                                           ui::ShareLink("Share…", text), ui::Divider(),
                                           menuCommand("Clear", "xmark.circle", std::move(clear),
                                                       "destructive")}))
                           .modifier("labelStyle", ".titleOnly")
                           .disabled(isEmpty)});
}

// AppKit's own debugging switches, stored in the standard database; made on first use, which
// registers false as their default.
const Prefs::Key<bool>& appKitDebugKey(std::size_t index) {
    static constexpr std::array<const char*, 4> kNames{
        "NSShowAllViews", "NSConstraintBasedLayoutVisualizeMutuallyExclusiveConstraints",
        "NSTraceEvents", "_NS_4445425547"};
    using Keys = std::array<std::unique_ptr<Prefs::Key<bool>>, 4>;
    static auto* const keys = new pf::ProcessLocal<Keys>([] {
        auto made = std::make_unique<Keys>();
        for (std::size_t i = 0; i < kNames.size(); ++i) {
            (*made)[i] = std::make_unique<Prefs::Key<bool>>(kNames[i], false);
        }
        return made;
    });
    return *(**keys).at(index);
}

struct DashboardPage {
    ui::View body(ui::ViewContext&) const {
        return ui::Form(
                   {ui::Section({ui::Button("Send Debug Info to Developer",
                                            [] { sendDebugInfoToDeveloper(); }),
                                 ui::Button("Copy Debug Info", [] { copyDebugInfoToPasteboard(); }),
                                 // The report as it is when the page is built.
                                 ui::View(ui::ShareLink("Share Debug Info", debugInfoText()))
                                     .modifier("labelStyle", ".titleOnly")})})
            .modifier("formStyle", ".grouped");
    }
};

std::vector<std::shared_ptr<pf::UserDefaults>> shownDatabases() {
    std::vector<std::shared_ptr<pf::UserDefaults>> databases{pf::UserDefaults::standard()};
    const auto& more = additionalDebugSuites();
    databases.insert(databases.end(), more.begin(), more.end());
    return databases;
}

ui::View defaultsRow(const std::string& key, const pf::Value& value) {
    const std::string text = IOSDebug_UserDefaultsView::valueText(value);
    return ui::VStack({ui::Text(key).modifier("bold").modifier("padding", ".bottom, 4"),
                       ui::Text(text)
                           .modifier("font", ".system(size: 13, weight: .regular, design: "
                                             ".monospaced)")
                           .modifier("lineLimit", "nil")
                           .modifier("fixedSize", "horizontal: false, vertical: true")})
        .modifier("alignment", ".leading")
        .modifier("textSelection", ".enabled")
        .modifier("padding", ".vertical")
        .contextMenu({CopyButton{std::nullopt, [text] { copyToPasteboard(text); }}});
}

} // namespace

std::vector<std::shared_ptr<pf::UserDefaults>>& additionalDebugSuites() {
    static auto* const suites =
        new pf::ProcessLocal<std::vector<std::shared_ptr<pf::UserDefaults>>>();
    return **suites;
}

std::vector<pf::URL>& additionalDebugFileBrowserURLs() {
    static auto* const urls = new pf::ProcessLocal<std::vector<pf::URL>>();
    return **urls;
}

// --- Main view

std::string IOSDebug_MainView::rawValue(Page page) {
    switch (page) {
    case Page::dashboard:
        return "dashboard";
    case Page::userDefaults:
        return "userDefaults";
    case Page::logs:
        return "logs";
    case Page::files:
        return "files";
    case Page::settings:
        return "settings";
    }
    return "dashboard";
}

std::optional<Page> IOSDebug_MainView::page(std::string_view rawValue) {
    for (const Page page : allCases) {
        if (IOSDebug_MainView::rawValue(page) == rawValue) {
            return page;
        }
    }
    return std::nullopt;
}

std::string IOSDebug_MainView::title(Page page) {
    return titleCased(humanizedCamelCase(rawValue(page)));
}

ui::View IOSDebug_MainView::pageView(Page page) {
    switch (page) {
    case Page::dashboard:
        return titled(DashboardPage{}, "Dashboard");
    case Page::userDefaults:
        return titled(IOSDebug_UserDefaultsView{}, "User Defaults");
    case Page::logs:
        return titled(IOSDebug_LogView{}, "Logs");
    case Page::files:
        return titled(IOSDebug_FilesView{}, "Files");
    case Page::settings:
        return titled(IOSDebug_SettingsView{}, "Settings");
    }
    return titled(DashboardPage{}, "Dashboard");
}

ui::View IOSDebug_MainView::body(ui::ViewContext& context) const {
    const auto selection = context.state<std::optional<Page>>("selection", initialSelection);
    const ui::Binding<std::optional<std::string>> sidebarSelection(
        [selection]() -> std::optional<std::string> {
            const auto chosen = selection.get();
            return chosen ? std::optional(rawValue(*chosen)) : std::nullopt;
        },
        [selection](const std::optional<std::string>& chosen) {
            selection.set(chosen ? page(*chosen) : std::nullopt);
        });
    std::vector<ui::ListRow> rows;
    for (const Page page : allCases) {
        rows.push_back({rawValue(page), ui::Text(title(page))});
    }
    const ui::View sidebar = ui::View(ui::List(sidebarSelection, std::move(rows)))
                                 .modifier("toolbar", "removing: .sidebarToggle")
                                 .modifier("navigationTitle", "\"Debug\"");
    const ui::View split =
        ui::View(
            ui::NavigationSplitView(sidebar, pageView(selection.get().value_or(Page::dashboard))))
            .modifier("frame", "minWidth: 800, minHeight: 400")
            .modifier("toolbar", "Color.clear");
    return windowLevel(split, pf::NSWindow::Level::floating);
}

// --- User Defaults

std::string IOSDebug_UserDefaultsView::valueText(const pf::Value& value) {
    const std::string description = value.describe();
    const auto has = [&description](char c) { return description.find(c) != std::string::npos; };
    const bool readsLikeJSON =
        has('"') && has(':') && ((has('{') && has('}')) || (has('[') && has(']')));
    if (!readsLikeJSON) {
        return description;
    }
    try {
        return reformattedJSON(pf::Data(description.begin(), description.end()));
    } catch (const pf::Error&) {
        return description;
    }
}

std::vector<std::pair<std::string, pf::Value>> IOSDebug_UserDefaultsView::allEntries() {
    std::vector<std::pair<std::string, pf::Value>> entries;
    for (const auto& database : shownDatabases()) {
        const auto dump = settingsDebugDump(*database);
        for (const auto& key : dump.orderedKeys()) {
            entries.emplace_back(key, *dump.get(key));
        }
    }
    return entries;
}

std::string IOSDebug_UserDefaultsView::entriesText(
    const std::vector<std::pair<std::string, pf::Value>>& entries) {
    std::string text;
    for (const auto& [key, value] : entries) {
        text += (text.empty() ? "" : "\n") + key + ": " + value.describe();
    }
    return text;
}

void IOSDebug_UserDefaultsView::copyAll() {
    copyToPasteboard(entriesText(allEntries()));
}

void IOSDebug_UserDefaultsView::clearAll() {
    for (const auto& database : shownDatabases()) {
        database->removeAll();
    }
}

ui::View IOSDebug_UserDefaultsView::body(ui::ViewContext& context) const {
    // Any change of any defaults database draws the page again.
    context.stateObject<ListenOnlyPublisherObservable>("didChange", [] {
        return std::make_shared<ListenOnlyPublisherObservable>(
            pf::combine::notificationPublisher(pf::NotificationCenter::defaultCenter(),
                                               pf::UserDefaultsDidChangeNotification)
                .map([](const pf::Notification&) { return std::monostate{}; }));
    });
    std::vector<ui::View> sections;
    for (const auto& database : shownDatabases()) {
        const bool isStandard = database == pf::UserDefaults::standard();
        const auto dump = settingsDebugDump(*database);
        std::vector<ui::ListRow> rows;
        for (const auto& key : dump.orderedKeys()) {
            rows.push_back({key, defaultsRow(key, *dump.get(key))});
        }
        const auto keys = dump.orderedKeys();
        sections.push_back(ui::identified(
            ui::Section({ui::List(std::move(rows),
                                  [database, keys](const std::vector<std::size_t>& offsets) {
                                      for (const std::size_t offset : offsets) {
                                          database->removeObject(keys.at(offset));
                                      }
                                  })},
                        isStandard ? "Standard" : database->domainName()),
            isStandard ? QVApp::id() : database->domainName()));
    }
    const auto entries = allEntries();
    return ui::toolbar(ui::List(std::move(sections)), {moreMenu(
                                                          entriesText(entries), entries.empty(),
                                                          [] { copyAll(); }, [] { clearAll(); })});
}

// --- Logs

void IOSDebug_LogView::copyAll() {
    const auto entries = logBuffer().entries();
    std::string text;
    for (const auto& entry : entries) {
        text += (text.empty() ? "" : "\n") + entry;
    }
    copyToPasteboard(text);
}

void IOSDebug_LogView::clear() {
    logBuffer().clear();
}

ui::View IOSDebug_LogView::body(ui::ViewContext&) const {
    // A copy of the buffer, taken under its lock once a second.
    return ui::TimelineView(std::chrono::seconds(1), [](pf::Date) {
        const auto entries = logBuffer().entries();
        std::vector<ui::ListRow> rows;
        std::string joined;
        for (const auto& entry : entries) {
            rows.push_back({entry, ui::Text(trimmingWhitespaceAndNewlines(entry))
                                       .modifier("textSelection", ".enabled")
                                       .modifier("padding", ".vertical")});
            joined += (joined.empty() ? "" : "\n") + entry;
        }
        return ui::toolbar(ui::List(std::move(rows)),
                           {moreMenu(
                               joined, entries.empty(), [] { copyAll(); }, [] { clear(); })});
    });
}

// --- Files

std::vector<pf::URL> IOSDebug_FilesView::rootItems() {
    std::vector<pf::URL> roots;
    if (const auto container = pf::NSFileManager::sandboxContainer()) {
        const pf::URL support =
            systemDirectory(pf::NSSearchPathDirectory::applicationSupportDirectory);
        roots = {pf::URL::fileURL(container->string(), true),
                 systemDirectory(pf::NSSearchPathDirectory::documentDirectory),
                 pf::NSFileManager::defaultManager().temporaryDirectory(),
                 support,
                 systemDirectory(pf::NSSearchPathDirectory::cachesDirectory),
                 support.deletingLastPathComponent()};
    } else {
        roots = {applicationSupportDirectory(), documentsDirectory(), cachesDirectory()};
    }
    const auto& more = additionalDebugFileBrowserURLs();
    roots.insert(roots.end(), more.begin(), more.end());
    return roots;
}

ui::View IOSDebug_FilesView::body(ui::ViewContext&) const {
    return QV_FileBrowser{QV_FileBrowserModel::shared(), "Files", rootItems()};
}

// --- Settings

ui::View IOSDebug_SettingsView::body(ui::ViewContext&) const {
    static constexpr std::array<const char*, 4> kLabels{
        "Draw Outlines Around Views", "Visualize Mutually Exclusive Constraints",
        "Log AppKit Events", "Show Internal AppKit Debug Menu"};
    std::vector<ui::View> rows;
    for (std::size_t i = 0; i < kLabels.size(); ++i) {
        rows.emplace_back(Prefs::Toggle(kLabels[i], appKitDebugKey(i)).onChange([](bool) {
            relaunchForDebugSetting();
        }));
    }
    rows.emplace_back(DebugAddHighlightDrawnRectanglesSetting{});
    return ui::Form({ui::Section(std::move(rows)), ui::Section({ui::Button(
                                                                   "Delete App Data",
                                                                   [] {
                                                                       deleteSettingsAndData();
                                                                       relaunchForDebugSetting();
                                                                   },
                                                                   "destructive")},
                                                               "DANGER")})
        .modifier("formStyle", ".grouped");
}

bool DebugAddHighlightDrawnRectanglesSetting::isOn() {
    return pf::UserDefaults::standard()->string(kShowAllDrawingKey) == "200";
}

void DebugAddHighlightDrawnRectanglesSetting::flip() {
    const auto defaults = pf::UserDefaults::standard();
    if (isOn()) {
        defaults->set(pf::Value("no"), kShowAllDrawingKey);
    } else {
        defaults->set(pf::Value("200"), kShowAllDrawingKey);
        defaults->set(pf::Value("cycle"), "NSShowAllDrawingColor");
    }
    relaunchForDebugSetting();
}

ui::View DebugAddHighlightDrawnRectanglesSetting::body(ui::ViewContext&) const {
    // Read each time it is drawn; what a click asks for is not used, the stored text decides.
    return ui::Toggle("Highlight Drawn Rectangles",
                      ui::Binding<bool>([] { return isOn(); }, [](const bool&) { flip(); }));
}

} // namespace zestrel

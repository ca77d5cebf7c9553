#include "app/FileBrowser.h"

#include "foundation/ErrorPresentation.h"
#include "foundation/FileOperations.h"
#include "foundation/TaskStarters.h"
#include "foundation/TextUtilities.h"
#include "platform/base/ProcessLocal.h"
#include "platform/base/UTF8.h"
#include "platform/data/Formatters.h"
#include "platform/data/NSFileManager.h"
#include "platform/data/UserDirectories.h"
#include "platform/desktop/FileViewer.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/Navigation.h"
#include "platform/swiftui/Presentation.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewState.h"
#include "services/FileSystem.h"
#include "ui/Pasteboard.h"
#include "ui/SwiftUIHelpers.h"
#include "ui/SwiftUIWindowAccess.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <limits>
#include <set>
#include <string_view>

namespace zestrel {

namespace pf = platform;
namespace ui = platform::swiftui;
namespace fs = std::filesystem;

namespace {

// One fact of the item; one that cannot be read counts as absent.
template <class Read> auto fact(Read read) -> decltype(read()) {
    try {
        return read();
    } catch (const pf::Error&) {
        return {};
    }
}

std::optional<pf::Date> dateFact(const pf::URL& url, const char* key) {
    auto date = fact([&] { return dateResourceValue(url, key); });
    return date && *date == epoch() ? std::nullopt : date;
}

bool boolFact(const pf::URL& url, const char* key) {
    return fact([&] { return boolResourceValue(url, key, false); });
}

// The folder's items, hidden ones included; nothing when it cannot be listed.
std::optional<std::vector<pf::URL>> folderContents(const pf::URL& url) {
    try {
        return pf::NSFileManager::defaultManager().contentsOfDirectoryAtURL(url);
    } catch (const pf::Error&) {
        return std::nullopt;
    }
}

// A path without the separator a folder's URL may end in, for comparing places.
fs::path itemPath(const pf::URL& url) {
    const fs::path path = fs::path(url.path()).lexically_normal();
    return path.has_filename() || path == path.root_path() ? path : path.parent_path();
}

// The text with each sequence that is not well-formed UTF-8 written by `replace`, the rest
// kept as it is.
template <class Replace> std::string withIllFormedUTF8(std::string_view text, Replace replace) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t position = 0; position < text.size();) {
        const pf::UTF8Character character = pf::decodeUTF8(text, position);
        const std::string_view bytes = text.substr(position, character.length);
        if (character.isWellFormed) {
            result += bytes;
        } else {
            replace(bytes, result);
        }
        position += character.length;
    }
    return result;
}

// What the pasteboard's text type takes: valid UTF-8, a name's stray bytes read as U+FFFD the
// way the platform's string conversion reads them.
std::string pasteboardText(std::string_view text) {
    return withIllFormedUTF8(text, [](std::string_view, std::string& into) { into += "\uFFFD"; });
}

// A name as a person reads it: a byte that is not UTF-8 is shown as "\xFF", not dropped.
std::string shownText(std::string_view text) {
    return withIllFormedUTF8(text, [](std::string_view bytes, std::string& into) {
        for (const char byte : bytes) {
            char escape[5];
            std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned char>(byte));
            into += escape;
        }
    });
}

fs::path userHomeDirectory() {
    return pf::NSFileManager::sandboxContainer().value_or(pf::homeDirectory());
}

// The name over the size and the date, in the smaller secondary style, with its symbol.
ui::View rowLabel(const pf::URL& url, const std::string& sizeText,
                  const std::optional<std::string>& modifiedText, std::string symbol) {
    std::vector<ui::View> details{ui::Text(sizeText)};
    if (modifiedText) {
        details.push_back(ui::Text(*modifiedText));
    }
    return ui::TitledLabel(ui::VStack({ui::Text(fileBrowserDisplayName(url)),
                                       secondaryTextStyle(ui::Group(std::move(details)))})
                               .modifier("alignment", ".leading"),
                           std::move(symbol));
}

ui::View commandLabel(std::string title, std::string symbol) {
    return ui::Label(std::move(title), std::move(symbol));
}

void deleteItem(const pf::URL& url, const ui::State<std::optional<pf::Error>>& error,
                const std::shared_ptr<QV_FileBrowserModel>& model) {
    startMainActorTask(std::nullopt, [url, error, model]() -> pf::Task<void> {
        // At once and for good: the debug screens do not keep what a developer deletes.
        try {
            pf::NSFileManager::defaultManager().removeItemAtURL(url);
        } catch (const pf::Error& failure) {
            if (!isCancelled(failure)) {
                error.set(failure);
            }
        }
        model->triggerUpdate.set(!model->triggerUpdate.get());
        co_return;
    });
}

std::vector<ui::View> contextMenu(const pf::URL& url, const FileBrowserItemFacts& facts,
                                  const ui::State<std::optional<pf::Error>>& error,
                                  const std::shared_ptr<QV_FileBrowserModel>& model) {
    return {
        ui::Button("Show in Finder", [url] { QV_FileBrowserRow::showInFinder(url); }),
        ui::NavigationLink(commandLabel("Get Info", "info.circle"),
                           ui::Text(shownText(url.path()))
                               .modifier("textSelection", ".enabled")
                               .modifier("padding")),
        ui::Button(commandLabel("Copy Path", "doc.on.doc"),
                   [path = url.path()] { copyToPasteboard(pasteboardText(path)); }),
        ui::Button(commandLabel("Copy Filename", "doc.on.doc"),
                   [name = url.lastPathComponent()] { copyToPasteboard(pasteboardText(name)); }),
        ui::ShareLink("Share…", url),
        ui::Divider(),
        ui::Text(fileBrowserCreatedText(facts)),
        ui::Text(fileBrowserModifiedMenuText(facts)),
        ui::Divider(),
        ui::Button(
            commandLabel("Delete", "trash"), [url, error, model] { deleteItem(url, error, model); },
            "destructive")
            .disabled(!facts.isWritable),
    };
}

} // namespace

std::shared_ptr<QV_FileBrowserModel> QV_FileBrowserModel::shared() {
    static auto* const model = new pf::ProcessLocal<std::shared_ptr<QV_FileBrowserModel>>([] {
        return std::make_unique<std::shared_ptr<QV_FileBrowserModel>>(
            std::make_shared<QV_FileBrowserModel>());
    });
    return **model;
}

FileBrowserItemFacts FileBrowserItemFacts::read(const pf::URL& url) {
    FileBrowserItemFacts facts;
    facts.isReadable = boolFact(url, pf::NSURLIsReadableKey);
    facts.isFolder = boolFact(url, pf::NSURLIsDirectoryKey);
    facts.isWritable = boolFact(url, pf::NSURLIsWritableKey);
    facts.isPackage = boolFact(url, pf::NSURLIsPackageKey);
    facts.localizedName = fact([&] { return stringResourceValue(url, pf::NSURLLocalizedNameKey); });
    facts.fileSize = fact([&] { return doubleResourceValue(url, pf::NSURLFileSizeKey); });
    facts.creationDate = dateFact(url, pf::NSURLCreationDateKey);
    facts.modificationDate = dateFact(url, pf::NSURLContentModificationDateKey);
    return facts;
}

std::string fileBrowserDisplayName(const pf::URL& url) {
    if (itemPath(url) == userHomeDirectory().lexically_normal()) {
        return "Home";
    }
    return shownText(fact([&] {
                         return stringResourceValue(url, pf::NSURLLocalizedNameKey);
                     }).value_or(url.lastPathComponent()));
}

Bytes fileSizeBytes(const std::optional<double>& size) {
    constexpr double kLargest = static_cast<double>(std::numeric_limits<std::int64_t>::max());
    if (!size || !(*size > 0)) {
        return Bytes::zero();
    }
    if (*size >= kLargest) {
        return Bytes{std::numeric_limits<std::int64_t>::max()};
    }
    return Bytes{static_cast<std::int64_t>(*size)};
}

Bytes directorySize(const pf::URL& url) {
    ensureIsDirectory(url);
    const auto below = pf::NSFileManager::defaultManager().enumeratorAtURL(url);
    if (!below) {
        return Bytes::zero();
    }
    Bytes sum = Bytes::zero();
    for (const auto& item : *below) {
        const auto size = fact([&] { return doubleResourceValue(item, pf::NSURLFileSizeKey); });
        sum = Bytes::saturatingAdd(sum, fileSizeBytes(size));
    }
    return sum;
}

std::string fileBrowserSizeText(const FileBrowserItemFacts& facts, bool isEmptyFolder,
                                Bytes directorySize) {
    if (!facts.isReadable) {
        return "No Access";
    }
    if (facts.isFolder) {
        return isEmptyFolder ? "Empty" : pf::ByteCountFormatter::string(directorySize.bytes);
    }
    return pf::ByteCountFormatter::string(fileSizeBytes(facts.fileSize).bytes);
}

std::optional<std::string> fileBrowserModifiedText(const FileBrowserItemFacts& facts,
                                                   pf::Date now) {
    if (!facts.modificationDate) {
        return std::nullopt;
    }
    const pf::Date date = *facts.modificationDate;
    return pf::DateFormatStyle::isSameDay(date, now) ? pf::DateFormatStyle::shortenedTime(date)
                                                     : pf::DateFormatStyle::abbreviatedDate(date);
}

std::string fileBrowserCreatedText(const FileBrowserItemFacts& facts) {
    return "Created: " + (facts.creationDate ? pf::DateFormatStyle::standard(*facts.creationDate)
                                             : std::string("Unavailable"));
}

std::string fileBrowserModifiedMenuText(const FileBrowserItemFacts& facts) {
    // Two absent dates are equal too: never modified.
    const bool never = !facts.modificationDate || facts.modificationDate == facts.creationDate;
    return "Modified: " +
           (never ? std::string("Never") : pf::DateFormatStyle::standard(*facts.modificationDate));
}

void QV_FileBrowserRow::showInFinder(const pf::URL& url) {
    const auto facts = FileBrowserItemFacts::read(url);
    if (facts.isFolder && !facts.isPackage) {
        openURL(url);
        return;
    }
    std::error_code error;
    const fs::path resolved = fs::weakly_canonical(itemPath(url), error);
    pf::activateFileViewerSelectingURLs(
        {error ? url : pf::URL::fileURL(resolved.string(), facts.isFolder)});
}

ui::View QV_FileBrowserRow::body(ui::ViewContext& context) const {
    const auto model = context.observe(state);
    const auto directorySizeState = context.state<Bytes>("directorySize", Bytes::zero());
    const auto error = context.state<std::optional<pf::Error>>("error", std::nullopt);
    const auto presentedURL = context.state<std::optional<pf::URL>>("presentedURL", std::nullopt);
    const FileBrowserItemFacts facts = FileBrowserItemFacts::read(url);
    const auto modified = fileBrowserModifiedText(facts, pf::currentDate());

    ui::View content;
    if (facts.isFolder) {
        const auto contents = folderContents(url);
        // A folder that cannot be listed is not called empty.
        const bool isEmpty = contents && contents->empty();
        // Added up again whenever the lists are rebuilt: a delete may have changed it.
        const ui::View label = ui::identified(
            rowLabel(url, fileBrowserSizeText(facts, isEmpty, directorySizeState.get()), modified,
                     "folder")
                .onAppear([url = url, directorySizeState] {
                    startMainActorTask(pf::TaskPriority::userInitiated,
                                       [url, directorySizeState]() -> pf::Task<void> {
                                           try {
                                               directorySizeState.set(directorySize(url));
                                           } catch (const pf::Error&) {
                                               directorySizeState.set(Bytes::zero());
                                           }
                                           co_return;
                                       });
                }),
            model->triggerUpdate.get() ? "true" : "false");
        content = ui::NavigationLink(label, LazyView([model, url = url] {
                                         return ui::View(QV_FileBrowser{
                                             model, fileBrowserDisplayName(url),
                                             folderContents(url).value_or(std::vector<pf::URL>{})});
                                     }))
                      .disabled(isEmpty);
    } else {
        content = ui::quickLookPreview(
            ui::Button(
                rowLabel(url, fileBrowserSizeText(facts, false, Bytes::zero()), modified, "doc"),
                [presentedURL, url = url] { presentedURL.set(url); })
                .modifier("buttonStyle", ".plain"),
            presentedURL.binding());
    }
    return alertForError(content.disabled(!facts.isReadable), error.binding())
        .contextMenu(contextMenu(url, facts, error, model));
}

ui::View QV_FileBrowser::body(ui::ViewContext& context) const {
    const auto model = context.observe(state);
    std::set<pf::URL> seen;
    std::vector<pf::URL> unique;
    for (const auto& item : items) {
        if (seen.insert(item).second) {
            unique.push_back(item);
        }
    }
    std::vector<pf::URL> shown = existingFileURLs(unique);
    // Folders first; an item whose kind cannot be read is no folder.
    std::stable_partition(shown.begin(), shown.end(), [](const pf::URL& url) {
        return boolFact(url, pf::NSURLIsDirectoryKey);
    });
    std::vector<ui::ListRow> rows;
    for (const auto& url : shown) {
        rows.push_back({url.absoluteString(), QV_FileBrowserRow{model, url}});
    }
    // Observing the model, the list is read again whenever it toggles; rows keep their state
    // (an error being shown) by their item.
    return ui::NavigationStack(ui::View(ui::List(std::move(rows)))
                                   .modifier("navigationTitle", "\"" + title + "\"")
                                   .modifier("navigationBarTitleDisplayMode", ".inline"));
}

} // namespace zestrel

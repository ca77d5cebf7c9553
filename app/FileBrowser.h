#pragma once

#include "foundation/Bytes.h"
#include "platform/base/Value.h"
#include "platform/concurrency/ObservableObject.h"
#include "platform/swiftui/View.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// A navigable list of files and folders for the developer debug screens: each row shows an
// item's name, size and modification date; a folder opens a nested list, a file opens in
// Quick Look, and a row's context menu reveals, describes, copies, shares or deletes it.
// Facts are read from the disk each time a row is drawn; nothing is cached. Main thread only.
namespace zestrel {

// What every list and row observes: toggling `triggerUpdate` rebuilds every list, so a
// deleted item disappears. One for the process, made on first use.
class QV_FileBrowserModel final : public platform::combine::ObservableObject {
public:
    static std::shared_ptr<QV_FileBrowserModel> shared();
    platform::combine::Published<bool> triggerUpdate{*this, false};
};

// A list of `items` (the roots, or a folder's contents) titled `title`, in a navigation stack
// of its own: repeated and missing items left out, folders first, each group in the given
// order.
struct QV_FileBrowser {
    std::shared_ptr<QV_FileBrowserModel> state;
    std::string title;
    std::vector<platform::URL> items;
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

// One item of a list.
struct QV_FileBrowserRow {
    std::shared_ptr<QV_FileBrowserModel> state;
    platform::URL url;
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;

    // Opens a folder in the Finder; reveals a file, or a package such as an app (which
    // opening would launch), with links resolved.
    static void showInFinder(const platform::URL& url);
};

// What a row reads of its item; a fact that cannot be read is absent, or false. A date at
// 1 January 1970 counts as absent.
struct FileBrowserItemFacts {
    bool isReadable = false;
    bool isFolder = false;
    bool isWritable = false;
    bool isPackage = false;
    std::optional<std::string> localizedName;
    std::optional<double> fileSize;
    std::optional<platform::Date> creationDate;
    std::optional<platform::Date> modificationDate;

    static FileBrowserItemFacts read(const platform::URL& url);
};

// "Home" for the user's home folder (a sandboxed app's container); else the item's name, each
// byte that is not UTF-8 shown as "\xFF".
std::string fileBrowserDisplayName(const platform::URL& url);

// The byte count of a file size read as a floating-point number: none is 0, a size beyond
// the largest count is that count.
Bytes fileSizeBytes(const std::optional<double>& size);

// Everything below a folder added up (hidden items and package contents too); unreadable
// items count 0 and a sum beyond the largest count stays there. Throws "The URL is not a
// directory." for anything but a folder.
Bytes directorySize(const platform::URL& url);

// The row's size text: "No Access" for an item that cannot be read, "Empty" for a folder
// with nothing in it, else the size (a folder's summed one) in file-style bytes.
std::string fileBrowserSizeText(const FileBrowserItemFacts& facts, bool isEmptyFolder,
                                Bytes directorySize);
// The row's date: the time alone when the item changed today, else the date alone; nothing
// without a modification date.
std::optional<std::string> fileBrowserModifiedText(const FileBrowserItemFacts& facts,
                                                   platform::Date now);
// The context menu's date lines: "Created: " and the date and time, or "Unavailable";
// "Modified: " and the date and time, or "Never" when there is none or it is the creation
// date.
std::string fileBrowserCreatedText(const FileBrowserItemFacts& facts);
std::string fileBrowserModifiedMenuText(const FileBrowserItemFacts& facts);

} // namespace zestrel

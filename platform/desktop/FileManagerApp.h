#pragma once

#include "platform/base/Clock.h"
#include "platform/data/FileSafety.h"
#include "platform/desktop/SimulatedApplication.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

// Where `path` really is: absolute, with every symbolic link along it resolved (a last one
// that leads nowhere too) and `.` and `..` taken as the system takes them, after the link
// they follow. Parts that do not exist are kept as written. Throws an error for a path that
// holds a NUL byte, a loop of links, or a part that cannot be examined.
std::filesystem::path realPath(const std::filesystem::path& path);

// Whether `path` is `folder` or lies inside it, component by component (both real paths).
bool isWithin(const std::filesystem::path& path, const std::filesystem::path& folder);

// A file manager (the Finder, ForkLift) over real folders: one browser window showing a
// current folder, and a selection of items in it.
//
// Command+C puts the selection's file URLs on the general pasteboard after the copy
// latency, as the real ones do a moment after the key. Shortcuts are matched as key
// equivalents (the U.S. key positions on a layout without Latin letters). Command+V copies the
// pasteboard's files into the current folder and Command+Option+V moves them; the pasted items
// become the selection. A copy keeps each item's modification time (a link's own where the
// system lets it be set), as a move does. A name that already exists in the folder is never
// overwritten, and a folder never goes inside itself (also not through a symbolic link): that item
// is skipped and the reason written to the desktop's log. An item that fails to copy leaves nothing
// of it behind (the log says when it could not remove all it made); one moved onto another file
// system is copied, then removed where it was, and the log names what of it could not be, and what
// changed since the copy read it: that stays where it was, and its copy holds it as it was.
//
// A confined file manager (`confine`) stays inside one folder, as the console's sandbox
// needs: it starts there, and refuses to show, select or paste anything whose real path
// leads out of it.
//
// Its files are worked on in open folders, one name at a time and never through a link (see
// `FolderWalk.h`): the current folder is opened along its real path as found when it was
// shown, and a pasted item's folder along its own, so a folder swapped for a link meanwhile
// fails the work on it (logged) and nothing lands, or is read, where the link leads.
class FileManagerApplication final : public SimulatedApplication {
public:
    // The Finder also draws the desktop: a desktop-icons window over the main screen.
    explicit FileManagerApplication(bool drawsDesktop = false) : drawsDesktop_(drawsDesktop) {}

    static constexpr Nanoseconds kDefaultCopyLatency = std::chrono::milliseconds(50);

    // Keeps it inside `root` from now on and shows `root` (at launch, when it does not run
    // yet). Throws an error when `root` is not a folder.
    void confine(const std::filesystem::path& root);
    // The real path of the folder it is kept in, if any.
    const std::optional<std::filesystem::path>& confinement() const { return root_; }

    const std::filesystem::path& currentFolder() const { return folder_; }
    // Shows a folder (and names the window after it); the selection is emptied. Throws an
    // error when the path is not a folder or leads out of the confinement.
    void openFolder(const std::filesystem::path& folder);
    // Selects items of the current folder by name. Throws an error for a name not there, for
    // anything but a plain name (a `/`, `.` or `..`), for a name given twice (a selection
    // holds an item once), and for an item that leads out of the confinement; the selection
    // is then unchanged.
    void select(const std::vector<std::string>& names);
    // Selects every item of the current folder; throws an error when it cannot be listed.
    void selectAll();
    // Full paths, in the order selected.
    const std::vector<std::filesystem::path>& selection() const { return selection_; }

    // This launch's own latency when set, else the desktop's setting for the application.
    Nanoseconds copyLatency() const;
    void setCopyLatency(Nanoseconds latency) { latency_ = latency; }

    CGWindowID browserWindow() const { return window_; }

    // What the keys do, callable directly. A copy leaves out a selected item that went; any
    // other failure to look at the selection copies nothing (logged).
    void copySelection();
    void paste(bool move);

    // A test's way in: called in each move onto another file system between the copy and the
    // removal of its source.
    void setMoveCopiedHook(std::function<void()> hook) { moveCopiedHook_ = std::move(hook); }

protected:
    void didLaunch() override;
    void keyDown(const ReceivedKeyEvent& event) override;

private:
    void log(const std::string& message) const;
    // Why `item` (the real path of its folder, and its name) must not be pasted into the
    // current folder, if it must not.
    std::optional<std::string> refusal(const std::filesystem::path& item) const;
    // The folder at the real path `real`, opened one name at a time; throws an error naming
    // it as `shown` when it cannot be.
    static FileDescriptor opened(const std::filesystem::path& real,
                                 const std::filesystem::path& shown);

    const bool drawsDesktop_;
    std::optional<std::filesystem::path> root_;
    std::filesystem::path folder_;
    std::filesystem::path realFolder_; // where `folder_` really was when it was shown
    std::vector<std::filesystem::path> selection_;
    std::optional<Nanoseconds> latency_;
    std::function<void()> moveCopiedHook_;
    CGWindowID window_ = kCGNullWindowID;
};

} // namespace zestrel::platform

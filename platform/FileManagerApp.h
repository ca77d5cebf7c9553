#pragma once

#include "platform/Clock.h"
#include "platform/SimulatedApplication.h"

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

namespace zestrel::platform {

// A file manager (the Finder, ForkLift) over real folders: one browser window showing a
// current folder, and a selection of items in it.
//
// Command+C puts the selection's file URLs on the general pasteboard after the copy
// latency, as the real ones do a moment after the key. Command+V copies the pasteboard's
// files into the current folder and Command+Option+V moves them; the pasted items become
// the selection. A name that already exists in the folder is never overwritten: that item
// is skipped and the clash written to the desktop's log.
class FileManagerApplication final : public SimulatedApplication {
public:
    // The Finder also draws the desktop: a desktop-icons window over the main screen.
    explicit FileManagerApplication(bool drawsDesktop = false) : drawsDesktop_(drawsDesktop) {}

    static constexpr Nanoseconds kDefaultCopyLatency = std::chrono::milliseconds(50);

    const std::filesystem::path& currentFolder() const { return folder_; }
    // Shows a folder (and names the window after it); the selection is emptied. Throws an
    // error when the path is not a folder.
    void openFolder(const std::filesystem::path& folder);
    // Selects items of the current folder by name; throws an error for a name not there.
    void select(const std::vector<std::string>& names);
    void selectAll();
    // Full paths, in the order selected.
    const std::vector<std::filesystem::path>& selection() const { return selection_; }

    Nanoseconds copyLatency() const { return latency_; }
    void setCopyLatency(Nanoseconds latency) { latency_ = latency; }

    CGWindowID browserWindow() const { return window_; }

    // What the keys do, callable directly.
    void copySelection();
    void paste(bool move);

protected:
    void didLaunch() override;
    void keyDown(const ReceivedKeyEvent& event) override;

private:
    void log(const std::string& message) const;

    const bool drawsDesktop_;
    std::filesystem::path folder_;
    std::vector<std::filesystem::path> selection_;
    Nanoseconds latency_ = kDefaultCopyLatency;
    CGWindowID window_ = kCGNullWindowID;
};

} // namespace zestrel::platform

#pragma once

#include "platform/desktop/Desktop.h"
#include "platform/desktop/EventTap.h"

#include <memory>
#include <vector>

namespace zestrel::console {

// A stand-in for the cut engine's taps while the app does not yet run on the desktop, so
// a script can show keys rewritten on real files: one active tap on each running Finder
// and ForkLift that turns Command+X into Command+C and remembers the pasteboard's change
// count, and turns the next Command+V into Command+Option+V while the pasteboard still
// holds that copy. The recorded count is taken again 0.2, 0.4 and 0.6 seconds after the
// cut, as the engine does, so the file manager's own copy a moment after the key counts
// as the cut's. A plain Command+C forgets the cut.
class StandInTap {
public:
    // Taps every served file manager running now. Throws an error when a tap cannot be made.
    explicit StandInTap(platform::Desktop& desktop);
    ~StandInTap();
    StandInTap(const StandInTap&) = delete;
    StandInTap& operator=(const StandInTap&) = delete;

    // The processes tapped, in launch order.
    const std::vector<int>& tappedProcesses() const { return processes_; }

private:
    struct Cut;
    struct Tap {
        platform::CFMachPortRef port;
        platform::CFRunLoopSourceRef source;
    };

    std::shared_ptr<Cut> cut_;
    std::vector<Tap> taps_;
    std::vector<int> processes_;
};

} // namespace zestrel::console

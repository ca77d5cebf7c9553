#pragma once

#include "foundation/TextUtilities.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::platform {
class Desktop;
class NSRunningApplication;
struct OutlineNode;
} // namespace zestrel::platform

// Text helpers the console's command families share, so each output reads the same
// whichever command writes it. Internal to the console.
namespace zestrel::console {

// Every character below a space (and DEL) written as an escape, so that one line of output
// stays one line whatever a name holds.
std::string escapedControls(const std::string& text);

// "1 file", "2 files".
std::string counted(std::size_t count, const std::string& noun);

// The bundle identifier an APP word names; "zestrel" is this program's own.
std::string bundleIdentifierOf(const std::string& name);

// An application as the output names it: "Finder", and with its process "Finder (pid 2)".
std::string nameOf(const platform::NSRunningApplication& app);
std::string withPid(const platform::NSRunningApplication& app);
// A process by its application when one runs with that identifier, else "pid N".
std::string processNamed(const platform::Desktop& desktop, int processIdentifier);

// The first label below `node` in its outline, depth first, leaving out `skip` and what
// is in it; empty when there is none. What names a window or row without a title.
std::string firstLabel(const platform::OutlineNode& node,
                       const platform::OutlineNode* skip = nullptr);

// A log entry's message, without the location and date the log buffer adds.
std::string logMessage(const std::string& entry);

} // namespace zestrel::console

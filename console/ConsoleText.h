#pragma once

#include "foundation/TextUtilities.h"

#include <cstddef>
#include <iterator>
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

// A text as every reply shows it: one line that sends the terminal nothing but text and
// reads back to one text. The controls (`\n`, `\t`, `\r`, `\x01`, and C1 as `\u{9B}`), the
// bidirectional marks and overrides and the line and paragraph separators (`\u{202E}`) are
// escaped, and so is each byte that is not part of UTF-8 (`\xFF`). A literal that
// `quotedString` wrote keeps its own escapes (`"say \"hi\""`); elsewhere a backslash is
// written `\\`, and a quote that opens no such literal `\"` (unless no quote follows it).
std::string escapedControls(const std::string& text);

// `text` with `name` written for `path` where it stands as a path or at a path's start: where
// the text or a line starts, after white space, a quote, a bracket, `,`, `;`, `:`, `=` or
// "file://", and up to a `/`, the text's end, white space or such a mark. So with the folder
// `/d/plain`, `/d/plain/q` is named and `/d/plainer/q` or `a/d/plain` is not. A `/` that would
// come twice where `name` ends in one is written once.
std::string withPathNamed(std::string text, std::string_view path, std::string_view name);

// The text without the spaces, tabs and line breaks around it.
std::string_view trimmed(std::string_view text);

// The start of `text`: up to its `characters`th character, and with `toLineBreak` up to its
// first line break, then "…" when anything is left out. Cut between characters.
std::string startOf(std::string_view text, std::size_t characters, bool toLineBreak = false);
// The characters in `text`, a sequence that is not UTF-8 counting as one.
std::size_t characterCount(std::string_view text);

// `later` after `earlier`, moved: what ended processes kept, then what the current one has.
template <typename T> std::vector<T> followedBy(std::vector<T> earlier, std::vector<T> later) {
    earlier.insert(earlier.end(), std::make_move_iterator(later.begin()),
                   std::make_move_iterator(later.end()));
    return earlier;
}

// Each text quoted, in order: `"OK", "Cancel"`; "none" for no text. `quote` quotes each (as
// `quotedString` does when none is given).
std::string quotedList(const std::vector<std::string>& texts,
                       std::string (*quote)(const std::string&) = nullptr);

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

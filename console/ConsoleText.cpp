#include "console/ConsoleText.h"

#include "console/PropertyListLiteral.h"
#include "console/ScriptCommand.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/Bundle.h"
#include "platform/base/UTF8.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSRunningApplication.h"

#include <fmt/format.h>

#include <algorithm>
#include <iterator>
#include <optional>

namespace zestrel::console {

using namespace zestrel::platform;

namespace {

// Characters a terminal acts on or hides, or that turn the text around it: the controls (C0,
// DEL, C1), the bidirectional marks, embeddings, overrides and isolates, and the line and
// paragraph separators.
bool isEscapedCharacter(char32_t c) {
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x061C || c == 0x200E || c == 0x200F ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

// Writes the character at `at` to `out`, escaped when it must be, and returns its length:
// `\n`, `\t`, `\r`, `\x01` for the other controls below a space, `\xFF` for each byte that is
// not part of UTF-8, `\u{202E}` for the others.
std::size_t appendCharacter(std::string_view text, std::size_t at, std::string& out) {
    const auto character = decodeUTF8(text, at);
    const auto c = character.scalar;
    if (!character.isWellFormed) {
        for (std::size_t i = 0; i < character.length; ++i) {
            out += fmt::format("\\x{:02X}", static_cast<unsigned char>(text[at + i]));
        }
    } else if (!isEscapedCharacter(c)) {
        out.append(text.substr(at, character.length));
    } else if (const auto letter = c < 0x80 ? escapeLetter(static_cast<char>(c)) : std::nullopt) {
        out += '\\';
        out += *letter;
    } else if (c < 0x80) {
        out += fmt::format("\\x{:02X}", static_cast<unsigned>(c));
    } else {
        out += fmt::format("\\u{{{:X}}}", static_cast<unsigned>(c));
    }
    return character.length;
}

// Where the quoted literal that opens at `at` ends (past its closing quote), as `quotedString`
// writes one or a person types one: a backslash starts an escape a quoted word knows, and no
// character `quotedString` escapes stands in it as it is. Nothing when no such literal opens
// there.
std::optional<std::size_t> literalEnd(std::string_view text, std::size_t at) {
    for (std::size_t i = at + 1; i < text.size(); ++i) {
        if (text[i] == '"') {
            return i + 1;
        }
        if (text[i] == '\\') {
            const auto escape = escapeAt(text.substr(i + 1));
            if (!escape) {
                return std::nullopt;
            }
            i += escape->length;
        } else if (escapeLetter(text[i])) {
            return std::nullopt;
        }
    }
    return std::nullopt;
}

// What replies put around a path besides white space: quotes, brackets and separators.
constexpr std::string_view kAroundPaths[] = {"\"", "(", ")", "[", "]", "{", "}", "<", ">", ",",
                                             ";",  ":", "=", "“", "”", "‘", "’", "«", "»"};

bool isSpaceOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ' || c == '\x7F';
}

bool startsPath(std::string_view before) {
    if (before.empty() || isSpaceOrControl(before.back()) || before.ends_with("file://")) {
        return true;
    }
    return std::any_of(std::begin(kAroundPaths), std::end(kAroundPaths),
                       [&](std::string_view mark) { return before.ends_with(mark); });
}

bool endsPath(std::string_view after) {
    if (after.empty() || after.front() == '/' || isSpaceOrControl(after.front())) {
        return true;
    }
    return std::any_of(std::begin(kAroundPaths), std::end(kAroundPaths),
                       [&](std::string_view mark) { return after.starts_with(mark); });
}

} // namespace

std::string withPathNamed(std::string text, std::string_view path, std::string_view name) {
    if (path.empty()) {
        return text;
    }
    for (auto at = text.find(path); at != std::string::npos; at = text.find(path, at)) {
        const std::string_view whole = text;
        auto end = at + path.size();
        if (!startsPath(whole.substr(0, at)) || !endsPath(whole.substr(end))) {
            ++at;
            continue;
        }
        if (name.ends_with('/') && end < text.size() && text[end] == '/') {
            ++end;
        }
        text.replace(at, end - at, name);
        at += name.size();
    }
    return text;
}

std::string escapedControls(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        if (text[at] == '"') {
            // A quoted literal keeps its own escapes. A quote that opens none is escaped when
            // another follows, so that what lies between cannot pass for one.
            if (const auto end = literalEnd(text, at)) {
                out += '"';
                for (++at; at < *end;) {
                    if (text[at] == '\\') {
                        out.append(text, at, 2);
                        at += 2;
                    } else {
                        at += appendCharacter(text, at, out);
                    }
                }
            } else {
                out += text.find('"', at + 1) == std::string::npos ? "\"" : "\\\"";
                ++at;
            }
        } else if (text[at] == '\\') {
            out += "\\\\";
            ++at;
        } else {
            at += appendCharacter(text, at, out);
        }
    }
    return out;
}

std::string quotedList(const std::vector<std::string>& texts,
                       std::string (*quote)(const std::string&)) {
    std::vector<std::string> quoted;
    for (const auto& text : texts) {
        quoted.push_back(quote ? quote(text) : quotedString(text));
    }
    return quoted.empty() ? std::string("none") : joined(quoted, ", ");
}

std::string counted(std::size_t count, const std::string& noun) {
    return std::to_string(count) + " " + noun + (count == 1 ? "" : "s");
}

std::string bundleIdentifierOf(const std::string& name) {
    return applicationNamed(name).value_or(Bundle::main()->bundleIdentifier().value_or(""));
}

std::string nameOf(const NSRunningApplication& app) {
    return app.localizedName().value_or(app.bundleIdentifier().value_or("?"));
}

std::string withPid(const NSRunningApplication& app) {
    return nameOf(app) + " (pid " + std::to_string(app.processIdentifier()) + ")";
}

std::string processNamed(const Desktop& desktop, int processIdentifier) {
    const auto app = desktop.runningApplication(processIdentifier);
    return app ? withPid(*app) : "pid " + std::to_string(processIdentifier);
}

std::string_view trimmed(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string startOf(std::string_view text, std::size_t characters, bool toLineBreak) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); ++count) {
        if (count == characters || (toLineBreak && text[at] == '\n')) {
            return std::string(text.substr(0, at)) + "…";
        }
        at += platform::decodeUTF8(text, at).length;
    }
    return std::string(text);
}

std::size_t characterCount(std::string_view text) {
    std::size_t count = 0;
    for (std::size_t at = 0; at < text.size(); ++count) {
        at += platform::decodeUTF8(text, at).length;
    }
    return count;
}

std::string firstLabel(const OutlineNode& node, const OutlineNode* skip) {
    for (const auto& child : node.children) {
        if (&child == skip) {
            continue;
        }
        if (!child.label.empty()) {
            return child.label;
        }
        if (auto found = firstLabel(child, skip); !found.empty()) {
            return found;
        }
    }
    return {};
}

std::string logMessage(const std::string& entry) {
    return entry.substr(0, entry.find("\n\t["));
}

} // namespace zestrel::console

#include "console/ConsoleText.h"

#include "console/PropertyListLiteral.h"
#include "console/ScriptCommand.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/Bundle.h"
#include "platform/base/UTF8.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSRunningApplication.h"

#include <cstdio>

namespace zestrel::console {

using namespace zestrel::platform;

std::string escapedControls(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    const auto escapeByte = [&out](unsigned char byte) {
        char escape[5];
        std::snprintf(escape, sizeof escape, "\\x%02X", byte);
        out += escape;
    };
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80) {
            // A name's bytes that are no UTF-8 would garble the terminal: shown one by one.
            const auto character = platform::decodeUTF8(text, at);
            for (std::size_t i = 0; i < character.length; ++i) {
                if (character.isWellFormed) {
                    out += text[at + i];
                } else {
                    escapeByte(static_cast<unsigned char>(text[at + i]));
                }
            }
            at += character.length;
            continue;
        }
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\r') {
            out += "\\r";
        } else if (byte < 0x20 || byte == 0x7F) {
            escapeByte(byte);
        } else {
            out += c;
        }
        ++at;
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

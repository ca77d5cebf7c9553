#include "console/Console.h"

#include "console/ConsoleText.h"
#include "console/FileReplacement.h"
#include "console/PropertyListLiteral.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSSound.h"
#include "platform/data/FileSafety.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSPasteboard.h"
#include "platform/system/SystemSound.h"

#include <algorithm>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

// Expectations: a script checks itself, and stops with the reason at the first that is not
// met.
namespace zestrel::console {

namespace fs = std::filesystem;
using namespace zestrel::platform;

void Console::expect(const Command& command) {
    const auto& arguments = command.arguments;
    const auto& what = arguments[0];
    const auto unmet = [](const std::string& message) {
        return CommandError("expectation not met: " + message);
    };
    // A text is looked for as the replies show it (folders as `$TMP` and `$HOME`, control
    // characters and backslashes escaped), which reads back to one text; one that holds no
    // backslash, and so no escape, also as it is.
    const auto showsText = [this](const std::string& held, const std::string& text) {
        return readable(held).find(text) != std::string::npos ||
               (text.find('\\') == std::string::npos && held.find(text) != std::string::npos);
    };
    if (what == "folder") {
        const auto folder = path(arguments[1]);
        std::vector<std::string> names;
        for (auto& entry : itemsOf(folder, "expectation not met: ")) {
            names.push_back(std::move(entry.name));
        }
        std::vector<std::string> wanted(arguments.begin() + 2, arguments.end());
        std::sort(names.begin(), names.end());
        std::sort(wanted.begin(), wanted.end());
        if (names != wanted) {
            const auto list = [](const std::vector<std::string>& list) {
                return list.empty() ? std::string("nothing") : joined(list, ", ");
            };
            throw unmet(folder.string() + " should hold " + list(wanted) + "; it holds " +
                        list(names));
        }
        say("ok: " + folder.string() + " holds " +
            (names.empty() ? std::string("nothing") : joined(names, ", ")));
    } else if (what == "missing") {
        // The path as it is named, never resolved through a link first: a link at it, leading
        // anywhere or nowhere, is something there, and one on the way proves nothing absent.
        const auto& item = arguments[1];
        std::optional<mode_t> found;
        if (const int error = lookWithin(temporaryFolder_, writtenPath(item), found)) {
            throw CommandError("cannot look at " + item + ": " + errnoText(error));
        }
        if (found) {
            const auto kind = S_ISDIR(*found) ? "folder" : S_ISLNK(*found) ? "link" : "file";
            throw unmet("there is a " + std::string(kind) + " at " + item);
        }
        say("ok: nothing at " + item);
    } else if (what == "pasteboard") {
        const auto pasteboard = desktop_->generalPasteboard();
        const auto items = pasteboard->pasteboardItems().size();
        const auto files = pasteboard->readFileURLs().size();
        const auto holds = counted(items, "item") + " (" + counted(files, "file") + ")";
        if (arguments[1] == "text") {
            const auto& text = arguments[2];
            const auto held = pasteboard->stringForType(NSPasteboardType::string);
            if (!held || !showsText(*held, text)) {
                throw unmet(
                    "the pasteboard's text should hold " + quotedString(text) + "; " +
                    (held ? "it holds " + counted(held->size(), "character") : "it holds no text"));
            }
            say("ok: the pasteboard's text holds " + quotedString(text));
        } else if (arguments[1] == "empty") {
            if (items != 0) {
                throw unmet("the pasteboard should be empty; it holds " + holds);
            }
            say("ok: the pasteboard is empty");
        } else {
            const auto wanted = static_cast<std::size_t>(std::stoul(arguments[2]));
            if (files != wanted) {
                throw unmet("the pasteboard should hold " + counted(wanted, "file") +
                            "; it holds " + holds);
            }
            say("ok: the pasteboard holds " + counted(files, "file"));
        }
    } else if (what == "log") {
        const auto& text = arguments[1];
        // The most recent that holds it, of the desktop's lines and the app's, as they came.
        const auto desktopLines = desktop_->orderedLogLines();
        const auto appLines = appLog();
        auto desktopLine = desktopLines.rbegin();
        auto appLine = appLines.rbegin();
        while (desktopLine != desktopLines.rend() || appLine != appLines.rend()) {
            const bool desktopNewer =
                appLine == appLines.rend() ||
                (desktopLine != desktopLines.rend() && desktopLine->order > appLine->order);
            const auto& line = desktopNewer ? *desktopLine++ : *appLine++;
            if (showsText(line.text, text)) {
                say("ok: logged " + logMessage(line.text));
                return;
            }
        }
        throw unmet("no log line holds " + quotedString(text));
    } else if (what == "alert") {
        const auto& text = arguments[1];
        // The most recent first, one at a time: a check copies no more of a long session's
        // alerts than it passes on its way to the one it finds.
        for (auto index = shownAlertCount(); index-- > 0;) {
            const auto alert = shownAlert(index);
            if (showsText(alert.messageText, text) || showsText(alert.informativeText, text)) {
                say("ok: alert " + quotedString(alert.messageText));
                return;
            }
        }
        throw unmet("no alert shown holds " + quotedString(text));
    } else if (what == "opened") {
        const auto& text = arguments[1];
        const auto found = lastHandedOn([&](const HandedOn& item) {
            return std::any_of(item.texts.begin(), item.texts.end(),
                               [&](const std::string& held) { return showsText(held, text); });
        });
        if (!found) {
            throw unmet("nothing the app opened or handed on holds " + quotedString(text));
        }
        say("ok: opened " + found->line);
    } else if (what == "menu" || what == "window") {
        const auto& text = arguments[1];
        // What a person would see: a row of the menu or its submenus, a line of a window.
        std::vector<OutlineNode> shown;
        if (what == "menu") {
            shown.push_back(menuOutline());
        } else {
            for (const auto& window : appWindows()) {
                shown.push_back(outline(*window));
            }
        }
        for (const auto& root : shown) {
            std::istringstream lines(render(root));
            for (std::string line; std::getline(lines, line);) {
                if (showsText(line, text)) {
                    const auto start = line.find_first_not_of(' ');
                    say("ok: " + what + " shows " + line.substr(start));
                    return;
                }
            }
        }
        throw unmet("no " + std::string(what == "menu" ? "row of the menu" : "window shown") +
                    " holds " + quotedString(text));
    } else if (what == "sounds") {
        // The system beep is a sound played too (the shortcut recorder refuses a key with it).
        const auto wanted = static_cast<std::size_t>(std::stoul(arguments[1]));
        const auto played =
            SystemSoundServer::playCount() + static_cast<std::uint64_t>(NSSound::beepCount());
        if (played != wanted) {
            throw unmet(counted(wanted, "sound") + " should have played; " +
                        counted(played, "sound") + " did");
        }
        say("ok: " + counted(played, "sound") + " played");
    } else if (what == "defaults") {
        const auto& key = arguments[1];
        const auto wanted = propertyListLiteral(parsePropertyListLiteral(arguments[2]));
        const auto value = UserDefaults::standard()->object(key);
        const auto actual = value.isAbsent() ? std::string("not set") : propertyListLiteral(value);
        if (actual != wanted && shown(actual) != wanted) {
            throw unmet(key + " should be " + wanted + "; it is " + actual);
        }
        say("ok: " + key + " = " + actual);
    }
}

} // namespace zestrel::console

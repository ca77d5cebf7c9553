#include "console/Console.h"

#include "console/ConsoleText.h"
#include "console/FileReplacement.h"
#include "console/KeyChord.h"
#include "console/PropertyListLiteral.h"
#include "platform/appkit/NSWindow.h"
#include "platform/appkit/TextOutline.h"
#include "platform/base/Bundle.h"
#include "platform/data/FileSafety.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/EventTap.h"
#include "platform/desktop/FileManagerApp.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/NSPasteboard.h"

#include <algorithm>
#include <cerrno>
#include <ostream>
#include <sstream>
#include <string_view>
#include <vector>

// Desktop and files: the applications, the file managers' folders, the session's files,
// and what the desktop shows of them.
namespace zestrel::console {

namespace fs = std::filesystem;
using namespace zestrel::platform;

namespace {

// A hot key's combination as `press` writes it ("cmd+x"), on the current layout, with any
// modifier bits besides Command, Shift, Option and Control in hexadecimal: no key gives
// those, so such a hot key never matches and must not read as the plain combination.
std::string describeHotKey(const HotKeySystem::Registration& hotKey) {
    std::uint64_t flags = 0;
    flags |= (hotKey.modifiers & cmdKey) ? NSEvent::ModifierFlags::command.rawValue : 0;
    flags |= (hotKey.modifiers & shiftKey) ? NSEvent::ModifierFlags::shift.rawValue : 0;
    flags |= (hotKey.modifiers & optionKey) ? NSEvent::ModifierFlags::option.rawValue : 0;
    flags |= (hotKey.modifiers & controlKey) ? NSEvent::ModifierFlags::control.rawValue : 0;
    const auto keyCode = static_cast<std::uint16_t>(hotKey.keyCode);
    const auto characters =
        InputSources::current()->currentLayout()->characters(keyCode, false, false);
    std::ostringstream text;
    text << describeKey(keyCode, NSEvent::ModifierFlags{flags}, characters.value_or(""));
    if (const UInt32 other = hotKey.modifiers & ~(cmdKey | shiftKey | optionKey | controlKey)) {
        text << " with other modifier bits 0x" << std::hex << other;
    }
    return text.str();
}

std::string fourCharacters(OSType code) {
    std::string text;
    for (int shift = 24; shift >= 0; shift -= 8) {
        text += static_cast<char>((code >> shift) & 0xFF);
    }
    return text;
}

std::string describeMask(CGEventMask mask) {
    if (mask == kCGEventMaskForAllEvents) {
        return "all events";
    }
    const std::pair<CGEventType, const char*> names[] = {{CGEventType::keyDown, "key down"},
                                                         {CGEventType::keyUp, "key up"},
                                                         {CGEventType::flagsChanged, "flags"}};
    std::vector<std::string> parts;
    for (const auto& [type, name] : names) {
        if (mask & CGEventMaskBit(type)) {
            parts.emplace_back(name);
            mask &= ~CGEventMaskBit(type);
        }
    }
    if (mask != 0) {
        std::ostringstream rest;
        rest << "mask 0x" << std::hex << mask;
        parts.push_back(rest.str());
    }
    return parts.empty() ? "no events" : joined(parts, ", ");
}

// Text of a pasteboard representation: as written when it reads as text, else its size.
std::string describeData(const std::string& bytes) {
    const bool text = std::all_of(bytes.begin(), bytes.end(), [](char c) {
        return static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\t';
    });
    return text ? bytes : "<" + std::to_string(bytes.size()) + " bytes>";
}

} // namespace

CommandError notRunning(const std::string& named, const std::string& identifier) {
    if (identifier == Bundle::main()->bundleIdentifier()) {
        return CommandError(kAppNotRunning);
    }
    return CommandError("“" + named + "” is not running");
}

Console::Next Console::performDesktop(const Command& command) {
    const auto& arguments = command.arguments;
    switch (command.kind) {
    case CommandKind::open: {
        if (arguments[0] == "debug") {
            openDebugWindow();
            return Next::proceed;
        }
        const auto identifier = bundleIdentifierOf(arguments[0]);
        const auto folder = path(arguments[1]);
        const bool wasRunning = !desktop_->runningApplications(identifier).empty();
        const auto running = desktop_->launch(identifier, true);
        if (!wasRunning) {
            say("launched " + withPid(*running));
        }
        auto manager = std::dynamic_pointer_cast<FileManagerApplication>(
            desktop_->application(running->processIdentifier()));
        manager->openFolder(folder);
        say(nameOf(*running) + " shows " + manager->currentFolder().string());
        return Next::proceed;
    }
    case CommandKind::select: {
        const auto front = desktop_->frontmostApplication();
        auto manager = front ? std::dynamic_pointer_cast<FileManagerApplication>(
                                   desktop_->application(front->processIdentifier()))
                             : nullptr;
        if (!manager) {
            throw CommandError("the frontmost application" +
                               (front ? ", " + nameOf(*front) + "," : std::string()) +
                               " is not a file manager");
        }
        manager->select(arguments);
        say(nameOf(*front) + " selected " + joined(arguments, ", "));
        return Next::proceed;
    }
    case CommandKind::launch: {
        const auto identifier = bundleIdentifierOf(arguments[0]);
        const bool own = identifier == Bundle::main()->bundleIdentifier();
        const auto running = desktop_->runningApplications(identifier);
        if (own && !engineRunning_) {
            const auto launched = desktop_->launchOwnApplication();
            // Held through the launch's first turn, where the launch gestures are read.
            const HeldModifiers held(arguments.size() == 3 ? parseModifiers(arguments[2])
                                                           : CGEventFlags{});
            startEngine();
            say("launched " + withPid(*launched) +
                (arguments.size() == 3 ? " holding " + arguments[2] : std::string()));
            RunLoop::main().runUntilIdle();
            return Next::proceed;
        }
        if (!running.empty()) {
            if (own) {
                requireAppInReach();
            }
            // Opening a running application again, as from the Finder: it is reopened.
            desktop_->reopen(running.front()->processIdentifier());
            say(nameOf(*running.front()) + " already runs (pid " +
                std::to_string(running.front()->processIdentifier()) + "): reopened it");
            return Next::proceed;
        }
        if (!own && !desktop_->installedApplication(identifier)) {
            throw CommandError("“" + identifier + "” is not installed");
        }
        const auto launched =
            own ? desktop_->launchOwnApplication() : desktop_->launch(identifier, true);
        say("launched " + withPid(*launched));
        return Next::proceed;
    }
    case CommandKind::reopen: {
        const auto identifier = bundleIdentifierOf(arguments[0]);
        const auto running = desktop_->runningApplications(identifier);
        if (running.empty()) {
            throw notRunning(arguments[0], identifier);
        }
        if (identifier == Bundle::main()->bundleIdentifier()) {
            requireAppInReach();
        }
        desktop_->reopen(running.front()->processIdentifier());
        say("reopened " + withPid(*running.front()));
        return Next::proceed;
    }
    case CommandKind::activate:
    case CommandKind::quitApp: {
        const auto identifier = bundleIdentifierOf(arguments[0]);
        const auto running = desktop_->runningApplications(identifier);
        if (running.empty()) {
            throw notRunning(arguments[0], identifier);
        }
        const auto& app = *running.front();
        if (command.kind == CommandKind::activate) {
            if (!desktop_->activate(app.processIdentifier())) {
                throw CommandError(nameOf(app) + " cannot come to the front");
            }
            say(nameOf(app) + " is frontmost");
        } else if (identifier == Bundle::main()->bundleIdentifier()) {
            return Next::quitOwn; // its process state ends too, outside the turn
        } else {
            desktop_->terminate(app.processIdentifier());
            say("quit " + withPid(app));
        }
        return Next::proceed;
    }
    case CommandKind::mkdir: {
        // Made one name at a time from $TMP, never through a link: one put in place of a
        // folder since the path was checked fails the command.
        const auto folder = path(arguments[0]);
        bool made = false;
        if (const auto failure = makeFoldersWithin(temporaryFolder_, folder, &made)) {
            throw CommandError("cannot make " + folder.string() + ": " + *failure);
        }
        say(made ? "made " + folder.string() : folder.string() + " was already there");
        return Next::proceed;
    }
    case CommandKind::write: {
        // What is at the path is replaced, a link too: a file is never written through one.
        const auto file = entryPath(arguments[0]);
        const std::string contents = arguments[1].empty() ? "" : arguments[1] + "\n";
        writeFile(file, contents);
        say("wrote " + file.string() + " (" + counted(contents.size(), "byte") + ")");
        return Next::proceed;
    }
    case CommandKind::echo: {
        // The script's own text, line breaks and all; any other control is escaped as in
        // every reply, so a script cannot send the terminal an escape sequence.
        const std::string text = shown(expand(arguments[0]));
        for (std::string_view rest = text;;) {
            const auto lineBreak = rest.find('\n');
            out_ << escapedControls(std::string(rest.substr(0, lineBreak)));
            if (lineBreak == std::string_view::npos) {
                break;
            }
            out_ << '\n';
            rest.remove_prefix(lineBreak + 1);
        }
        out_ << std::endl;
        return Next::proceed;
    }
    default:
        break;
    }
    return Next::proceed;
}

void Console::showDesktop(const Command& command) {
    const auto& what = command.arguments[0];
    if (what == "folder") {
        const auto folder = path(command.arguments[1]);
        std::vector<std::string> names;
        for (auto& entry : itemsOf(folder)) {
            // A link is listed as a link, so one that goes round in a loop or leads nowhere
            // is listed too.
            if (entry.isLink()) {
                entry.name += " -> " + entry.linkTarget;
            } else if (entry.isFolder()) {
                entry.name += "/";
            }
            names.push_back(std::move(entry.name));
        }
        std::sort(names.begin(), names.end());
        say(folder.string() + (names.empty() ? ": empty" : ":"));
        for (const auto& name : names) {
            say("  " + name);
        }
    } else if (what == "pasteboard") {
        const auto pasteboard = desktop_->generalPasteboard();
        const auto items = pasteboard->pasteboardItems();
        say("pasteboard (change count " + std::to_string(pasteboard->changeCount()) +
            "): " + (items.empty() ? "empty" : counted(items.size(), "item")));
        for (std::size_t i = 0; i < items.size(); ++i) {
            say("  item " + std::to_string(i + 1));
            for (const auto& type : items[i]->types()) {
                say("    " + type.rawValue + ": " +
                    describeData(items[i]->stringForType(type).value_or("")));
            }
        }
    } else if (what == "apps") {
        const auto front = desktop_->frontmostApplication();
        say("running applications:");
        for (const auto& app : desktop_->runningApplications()) {
            std::string line = "  " + std::to_string(app->processIdentifier()) + " " +
                               nameOf(*app) + " (" + app->bundleIdentifier().value_or("") + ")";
            if (app->activationPolicy() == NSApplicationActivationPolicy::accessory) {
                line += " accessory";
            }
            if (app == front) {
                line += " frontmost";
            }
            say(line);
        }
    } else if (what == "frontmost") {
        const auto front = desktop_->frontmostApplication();
        say("frontmost: " + (front ? withPid(*front) : std::string("none")));
    } else if (what == "taps") {
        std::uint32_t count = 0;
        CGGetEventTapList(0, nullptr, &count);
        std::vector<CGEventTapInformation> taps(count);
        CGGetEventTapList(count, taps.data(), &count);
        taps.resize(count);
        say(taps.empty() ? "event taps: none" : "event taps:");
        for (const auto& tap : taps) {
            const char* locations[] = {"HID", "session", "annotated session"};
            std::string line = "  " + std::to_string(tap.eventTapID) + ". ";
            line += tap.processBeingTapped != 0
                        ? "on " + processNamed(*desktop_, tap.processBeingTapped)
                        : std::string("at the ") +
                              locations[std::min<std::uint32_t>(
                                  static_cast<std::uint32_t>(tap.tapPoint), 2)] +
                              " location";
            line += ", by " + processNamed(*desktop_, tap.tappingProcess);
            line += tap.options == kCGEventTapOptionDefault ? ", filter" : ", listener";
            line += ", " + describeMask(tap.eventsOfInterest);
            line += tap.enabled ? "" : ", disabled";
            say(line);
        }
    } else if (what == "hotkeys") {
        const auto hotKeys = HotKeySystem::current()->registrations();
        say(hotKeys.empty() ? "hot keys: none" : "hot keys, first registered first:");
        for (const auto& hotKey : hotKeys) {
            say("  " + describeHotKey(hotKey) + " by " +
                processNamed(*desktop_, hotKey.ownerProcessIdentifier) + ", id " +
                fourCharacters(hotKey.hotKeyID.signature) + " " +
                std::to_string(hotKey.hotKeyID.id) +
                (hotKey.heard ? ", enabled" : ", not listened to"));
        }
    } else if (what == "windows") {
        // Every application's windows in one order: a higher level is in front, and within a
        // level the active application's windows lead, as activating brings them forward.
        struct Listed {
            std::int64_t level;
            bool own;
            std::string line;
        };
        std::vector<Listed> listed;
        for (const auto& window : desktop_->windowServer().windows()) {
            if (!window.isOnScreen) {
                continue;
            }
            std::ostringstream line;
            line << "  " << window.number << " " << window.ownerName;
            if (window.name) {
                line << " " << quotedString(*window.name);
            }
            line << " layer " << window.layer << " at " << window.bounds.origin.x << ","
                 << window.bounds.origin.y << " size " << window.bounds.size.width << "x"
                 << window.bounds.size.height;
            listed.push_back({window.layer, false, line.str()});
        }
        // The app's own windows, panels and popovers; its alerts are `show alerts`'s. One
        // without a title is known by the first text it shows.
        const auto own = desktop_->ownApplication();
        for (const auto& window : appWindows()) {
            if (window->isSheet() || window->className() == "_NSAlertPanel") {
                continue;
            }
            const auto shown = outlineOf(*window);
            std::ostringstream line;
            line << "  " << (own ? nameOf(*own) : std::string("Zestrel")) << " " << shown.kind
                 << " " << quotedString(window->title());
            if (window->title().empty()) {
                if (const auto text = firstLabel(shown); !text.empty()) {
                    line << " showing " << quotedString(text);
                }
            }
            line << " level " << window->level().rawValue << " size " << window->frame().size.width
                 << "x" << window->frame().size.height << (window->isKeyWindow() ? ", key" : "");
            listed.push_back({window->level().rawValue, true, line.str()});
        }
        const bool ownInFront = own && own == desktop_->frontmostApplication();
        std::stable_sort(listed.begin(), listed.end(),
                         [ownInFront](const Listed& a, const Listed& b) {
                             if (a.level != b.level) {
                                 return a.level > b.level;
                             }
                             return a.own != b.own && a.own == ownInFront;
                         });
        say("windows, front to back:");
        for (const auto& window : listed) {
            say(window.line);
        }
    } else if (what == "log") {
        const auto desktopLines = desktop_->logLines();
        say(desktopLines.empty() ? "desktop log: empty" : "desktop log:");
        for (const auto& line : desktopLines) {
            say("  " + line);
        }
        const auto entries = appLog();
        say(entries.empty() ? "app log: empty" : "app log:");
        for (const auto& entry : entries) {
            std::istringstream lines(logMessage(entry.text));
            for (std::string line; std::getline(lines, line);) {
                say("  " + line);
            }
        }
    }
}

std::vector<FolderEntry> Console::itemsOf(const fs::path& folder,
                                          const std::string& failure) const {
    std::vector<FolderEntry> entries;
    if (const int error = listFolderWithin(temporaryFolder_, folder, entries)) {
        throw CommandError(failure + folder.string() +
                           (error == ENOTDIR ? " is not a folder" : ": " + errnoText(error)));
    }
    return entries;
}

void Console::writeFile(const fs::path& file, const std::string& contents) {
    if (const auto failure =
            replaceFileWithin(temporaryFolder_, file, contents, staleTemporaries_)) {
        throw CommandError("cannot write " + file.string() + ": " + *failure);
    }
}

} // namespace zestrel::console

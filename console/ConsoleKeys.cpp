#include "console/Console.h"

#include "console/ConsoleText.h"
#include "console/KeyChord.h"
#include "console/PropertyListLiteral.h"
#include "foundation/Logger.h"
#include "hotkeys/Hotkeys.h"
#include "platform/appkit/ModalResponder.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSSound.h"
#include "platform/base/RunLoop.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/EventSystem.h"
#include "platform/desktop/InputSource.h"
#include "platform/desktop/NSEvent.h"
#include "platform/desktop/SimulatedApplication.h"

#include <algorithm>
#include <deque>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <utility>
#include <vector>

// Keys: a person at the keyboard, the layout it types with, and what the applications
// received.
namespace zestrel::console {

using namespace zestrel::platform;

namespace {

constexpr std::uint16_t kReturnKey = 36;
constexpr std::uint16_t kEnterKey = 76;
constexpr std::uint16_t kEscapeKey = 53;

// The characters of one UTF-8 text, each as its own string.
std::vector<std::string> characters(const std::string& text) {
    std::vector<std::string> list;
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const std::size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        list.push_back(text.substr(i, length));
        i += length;
    }
    return list;
}

// The key of the current layout that types `character`, and whether it needs Shift.
std::optional<std::pair<std::uint16_t, bool>> keyTyping(const KeyboardLayout& layout,
                                                        const std::string& character) {
    if (character == "\n") {
        return std::pair{kReturnKey, false};
    }
    for (const bool shift : {false, true}) {
        for (std::uint16_t code = 0; code < 128; ++code) {
            if (!KeyboardLayout::modifierFlag(code) &&
                layout.characters(code, shift) == character) {
                return std::pair{code, shift};
            }
        }
    }
    return std::nullopt;
}

// While an alert is or covers the window with the keyboard, the app's keys reach the alert
// alone: Return and Escape press its buttons, any other key does nothing. Taps, hot keys and
// the app's own monitors see each key first, as they would: this monitor runs after them,
// being added last, and only while the keys are pressed.
class KeysToAlert {
public:
    explicit KeysToAlert(std::shared_ptr<NSAlert> alert) : alert_(std::move(alert)) {
        if (alert_) {
            monitor_ = NSEvent::addLocalMonitorForEvents(
                NSEvent::maskFor(NSEvent::EventType::keyDown),
                [this](const std::shared_ptr<NSEvent>& event) -> std::shared_ptr<NSEvent> {
                    taken_.push_back(event->keyCode());
                    return nullptr;
                });
        }
    }
    KeysToAlert(const KeysToAlert&) = delete;
    KeysToAlert& operator=(const KeysToAlert&) = delete;
    ~KeysToAlert() {
        if (monitor_) {
            NSEvent::removeMonitor(monitor_);
        }
    }

    // Once the keys are in, the alert acts on them: what it made of them as the reply says
    // it, or nothing when it took none.
    std::optional<std::string> answer() {
        if (taken_.empty()) {
            return std::nullopt;
        }
        NSEvent::removeMonitor(std::exchange(monitor_, nullptr));
        const std::string alert = "the alert " + quotedString(alert_->messageText());
        for (const auto keyCode : taken_) {
            const bool escape = keyCode == kEscapeKey;
            if (!escape && keyCode != kReturnKey && keyCode != kEnterKey) {
                continue;
            }
            // The button the key presses is the one whose key equivalent it is.
            const std::string_view equivalent = escape ? "\x1b" : "\r";
            const auto& buttons = alert_->buttons();
            const auto button =
                std::find_if(buttons.begin(), buttons.end(), [&](const auto& button) {
                    return button->keyEquivalent() == equivalent;
                });
            if (button == buttons.end()) {
                continue;
            }
            const auto title = (*button)->title();
            if (alert_->respond(
                    ModalAnswer::key(escape ? AlertKey::escapeKey : AlertKey::returnKey))) {
                return "pressed " + quotedString(title) + " at " + alert;
            }
        }
        return alert + " took the key and did nothing with it";
    }

private:
    std::shared_ptr<NSAlert> alert_;
    std::shared_ptr<NSObject> monitor_;
    std::vector<std::uint16_t> taken_;
};

// While a shortcut recorder records, the app's keys go to it before anything else of the app:
// it records the key, refuses it with a beep or an alert, or ends the recording (Escape, Tab).
// Recording registers the new shortcut at once, so its hot key may take the key's release: the
// reply names the recorder.
class KeysToRecorder {
public:
    explicit KeysToRecorder(bool recording) {
        if (!recording) {
            return;
        }
        beeps_ = NSSound::beepCount();
        alerts_ = NSAlert::shownAlertCount();
        center_ = NotificationCenter::defaultCenter();
        tokens_.push_back(center_->addObserver(
            Hotkeys::shortcutByNameDidChange, Value(), [this](const Notification& notification) {
                if (!recorded_) {
                    recorded_ = Hotkeys::nameFromNotification(notification);
                }
            }));
        // An alert ends the recording and starts it again: what counts is the last word.
        tokens_.push_back(center_->addObserver(Hotkeys::recorderActiveStatusDidChange, Value(),
                                               [this](const Notification& notification) {
                                                   const auto active =
                                                       notification.userInfo.find("isActive");
                                                   ended_ = active != notification.userInfo.end() &&
                                                            !active->second.asBool().value_or(true);
                                               }));
    }
    KeysToRecorder(const KeysToRecorder&) = delete;
    KeysToRecorder& operator=(const KeysToRecorder&) = delete;
    ~KeysToRecorder() {
        for (const auto& token : tokens_) {
            center_->removeObserver(token);
        }
    }

    // What the recorder made of the keys; nothing when none recorded or it let them pass.
    std::optional<std::string> answer() const {
        if (tokens_.empty()) {
            return std::nullopt;
        }
        if (recorded_) {
            const auto shortcut = Hotkeys::getShortcut(*recorded_);
            return "the shortcut recorder recorded " +
                   (shortcut ? shortcut->description() : std::string("nothing")) + " for “" +
                   recorded_->rawValue() + "”";
        }
        if (const auto alert = NSAlert::shownAlert(alerts_)) {
            return "the shortcut recorder refused it with the alert " +
                   quotedString(alert->messageText);
        }
        if (const int beeps = NSSound::beepCount() - beeps_; beeps > 0) {
            return beeps == 1 ? std::string("the shortcut recorder refused it with a beep")
                              : "the shortcut recorder refused them with " + std::to_string(beeps) +
                                    " beeps";
        }
        if (ended_) {
            return std::string("the shortcut recorder ended the recording, recording nothing");
        }
        return std::nullopt;
    }

private:
    std::shared_ptr<NotificationCenter> center_;
    std::vector<ObserverToken> tokens_;
    std::optional<Hotkeys::Name> recorded_;
    bool ended_ = false;
    int beeps_ = 0;
    std::size_t alerts_ = 0;
};

void postKey(std::uint16_t keyCode, CGEventFlags flags) {
    // A person at the keyboard: the events enter the stream at the hardware's end, where
    // every tap sees them.
    for (const bool down : {true, false}) {
        auto event = CGEventCreateKeyboardEvent(nullptr, keyCode, down);
        if (!event) {
            throw CommandError("the desktop made no key event");
        }
        CGEventSetFlags(event, flags);
        EventSystem::current()->post(kCGHIDEventTap, event);
    }
}

} // namespace

void Console::performKeys(const Command& command) {
    const auto& arguments = command.arguments;
    if (command.kind == CommandKind::press) {
        press(arguments[0]);
    } else if (command.kind == CommandKind::type) {
        type(arguments[0]);
    } else if (command.kind == CommandKind::layout) {
        const std::pair<std::string_view, const char*> layouts[] = {
            {"us", "com.apple.keylayout.US"},
            {"german", "com.apple.keylayout.German"},
            {"russian", "com.apple.keylayout.Russian"}};
        const auto* chosen =
            std::find_if(std::begin(layouts), std::end(layouts),
                         [&](const auto& layout) { return layout.first == arguments[0]; });
        if (InputSources::current()->select(chosen->second) != noErr) {
            throw CommandError("the layout “" + arguments[0] + "” is not enabled");
        }
        say("layout: " + InputSources::current()->currentLayout()->localizedName());
    }
}

void Console::press(const std::string& text) {
    const KeyChord chord = parseKeyChord(text);
    const int pid = desktop_->keyboardFocusProcessIdentifier();
    const auto target = desktop_->runningApplication(pid);
    const auto app = desktop_->application(pid);
    const std::size_t before = app ? app->receivedEvents().size() : 0;
    const std::uint64_t logged = logBuffer().mark();
    const auto hotKeys = HotKeySystem::current();
    const auto consumedBefore = hotKeys->consumedCount();
    KeysToAlert toAlert(alertTakingKeys());
    KeysToRecorder toRecorder(engineRunning_ && Hotkeys::isPaused());
    postKey(chord.keyCode, chord.flags);
    // What the app logged about the key, so a person sees what it made of it at once.
    const auto printLog = [&] {
        for (const auto& entry : logBuffer().entriesSince(logged)) {
            std::istringstream lines(logMessage(entry));
            for (std::string line; std::getline(lines, line);) {
                say("  log: " + line);
            }
        }
    };
    if (const auto took = toRecorder.answer(); took && target) {
        say(text + " → " + nameOf(*target) + ": " + *took);
        printLog();
        return;
    }
    if (hotKeys->consumedCount() != consumedBefore) {
        const auto hotKey = hotKeys->lastConsumed();
        say(text + " → taken by the hot key of " +
            processNamed(*desktop_, hotKey->ownerProcessIdentifier));
        // Its owner's handler runs from the main queue: run now, what it logs is the key's, as
        // a tap's lines are.
        RunLoop::main().runUntilIdle();
        printLog();
        return;
    }
    if (!target) {
        say(text + " → no application has keyboard focus");
        printLog();
        return;
    }
    if (const auto took = toAlert.answer()) {
        say(text + " → " + nameOf(*target) + ": " + *took);
        printLog();
        return;
    }
    if (!app) {
        say(text + " → " + nameOf(*target));
        printLog();
        return;
    }
    const auto& received = app->receivedEvents();
    std::vector<std::string> keys;
    for (std::size_t i = before; i < received.size(); ++i) {
        keys.push_back(
            describeKey(received[i].keyCode, received[i].modifierFlags, received[i].characters));
    }
    say(text + " → " + nameOf(*target) +
        (keys.empty() ? " received nothing" : " received " + joined(keys, ", ")));
    printLog();
}

void Console::type(const std::string& text) {
    const auto layout = InputSources::current()->currentLayout();
    std::vector<std::pair<std::uint16_t, bool>> keys;
    for (const auto& character : characters(text)) {
        const auto key = keyTyping(*layout, character);
        if (!key) {
            throw CommandError("“" + character + "” cannot be typed on the " +
                               layout->localizedName() + " layout");
        }
        keys.push_back(*key);
    }
    const int pid = desktop_->keyboardFocusProcessIdentifier();
    const auto target = desktop_->runningApplication(pid);
    const auto app = desktop_->application(pid);
    const std::size_t before = app ? app->receivedEvents().size() : 0;
    KeysToAlert toAlert(alertTakingKeys());
    KeysToRecorder toRecorder(engineRunning_ && Hotkeys::isPaused());
    for (const auto& [code, shift] : keys) {
        postKey(code, shift ? CGEventFlags::maskShift : CGEventFlags{});
    }
    if (!target) {
        say(quotedString(text) + " → no application has keyboard focus");
        return;
    }
    if (const auto took = toRecorder.answer()) {
        say(quotedString(text) + " → " + nameOf(*target) + ": " + *took);
        return;
    }
    if (const auto took = toAlert.answer()) {
        say(quotedString(text) + " → " + nameOf(*target) + ": " + *took);
        return;
    }
    std::string received;
    if (app) {
        for (std::size_t i = before; i < app->receivedEvents().size(); ++i) {
            received += app->receivedEvents()[i].characters;
        }
    }
    say(quotedString(text) + " → " + nameOf(*target) +
        (app ? " received " + quotedString(received) : ""));
}

void Console::keepRecordsBounded() {
    std::map<int, std::deque<ReceivedKeyEvent>> kept;
    for (const auto& running : desktop_->runningApplications()) {
        const int pid = running->processIdentifier();
        const auto app = desktop_->application(pid);
        if (!app) {
            continue;
        }
        auto& keys = kept[pid];
        if (const auto earlier = receivedKeys_.find(pid); earlier != receivedKeys_.end()) {
            keys = std::move(earlier->second);
        }
        for (const auto& event : app->receivedEvents()) {
            keys.push_back(event);
            if (keys.size() > kKeptKeys) {
                keys.pop_front();
            }
        }
        app->clearReceivedEvents();
    }
    // The applications that quit take their keys with them.
    receivedKeys_ = std::move(kept);
    EventSystem::current()->clearPostedEvents();
}

void Console::showKeys(const std::string& application) {
    const auto identifier = bundleIdentifierOf(application);
    const auto running = desktop_->runningApplications(identifier);
    if (running.empty()) {
        throw notRunning(application, identifier);
    }
    const auto app = desktop_->application(running.front()->processIdentifier());
    if (!app) {
        throw CommandError(nameOf(*running.front()) + " keeps no record of its keys");
    }
    keepRecordsBounded();
    std::vector<std::string> keys;
    for (const auto& event : receivedKeys_[running.front()->processIdentifier()]) {
        keys.push_back(describeKey(event.keyCode, event.modifierFlags, event.characters));
    }
    say(app->name() + " received " + (keys.empty() ? std::string("no keys") : joined(keys, ", ")));
    if (auto editor = std::dynamic_pointer_cast<TextEditorApplication>(app)) {
        say(app->name() + "'s text: " + quotedString(editor->text()));
    }
}

} // namespace zestrel::console

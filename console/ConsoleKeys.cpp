#include "console/Console.h"

#include "console/ConsoleText.h"
#include "console/KeyChord.h"
#include "console/PropertyListLiteral.h"
#include "foundation/Logger.h"
#include "hotkeys/Hotkeys.h"
#include "platform/appkit/ModalResponder.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
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
// being added last, and only while the key is pressed.
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

    // Once the key is in, the alert acts on it: what it made of it as the reply says it, or
    // nothing when it took none.
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
                pressed_ = true;
                return "pressed " + quotedString(title) + " at " + alert;
            }
        }
        return alert + " took the key and did nothing with it";
    }

    // Whether the answer pressed one of the alert's buttons.
    bool pressed() const { return pressed_; }

private:
    std::shared_ptr<NSAlert> alert_;
    std::shared_ptr<NSObject> monitor_;
    std::vector<std::uint16_t> taken_;
    bool pressed_ = false;
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

    // What the recorder made of the key, its words after "the shortcut recorder"; its beeps
    // are counted apart, as several keys' beeps are said together. Nothing when it recorded
    // none or let the key pass.
    struct Answer {
        std::string said;
        int beeps = 0;
    };
    std::optional<Answer> answer() const {
        if (tokens_.empty()) {
            return std::nullopt;
        }
        if (recorded_) {
            // Delete clears the shortcut, which the recorder tells as it tells a new one.
            const auto shortcut = Hotkeys::getShortcut(*recorded_);
            return Answer{(shortcut ? "recorded " + shortcut->description()
                                    : std::string("cleared the shortcut")) +
                          " for “" + recorded_->rawValue() + "”"};
        }
        if (const auto alert = NSAlert::shownAlert(alerts_)) {
            return Answer{"refused it with the alert " + quotedString(alert->messageText)};
        }
        if (const int beeps = NSSound::beepCount() - beeps_; beeps > 0) {
            return Answer{{}, beeps};
        }
        if (ended_) {
            return Answer{"ended the recording, recording nothing"};
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

// Who has the keyboard: the application with the focus (none: pid -1), and the alert of this
// program that takes its keys there.
struct Console::KeyTarget {
    int pid = -1;
    std::string name;
    std::shared_ptr<SimulatedApplication> app; // one that records the keys it received
    bool own = false;
    std::shared_ptr<NSAlert> alert;
    // What the alert was looked for with: the app's key window and how many alerts it showed.
    std::weak_ptr<NSWindow> keyWindow;
    std::size_t alertsShown = 0;
};

// What one key came to, as replies say it: the one thing that took it, in the order they take
// it, else the application with the focus.
struct Console::KeyOutcome {
    enum class Taker { application, hotKey, recorder, alert };
    std::string target; // empty: no application had the keyboard focus
    Taker taker = Taker::application;
    // The hot key's owner, the recorder's words (after "the shortcut recorder"), or the alert's.
    std::string said;
    int beeps = 0;          // the recorder refused it with so many beeps
    std::string alert;      // the alert that took it, as named
    bool pressed = false;   // and pressed one of its buttons
    bool keepsKeys = false; // the target records the keys it received, these on:
    std::size_t receivedFrom = 0;
    // This program's own app had no window to take it (it is in front with none key).
    bool noWindow = false;
    std::string characters; // what they typed, for `type`
};

// One `type`: its keys, pressed in turn, and what they came to so far, keys that came to the
// same said together.
struct Console::Typing {
    std::string text;
    struct Key {
        std::uint16_t code = 0;
        bool shift = false;
        std::string character; // what it types
    };
    std::vector<Key> keys;
    std::size_t typed = 0;
    std::vector<KeyOutcome> parts;
    std::optional<KeyTarget> target;

    // Adds what a key came to: the recorder's beeps counted, what an application received as
    // one, an alert by what its last key did there.
    void add(KeyOutcome outcome) {
        using Taker = KeyOutcome::Taker;
        auto* last = parts.empty() ? nullptr : &parts.back();
        if (!last || last->target != outcome.target || last->taker != outcome.taker ||
            last->noWindow != outcome.noWindow) {
            parts.push_back(std::move(outcome));
        } else if (outcome.taker == Taker::application) {
            last->characters += outcome.characters;
        } else if (outcome.beeps > 0 && last->beeps > 0) {
            last->beeps += outcome.beeps;
        } else if (outcome.taker == Taker::alert && outcome.alert == last->alert &&
                   !last->pressed) {
            *last = std::move(outcome);
        } else if (outcome.said != last->said || outcome.beeps != last->beeps) {
            parts.push_back(std::move(outcome));
        }
    }
};

namespace {

std::string refusedWithBeeps(int beeps) {
    return beeps == 1 ? std::string("refused it with a beep")
                      : "refused them with " + std::to_string(beeps) + " beeps";
}

} // namespace

Console::KeyTarget Console::keyTarget() const {
    KeyTarget target;
    target.pid = desktop_->keyboardFocusProcessIdentifier();
    if (const auto running = desktop_->runningApplication(target.pid)) {
        target.name = nameOf(*running);
        target.app = desktop_->application(target.pid);
        target.own = engineRunning_ && running == desktop_->ownApplication();
    } else {
        target.pid = -1;
    }
    target.alert = alertTakingKeys();
    if (target.own) {
        target.keyWindow = NSApp().keyWindow();
        target.alertsShown = NSAlert::shownAlertCount();
    }
    return target;
}

Console::KeyOutcome Console::pressKey(const KeyChord& chord, const KeyTarget& target) {
    using Taker = KeyOutcome::Taker;
    const std::size_t before = target.app ? target.app->receivedEvents().size() : 0;
    const auto hotKeys = HotKeySystem::current();
    const auto consumedBefore = hotKeys->consumedCount();
    KeysToAlert toAlert(target.alert);
    KeysToRecorder toRecorder(target.own && Hotkeys::isPaused());
    postKey(chord.keyCode, chord.flags);
    KeyOutcome outcome;
    outcome.target = target.name;
    if (const auto took = toRecorder.answer()) {
        outcome.taker = Taker::recorder;
        outcome.said = took->said;
        outcome.beeps = took->beeps;
    } else if (hotKeys->consumedCount() != consumedBefore) {
        outcome.taker = Taker::hotKey;
        outcome.said = processNamed(*desktop_, hotKeys->lastConsumed()->ownerProcessIdentifier);
    } else if (const auto took = toAlert.answer()) {
        outcome.taker = Taker::alert;
        outcome.said = *took;
        outcome.alert = quotedString(target.alert->messageText());
        outcome.pressed = toAlert.pressed();
    } else if (target.app) {
        outcome.keepsKeys = true;
        outcome.receivedFrom = before;
    } else {
        outcome.noWindow = target.own && !NSApp().keyWindow();
    }
    return outcome;
}

void Console::press(const std::string& text) {
    using Taker = KeyOutcome::Taker;
    const KeyChord chord = parseKeyChord(text);
    const std::uint64_t logged = logBuffer().mark();
    const auto target = keyTarget();
    const auto outcome = pressKey(chord, target);
    if (outcome.taker == Taker::hotKey) {
        say(text + " → taken by the hot key of " + outcome.said);
        // Its owner's handler runs from the main queue: run now, what it logs is the key's, as
        // a tap's lines are.
        RunLoop::main().runUntilIdle();
    } else if (outcome.target.empty()) {
        say(text + " → no application has keyboard focus");
    } else if (outcome.taker == Taker::recorder) {
        say(text + " → " + outcome.target + ": the shortcut recorder " +
            (outcome.beeps > 0 ? refusedWithBeeps(outcome.beeps) : outcome.said));
    } else if (outcome.taker == Taker::alert) {
        say(text + " → " + outcome.target + ": " + outcome.said);
    } else if (!outcome.keepsKeys) {
        say(text + " → " + outcome.target);
    } else {
        std::vector<std::string> keys;
        const auto& received = target.app->receivedEvents();
        for (auto key = received.begin() + static_cast<std::ptrdiff_t>(outcome.receivedFrom);
             key != received.end(); ++key) {
            keys.push_back(describeKey(key->keyCode, key->modifierFlags, key->characters));
        }
        say(text + " → " + outcome.target +
            (keys.empty() ? " received nothing" : " received " + joined(keys, ", ")));
    }
    // What the app logged about the key, so a person sees what it made of it at once.
    for (const auto& entry : logBuffer().entriesSince(logged)) {
        std::istringstream lines(logMessage(entry));
        for (std::string line; std::getline(lines, line);) {
            say("  log: " + line);
        }
    }
}

void Console::type(const std::string& text) {
    const auto layout = InputSources::current()->currentLayout();
    auto typing = std::make_shared<Typing>();
    typing->text = text;
    for (const auto& character : characters(text)) {
        const auto key = keyTyping(*layout, character);
        if (!key) {
            throw CommandError("“" + character + "” cannot be typed on the " +
                               layout->localizedName() + " layout");
        }
        typing->keys.push_back({key->first, key->second, character});
    }
    typeOn(typing);
}

void Console::typeOn(const std::shared_ptr<Typing>& typing) {
    for (; typing->typed < typing->keys.size(); ++typing->typed) {
        // A key ended a modal run the typing runs under (Return answered an alert): the run
        // takes no more keys, so the next is taken where it returns to, after the code that
        // follows it (a recording goes on). The reply comes with the last key.
        if (engineRunning_ && NSApp().hasStoppedModalRun()) {
            std::weak_ptr<void> session;
            {
                std::lock_guard lock(loopMutex_);
                session = session_;
            }
            ++keysHandedOn_;
            NSApp().takeNextEvent([this, session, typing] {
                if (session.lock()) {
                    --keysHandedOn_;
                    goOnWithCommand([&] { typeOn(typing); });
                }
            });
            return;
        }
        // Who has the keyboard is looked up again when the focus, the app's key window or its
        // alerts change, not at every key.
        auto& target = typing->target;
        if (!target || target->pid != desktop_->keyboardFocusProcessIdentifier() ||
            (target->own && (target->keyWindow.lock() != NSApp().keyWindow() ||
                             target->alertsShown != NSAlert::shownAlertCount() ||
                             (target->alert && !target->alert->isShowing())))) {
            target = keyTarget();
        }
        const auto& key = typing->keys[typing->typed];
        auto outcome =
            pressKey({key.code, key.shift ? CGEventFlags::maskShift : CGEventFlags{}}, *target);
        if (outcome.keepsKeys) {
            const auto& received = target->app->receivedEvents();
            for (auto event = received.begin() + static_cast<std::ptrdiff_t>(outcome.receivedFrom);
                 event != received.end(); ++event) {
                outcome.characters += event->characters;
            }
        } else {
            outcome.characters = key.character;
        }
        typing->add(std::move(outcome));
    }
    say(quotedString(typing->text) + " → " + describeTyping(typing->parts));
}

std::string Console::describeTyping(const std::vector<KeyOutcome>& parts) {
    using Taker = KeyOutcome::Taker;
    std::vector<std::string> said;
    const KeyOutcome* previous = nullptr;
    for (const auto& part : parts) {
        // The same application goes on: it is named once, and so is its recorder.
        const bool goesOn = previous && previous->target == part.target;
        std::string text;
        switch (part.taker) {
        case Taker::hotKey:
            text = "taken by the hot key of " + part.said;
            break;
        case Taker::recorder:
            text = goesOn && previous->taker == Taker::recorder ? "" : "the shortcut recorder ";
            text += part.beeps > 0 ? refusedWithBeeps(part.beeps) : part.said;
            break;
        case Taker::alert:
            text = part.said;
            break;
        case Taker::application:
            if (part.target.empty()) {
                text = "no application has keyboard focus";
            } else if (part.noWindow) {
                text = part.target + " had no window to take " + quotedString(part.characters);
            } else {
                text = part.target + " received " + quotedString(part.characters);
            }
            break;
        }
        if ((part.taker == Taker::recorder || part.taker == Taker::alert) && !goesOn) {
            text = part.target + ": " + text;
        }
        said.push_back(std::move(text));
        previous = &part;
    }
    return joined(said, ", then ");
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

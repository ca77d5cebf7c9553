#include "cut_engine/CGKeyCodeUtilities.h"

#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"
#include "foundation/Logger.h"
#include "foundation/SmallUtilities.h"
#include "foundation/UnfairLock.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/ProcessLocal.h"
#include "platform/desktop/InputSource.h"

#include <mutex>

namespace zestrel::CGKeyCodeUtilities {
namespace {

using platform::NSEvent;

// The placeholder the layout gives for keys that type nothing, such as the function keys.
constexpr std::string_view kFunctionKeyPlaceholder = "\x10";

struct TablesState {
    UnfairLock lock;
    std::shared_ptr<const Initializers> shared GUARDED_BY(lock);
    std::unique_ptr<ListenerHolder> subscription GUARDED_BY(lock);
};

TablesState& state() {
    static auto* const local = new platform::ProcessLocal<TablesState>;
    return local->get();
}

void rebuild() {
    auto& tables = state();
    UnfairLockGuard guard(tables.lock);
    tables.shared = std::make_shared<const Initializers>();
}

std::string firstCharacter(std::string_view text) {
    return std::string(text.substr(0, text.size() - droppingFirst(text, 1).size()));
}

platform::Value describeCharacterKeys(const std::unordered_map<std::string, CGKeyCode>& keys) {
    platform::Value::Dictionary dictionary;
    for (const auto& [character, code] : keys) {
        dictionary.emplace(character, platform::Value(static_cast<unsigned>(code)));
    }
    return platform::Value(std::move(dictionary));
}

} // namespace

Initializers::Initializers() {
    auto& tables = state();
    // The caller holds the lock; the subscription is made with the first set and then
    // lives as long as the process.
    tables.lock.assertHeld();
    if (!tables.subscription) {
        tables.subscription = keyboardInputSourceDidChange(rebuild);
    }
    static constexpr std::array<NSEvent::ModifierFlags, 7> kModifierOrder{
        NSEvent::ModifierFlags::capsLock, NSEvent::ModifierFlags::shift,
        NSEvent::ModifierFlags::control,  NSEvent::ModifierFlags::option,
        NSEvent::ModifierFlags::command,  NSEvent::ModifierFlags::help,
        NSEvent::ModifierFlags::function};

    for (CGKeyCode code = 0; code < 128; ++code) {
        const auto cgEvent = platform::CGEventCreateKeyboardEvent(nullptr, code, true);
        if (!cgEvent) {
            continue;
        }
        const auto event = NSEvent::eventWithCGEvent(cgEvent);
        if (!event) {
            continue;
        }
        if (event->type() == NSEvent::EventType::keyDown) {
            if (const auto special = event->specialKey()) {
                specialKeys.insert_or_assign(*special, code);
                continue;
            }
            const auto characters = event->charactersIgnoringModifiers();
            if (!characters || characters->empty()) {
                continue;
            }
            std::string character = firstCharacter(*characters);
            if (character == kFunctionKeyPlaceholder) {
                continue;
            }
            characterKeys.insert_or_assign(std::move(character), code);
        } else if (event->type() == NSEvent::EventType::flagsChanged) {
            const auto flags = event->eventModifierFlags();
            for (const auto flag : kModifierOrder) {
                if (flags.contains(flag)) {
                    modifierFlagKeys.insert_or_assign(flag, code);
                    break;
                }
            }
        }
    }
    logMessage({"Initializers.shared.characterKeys", describeCharacterKeys(characterKeys)},
               platform::OSLogType::defaultLevel, "init()", "Utilities");
}

std::shared_ptr<const Initializers> Initializers::shared() {
    auto& tables = state();
    UnfairLockGuard guard(tables.lock);
    if (!tables.shared) {
        tables.shared = std::make_shared<const Initializers>();
    }
    return tables.shared;
}

const std::array<std::pair<std::string_view, CGKeyCode>, 36>& ansiKeyCodes() {
    static constexpr std::array<std::pair<std::string_view, CGKeyCode>, 36> kTable{{
        {"a", 0},  {"b", 11}, {"c", 8},  {"d", 2},  {"e", 14}, {"f", 3},  {"g", 5},  {"h", 4},
        {"i", 34}, {"j", 38}, {"k", 40}, {"l", 37}, {"m", 46}, {"n", 45}, {"o", 31}, {"p", 35},
        {"q", 12}, {"r", 15}, {"s", 1},  {"t", 17}, {"u", 32}, {"v", 9},  {"w", 13}, {"x", 7},
        {"y", 16}, {"z", 6},  {"0", 29}, {"1", 18}, {"2", 19}, {"3", 20}, {"4", 21}, {"5", 23},
        {"6", 22}, {"7", 26}, {"8", 28}, {"9", 25},
    }};
    return kTable;
}

CGKeyCode keyCode(std::string_view character) {
    const auto tables = Initializers::shared();
    if (const auto found = tables->characterKeys.find(std::string(character));
        found != tables->characterKeys.end()) {
        return found->second;
    }
    for (const auto& [ansiCharacter, code] : ansiKeyCodes()) {
        if (ansiCharacter == character) {
            return code;
        }
    }
    reportError(
        GeneralError::make("Could not get key code for character: " + std::string(character)), {},
        "Utilities");
    return 0;
}

std::unique_ptr<ListenerHolder> keyboardInputSourceDidChange(std::function<void()> action) {
    const auto center = platform::NotificationCenter::distributedCenter();
    auto holder = std::make_unique<ListenerHolder>(center);
    for (const char* name : {platform::kTISNotifySelectedKeyboardInputSourceChanged,
                             platform::kTISNotifyEnabledKeyboardInputSourcesChanged}) {
        holder->add(center->addObserver(std::string(name), platform::Value(),
                                        platform::DispatchQueue::main(),
                                        [action](const platform::Notification&) { action(); }));
    }
    return holder;
}

} // namespace zestrel::CGKeyCodeUtilities

namespace zestrel {

using platform::CGEventFlags;
using platform::NSEvent;

CGEventFlags cgEventFlags(NSEvent::ModifierFlags modifierFlags) {
    constexpr std::uint64_t kCarried =
        CGEventFlags::maskAlphaShift.rawValue | CGEventFlags::maskShift.rawValue |
        CGEventFlags::maskControl.rawValue | CGEventFlags::maskAlternate.rawValue |
        CGEventFlags::maskCommand.rawValue | CGEventFlags::maskNumericPad.rawValue |
        CGEventFlags::maskSecondaryFn.rawValue;
    return CGEventFlags{modifierFlags.rawValue & kCarried};
}

namespace {

std::shared_ptr<NSEvent> rewritten(const std::shared_ptr<NSEvent>& event,
                                   std::optional<CGKeyCodeUtilities::CGKeyCode> keyCode,
                                   std::optional<NSEvent::ModifierFlags> flags) {
    const auto cgEvent = event->cgEvent();
    if (!cgEvent) {
        return event;
    }
    if (keyCode) {
        platform::CGEventSetIntegerValueField(cgEvent, platform::kCGKeyboardEventKeycode, *keyCode);
    }
    if (flags) {
        platform::CGEventSetFlags(cgEvent, cgEventFlags(*flags));
    }
    if (auto result = NSEvent::eventWithCGEvent(cgEvent)) {
        return result;
    }
    return event;
}

} // namespace

std::shared_ptr<NSEvent> settingKeyCode(const std::shared_ptr<NSEvent>& event,
                                        std::string_view character,
                                        std::optional<NSEvent::ModifierFlags> flags) {
    return rewritten(event, CGKeyCodeUtilities::keyCode(character), flags);
}

std::shared_ptr<NSEvent> settingFlags(const std::shared_ptr<NSEvent>& event,
                                      NSEvent::ModifierFlags flags) {
    return rewritten(event, std::nullopt, flags);
}

} // namespace zestrel

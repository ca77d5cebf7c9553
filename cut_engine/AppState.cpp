#include "cut_engine/AppState.h"

#include "cut_engine/AppPreferenceKeys.h"
#include "cut_engine/CGKeyCodeUtilities.h"
#include "foundation/ErrorPresentation.h"
#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"
#include "foundation/Logger.h"
#include "hotkeys/Hotkeys.h"
#include "hotkeys/LegacyHotkeyNames.h"
#include "platform/base/Bundle.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/ProcessLocal.h"
#include "platform/desktop/NSPasteboard.h"
#include "services/QVAppRunOnce.h"
#include "services/SystemSounds.h"

#include <algorithm>
#include <chrono>
#include <random>

namespace zestrel {

namespace pf = platform;
using namespace std::chrono_literals;
using ModifierFlags = pf::NSEvent::ModifierFlags;

namespace {

constexpr std::uint16_t kANSIKeyCodeX = 7;
constexpr ModifierFlags kIgnoredModifiers =
    ModifierFlags::capsLock | ModifierFlags::numericPad | ModifierFlags::function;

void log(std::initializer_list<pf::Value> items, std::int64_t line = __builtin_LINE()) {
    logMessage(items, pf::OSLogType::defaultLevel, "setUpListener()", AppState::kLogFile, line);
}

// Exactly Command, whatever Caps Lock, the numeric pad and Function say.
bool isCommandKeystroke(const pf::NSEvent& event) {
    return event.eventModifierFlags()
               .intersection(ModifierFlags::deviceIndependentFlagsMask)
               .subtracting(kIgnoredModifiers) == ModifierFlags::command;
}

// By the layout's key position when "useKeyCode" is on, else by the character typed.
bool isKey(const pf::NSEvent& event, std::string_view character, bool byKeyCode) {
    if (byKeyCode) {
        return event.keyCode() == CGKeyCodeUtilities::keyCode(character);
    }
    const auto characters = event.charactersIgnoringModifiers();
    return characters && *characters == character;
}

bool holdsFileURLs(const pf::NSPasteboard& pasteboard) {
    const auto types = pasteboard.types();
    return types &&
           std::find(types->begin(), types->end(), pf::NSPasteboardType::fileURL) != types->end();
}

pf::Value orNil(const std::optional<std::string>& text) {
    return text ? pf::Value(*text) : pf::Value("<nil>");
}

// Follows the file manager's own copy, which lands a moment after it got Command+C. Only
// the latest cut's checks act; the later two report when the pasteboard moved meanwhile.
void scheduleCutCheck(const std::shared_ptr<PendingCut>& pending, const pf::UUID& token,
                      pf::Nanoseconds delay, const char* name, bool reportsChange) {
    pf::DispatchQueue::main().asyncAfter(delay, [pending, token, name, reportsChange] {
        if (pending->cutToken != token) {
            return;
        }
        const auto count = pf::NSPasteboard::general()->changeCount();
        if (reportsChange && pending->changeCount != count) {
            reportError(GeneralError::make(name),
                        {{"changeCount", pf::Value(pending->changeCount)},
                         {"NSPasteboard.general.changeCount", count}},
                        AppState::kLogFile);
        }
        pending->changeCount = count;
        log({name, count});
    });
}

struct SharedAppState {
    std::shared_ptr<AppState> state;
};

} // namespace

std::shared_ptr<AppState> AppState::shared() {
    static pf::ProcessLocal<SharedAppState> shared([] {
        auto state = std::make_shared<AppState>(AppState::Key{});
        pf::DispatchQueue::main().async([weak = std::weak_ptr<AppState>(state)] {
            if (const auto self = weak.lock()) {
                self->didLaunch();
            }
        });
        return std::make_unique<SharedAppState>(SharedAppState{std::move(state)});
    });
    return shared->state;
}

AppState::~AppState() {
    if (frontmostObservation_ && observedWorkspace_) {
        observedWorkspace_->keyValueObservers().removeObserver(*frontmostObservation_);
    }
}

bool AppState::isMenuBarItemVisible() const {
    registrar_.access("isMenuBarItemVisible");
    return isMenuBarItemVisible_;
}

void AppState::setIsMenuBarItemVisible(bool visible) {
    registrar_.withMutation("isMenuBarItemVisible", [&] { isMenuBarItemVisible_ = visible; });
}

std::shared_ptr<AppEventTap> AppState::eventTap() const {
    registrar_.access("eventTap");
    return eventTap_;
}

void AppState::setEventTap(std::shared_ptr<AppEventTap> eventTap) {
    registrar_.withMutation("eventTap", [&] { eventTap_ = std::move(eventTap); });
}

void AppState::setUpListener() {
    threadChecker_.check();
    Hotkeys::disable({Hotkeys::Names::cut(), Hotkeys::Names::paste()});
    auto pending = std::make_shared<PendingCut>();
    const std::weak_ptr<AppState> weakSelf = weak_from_this();
    try {
        startEventTap([weakSelf, pending](const std::shared_ptr<pf::NSEvent>& event) {
            const auto self = weakSelf.lock();
            return self ? self->handleTappedKeyDown(event, pending) : event;
        });
    } catch (const pf::Error& error) {
        reportError(error, {}, AppState::kLogFile);
        presentAsModal(error);
    }
}

void AppState::startEventTap(SystemEventTap::Action action) {
    std::shared_ptr<AppEventTap> taps;
    try {
        taps = AppEventTap::make({ServedApplications::finder, ServedApplications::forkLift,
                                  ServedApplications::forkLiftSetapp},
                                 {pf::CGEventType::keyDown}, pf::kCGHeadInsertEventTap,
                                 pf::kCGEventTapOptionDefault, std::move(action));
    } catch (const pf::Error& error) {
        log({"Tap error:", error});
        throw;
    }
    setEventTap(std::move(taps));
    log({"Event tap started"});
}

std::shared_ptr<pf::NSEvent>
AppState::handleTappedKeyDown(const std::shared_ptr<pf::NSEvent>& event,
                              const std::shared_ptr<PendingCut>& pending) {
    const bool isCommand = isCommandKeystroke(*event);
    const auto xKeyCode = CGKeyCodeUtilities::keyCode("x");
    if (isCommand) {
        if (event->charactersIgnoringModifiers() == "x") {
            log({"Matched X using charactersIgnoringModifiers"});
        }
        if (event->keyCode() == xKeyCode) {
            log({"Matched X using CGKeyCodeUtilities"});
        }
        if (event->keyCode() == kANSIKeyCodeX) {
            log({"Matched X using kVK_ANSI_X"});
        }
    }
    reportKeyMismatchIfSampled(*event, xKeyCode);
    // Every key of the file manager comes through here: the others go on at once.
    if (!isCommand) {
        return event;
    }
    const bool byKeyCode = Prefs::value(AppPreferences::useKeyCode());
    const bool isX = isKey(*event, "x", byKeyCode);
    const bool isV = isKey(*event, "v", byKeyCode);
    const bool isC = isKey(*event, "c", byKeyCode);

    if (isX) {
        const auto token = pf::UUID::random();
        pending->forget();
        pending->cutToken = token;
        const auto count = pf::NSPasteboard::general()->changeCount();
        pending->changeCount = count;
        log({"CUT1", count});
        scheduleCutCheck(pending, token, 200ms, "CUT2", false);
        scheduleCutCheck(pending, token, 400ms, "CUT3", true);
        scheduleCutCheck(pending, token, 600ms, "CUT4", true);
        playCutSound();
        return settingKeyCode(event, "c");
    }
    if (isV) {
        const auto pasteboard = pf::NSPasteboard::general();
        const auto count = pasteboard->changeCount();
        log({"PASTE1", pf::Value(pending->changeCount), count});
        if (pending->changeCount == count && holdsFileURLs(*pasteboard)) {
            log({"PASTE2", pf::Value(pending->changeCount), count});
            auto move = settingFlags(event, ModifierFlags::command | ModifierFlags::option);
            // Unconditional: whatever was copied in the meantime goes too, so that a second
            // Command+V cannot paste the moved files' old places.
            pf::DispatchQueue::main().asyncAfter(
                200ms, [] { pf::NSPasteboard::general()->clearContents(); });
            pending->forget();
            return move;
        }
        log({"SKIPPING PASTE"});
        pending->forget();
        return event;
    }
    if (isC) {
        pending->forget();
    }
    return event;
}

void AppState::reportKeyMismatchIfSampled(const pf::NSEvent& event, std::uint16_t xKeyCode) {
    if (event.keyCode() != xKeyCode) {
        return;
    }
    const auto characters = event.charactersIgnoringModifiers();
    if (characters == "x" && event.keyCode() == kANSIKeyCodeX) {
        return;
    }
    if (!QVApp::runOnce("435hffdsf23")) {
        return;
    }
    const bool draw = randomBool_ ? randomBool_() : [] {
        static std::mt19937 engine{std::random_device{}()};
        return std::bernoulli_distribution(0.5)(engine);
    }();
    if (!draw) {
        return;
    }
    reportError(GeneralError::make("Key mismatch"),
                {{"CGKeyCodeUtilities.fromCharacter", pf::Value(std::uint64_t{xKeyCode})},
                 {"Hotkeys.Key.x", kANSIKeyCodeX},
                 {"event.characters", orNil(event.characters())},
                 {"event.charactersIgnoringModifiers", orNil(characters)},
                 {"event.keyCode", static_cast<std::int64_t>(event.keyCode())},
                 {"event.characters(byApplyingModifiers: .numericPad)",
                  orNil(event.charactersByApplyingModifiers(ModifierFlags::numericPad))}},
                AppState::kLogFile);
}

void AppState::playCutSound() {
    if (!Prefs::value(AppPreferences::playSoundEffects())) {
        return;
    }
    // Deferred, so the key is handed on before the sound is made.
    pf::DispatchQueue::main().async(
        [] { playDataAssetSound("CutSound", pf::Bundle::main(), false); });
}

} // namespace zestrel

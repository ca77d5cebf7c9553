#include "console/StandInTap.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/Error.h"
#include "platform/desktop/NSEvent.h"
#include "platform/desktop/NSPasteboard.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <optional>

namespace zestrel::console {

namespace {

using namespace std::chrono_literals;
using namespace zestrel::platform;

constexpr std::uint16_t kKeyCodeC = 8; // the C key of an ANSI keyboard
constexpr CGEventFlags kMovePasteFlags = CGEventFlags::maskCommand | CGEventFlags::maskAlternate;

bool isCommandOnly(const NSEvent& event) {
    const auto flags =
        event.eventModifierFlags()
            .intersection(NSEvent::ModifierFlags::deviceIndependentFlagsMask)
            .subtracting(NSEvent::ModifierFlags::capsLock | NSEvent::ModifierFlags::numericPad |
                         NSEvent::ModifierFlags::function);
    return flags == NSEvent::ModifierFlags::command;
}

bool holdsFileURLs(const NSPasteboard& pasteboard) {
    const auto types = pasteboard.types();
    return types &&
           std::find(types->begin(), types->end(), NSPasteboardType::fileURL) != types->end();
}

} // namespace

// The pending cut, shared by the taps and the delayed checks; main thread only.
struct StandInTap::Cut : std::enable_shared_from_this<Cut> {
    std::optional<std::int64_t> changeCount;
    std::uint64_t token = 0;

    void forget() {
        changeCount.reset();
        ++token;
    }

    CGEventRef handle(const CGEventRef& event) {
        const auto key = NSEvent::eventWithCGEvent(event);
        if (!key || !isCommandOnly(*key)) {
            return event;
        }
        const auto characters = key->charactersIgnoringModifiers().value_or("");
        const auto pasteboard = NSPasteboard::general();
        if (characters == "x") {
            forget();
            changeCount = pasteboard->changeCount();
            for (const auto delay : {200ms, 400ms, 600ms}) {
                DispatchQueue::main().asyncAfter(
                    delay, [weak = weak_from_this(), token = token, pasteboard] {
                        auto cut = weak.lock();
                        if (cut && cut->token == token) {
                            cut->changeCount = pasteboard->changeCount();
                        }
                    });
            }
            auto copy = CGEventCreateCopy(event);
            CGEventSetIntegerValueField(copy, kCGKeyboardEventKeycode, kKeyCodeC);
            return copy;
        }
        if (characters == "v") {
            const bool unchanged = changeCount && *changeCount == pasteboard->changeCount();
            forget();
            if (!unchanged || !holdsFileURLs(*pasteboard)) {
                return event;
            }
            auto move = CGEventCreateCopy(event);
            CGEventSetFlags(move, kMovePasteFlags);
            return move;
        }
        if (characters == "c") {
            forget();
        }
        return event;
    }
};

StandInTap::StandInTap(Desktop& desktop) : cut_(std::make_shared<Cut>()) {
    for (const char* identifier :
         {kFinderBundleIdentifier, kForkLiftBundleIdentifier, kForkLiftSetappBundleIdentifier}) {
        for (const auto& running : desktop.runningApplications(identifier)) {
            std::weak_ptr<Cut> cut = cut_;
            auto port = CGEventTapCreateForPid(
                running->processIdentifier(), kCGHeadInsertEventTap, kCGEventTapOptionDefault,
                CGEventMaskBit(CGEventType::keyDown),
                [cut](CGEventTapProxy, CGEventType type, const CGEventRef& event,
                      void*) -> CGEventRef {
                    auto pending = cut.lock();
                    if (!pending || type != CGEventType::keyDown) {
                        return event; // a disable notice, or the stand-in is going away
                    }
                    return pending->handle(event);
                },
                nullptr);
            auto source = port ? CFMachPortCreateRunLoopSource(nullptr, port, 0) : nullptr;
            if (!source) {
                throw NSError::make(
                    NSOSStatusErrorDomain, -1,
                    {{NSLocalizedDescriptionKey, Value("Could not tap " + std::string(identifier) +
                                                       " (is the program trusted?)")}});
            }
            CFRunLoopAddSource(CFRunLoopGetMain(), source, kCFRunLoopCommonModes);
            taps_.push_back({port, source});
            processes_.push_back(running->processIdentifier());
        }
    }
}

StandInTap::~StandInTap() {
    // Invalidating the port removes the tap and its run-loop source at once.
    for (auto& tap : taps_) {
        CFMachPortInvalidate(tap.port);
    }
}

} // namespace zestrel::console

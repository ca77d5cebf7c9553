#pragma once

// What the tests of the app's end share: a machine of its own for each row, a probe of what
// the process registered, and the owners of what the system holds for a process. Everything
// here is inline, so several test files of one executable include it.

#include "console/Console.h"

#include "platform/appkit/NSApplication.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/KeyValueObserving.h"
#include "platform/base/NotificationCenter.h"
#include "platform/base/ProcessTeardown.h"
#include "platform/base/Timer.h"
#include "platform/desktop/CarbonHotKeys.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/EventTap.h"
#include "platform/desktop/NSEvent.h"
#include "platform/desktop/NSWorkspace.h"
#include "platform/testing/TestEnvironment.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace zestrel::console {

// A machine of its own for each row: a fresh desktop, defaults and session folder.
struct Session {
    Session()
        : tmp(env.home() / "tmp"),
          console((std::filesystem::create_directories(tmp), tmp), out, errors) {}

    int run(const std::string& script) {
        std::istringstream in(script);
        return console.runScript(in, "test.zestrel");
    }
    std::vector<std::string> namesIn(const std::string& folder) const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(tmp / folder)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

    platform::testing::TestEnvironment env;
    std::filesystem::path tmp;
    std::ostringstream out;
    std::ostringstream errors;
    Console console;
};

// Registers in the current process one of everything the system calls back (a key-value
// observer of the workspace, an observer on each notification centre, an event monitor, a
// repeating timer, a block on the main queue that posts itself again) and counts the calls
// that come once the process it was registered for has ended: its application is gone, its
// process has ended, or, for what the run loop calls, it has terminated.
class ProcessProbe {
public:
    ProcessProbe(platform::Desktop& desktop, int processIdentifier,
                 platform::Nanoseconds period = std::chrono::milliseconds(500))
        : calls_(std::make_shared<Calls>(desktop, processIdentifier)) {
        namespace pf = platform;
        const auto told = [calls = calls_] { calls->note(false); };
        const auto called = [calls = calls_] { calls->note(true); };
        pf::NSWorkspace::shared()->keyValueObservers().addObserver(
            "frontmostApplication", pf::NSKeyValueObservingOptionNew,
            [told](const pf::KeyValueNotification&) { told(); });
        for (const auto& center :
             {pf::NotificationCenter::defaultCenter(), pf::NotificationCenter::workspaceCenter(),
              pf::NotificationCenter::distributedCenter()}) {
            tokens_.push_back(
                center->addObserver(std::nullopt, pf::Value(), [told](const auto&) { told(); }));
        }
        monitor_ = pf::NSEvent::addLocalMonitorForEvents(
            pf::NSEvent::kAnyEventMask, [told](const std::shared_ptr<pf::NSEvent>& event) {
                told();
                return event;
            });
        timer_ = pf::Timer::scheduledTimer(period, true, [called](pf::Timer&) { called(); });
        postAgain(calls_, period);
    }

    int callsAfterItsEnd() const { return calls_->afterEnd; }

private:
    struct Calls {
        Calls(platform::Desktop& desktop, int processIdentifier)
            : desktop(desktop), pid(processIdentifier) {}
        void note(bool byTheRunLoop) {
            if (platform::ProcessTeardown::hasEnded() || !desktop.runningApplication(pid) ||
                (byTheRunLoop && platform::NSApp().isTerminated())) {
                ++afterEnd;
            }
        }
        platform::Desktop& desktop;
        const int pid;
        int afterEnd = 0;
    };

    static void postAgain(const std::shared_ptr<Calls>& calls, platform::Nanoseconds period) {
        platform::DispatchQueue::main().asyncAfter(period, [calls, period] {
            calls->note(true);
            postAgain(calls, period);
        });
    }

    std::shared_ptr<Calls> calls_;
    std::vector<platform::ObserverToken> tokens_;
    std::shared_ptr<platform::NSObject> monitor_;
    std::shared_ptr<platform::Timer> timer_;
};

// Process identifiers of every hot key's and event tap's owner.
inline std::vector<int> registeredOwners() {
    std::vector<int> owners;
    for (const auto& hotKey : platform::HotKeySystem::current()->registrations()) {
        owners.push_back(hotKey.ownerProcessIdentifier);
    }
    std::array<platform::CGEventTapInformation, 16> taps{};
    std::uint32_t count = 0;
    platform::CGGetEventTapList(static_cast<std::uint32_t>(taps.size()), taps.data(), &count);
    for (std::uint32_t i = 0; i < count; ++i) {
        owners.push_back(taps[i].tappingProcess);
    }
    return owners;
}

} // namespace zestrel::console

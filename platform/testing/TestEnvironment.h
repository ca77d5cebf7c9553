#pragma once

// A fixture holds one; time moves only when the test says so:
//   class ClipTest : public ::testing::Test { protected: testing::TestEnvironment env; };
//   TEST_F(ClipTest, FiresLater) { Timer::scheduledTimer(1s, false, fire); env.advance(1s); }

#include "platform/base/Clock.h"
#include "platform/base/Error.h"
#include "platform/base/UnifiedLog.h"
#include "platform/system/SystemSound.h"

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace zestrel::platform::testing {

// 2026-01-15 10:00:00 UTC, the date every test starts at.
inline constexpr double kFixedDateSince1970 = 1768471200.0;

// Held by every test that touches the platform: a fresh process state on a virtual
// clock at a fixed date, temporary HOME and XDG folders, and captured log lines,
// reports and standard output. Everything is reset when it ends. Test support of
// higher layers derives from it or holds one.
class TestEnvironment {
public:
    TestEnvironment();
    virtual ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    VirtualClock& clock() { return *clock_; }
    const std::filesystem::path& home() const { return home_; }
    const std::filesystem::path& configHome() const { return configHome_; }

    // The app's cut sound, registered with the audio system from a file of `home()`. Throws
    // when it cannot be.
    SystemSoundID cutSound();

    // Drivers of the main run loop: run what is runnable now; move the virtual clock
    // forward, running what falls due on the way. Jobs of tasks on the global executor are
    // queued there too, so they run in order on the test's thread.
    void runUntilIdle();
    void advance(Nanoseconds duration);

    // What waits on the main run loop, one line each in the order it falls due, e.g.
    // "RunLoop block due +0.500s from platform/base/Foo.cpp:42"; then what waits on the
    // other dispatch queues ("DispatchQueue \"work\" block from ...") and on the global
    // executor's threads ("Global executor job from ..."). A nested run that goes idle, or a
    // runUntilIdle that never settles, prints these lines to standard error.
    std::vector<std::string> pendingWork() const;

    // Messages written to the unified log, in order.
    std::vector<std::string> logLines() const;
    std::vector<LogRecord> logRecords() const;
    // Reports that reached the end of the error reporter's road.
    std::vector<Error> reports() const;
    // Everything written to standard output.
    std::string standardOutput() const;
    void clearCaptures();

private:
    struct Captures;
    std::shared_ptr<Captures> captures_;
    std::shared_ptr<VirtualClock> clock_;
    std::filesystem::path root_;
    std::filesystem::path home_;
    std::filesystem::path configHome_;
    std::vector<std::pair<std::string, std::optional<std::string>>> savedEnvironment_;
};

} // namespace zestrel::platform::testing

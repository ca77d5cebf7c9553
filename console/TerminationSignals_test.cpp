#include "console/TerminationSignals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <future>
#include <iterator>
#include <mutex>
#include <optional>
#include <poll.h>
#include <set>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define ZESTREL_ADDRESS_SANITIZED
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZESTREL_ADDRESS_SANITIZED
#endif
#endif

namespace zestrel::console {
namespace {

using namespace std::chrono_literals;

volatile std::sig_atomic_t handledBefore = 0;

constexpr int kCaught[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGUSR1,
                           SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU};

// Each test starts with the signals' default handling, whatever the suite was started with
// (under `nohup` SIGHUP would be ignored, and stay so), and leaves it as it found it.
class TerminationSignalsTest : public ::testing::Test {
protected:
    TerminationSignalsTest() {
        for (std::size_t i = 0; i < std::size(kCaught); ++i) {
            sigaction(kCaught[i], nullptr, &saved_[i]);
            std::signal(kCaught[i], SIG_DFL);
        }
    }
    ~TerminationSignalsTest() override {
        for (std::size_t i = 0; i < std::size(kCaught); ++i) {
            sigaction(kCaught[i], &saved_[i], nullptr);
        }
    }

    // Sent to the process, as another process sends it: taken by the watching thread.
    static void send(int signal) { ::kill(::getpid(), signal); }

    // Lets this thread take them too once the watch is in place, so that a `raise` here has
    // run the handler when it answers; the watch's end gives this thread back its own mask.
    static void takeThemHere() {
        sigset_t caught;
        sigemptyset(&caught);
        for (const int signal : kCaught) {
            sigaddset(&caught, signal);
        }
        pthread_sigmask(SIG_UNBLOCK, &caught, nullptr);
    }

private:
    struct sigaction saved_[std::size(kCaught)] = {};
};

// Each signal handed to the handler given to `signals`, in order, until it is destroyed.
class HandledSignals {
public:
    explicit HandledSignals(TerminationSignals& signals) : signals_(signals) {
        signals_.onSignal([this](int number) {
            std::lock_guard lock(mutex_);
            handled_.push_back(number);
            changed_.notify_all();
        });
    }
    ~HandledSignals() { signals_.onSignal(nullptr); }
    HandledSignals(const HandledSignals&) = delete;
    HandledSignals& operator=(const HandledSignals&) = delete;

    // Those handed on once `count` are, or nothing after 30 s.
    std::optional<std::vector<int>> once(std::size_t count) {
        std::unique_lock lock(mutex_);
        if (!changed_.wait_for(lock, 30s, [&] { return handled_.size() >= count; })) {
            return std::nullopt;
        }
        return handled_;
    }

private:
    TerminationSignals& signals_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<int> handled_;
};

// The ids of this process's threads, as the system lists them.
std::set<std::string> threadIds() {
    std::set<std::string> ids;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) {
        ids.insert(entry.path().filename());
    }
    return ids;
}

// Whether the thread `id` of this process goes no further by itself: it sleeps in a wait, or
// has ended.
bool goesNoFurther(const std::string& id) {
    std::ifstream stat("/proc/self/task/" + id + "/stat");
    const std::string line{std::istreambuf_iterator<char>(stat), {}};
    const auto name = line.rfind(')');
    return !stat || (name != std::string::npos && line.compare(name, 4, ") S ") == 0);
}

std::set<std::string> threadsBefore;

// Returns once every thread made since `threadsBefore` goes no further: one that sleeps in a
// wait has done all it does before the wait ends.
void untilTheNewThreadsSleep() {
    for (const auto& id : threadIds()) {
        while (!threadsBefore.contains(id) && !goesNoFurther(id)) {
            std::this_thread::yield();
        }
    }
}

// Whether `signal` is blocked for the calling thread.
bool blockedHere(int signal) {
    sigset_t mask;
    pthread_sigmask(SIG_SETMASK, nullptr, &mask);
    return sigismember(&mask, signal) == 1;
}

TEST_F(TerminationSignalsTest, EachSignalReachesTheHandlerOnItsThread) {
    TerminationSignals signals;
    for (const int signal : kCaught) {
        std::promise<int> got;
        signals.onSignal([&](int number) { got.set_value(number); });
        send(signal);
        auto future = got.get_future();
        ASSERT_EQ(future.wait_for(30s), std::future_status::ready);
        EXPECT_EQ(future.get(), signal);
        // The one that ended the session, whatever came after it.
        EXPECT_EQ(signals.received(), SIGINT);
    }
    signals.onSignal(nullptr);
}

TEST_F(TerminationSignalsTest, ASignalWhileTheSessionEndsIsCaughtToo) {
    for (const int signal : kCaught) {
        TerminationSignals signals;
        HandledSignals handled(signals);
        send(signal);
        ASSERT_TRUE(handled.once(1));
        // Caught handlers that reset after one signal would end this process here.
        // One at a time: two of a kind waiting together are one.
        send(signal);
        ASSERT_TRUE(handled.once(2));
        send(SIGTERM);
        ASSERT_TRUE(handled.once(3));
        EXPECT_EQ(signals.received(), signal);
    }
}

TEST_F(TerminationSignalsTest, ASignalBeforeTheHandlerIsHandedOnWhenItComes) {
    TerminationSignals signals;
    send(SIGTERM);
    // Handed on at once when the watching thread has seen it already, or as soon as it does.
    std::atomic<int> handled = 0;
    signals.onSignal([&](int number) { handled = number; });
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (handled == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    EXPECT_EQ(handled, SIGTERM);
    signals.onSignal(nullptr);
}

TEST_F(TerminationSignalsTest, TheFirstSignalIsTheStatusAsSoonAsItsHandlerHasRun) {
    TerminationSignals signals;
    takeThemHere();
    // The handler runs before `raise` returns; the watching thread may not have looked yet,
    // and the program may be settling on its status this very moment.
    std::raise(SIGALRM);
    std::raise(SIGINT);
    EXPECT_EQ(signals.received(), SIGALRM);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(signals.settle(), SIGALRM);
    EXPECT_EQ(signals.settle(), SIGALRM);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "zestrel: ended by SIGALRM\n");
    signals.onSignal(nullptr);
}

// Of two that come together, before the first is taken, the lower-numbered counts first,
// whichever was sent first: both are pending on this thread, which blocks them, and then let
// go at once. The later one waits for the handler of the first: run on top of it, it would be
// noted first.
TEST_F(TerminationSignalsTest, OfTwoThatComeTogetherTheLowerNumberedCountsFirst) {
    for (const auto& [first, second] : {std::pair{SIGINT, SIGQUIT}, std::pair{SIGQUIT, SIGINT}}) {
        TerminationSignals signals;
        HandledSignals handled(signals);
        ASSERT_TRUE(blockedHere(first) && blockedHere(second));
        std::raise(first);
        std::raise(second);
        takeThemHere();
        EXPECT_EQ(signals.received(), SIGINT) << first;
        EXPECT_EQ(handled.once(2), (std::vector{SIGINT, SIGQUIT})) << first;
    }
}

// Only the watching thread takes them, so two cannot be handled at once on two threads, the
// later one maybe first; but a fault must still reach the thread whose fault it is.
TEST_F(TerminationSignalsTest, AThreadMadeAfterwardsLeavesThemToTheWatchButNotItsFaults) {
    {
        TerminationSignals signals;
        std::thread([] {
            for (const int signal : kCaught) {
                EXPECT_TRUE(blockedHere(signal)) << signal;
            }
            for (const int fault : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGTRAP, SIGABRT, SIGSYS}) {
                EXPECT_FALSE(blockedHere(fault)) << fault;
            }
        }).join();
    }
    // The thread that made the watch takes them again at its end.
    for (const int signal : kCaught) {
        EXPECT_FALSE(blockedHere(signal)) << signal;
    }
}

TEST_F(TerminationSignalsTest, NoSignalTakesItsDefaultActionOnceTheWatchHasEnded) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Case {
        const char* what;
        void (*program)();
        int status;
        const char* said;
    };
    const Case cases[] = {
        // A Ctrl+\ held down: the default action would leave a core.
        {"ended with none, then a flood",
         [] {
             { TerminationSignals signals; }
             for (int i = 0; i < 100; ++i) {
                 std::raise(SIGQUIT);
             }
         },
         128 + SIGQUIT, "^zestrel: ended by SIGQUIT\n$"},
        // The program's last look found none: one that comes after it is the status still,
        // whether the watching thread takes it or, sent to the main thread alone, it waits for
        // the watch's end.
        {"settled with none, then one",
         [] {
             TerminationSignals signals;
             if (signals.settle() == 0) {
                 send(SIGTERM);
             }
             signals.onSignal(nullptr);
         },
         128 + SIGTERM, "^zestrel: ended by SIGTERM\n$"},
        {"settled with none, then one to the main thread",
         [] {
             TerminationSignals signals;
             if (signals.settle() == 0) {
                 std::raise(SIGTERM);
             }
             signals.onSignal(nullptr);
         },
         128 + SIGTERM, "^zestrel: ended by SIGTERM\n$"},
        // One that comes before the handlers are in place waits for them.
        {"held from the start",
         [] {
             TerminationSignals::hold();
             std::raise(SIGQUIT);
             TerminationSignals signals;
             std::_Exit(128 + signals.settle());
         },
         128 + SIGQUIT, "^zestrel: ended by SIGQUIT\n$"},
        // One that comes the moment the watching thread starts to take them finds their
        // handlers in place (SIGTERM: its default action leaves no core), and so does one sent
        // while the watcher waits for them. They go in only once the watcher sleeps in that
        // wait, so a watcher that took them without waiting, or before it, would meet none,
        // however the threads run.
        {"raised as the watching thread starts",
         [] {
             TerminationSignals::setStartUpHookForTesting([] { std::raise(SIGTERM); });
             threadsBefore = threadIds();
             TerminationSignals::setInstallHookForTesting([] {
                 untilTheNewThreadsSleep();
                 send(SIGTERM);
             });
             TerminationSignals signals;
             std::_Exit(128 + signals.settle());
         },
         128 + SIGTERM, "^zestrel: ended by SIGTERM\n$"},
        // The program returns the first one's status: later ones change nothing.
        {"ended by one, then a flood",
         [] {
             {
                 TerminationSignals signals;
                 send(SIGTERM);
                 while (signals.received() == 0) {
                     std::this_thread::yield();
                 }
             }
             for (int i = 0; i < 100; ++i) {
                 std::raise(SIGQUIT);
                 std::raise(SIGINT);
             }
             std::_Exit(128 + SIGTERM);
         },
         128 + SIGTERM, "^$"},
    };
    for (const auto& [what, program, status, said] : cases) {
        EXPECT_EXIT(program(), ::testing::ExitedWithCode(status), said) << what;
    }
}

// A fault of the program's own still ends it there: by its default action, with its core,
// or by the sanitizer's report. Taken for a signal that ends the session, it would end as
// `quit` does, or its handler would come back to the fault for ever, until the alarm.
TEST_F(TerminationSignalsTest, AFaultOfTheProgramsOwnTakesItsDefaultAction) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
#ifdef ZESTREL_ADDRESS_SANITIZED
    const auto endedByTheFault = [](int status) {
        return (WIFEXITED(status) && WEXITSTATUS(status) == 1) ||
               (WIFSIGNALED(status) && WTERMSIG(status) == SIGABRT);
    };
    const char* said = "AddressSanitizer: SEGV";
#else
    const auto endedByTheFault = ::testing::KilledBySignal(SIGSEGV);
    const char* said = "";
#endif
    EXPECT_EXIT(
        {
            TerminationSignals signals;
            std::signal(SIGALRM, SIG_DFL);
            ::alarm(20);
            // A write no sanitizer checks first, and which the system refuses.
            void* page = ::mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
            *static_cast<volatile char*>(page) = 1;
        },
        endedByTheFault, said);
}

TEST_F(TerminationSignalsTest, TheSignalledDescriptorPollsReadableFromTheFirstSignalOn) {
    TerminationSignals signals;
    pollfd signalled = {signals.signalledDescriptor(), POLLIN, 0};
    EXPECT_EQ(::poll(&signalled, 1, 0), 0);
    takeThemHere();
    std::raise(SIGUSR1);
    // Set by the handler itself, before the watching thread has seen anything.
    EXPECT_EQ(::poll(&signalled, 1, 0), 1);
    EXPECT_EQ(::poll(&signalled, 1, 0), 1);
    signals.onSignal(nullptr);
}

TEST_F(TerminationSignalsTest, TheHandlingBeforeComesBackAtTheEnd) {
    struct sigaction action = {};
    action.sa_handler = [](int) { handledBefore = 1; };
    sigemptyset(&action.sa_mask);
    struct sigaction saved = {};
    sigaction(SIGTERM, &action, &saved);
    { TerminationSignals signals; }
    std::raise(SIGTERM);
    EXPECT_EQ(handledBefore, 1);
    sigaction(SIGTERM, &saved, nullptr);
}

TEST_F(TerminationSignalsTest, ASignalIgnoredFromTheStartStaysIgnored) {
    std::signal(SIGHUP, SIG_IGN);
    {
        TerminationSignals signals;
        struct sigaction now = {};
        sigaction(SIGHUP, nullptr, &now);
        EXPECT_EQ(now.sa_handler, SIG_IGN);
        sigaction(SIGINT, nullptr, &now);
        EXPECT_NE(now.sa_handler, SIG_DFL);
    }
    struct sigaction after = {};
    sigaction(SIGHUP, nullptr, &after);
    EXPECT_EQ(after.sa_handler, SIG_IGN);
}

} // namespace
} // namespace zestrel::console

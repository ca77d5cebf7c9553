#include "console/TerminationSignals.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <future>
#include <thread>

namespace zestrel::console {
namespace {

using namespace std::chrono_literals;

volatile std::sig_atomic_t handledBefore = 0;

TEST(TerminationSignals, EachSignalReachesTheHandlerOnItsThread) {
    TerminationSignals signals;
    for (const int signal : {SIGINT, SIGTERM}) {
        std::promise<int> got;
        signals.onSignal([&](int number) { got.set_value(number); });
        std::raise(signal);
        auto future = got.get_future();
        ASSERT_EQ(future.wait_for(30s), std::future_status::ready);
        EXPECT_EQ(future.get(), signal);
        EXPECT_EQ(signals.received(), signal);
    }
    signals.onSignal(nullptr);
}

TEST(TerminationSignals, ASignalBeforeTheHandlerIsHandedOnWhenItComes) {
    TerminationSignals signals;
    std::raise(SIGTERM);
    // Until the watching thread has seen it, nothing can be handed on; it is seen soon.
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (signals.received() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::yield();
    }
    int handled = 0;
    signals.onSignal([&](int number) { handled = number; });
    EXPECT_EQ(handled, SIGTERM);
    signals.onSignal(nullptr);
}

TEST(TerminationSignals, TheHandlingBeforeComesBackAtTheEnd) {
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

} // namespace
} // namespace zestrel::console

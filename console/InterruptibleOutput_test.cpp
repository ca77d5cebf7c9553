#include "console/InterruptibleOutput.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <fcntl.h>
#include <future>
#include <ostream>
#include <string>
#include <sys/eventfd.h>
#include <unistd.h>

namespace zestrel::console {
namespace {

using namespace std::chrono_literals;

// A pipe nobody reads until the test does, and the stop a signal would set.
class InterruptibleOutputTest : public ::testing::Test {
protected:
    InterruptibleOutputTest() {
        int ends[2];
        EXPECT_EQ(::pipe2(ends, O_CLOEXEC), 0);
        reader_ = ends[0];
        writer_ = ends[1];
        stop_ = ::eventfd(0, EFD_CLOEXEC);
    }
    ~InterruptibleOutputTest() override {
        for (const int fd : {reader_, writer_, stop_}) {
            ::close(fd);
        }
    }

    void stop() {
        const std::uint64_t one = 1;
        ASSERT_EQ(::write(stop_, &one, sizeof one), static_cast<ssize_t>(sizeof one));
    }
    // What the pipe holds now, without waiting for more.
    std::string readHeld() {
        ::fcntl(reader_, F_SETFL, O_NONBLOCK);
        std::string held;
        char buffer[4096];
        for (ssize_t count; (count = ::read(reader_, buffer, sizeof buffer)) > 0;) {
            held.append(buffer, static_cast<std::size_t>(count));
        }
        return held;
    }

    int reader_;
    int writer_;
    int stop_;
};

TEST_F(InterruptibleOutputTest, AWriteWaitingOnTheReaderEndsAtTheStopAndWhatFitsLaterIsWritten) {
    InterruptibleOutput buffer(writer_, stop_);
    std::ostream out(&buffer);
    const std::string line(100, 'x');
    auto writing = std::async(std::launch::async, [&] {
        // Many times what the pipe holds: this waits on the reader until the stop.
        for (int i = 0; i < 10'000; ++i) {
            out << line << std::endl;
        }
    });
    EXPECT_EQ(writing.wait_for(100ms), std::future_status::timeout);
    stop();
    const bool ended = writing.wait_for(30s) == std::future_status::ready;
    if (!ended) {
        // The stop was ignored: read it all, so the writer ends and this fails instead of
        // hanging on the future.
        while (writing.wait_for(0s) != std::future_status::ready) {
            readHeld();
        }
    }
    ASSERT_TRUE(ended) << "the write went on waiting for the reader after the stop";
    // What did not fit was dropped, not failed: the last words still go out where there is
    // room for them.
    EXPECT_TRUE(out.good());
    EXPECT_EQ(buffer.failure(), 0);
    const auto held = readHeld();
    EXPECT_GT(held.size(), 0u);
    EXPECT_EQ(held.find_first_not_of("x\n"), std::string::npos);
    out << "ended" << std::endl;
    EXPECT_EQ(readHeld(), "ended\n");
}

} // namespace
} // namespace zestrel::console

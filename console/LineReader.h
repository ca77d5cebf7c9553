#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace zestrel::platform {
class RunLoop;
} // namespace zestrel::platform

namespace zestrel::console {

// Reads the terminal on a thread of its own, one line when asked, and hands it to the main
// run loop: the main thread never blocks on input, so timers fire between commands. A line
// longer than the limit is read to its end but not kept, so no line typed or pasted can
// take more memory than that. A read that fails (the input's stream buffer throws) ends the
// input there, with the reason: the line it cut short is not handed on.
class LineReader {
public:
    // How much of a line over the limit is kept, to name it.
    static constexpr std::size_t kKeptStart = 256;
    struct Line {
        // Nothing at the end of input; only the start of a line over the limit.
        std::optional<std::string> text;
        // Why the input could not be read on; then there is no text.
        std::optional<std::string> failure;
        // The length of a line over the limit, in bytes; 0 for one within it.
        std::size_t tooLong = 0;
        // Its place in the input, counted from 1.
        std::size_t number = 0;
    };
    using Deliver = std::function<void(Line)>;

    LineReader(std::istream& input, std::size_t limit);
    // A session ended by a signal may be waiting for a line that never comes: the thread is
    // then left to end with the process, and delivers nothing.
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // `deliver` runs on `loop`, as the machine's work, with the next line, or with nothing at
    // the end of input. The loop (the machine's, which no end of the app's process destroys)
    // must stay until then or until the reader goes.
    void request(platform::RunLoop& loop, Deliver deliver);

    // A test's way in: while set, `request` returns only once its line is on the loop, as
    // when lines pasted or piped together are read faster than the commands run.
    static inline std::atomic<bool> linesComeTogether{false};

private:
    // Shared with the thread, which may outlive the reader.
    struct State {
        State(std::istream& input, std::size_t limit) : input(input), limit(limit) {}
        std::istream& input;
        const std::size_t limit;
        std::mutex mutex;
        std::condition_variable wake;
        bool finished = false; // guarded by mutex
        bool reading = false;  // guarded by mutex
        platform::RunLoop* loop = nullptr;
        Deliver deliver;
        std::size_t delivered = 0; // guarded by mutex: requests handed to their loop
        std::size_t linesRead = 0; // the reading thread's own
    };

    static void read(State& state);
    static Line readLine(std::istream& input, std::size_t limit);

    std::shared_ptr<State> state_;
    std::thread thread_;
};

} // namespace zestrel::console

#pragma once

#include <condition_variable>
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
// run loop: the main thread never blocks on input, so timers fire between commands.
class LineReader {
public:
    using Deliver = std::function<void(std::optional<std::string>)>;

    explicit LineReader(std::istream& input);
    // A session ended by a signal may be waiting for a line that never comes: the thread is
    // then left to end with the process, and delivers nothing.
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // `deliver` runs on `loop` with the next line, or with nothing at the end of input. The
    // loop must stay until then or until the reader goes.
    void request(platform::RunLoop& loop, Deliver deliver);

private:
    // Shared with the thread, which may outlive the reader.
    struct State {
        explicit State(std::istream& input) : input(input) {}
        std::istream& input;
        std::mutex mutex;
        std::condition_variable wake;
        bool finished = false; // guarded by mutex
        bool reading = false;  // guarded by mutex
        platform::RunLoop* loop = nullptr;
        Deliver deliver;
    };

    static void read(State& state);

    std::shared_ptr<State> state_;
    std::thread thread_;
};

} // namespace zestrel::console

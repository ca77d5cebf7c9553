#pragma once

#include <array>
#include <cstddef>
#include <streambuf>

namespace zestrel::console {

// The program's standard output or error: a stream buffer over a descriptor (a terminal, a
// pipe, a file) that waits for room only until `stop` polls readable, when a signal ends the
// session. From then on it writes what the descriptor takes at once and drops the rest, so a
// reader that no longer reads cannot keep the session from ending and its folders from
// going. A write that fails (a pipe nobody reads any more, a full disk) fails the stream, as
// with any, and `failure` says why.
//
// Lines are held until a flush, so the stream writes them whole. Written on one thread at a
// time; `stop` may become readable from any.
class InterruptibleOutput : public std::streambuf {
public:
    // Neither descriptor is closed here; a `stop` of -1 never stops.
    InterruptibleOutput(int fd, int stop);
    // Writes what is held.
    ~InterruptibleOutput() override;
    InterruptibleOutput(const InterruptibleOutput&) = delete;
    InterruptibleOutput& operator=(const InterruptibleOutput&) = delete;

    // The error of the first write that failed (EPIPE for a reader gone), or 0. What the stop
    // dropped is no failure.
    int failure() const { return failure_; }

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    // Writes what is held and empties the buffer; false when the descriptor fails.
    bool drain();
    bool writeOut(const char* data, std::size_t size);
    // Notes the first failure; answers false.
    bool failed(int error);

    int fd_;
    int stop_;
    bool stopped_ = false;
    int failure_ = 0;
    std::array<char, 4096> buffer_{};
};

} // namespace zestrel::console

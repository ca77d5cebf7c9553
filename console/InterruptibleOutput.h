#pragma once

#include <array>
#include <cstddef>
#include <streambuf>

namespace zestrel::console {

// The program's standard output or error: a stream buffer over a descriptor (a terminal, a
// pipe, a file) that waits for room only until `stop` polls readable, when a signal ends the
// session. From then on it writes what the descriptor takes at once and drops the rest, so a
// reader that no longer reads cannot keep the session from ending and its folders from
// going. A write that fails (a pipe nobody reads any more) fails the stream, as with any.
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

protected:
    int_type overflow(int_type c) override;
    int sync() override;

private:
    // Writes what is held and empties the buffer; false when the descriptor fails.
    bool drain();
    bool writeOut(const char* data, std::size_t size);

    int fd_;
    int stop_;
    bool stopped_ = false;
    std::array<char, 4096> buffer_{};
};

} // namespace zestrel::console

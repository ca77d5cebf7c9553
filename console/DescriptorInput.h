#pragma once

#include <array>
#include <streambuf>

namespace zestrel::console {

// The program's standard input (a terminal, a pipe, a file) as a stream buffer that tells a
// read that failed from the end of input, as the C library's does not: the failure (a
// folder, an input error, a descriptor open only for writing) is thrown from the read as a
// `std::system_error` with the system's reason, so a reader stops there and says why. A read
// a signal interrupts is tried again. Read on one thread at a time; the descriptor is not
// closed here.
class DescriptorInput : public std::streambuf {
public:
    explicit DescriptorInput(int fd) : fd_(fd) {}
    DescriptorInput(const DescriptorInput&) = delete;
    DescriptorInput& operator=(const DescriptorInput&) = delete;

protected:
    int_type underflow() override;

private:
    int fd_;
    std::array<char, 4096> buffer_{};
};

} // namespace zestrel::console

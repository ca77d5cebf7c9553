#pragma once

#include "platform/base/Value.h"

#include <memory>
#include <optional>
#include <string>

namespace zestrel::platform {

// `NSFileHandle` over a file descriptor, as far as the program reads and writes one. The
// three standard handles never close their descriptor; a handle made from a descriptor
// closes it when `closesOnRelease` says so.
class NSFileHandle {
public:
    NSFileHandle(int fileDescriptor, bool closesOnRelease);
    ~NSFileHandle();
    NSFileHandle(const NSFileHandle&) = delete;
    NSFileHandle& operator=(const NSFileHandle&) = delete;

    static std::shared_ptr<NSFileHandle> fileHandleWithStandardInput();
    static std::shared_ptr<NSFileHandle> fileHandleWithStandardOutput();
    static std::shared_ptr<NSFileHandle> fileHandleWithStandardError();

    int fileDescriptor() const { return fileDescriptor_; }

    // Waits until some data or the end of input is there: empty data at the end. A read
    // error also answers empty data, as the platform's call does.
    Data availableData();
    // All of `data`, retrying short writes; throws the POSIX error object of a failed write.
    void writeContentsOf(const Data& data);

private:
    int fileDescriptor_;
    bool closesOnRelease_;
};

// One line of standard input, as `readLine(strippingNewline:)` gives it: nothing at the
// end of input; the line break ("\n" or "\r\n") removed when asked.
std::optional<std::string> readLineFromStandardInput(bool strippingNewline);

} // namespace zestrel::platform

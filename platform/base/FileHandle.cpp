#include "platform/base/FileHandle.h"

#include "platform/base/Error.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace zestrel::platform {

NSFileHandle::NSFileHandle(int fileDescriptor, bool closesOnRelease)
    : fileDescriptor_(fileDescriptor), closesOnRelease_(closesOnRelease) {}

NSFileHandle::~NSFileHandle() {
    if (closesOnRelease_ && fileDescriptor_ >= 0) {
        ::close(fileDescriptor_);
    }
}

std::shared_ptr<NSFileHandle> NSFileHandle::fileHandleWithStandardInput() {
    return std::make_shared<NSFileHandle>(STDIN_FILENO, false);
}

std::shared_ptr<NSFileHandle> NSFileHandle::fileHandleWithStandardOutput() {
    return std::make_shared<NSFileHandle>(STDOUT_FILENO, false);
}

std::shared_ptr<NSFileHandle> NSFileHandle::fileHandleWithStandardError() {
    return std::make_shared<NSFileHandle>(STDERR_FILENO, false);
}

Data NSFileHandle::availableData() {
    Data data(65536);
    ssize_t count = 0;
    do {
        count = ::read(fileDescriptor_, data.data(), data.size());
    } while (count < 0 && errno == EINTR);
    data.resize(count > 0 ? static_cast<std::size_t>(count) : 0);
    return data;
}

void NSFileHandle::writeContentsOf(const Data& data) {
    std::size_t written = 0;
    while (written < data.size()) {
        const ssize_t count =
            ::write(fileDescriptor_, data.data() + written, data.size() - written);
        if (count < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw NSError::make(NSPOSIXErrorDomain, errno);
        }
        written += static_cast<std::size_t>(count);
    }
}

std::optional<std::string> readLineFromStandardInput(bool strippingNewline) {
    std::string line;
    int character = 0;
    while ((character = std::getchar()) != EOF) {
        line.push_back(static_cast<char>(character));
        if (character == '\n') {
            break;
        }
    }
    if (line.empty()) {
        return std::nullopt;
    }
    if (strippingNewline && line.back() == '\n') {
        line.pop_back();
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
    }
    return line;
}

} // namespace zestrel::platform

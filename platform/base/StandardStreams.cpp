#include "platform/base/StandardStreams.h"

#include "platform/base/Mutex.h"

#include <cstdio>

namespace zestrel::platform {
namespace {
Mutex writerMutex;
std::function<void(std::string_view)>& writer() REQUIRES(writerMutex) {
    static auto* instance = new std::function<void(std::string_view)>;
    return *instance;
}
} // namespace

void writeStandardOutput(std::string_view text) {
    MutexLock lock(writerMutex);
    if (writer()) {
        writer()(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void setStandardOutputWriter(std::function<void(std::string_view)> newWriter) {
    MutexLock lock(writerMutex);
    writer() = std::move(newWriter);
}

} // namespace zestrel::platform

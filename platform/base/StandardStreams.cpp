#include "platform/base/StandardStreams.h"

#include <cstdio>
#include <mutex>

namespace zestrel::platform {
namespace {
std::mutex writerMutex;
std::function<void(std::string_view)>& writer() {
    static auto* instance = new std::function<void(std::string_view)>;
    return *instance;
}
} // namespace

void writeStandardOutput(std::string_view text) {
    std::lock_guard lock(writerMutex);
    if (writer()) {
        writer()(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void setStandardOutputWriter(std::function<void(std::string_view)> newWriter) {
    std::lock_guard lock(writerMutex);
    writer() = std::move(newWriter);
}

} // namespace zestrel::platform

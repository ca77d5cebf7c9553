#include "console/ScratchFolder.h"

#include "platform/base/Error.h"

#include <array>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <iostream>
#include <span>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace zestrel::console {

namespace fs = std::filesystem;

namespace {

// What a fatal error's end does with the session's folder. The texts it reads are in fixed
// storage, written before `pending` says they may be read, so nothing it reads is resized or
// destroyed by another thread meanwhile.
enum class Pending { nothing, removal, keeping };
std::atomic<Pending> pending{Pending::nothing};
std::array<char, PATH_MAX> livePath{};
std::array<char, 8 * PATH_MAX> liveKeptSaying{};
// The thread ending the program after a fatal error, or 0.
std::atomic<pid_t> endingThread{0};

void copyInto(std::span<char> to, std::string_view text) {
    to[text.copy(to.data(), to.size() - 1)] = '\0';
}

std::string cannotRemove(const fs::path& folder, const std::error_code& error) {
    return "zestrel: cannot remove the session's folder " + folder.string() + ": " +
           error.message() + "\n";
}

// Straight to the descriptor: the stream's buffer may be in the middle of a write.
void sayOnStandardError(std::string_view text) {
    while (!text.empty()) {
        const auto written = ::write(STDERR_FILENO, text.data(), text.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        text.remove_prefix(static_cast<std::size_t>(written));
    }
}

// The end of every fatal error: `fatal` has said it and run its hooks (the defaults written).
[[noreturn]] void endAfterFatalError() {
    const pid_t self = ::gettid();
    if (pid_t first = 0; !endingThread.compare_exchange_strong(first, self)) {
        if (first == self) {
            ::_exit(1); // a fatal error on the way out: it ends here, as it stands
        }
        for (;;) {
            ::pause(); // the first one's end ends the program
        }
    }
    switch (pending.exchange(Pending::nothing)) {
    case Pending::removal:
        if (std::error_code error; fs::remove_all(livePath.data(), error), error) {
            sayOnStandardError(cannotRemove(livePath.data(), error));
        }
        break;
    case Pending::keeping:
        sayOnStandardError(liveKeptSaying.data());
        break;
    case Pending::nothing:
        break;
    }
    ::_exit(1);
}

} // namespace

ScratchFolder::ScratchFolder() {
    std::string pattern = (fs::temp_directory_path() / "zestrel-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::system_error(errno, std::generic_category(), "cannot create a temporary folder");
    }
    root_ = pattern;
    // Named by its real path at the end (the temporary folder's own may lead through a link).
    realRoot_ = fs::canonical(root_);
    copyInto(livePath, realRoot_.string());
    pending.store(Pending::removal);
    platform::setFatalEnd(endAfterFatalError);
    fs::create_directories(files());
}

ScratchFolder::~ScratchFolder() {
    if (!ended_) {
        end();
    }
}

bool ScratchFolder::end() {
    ended_ = true;
    if (pending.exchange(Pending::nothing) == Pending::nothing && endingThread.load() != 0) {
        for (;;) {
            ::pause(); // a fatal error's end has the folder, and ends the program
        }
    }
    if (kept_) {
        std::cerr << keptSaying_;
        return true;
    }
    std::error_code error;
    if (fs::remove_all(root_, error); !error) {
        return true;
    }
    std::cerr << cannotRemove(realRoot_, error) << std::flush;
    return false;
}

void ScratchFolder::keep(std::vector<Part> parts) {
    std::string saying =
        "zestrel: kept the session's folder " + realRoot_.string() + ", which holds\n";
    for (auto& part : parts) {
        saying += "  " + part.what + ": " + fs::canonical(part.path).string() + "\n";
    }
    keptSaying_ = std::move(saying);
    kept_ = true;
    // Read only once `pending` says so.
    if (pending.load() == Pending::removal) {
        copyInto(liveKeptSaying, keptSaying_);
        Pending removal = Pending::removal;
        pending.compare_exchange_strong(removal, Pending::keeping);
    }
}

} // namespace zestrel::console

#include "foundation/CLI.h"

#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessInfo.h"
#include "platform/base/UTF8.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <grp.h>
#include <limits>
#include <pthread.h>
#include <pwd.h>
#include <unistd.h>
#include <utility>

namespace zestrel::CLI {

namespace pf = platform;

ParsedArguments parse(const std::vector<std::string>& arguments) {
    ParsedArguments result;
    if (arguments.empty() || arguments.front() == "--") {
        return result;
    }
    std::optional<std::string> pendingOption;
    for (std::size_t position = 0; position < arguments.size(); ++position) {
        const std::string& argument = arguments[position];
        if (position > 0 && argument == "--") {
            break;
        }
        if (argument.starts_with("--")) {
            std::string option = argument.substr(2);
            result.options.insert_or_assign(option, OptionValue(true));
            pendingOption = std::move(option);
        } else if (pendingOption) {
            result.options.insert_or_assign(*pendingOption, OptionValue(argument));
            pendingOption.reset();
        } else {
            result.positionalArguments.push_back(argument);
        }
    }
    return result;
}

std::shared_ptr<pf::NSFileHandle>& standardInput() {
    static auto* handle =
        new std::shared_ptr<pf::NSFileHandle>(pf::NSFileHandle::fileHandleWithStandardInput());
    return *handle;
}

std::shared_ptr<pf::NSFileHandle>& standardOutput() {
    static auto* handle =
        new std::shared_ptr<pf::NSFileHandle>(pf::NSFileHandle::fileHandleWithStandardOutput());
    return *handle;
}

std::shared_ptr<pf::NSFileHandle>& standardError() {
    static auto* handle =
        new std::shared_ptr<pf::NSFileHandle>(pf::NSFileHandle::fileHandleWithStandardError());
    return *handle;
}

namespace {

const std::vector<std::string>& processArguments() {
    static const auto* all = new std::vector<std::string>(pf::NSProcessInfo::arguments());
    return *all;
}

const std::string& programPath() {
    if (processArguments().empty()) {
        pf::fatal("The process has no argument list");
    }
    return processArguments().front();
}

// The working directory, which may have been removed under the process.
std::filesystem::path workingDirectory() {
    std::error_code error;
    std::filesystem::path path = std::filesystem::current_path(error);
    if (error) {
        throw pf::NSError::make(pf::NSPOSIXErrorDomain, error.value());
    }
    return path;
}

pf::URL fileURL(std::string_view path, bool isDirectory) {
    if (path.starts_with('/')) {
        return pf::URL::fileURL(path, isDirectory);
    }
    return pf::URL::fileURL((workingDirectory() / path).string(), isDirectory);
}

} // namespace

pf::URL detail::programURL(std::string_view path) {
    return fileURL(path, false);
}

std::string detail::programName(std::string_view path) {
    return programURL(path).lastPathComponent();
}

pf::URL& executableURL() {
    static auto* url = new pf::URL(detail::programURL(programPath()));
    return *url;
}

const std::vector<std::string>& arguments() {
    static const auto* all = new std::vector<std::string>(
        processArguments().empty()
            ? std::vector<std::string>{}
            : std::vector<std::string>(processArguments().begin() + 1, processArguments().end()));
    return *all;
}

const ParsedArguments& parsedArguments() {
    static const auto* parsed = new ParsedArguments(parse(arguments()));
    return *parsed;
}

const std::vector<std::string>& positionalArguments() {
    return parsedArguments().positionalArguments;
}

const std::map<std::string, OptionValue>& options() {
    return parsedArguments().options;
}

const std::string& name() {
    static const auto* text = new std::string(detail::programName(programPath()));
    return *text;
}

bool hasOption(std::string_view option) {
    return options().contains(std::string(option));
}

pf::URL currentDirectoryURL() {
    return pf::URL::fileURL(workingDirectory().string(), true);
}

namespace {

// What was read from standard input and not yet taken, with the handle it came from.
class InputBuffer {
public:
    pf::Mutex mutex;

    // The bytes waiting from `handle`; those of an earlier handle are dropped.
    pf::Data& pending(const std::shared_ptr<pf::NSFileHandle>& handle) REQUIRES(mutex) {
        if (handle_.lock() != handle) {
            handle_ = handle;
            pending_.clear();
        }
        return pending_;
    }

private:
    std::weak_ptr<pf::NSFileHandle> handle_ GUARDED_BY(mutex);
    pf::Data pending_ GUARDED_BY(mutex);
};

InputBuffer& inputBuffer() {
    static auto* buffer = new InputBuffer;
    return *buffer;
}

} // namespace

pf::Data standardInputData() {
    const std::shared_ptr<pf::NSFileHandle> handle = standardInput();
    InputBuffer& buffer = inputBuffer();
    pf::MutexLock lock(buffer.mutex);
    pf::Data& pending = buffer.pending(handle);
    if (!pending.empty()) {
        return std::exchange(pending, {});
    }
    return handle->availableData();
}

std::optional<std::string> readLine(bool strippingNewline) {
    const std::shared_ptr<pf::NSFileHandle> handle = standardInput();
    InputBuffer& buffer = inputBuffer();
    pf::MutexLock lock(buffer.mutex);
    pf::Data& pending = buffer.pending(handle);
    auto lineBreak = std::find(pending.begin(), pending.end(), '\n');
    while (lineBreak == pending.end()) {
        const pf::Data more = handle->availableData();
        if (more.empty()) {
            break;
        }
        const std::size_t searched = pending.size();
        pending.insert(pending.end(), more.begin(), more.end());
        lineBreak =
            std::find(pending.begin() + static_cast<std::ptrdiff_t>(searched), pending.end(), '\n');
    }
    if (pending.empty()) {
        return std::nullopt;
    }
    const auto lineEnd = lineBreak == pending.end() ? lineBreak : lineBreak + 1;
    std::string line(pending.begin(), lineEnd);
    pending.erase(pending.begin(), lineEnd);
    if (strippingNewline && line.ends_with('\n')) {
        line.pop_back();
        if (line.ends_with('\r')) {
            line.pop_back();
        }
    }
    return line;
}

std::optional<std::string> standardInputString() {
    const pf::Data data = standardInputData();
    std::string text(data.begin(), data.end());
    if (!pf::isValidUTF8(text)) {
        return std::nullopt;
    }
    if (text.ends_with('\n')) {
        text.pop_back();
    }
    return text;
}

void printError(const std::vector<PrintItem>& items, std::string_view separator,
                std::string_view terminator) {
    std::string text;
    for (std::size_t index = 0; index < items.size(); ++index) {
        if (index > 0) {
            text += separator;
        }
        text += items[index].text;
    }
    text += terminator;
    write(*standardError(), text);
}

namespace {

// Writing to a pipe whose reader has gone raises SIGPIPE, whose default ends the process
// before the write can fail. The signal is held back for this thread while it writes, and
// one the write raised is taken away before letting go, so the write fails with EPIPE and
// nothing else about the process's signals changes.
class HeldBrokenPipeSignal {
public:
    HeldBrokenPipeSignal() {
        sigemptyset(&brokenPipe_);
        sigaddset(&brokenPipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        wasPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &brokenPipe_, &previous_);
    }
    ~HeldBrokenPipeSignal() {
        const int savedErrno = errno;
        sigset_t pending;
        sigpending(&pending);
        if (!wasPending_ && sigismember(&pending, SIGPIPE) == 1) {
            const timespec now{0, 0};
            while (sigtimedwait(&brokenPipe_, nullptr, &now) < 0 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
        errno = savedErrno;
    }
    HeldBrokenPipeSignal(const HeldBrokenPipeSignal&) = delete;
    HeldBrokenPipeSignal& operator=(const HeldBrokenPipeSignal&) = delete;

private:
    sigset_t brokenPipe_{};
    sigset_t previous_{};
    bool wasPending_ = false;
};

} // namespace

void write(pf::NSFileHandle& handle, std::string_view text) {
    try {
        const HeldBrokenPipeSignal held;
        handle.writeContentsOf(pf::Data(text.begin(), text.end()));
    } catch (const pf::Error& error) {
        reportError(GeneralError::make(error.localizedDescription()));
    }
}

PrivilegeCalls PrivilegeCalls::system() {
    PrivilegeCalls calls;
    calls.environmentValue = [](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        return value ? std::optional<std::string>(value) : std::nullopt;
    };
    calls.primaryGroup = [](std::uint32_t uid) -> std::optional<std::uint32_t> {
        passwd entry{};
        passwd* found = nullptr;
        std::vector<char> buffer(16384);
        if (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found) {
            return std::nullopt;
        }
        return found->pw_gid;
    };
    calls.dropSupplementaryGroups = [] { return ::setgroups(0, nullptr); };
    calls.setgid = [](std::uint32_t gid) { return ::setgid(gid); };
    calls.setuid = [](std::uint32_t uid) { return ::setuid(uid); };
    return calls;
}

std::optional<std::uint32_t> parseUserIdentifier(std::string_view text) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (const char character : text) {
        if (character < '0' || character > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<std::uint64_t>(character - '0');
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
    }
    if (negative && value != 0) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

namespace {

std::optional<std::uint32_t> identifierFromEnvironment(const PrivilegeCalls& calls,
                                                       const char* name) {
    const std::optional<std::string> value = calls.environmentValue(name);
    if (!value || value->empty()) {
        return std::nullopt;
    }
    return parseUserIdentifier(*value);
}

bool reportFailedCall(std::string_view call, std::uint32_t uid, int savedErrno) {
    reportError(GeneralError::make("Could not drop privileges to user " + std::to_string(uid) +
                                   ": " + std::string(call) +
                                   " failed: " + std::strerror(savedErrno)));
    return false;
}

} // namespace

bool dropPrivilegesToSudoUser(const PrivilegeCalls& calls) {
    const std::optional<std::uint32_t> uid = identifierFromEnvironment(calls, "SUDO_UID");
    if (!uid) {
        return false;
    }
    std::optional<std::uint32_t> gid = identifierFromEnvironment(calls, "SUDO_GID");
    if (!gid) {
        gid = calls.primaryGroup(*uid);
    }
    if (!gid) {
        reportError(GeneralError::make("Could not drop privileges to user " + std::to_string(*uid) +
                                       ": the user has no group"));
        return false;
    }
    // Groups first: once the user is no longer root, it may not change them any more.
    errno = 0;
    if (calls.dropSupplementaryGroups() != 0) {
        return reportFailedCall("setgroups", *uid, errno);
    }
    if (calls.setgid(*gid) != 0) {
        return reportFailedCall("setgid", *uid, errno);
    }
    if (calls.setuid(*uid) != 0) {
        return reportFailedCall("setuid", *uid, errno);
    }
    return true;
}

} // namespace zestrel::CLI

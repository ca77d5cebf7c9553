#include "platform/system/SMAppService.h"

#include "platform/base/Bundle.h"
#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"
#include "platform/data/FileChangeGate.h"
#include "platform/data/FileSafety.h"
#include "platform/data/UserDirectories.h"

#include <cerrno>
#include <cstdlib>
#include <map>

namespace zestrel::platform {
namespace {

namespace fs = std::filesystem;

struct Failures {
    Mutex mutex;
    std::map<SMAppService::Operation, Error> next GUARDED_BY(mutex);
};

ProcessLocal<Failures>& failures() {
    static auto* const instance = new ProcessLocal<Failures>();
    return *instance;
}

void throwInjectedFailure(SMAppService::Operation operation) {
    auto& state = *failures();
    MutexLock lock(state.mutex);
    const auto found = state.next.find(operation);
    if (found != state.next.end()) {
        const Error error = found->second;
        state.next.erase(found);
        throw error;
    }
}

Error serviceError(std::int64_t code, std::optional<int> posixCode = std::nullopt) {
    Value::Dictionary userInfo;
    if (posixCode) {
        userInfo[NSUnderlyingErrorKey] = NSError::make(NSPOSIXErrorDomain, *posixCode);
    }
    return NSError::make(SMAppServiceErrorDomain, code, std::move(userInfo));
}

// A desktop entry's Exec argument, quoted as the entry format asks.
std::string quotedArgument(const std::string& argument) {
    std::string quoted = "\"";
    for (char c : argument) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

} // namespace

SMAppService SMAppService::mainAppService() {
    return SMAppService();
}

fs::path SMAppService::autostartEntryPath() const {
    const std::string identifier =
        Bundle::main()->bundleIdentifier().value_or("com.quorvik.Zestrel");
    return xdgConfigHome() / "autostart" / (identifier + ".desktop");
}

SMAppService::Status SMAppService::status() const {
    std::error_code error;
    return fs::is_regular_file(autostartEntryPath(), error) ? Status::enabled
                                                            : Status::notRegistered;
}

void SMAppService::registerAndReturnError() const {
    throwInjectedFailure(Operation::registering);
    if (status() == Status::enabled) {
        throw serviceError(kSMErrorAlreadyRegistered);
    }
    if (const std::error_code refused = FileChangeGate::check()) {
        throw serviceError(kSMErrorInternalFailure, refused.value());
    }
    std::error_code error;
    const fs::path executable = fs::read_symlink("/proc/self/exe", error);
    const auto name = Bundle::main()->infoDictionary().find(kCFBundleNameKey);
    const std::string appName =
        name != Bundle::main()->infoDictionary().end() && name->second.asString() != nullptr
            ? *name->second.asString()
            : std::string("Zestrel");
    const std::string entry = "[Desktop Entry]\nType=Application\nName=" + appName +
                              "\nExec=" + quotedArgument(executable.string()) +
                              "\nX-GNOME-Autostart-enabled=true\n";
    const fs::path path = autostartEntryPath();
    fs::create_directories(path.parent_path(), error);
    if (error) {
        throw serviceError(kSMErrorInternalFailure, error.value());
    }
    if (writeFileAtomically(path, Data(entry.begin(), entry.end()))) {
        throw serviceError(kSMErrorInternalFailure, errno != 0 ? errno : EIO);
    }
}

void SMAppService::unregisterAndReturnError() const {
    throwInjectedFailure(Operation::unregistering);
    std::error_code error = FileChangeGate::check();
    if (error || !fs::remove(autostartEntryPath(), error)) {
        throw error ? serviceError(kSMErrorInternalFailure, error.value())
                    : serviceError(kSMErrorJobNotFound);
    }
}

void SMAppService::failNext(Operation operation, Error error) {
    auto& state = *failures();
    MutexLock lock(state.mutex);
    state.next.insert_or_assign(operation, std::move(error));
}

} // namespace zestrel::platform

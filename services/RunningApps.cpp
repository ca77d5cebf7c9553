#include "services/RunningApps.h"

#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"
#include "platform/base/ProcessLocal.h"
#include "platform/desktop/AppleEvent.h"
#include "platform/desktop/Desktop.h"
#include "services/QVAppLaunch.h"

#include <cerrno>
#include <set>

namespace zestrel {

namespace {

namespace pf = platform;

constexpr const char* kXcodeBundleIdentifier = "com.apple.dt.Xcode";

// The kernel's process record as far as the ancestry needs it. The desktop's process
// table stands in for the kernel's: processes here have simulated identifiers, which
// mean nothing to this machine's own process table.
struct ProcessRecord {
    int parentProcessIdentifier = 0;
};

// Like the kernel's query by process identifier: an unknown process gives an empty
// record (no parent); an identifier no process can have is rejected.
ProcessRecord processRecord(int processIdentifier) {
    if (processIdentifier < 0) {
        throw pf::NSError::make(pf::NSPOSIXErrorDomain, EINVAL);
    }
    return {pf::Desktop::current()->parentProcessIdentifier(processIdentifier).value_or(0)};
}

std::string fileNameWithoutExtension(const pf::URL& url) {
    std::string name = url.lastPathComponent();
    const std::string extension = url.pathExtension();
    if (!extension.empty() && name.size() > extension.size()) {
        name.resize(name.size() - extension.size() - 1);
    }
    return name;
}

std::optional<int> computeLaunchingProcessID() {
    const auto& event = QVApp::launchAppleEvent();
    if (!event) {
        return std::nullopt;
    }
    if (const auto senderAttribute = event->attributeDescriptorForKeyword(pf::keySenderPIDAttr)) {
        if (const int sender = senderAttribute->int32Value(); sender != 0) {
            int ancestor = 0;
            try {
                ancestor = topmostAncestorProcess(sender);
            } catch (const pf::Error&) {
                return sender;
            }
            if (ancestor == sender) {
                return sender;
            }
            // Run from Xcode, the app is launched by a helper below it; that helper is what
            // launched the app, not Xcode.
            const auto ancestorApp =
                pf::NSRunningApplication::runningApplicationWithProcessIdentifier(ancestor);
            if (ancestorApp && ancestorApp->bundleIdentifier() == kXcodeBundleIdentifier) {
                return sender;
            }
            return ancestor;
        }
    }
    const auto address = event->attributeDescriptorForKeyword(pf::keyAddressAttr);
    const auto kernelProcess =
        address ? address->coerceToDescriptorType(pf::typeKernelProcessID) : nullptr;
    if (!kernelProcess) {
        return std::nullopt;
    }
    const int processIdentifier = kernelProcess->int32Value();
    if (processIdentifier == 0 || processIdentifier == -1) {
        return std::nullopt;
    }
    reportError(GeneralError::make("Uses sender process fallback"),
                {{"processIdentifier", pf::Value(processIdentifier)}});
    return processIdentifier;
}

struct LaunchingProcess {
    std::optional<int> processIdentifier = computeLaunchingProcessID();
};

struct LaunchingApplication {
    std::shared_ptr<pf::NSRunningApplication> application =
        QVApp::launchingProcessID()
            ? pf::NSRunningApplication::runningApplicationWithProcessIdentifier(
                  *QVApp::launchingProcessID())
            : nullptr;
};

} // namespace

bool isAnyAppRunning(const pf::NSWorkspace& workspace,
                     const std::unordered_set<std::string>& bundleIdentifiers) {
    for (const auto& application : workspace.runningApplications()) {
        if (application->bundleIdentifier() &&
            bundleIdentifiers.contains(*application->bundleIdentifier())) {
            return true;
        }
    }
    return false;
}

std::string displayName(const pf::NSRunningApplication& application) {
    if (application.localizedName()) {
        return *application.localizedName();
    }
    if (application.executableURL()) {
        return fileNameWithoutExtension(*application.executableURL());
    }
    if (application.bundleURL()) {
        return fileNameWithoutExtension(*application.bundleURL());
    }
    if (application.bundleIdentifier()) {
        return *application.bundleIdentifier();
    }
    if (application.processIdentifier() == -1) {
        return "<Unknown>";
    }
    return "PID" + std::to_string(application.processIdentifier());
}

int topmostAncestorProcess(int processIdentifier) {
    int candidate = processIdentifier;
    // The kernel's table has no cycles; the guard keeps a malformed one from looping.
    std::set<int> visited{candidate};
    while (true) {
        const int parent = processRecord(candidate).parentProcessIdentifier;
        if (parent <= 1 || !visited.insert(parent).second) {
            break;
        }
        candidate = parent;
    }
    // A process exists when it has a process group.
    return pf::Desktop::current()->processGroupIdentifier(candidate) ? candidate
                                                                      : processIdentifier;
}

} // namespace zestrel

namespace zestrel::QVApp {

std::optional<int> launchingProcessID() {
    static auto* const local = new pf::ProcessLocal<LaunchingProcess>; // deliberately leaked
    return local->get().processIdentifier;
}

std::shared_ptr<pf::NSRunningApplication> launchingApplication() {
    static auto* const local = new pf::ProcessLocal<LaunchingApplication>; // deliberately leaked
    return local->get().application;
}

} // namespace zestrel::QVApp

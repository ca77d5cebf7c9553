#include "platform/desktop/Accessibility.h"
#include "platform/base/Mutex.h"

#include "platform/base/MachineLocal.h"

#include <utility>

namespace zestrel::platform {
namespace {

MachineLocal<Accessibility>& machineLocal() {
    static auto* const local = new MachineLocal<Accessibility>; // used until the very end
    return *local;
}

} // namespace

std::shared_ptr<Accessibility> Accessibility::current() {
    return machineLocal().current();
}

void Accessibility::setCurrent(std::shared_ptr<Accessibility> accessibility) {
    machineLocal().setCurrent(std::move(accessibility));
}

bool Accessibility::isTrusted() const {
    MutexLock lock(mutex_);
    return trusted_;
}

void Accessibility::setTrusted(bool trusted) {
    MutexLock lock(mutex_);
    trusted_ = trusted;
}

bool Accessibility::hasPostEventAccess() const {
    MutexLock lock(mutex_);
    return postEventAccess_;
}

void Accessibility::setPostEventAccess(bool granted) {
    MutexLock lock(mutex_);
    postEventAccess_ = granted;
}

bool Accessibility::hasListenEventAccess() const {
    MutexLock lock(mutex_);
    return listenEventAccess_;
}

void Accessibility::setListenEventAccess(bool granted) {
    MutexLock lock(mutex_);
    listenEventAccess_ = granted;
}

int Accessibility::promptCount() const {
    MutexLock lock(mutex_);
    return prompts_;
}

int Accessibility::postEventAccessRequestCount() const {
    MutexLock lock(mutex_);
    return postRequests_;
}

int Accessibility::listenEventAccessRequestCount() const {
    MutexLock lock(mutex_);
    return listenRequests_;
}

bool Accessibility::checkTrusted(const Value::Dictionary* options) {
    bool prompt = false;
    if (options) {
        if (const auto it = options->find(kAXTrustedCheckOptionPrompt); it != options->end()) {
            prompt = it->second.asBool().value_or(false);
        }
    }
    MutexLock lock(mutex_);
    // A trusted process is never prompted.
    if (prompt && !trusted_) {
        ++prompts_;
    }
    return trusted_;
}

bool Accessibility::requestPostEventAccess() {
    MutexLock lock(mutex_);
    ++postRequests_;
    return postEventAccess_;
}

bool Accessibility::requestListenEventAccess() {
    MutexLock lock(mutex_);
    ++listenRequests_;
    return listenEventAccess_;
}

bool AXIsProcessTrusted() {
    return Accessibility::current()->isTrusted();
}

bool AXIsProcessTrustedWithOptions(const Value::Dictionary* options) {
    return Accessibility::current()->checkTrusted(options);
}

bool AXIsProcessTrustedWithOptions(const Value::Dictionary& options) {
    return AXIsProcessTrustedWithOptions(&options);
}

bool CGPreflightPostEventAccess() {
    return Accessibility::current()->hasPostEventAccess();
}

bool CGRequestPostEventAccess() {
    return Accessibility::current()->requestPostEventAccess();
}

bool CGPreflightListenEventAccess() {
    return Accessibility::current()->hasListenEventAccess();
}

bool CGRequestListenEventAccess() {
    return Accessibility::current()->requestListenEventAccess();
}

} // namespace zestrel::platform

#include "platform/appkit/ModalResponder.h"
#include "platform/base/Mutex.h"

#include "platform/base/ProcessLocal.h"

namespace zestrel::platform {
namespace {

struct ResponderSlot {
    Mutex mutex;
    std::shared_ptr<ModalResponder> responder;
};

ResponderSlot& slot() {
    // Leaked on purpose: it is reset with the process, never destroyed at exit.
    static auto* const local = new ProcessLocal<ResponderSlot>();
    return local->get();
}

} // namespace

std::shared_ptr<ModalResponder> ModalResponder::current() {
    auto& s = slot();
    MutexLock lock(s.mutex);
    return s.responder;
}

void ModalResponder::setCurrent(std::shared_ptr<ModalResponder> responder) {
    auto& s = slot();
    MutexLock lock(s.mutex);
    s.responder = std::move(responder);
}

void ScriptedModalResponder::enqueue(ModalAnswer answer) {
    MutexLock lock(mutex_);
    answers_.push_back(std::move(answer));
}

std::size_t ScriptedModalResponder::pendingAnswers() const {
    MutexLock lock(mutex_);
    return answers_.size();
}

std::optional<ModalAnswer> ScriptedModalResponder::answer(const NSAlert& /*alert*/) {
    MutexLock lock(mutex_);
    if (answers_.empty()) {
        return std::nullopt;
    }
    ModalAnswer next = std::move(answers_.front());
    answers_.pop_front();
    return next;
}

void ScriptedModalResponder::enqueue(MenuPick pick) {
    MutexLock lock(mutex_);
    picks_.push_back(std::move(pick));
}

std::size_t ScriptedModalResponder::pendingPicks() const {
    MutexLock lock(mutex_);
    return picks_.size();
}

std::optional<MenuPick> ScriptedModalResponder::pick(const NSMenu& /*menu*/) {
    MutexLock lock(mutex_);
    if (picks_.empty()) {
        return std::nullopt;
    }
    MenuPick next = std::move(picks_.front());
    picks_.pop_front();
    return next;
}

std::shared_ptr<ScriptedModalResponder> ScriptedModalResponder::install() {
    auto responder = std::make_shared<ScriptedModalResponder>();
    ModalResponder::setCurrent(responder);
    return responder;
}

} // namespace zestrel::platform

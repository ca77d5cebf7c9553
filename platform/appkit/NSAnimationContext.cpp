#include "platform/appkit/NSAnimationContext.h"

#include "platform/appkit/NSWindow.h"
#include "platform/base/DispatchQueue.h"
#include "platform/base/ProcessLocal.h"

#include <chrono>
#include <cmath>

namespace zestrel::platform {

namespace {

// The groups being set up, innermost last; a process's own.
std::vector<NSAnimationContext*>& openGroups() {
    static ProcessLocal<std::vector<NSAnimationContext*>> groups;
    return *groups;
}

} // namespace

NSAnimationContext* NSAnimationContext::current() {
    auto& groups = openGroups();
    return groups.empty() ? nullptr : groups.back();
}

void NSAnimationContext::animate(std::function<void()> change) {
    if (auto* context = current()) {
        context->changes_.push_back(std::move(change));
    } else {
        change();
    }
}

void NSAnimationContext::runAnimationGroup(const std::function<void(NSAnimationContext&)>& changes,
                                           std::function<void()> completionHandler) {
    NSAnimationContext context;
    openGroups().push_back(&context);
    try {
        changes(context);
    } catch (...) {
        openGroups().pop_back();
        throw;
    }
    openGroups().pop_back();

    auto land = [landing = std::move(context.changes_), completion = std::move(completionHandler)] {
        for (const auto& change : landing) {
            change();
        }
        if (completion) {
            completion();
        }
    };
    if (!(context.duration_ > 0)) {
        DispatchQueue::main().async(std::move(land));
        return;
    }
    // Far beyond any animation: clamped so the conversion cannot overflow.
    const double seconds = std::min(context.duration_, 1e9);
    DispatchQueue::main().asyncAfter(
        std::chrono::nanoseconds(static_cast<std::int64_t>(std::llround(seconds * 1e9))),
        std::move(land));
}

void NSWindowAnimator::setAlphaValue(double alpha) const {
    NSAnimationContext::animate([window = window_, alpha] {
        if (auto alive = window.lock()) {
            alive->setAlphaValue(alpha);
        }
    });
}

void NSWindowAnimator::setFrame(const CGRect& frame) const {
    NSAnimationContext::animate([window = window_, frame] {
        if (auto alive = window.lock()) {
            alive->setFrame(frame);
        }
    });
}

} // namespace zestrel::platform

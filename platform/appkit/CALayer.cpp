#include "platform/appkit/CALayer.h"

#include "platform/base/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace zestrel::platform {

void CALayer::addAnimation(std::shared_ptr<CAKeyframeAnimation> animation,
                           std::optional<std::string> key) {
    if (!animation) {
        return;
    }
    if (key && !key->empty()) {
        std::vector<Running> replaced;
        std::erase_if(animations_, [&](const Running& running) {
            if (running.key != key) {
                return false;
            }
            replaced.push_back(running);
            return true;
        });
        stopEarly(replaced);
    }
    const auto length = std::chrono::duration_cast<Nanoseconds>(
        std::chrono::duration<double>(std::max(0.0, animation->duration)));
    Running running{animation, std::move(key), clock().uptime() + length};
    if (auto delegate = animation->delegate) {
        RunLoop::main().async([delegate, animation] { delegate->animationDidStart(*animation); });
        RunLoop::main().asyncAt(running.end, [delegate, animation, stopped = running.stopped] {
            if (!std::exchange(*stopped, true)) {
                delegate->animationDidStop(*animation, true);
            }
        });
    }
    animations_.push_back(std::move(running));
}

void CALayer::removeAllAnimations() {
    stopEarly(std::exchange(animations_, {}));
}

void CALayer::stopEarly(const std::vector<Running>& removed) {
    const auto now = clock().uptime();
    for (const auto& entry : removed) {
        const auto delegate = entry.animation->delegate;
        if (!delegate || now >= entry.end || std::exchange(*entry.stopped, true)) {
            continue;
        }
        RunLoop::main().async([delegate, animation = entry.animation] {
            delegate->animationDidStop(*animation, false);
        });
    }
}

std::vector<std::shared_ptr<CAKeyframeAnimation>> CALayer::animations() const {
    std::vector<std::shared_ptr<CAKeyframeAnimation>> running;
    const auto now = clock().uptime();
    for (const auto& entry : animations_) {
        if (now < entry.end) {
            running.push_back(entry.animation);
        }
    }
    return running;
}

std::vector<std::shared_ptr<CAKeyframeAnimation>> CALayer::addedAnimations() const {
    std::vector<std::shared_ptr<CAKeyframeAnimation>> all;
    for (const auto& entry : animations_) {
        all.push_back(entry.animation);
    }
    return all;
}

} // namespace zestrel::platform

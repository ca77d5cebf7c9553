#include "platform/appkit/CALayer.h"

#include <algorithm>
#include <chrono>

namespace zestrel::platform {

void CALayer::addAnimation(std::shared_ptr<CAKeyframeAnimation> animation,
                           std::optional<std::string> key) {
    if (!animation) {
        return;
    }
    if (key && !key->empty()) {
        std::erase_if(animations_, [&](const Running& running) { return running.key == key; });
    }
    const auto length = std::chrono::duration_cast<Nanoseconds>(
        std::chrono::duration<double>(std::max(0.0, animation->duration)));
    animations_.push_back(Running{std::move(animation), std::move(key), clock().uptime() + length});
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

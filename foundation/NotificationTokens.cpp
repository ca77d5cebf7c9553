#include "foundation/NotificationTokens.h"

#include "platform/base/DispatchQueue.h"
#include "platform/base/Error.h"

#include <utility>

namespace zestrel {

NotificationToken::NotificationToken(
    std::shared_ptr<platform::NotificationCenter> notificationCenter, platform::ObserverToken token)
    : notificationCenter_(std::move(notificationCenter)), token_(std::move(token)) {
    if (!notificationCenter_) {
        platform::fatal("A notification token needs the centre its observer was added to");
    }
}

NotificationToken::~NotificationToken() {
    notificationCenter_->removeObserver(token_);
}

ListenerHolder::~ListenerHolder() {
    if (const auto center = notificationCenter_.lock()) {
        for (const auto& listener : listeners_) {
            center->removeObserver(listener);
        }
    }
}

void observeOnce(const platform::Notification& notification,
                 const std::function<void(const platform::Notification&)>& handler,
                 std::function<void()> release) {
    handler(notification);
    platform::DispatchQueue::main().async(std::move(release));
}

} // namespace zestrel

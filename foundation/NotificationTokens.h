#pragma once

#include "platform/base/NotificationCenter.h"
#include "platform/base/Value.h"

#include <functional>
#include <memory>
#include <vector>

namespace zestrel {

// Owns a block observer of a notification centre: releasing the token removes the observer,
// so its block runs only while the token lives. The token keeps its centre alive. It may be
// released on any thread.
class NotificationToken final : public platform::NSObject {
public:
    // A token exists only with the centre and the observer that centre handed out.
    NotificationToken(std::shared_ptr<platform::NotificationCenter> notificationCenter,
                      platform::ObserverToken token);
    ~NotificationToken() override;
    NotificationToken(const NotificationToken&) = delete;
    NotificationToken& operator=(const NotificationToken&) = delete;

    const std::shared_ptr<platform::NotificationCenter>& notificationCenter() const {
        return notificationCenter_;
    }
    const platform::ObserverToken& token() const { return token_; }

private:
    std::shared_ptr<platform::NotificationCenter> notificationCenter_;
    platform::ObserverToken token_;
};

// Holds observers of one centre and removes them all, in the order they were added, when it is
// released. It does not keep the centre alive; when the centre is already gone there is
// nothing to remove them from.
class ListenerHolder final {
public:
    explicit ListenerHolder(std::weak_ptr<platform::NotificationCenter> notificationCenter)
        : notificationCenter_(std::move(notificationCenter)) {}
    ~ListenerHolder();
    ListenerHolder(const ListenerHolder&) = delete;
    ListenerHolder& operator=(const ListenerHolder&) = delete;

    void add(platform::ObserverToken listener) { listeners_.push_back(std::move(listener)); }

private:
    std::vector<platform::ObserverToken> listeners_;
    std::weak_ptr<platform::NotificationCenter> notificationCenter_;
};

// The body of a one-shot subscription: hands the notification to `handler` at once, on the
// delivering thread, then runs `release` (which drops the subscription) in a later turn of the
// main queue. A notification delivered before that turn reaches the handler as well.
void observeOnce(const platform::Notification& notification,
                 const std::function<void(const platform::Notification&)>& handler,
                 std::function<void()> release);

} // namespace zestrel

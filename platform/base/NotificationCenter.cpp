#include "platform/base/NotificationCenter.h"
#include "platform/base/Mutex.h"

#include "platform/base/ProcessLocal.h"
#include "platform/base/ProcessTeardown.h"

#include <algorithm>
#include <atomic>

namespace zestrel::platform {

class NotificationObserver {
public:
    NotificationObserver(std::optional<std::string> name, Value object,
                         std::optional<DispatchQueue> queue, NotificationCenter::Block block)
        : name(std::move(name)), object(std::move(object)), queue(std::move(queue)),
          block(std::make_shared<const NotificationCenter::Block>(std::move(block))) {}

    bool matches(const Notification& notification) const {
        if (name && *name != notification.name) {
            return false;
        }
        if (object.isAbsent()) {
            return true;
        }
        if (auto filter = object.asObject()) {
            return filter == notification.object.asObject();
        }
        return object == notification.object;
    }

    const std::optional<std::string> name;
    const Value object;
    std::optional<DispatchQueue> queue; // a handle: async does not change it
    const std::shared_ptr<const NotificationCenter::Block> block;
    std::atomic<bool> active{true};
};

namespace {

using CenterLocal = ProcessLocal<std::shared_ptr<NotificationCenter>>;

CenterLocal* makeCenterLocal() {
    return new CenterLocal([] {
        return std::make_unique<std::shared_ptr<NotificationCenter>>(
            std::make_shared<NotificationCenter>());
    });
}

} // namespace

std::shared_ptr<NotificationCenter> NotificationCenter::defaultCenter() {
    static CenterLocal* const center = makeCenterLocal();
    return center->get();
}

std::shared_ptr<NotificationCenter> NotificationCenter::workspaceCenter() {
    static CenterLocal* const center = makeCenterLocal();
    return center->get();
}

std::shared_ptr<NotificationCenter> NotificationCenter::distributedCenter() {
    static CenterLocal* const center = makeCenterLocal();
    return center->get();
}

ObserverToken NotificationCenter::addObserver(std::optional<std::string> name, Value object,
                                              Block block) {
    return add(std::move(name), std::move(object), std::nullopt, std::move(block));
}

ObserverToken NotificationCenter::addObserver(std::optional<std::string> name, Value object,
                                              DispatchQueue queue, Block block) {
    return add(std::move(name), std::move(object), std::move(queue), std::move(block));
}

ObserverToken NotificationCenter::add(std::optional<std::string> name, Value object,
                                      std::optional<DispatchQueue> queue, Block block) {
    auto observer = std::make_shared<NotificationObserver>(std::move(name), std::move(object),
                                                           std::move(queue), std::move(block));
    if (ProcessTeardown::hasEnded()) {
        observer->active.store(false); // an ended process hears nothing
        return observer;
    }
    MutexLock lock(mutex_);
    observers_.push_back(observer);
    return observer;
}

void NotificationCenter::removeObserver(const ObserverToken& token) {
    if (!token) {
        return;
    }
    ObserverToken removed; // its block is released outside the lock
    MutexLock lock(mutex_);
    token->active.store(false);
    auto it = std::find(observers_.begin(), observers_.end(), token);
    if (it != observers_.end()) {
        removed = std::move(*it);
        observers_.erase(it);
    }
}

void NotificationCenter::post(const Notification& notification) {
    if (ProcessTeardown::hasEnded()) {
        return; // every observer here is the ended process's
    }
    std::vector<ObserverToken> observers;
    {
        MutexLock lock(mutex_);
        observers = observers_;
    }
    for (const auto& observer : observers) {
        if (!observer->active.load() || !observer->matches(notification)) {
            continue;
        }
        if (observer->queue) {
            observer->queue->async([observer, notification] {
                if (observer->active.load() && !ProcessTeardown::hasEnded()) {
                    (*observer->block)(notification);
                }
            });
        } else {
            // The machine's posts (the desktop's) call into the process here.
            ProcessTeardown::callIn([&] { (*observer->block)(notification); });
        }
    }
}

void NotificationCenter::post(std::string name, Value object, Value::Dictionary userInfo) {
    post(Notification{std::move(name), std::move(object), std::move(userInfo)});
}

} // namespace zestrel::platform

#pragma once

#include "platform/base/DispatchQueue.h"
#include "platform/base/Mutex.h"
#include "platform/base/Value.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

struct Notification {
    std::string name;
    Value object;
    Value::Dictionary userInfo;
};

// The opaque observer a centre hands out for a block; it identifies the registration for
// removeObserver and does not remove anything when it is released.
class NotificationObserver;
using ObserverToken = std::shared_ptr<NotificationObserver>;

// A notification centre: posts are delivered synchronously on the posting thread, to the
// matching observers in the order they were added. An observer removed during a post is
// not called afterwards; one added during a post hears only later posts. Thread-safe.
class NotificationCenter {
public:
    using Block = std::function<void(const Notification&)>;

    NotificationCenter() = default;
    NotificationCenter(const NotificationCenter&) = delete;
    NotificationCenter& operator=(const NotificationCenter&) = delete;

    // The process's centre (NotificationCenter.default).
    static std::shared_ptr<NotificationCenter> defaultCenter();
    // NSWorkspace's centre.
    static std::shared_ptr<NotificationCenter> workspaceCenter();
    // The distributed centre (DistributedNotificationCenter).
    static std::shared_ptr<NotificationCenter> distributedCenter();

    // `name` nothing: every name. `object` absent: every object; an object handle matches
    // the same object only, other values match equal values (strings by their text).
    ObserverToken addObserver(std::optional<std::string> name, Value object, Block block);
    // The same, delivered by `queue.async` instead of on the posting thread.
    ObserverToken addObserver(std::optional<std::string> name, Value object, DispatchQueue queue,
                              Block block);
    void removeObserver(const ObserverToken& token);

    void post(const Notification& notification);
    void post(std::string name, Value object = {}, Value::Dictionary userInfo = {});

private:
    ObserverToken add(std::optional<std::string> name, Value object,
                      std::optional<DispatchQueue> queue, Block block);

    Mutex mutex_;
    std::vector<ObserverToken> observers_ GUARDED_BY(mutex_);
};

} // namespace zestrel::platform

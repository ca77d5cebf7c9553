#pragma once

#include "platform/base/NotificationCenter.h"
#include "platform/concurrency/Publisher.h"

#include <memory>
#include <string>

namespace zestrel::platform::combine {

// `NotificationCenter.publisher(for:object:)`: each subscriber gets its own observer of
// `name` (and `object`, matched as the centre matches it) in `center`, removed when the
// subscription is cancelled. Notifications arrive on the posting thread, one at a time.
// Never completes.
AnyPublisher<Notification> notificationPublisher(std::shared_ptr<NotificationCenter> center,
                                                 std::string name, Value object = {});

} // namespace zestrel::platform::combine

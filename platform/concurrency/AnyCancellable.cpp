#include "platform/concurrency/AnyCancellable.h"
#include "platform/base/Mutex.h"

namespace zestrel::platform::combine {

struct AnyCancellable::Core {
    explicit Core(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    ~Core() { cancel(); }
    Core(const Core&) = delete;
    Core& operator=(const Core&) = delete;

    void cancel() {
        std::function<void()> taken;
        {
            MutexLock lock(mutex_);
            taken.swap(cancel_);
        }
        // Run and release outside the lock: cancelling may release the last reference to
        // whatever owns this cancellable.
        if (taken) {
            taken();
        }
    }

    Mutex mutex_;
    std::function<void()> cancel_ GUARDED_BY(mutex_);
};

AnyCancellable::AnyCancellable(std::function<void()> cancel)
    : core_(std::make_shared<Core>(std::move(cancel))) {}

AnyCancellable::AnyCancellable(std::shared_ptr<Cancellable> cancellable)
    : AnyCancellable([cancellable = std::move(cancellable)] {
          if (cancellable) {
              cancellable->cancel();
          }
      }) {}

void AnyCancellable::cancel() const {
    if (core_) {
        core_->cancel();
    }
}

} // namespace zestrel::platform::combine

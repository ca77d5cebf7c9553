#include "foundation/Debouncer.h"

namespace zestrel {

void Debouncer::operator()(std::function<void()> action) {
    auto item = std::make_shared<platform::DispatchWorkItem>(std::move(action));
    {
        platform::MutexLock lock(mutex_);
        if (workItem_) {
            workItem_->cancel();
        }
        workItem_ = item;
    }
    platform::DispatchQueue::main().asyncAfter(platform::DispatchTime::now() + delay_, item);
}

} // namespace zestrel

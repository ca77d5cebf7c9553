#pragma once

#include <functional>
#include <utility>

namespace zestrel {

// Runs its closure exactly once, when it is released.
class DeinitObserver final {
public:
    explicit DeinitObserver(std::function<void()> closure) : closure_(std::move(closure)) {}
    DeinitObserver(const DeinitObserver&) = delete;
    DeinitObserver& operator=(const DeinitObserver&) = delete;
    ~DeinitObserver() {
        if (closure_) {
            closure_();
        }
    }

private:
    std::function<void()> closure_;
};

} // namespace zestrel

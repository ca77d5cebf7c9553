#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace zestrel::platform {

// Change tracking of an `@Observable` object: every read of an observable property calls
// access(keyPath) and every write goes through withMutation(keyPath, ...). A tracking
// (withObservationTracking) learns which properties its `apply` read and calls its
// `onChange` once, before the first later change of any of them, on the changing thread.
// Thread-safe. Key paths are the properties' names.
class ObservationRegistrar {
public:
    ObservationRegistrar();
    ~ObservationRegistrar();
    ObservationRegistrar(const ObservationRegistrar&) = delete;
    ObservationRegistrar& operator=(const ObservationRegistrar&) = delete;

    void access(std::string_view keyPath) const;
    void willSet(std::string_view keyPath) const;
    void didSet(std::string_view keyPath) const;

    template <class Mutation>
    std::invoke_result_t<Mutation&> withMutation(std::string_view keyPath,
                                                 Mutation&& mutation) const {
        willSet(keyPath);
        struct DidSet {
            const ObservationRegistrar& registrar;
            std::string_view keyPath;
            ~DidSet() { registrar.didSet(keyPath); }
        } didSet{*this, keyPath};
        return mutation();
    }

    struct Core;

private:
    std::shared_ptr<Core> core_;
};

// An armed tracking whose owner can disarm it: `cancel()` (or the handle's end) takes it
// out of every registrar it waits in, so a tracking made again and again by an owner that
// re-reads its properties does not pile up in them until the next change.
class ObservationHandle {
public:
    ObservationHandle() = default;
    ~ObservationHandle() { cancel(); }
    ObservationHandle(ObservationHandle&& other) noexcept = default;
    ObservationHandle& operator=(ObservationHandle&& other) noexcept {
        if (this != &other) {
            cancel();
            observation_ = std::move(other.observation_);
        }
        return *this;
    }
    ObservationHandle(const ObservationHandle&) = delete;
    ObservationHandle& operator=(const ObservationHandle&) = delete;

    // After it returns the change handler is not called; one running on another thread may
    // still be finishing.
    void cancel();
    // Leaves the tracking armed for good: nothing disarms it but the change it waits for.
    void release() { observation_.reset(); }

    struct Observation;
    explicit ObservationHandle(std::shared_ptr<Observation> observation)
        : observation_(std::move(observation)) {}

private:
    std::shared_ptr<Observation> observation_;
};

namespace detail {

// The accesses of the innermost tracking on this thread. Ends (and, unless installed,
// forgets) the tracking when destroyed, also when `apply` throws.
class ObservationTracking {
public:
    // `countsForOuter`: the accesses also count for the tracking around this one.
    explicit ObservationTracking(bool countsForOuter = true);
    ~ObservationTracking();
    ObservationTracking(const ObservationTracking&) = delete;
    ObservationTracking& operator=(const ObservationTracking&) = delete;

    // Ends the tracking and arms `onChange` for what was read.
    ObservationHandle install(std::function<void()> onChange);

    struct Accesses;

private:
    std::unique_ptr<Accesses> accesses_;
    bool countsForOuter_;
    bool ended_ = false;
    void end();
};

} // namespace detail

// Like `withObservationTracking`, for an owner that tracks again at each evaluation: the
// previous tracking, held in `handle`, is disarmed and replaced by the new one. Each such
// tracking stands alone: what a nested one reads does not count for the one around it, so
// a change re-evaluates only the innermost reader (a view, not the views around it).
template <class Apply>
std::invoke_result_t<Apply&> withObservationTracking(Apply&& apply, std::function<void()> onChange,
                                                     ObservationHandle& handle) {
    detail::ObservationTracking tracking(false);
    if constexpr (std::is_void_v<std::invoke_result_t<Apply&>>) {
        apply();
        handle = tracking.install(std::move(onChange));
    } else {
        auto result = apply();
        handle = tracking.install(std::move(onChange));
        return result;
    }
}

// Runs `apply`, recording the observable properties it reads, and arms `onChange` for
// them. Accesses inside a nested tracking count for the outer one too.
template <class Apply>
std::invoke_result_t<Apply&> withObservationTracking(Apply&& apply,
                                                     std::function<void()> onChange) {
    detail::ObservationTracking tracking;
    if constexpr (std::is_void_v<std::invoke_result_t<Apply&>>) {
        apply();
        tracking.install(std::move(onChange)).release();
    } else {
        auto result = apply();
        tracking.install(std::move(onChange)).release();
        return result;
    }
}

} // namespace zestrel::platform

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

namespace detail {

// The accesses of the innermost tracking on this thread. Ends (and, unless installed,
// forgets) the tracking when destroyed, also when `apply` throws.
class ObservationTracking {
public:
    ObservationTracking();
    ~ObservationTracking();
    ObservationTracking(const ObservationTracking&) = delete;
    ObservationTracking& operator=(const ObservationTracking&) = delete;

    // Ends the tracking and arms `onChange` for what was read.
    void install(std::function<void()> onChange);

    struct Accesses;

private:
    std::unique_ptr<Accesses> accesses_;
    bool ended_ = false;
    void end();
};

} // namespace detail

// Runs `apply`, recording the observable properties it reads, and arms `onChange` for
// them. Accesses inside a nested tracking count for the outer one too.
template <class Apply>
std::invoke_result_t<Apply&> withObservationTracking(Apply&& apply,
                                                     std::function<void()> onChange) {
    detail::ObservationTracking tracking;
    if constexpr (std::is_void_v<std::invoke_result_t<Apply&>>) {
        apply();
        tracking.install(std::move(onChange));
    } else {
        auto result = apply();
        tracking.install(std::move(onChange));
        return result;
    }
}

} // namespace zestrel::platform

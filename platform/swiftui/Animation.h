#pragma once

#include <string>
#include <utility>

namespace zestrel::platform::swiftui {

// How a change is animated. Nothing is drawn here, so an animation is only its description
// and a change made inside one lands at once, as any other change.
struct Animation {
    std::string description = "default";

    static Animation defaultAnimation() { return Animation{}; }
    bool operator==(const Animation&) const = default;
};

// `withAnimation`: makes the change.
template <class Change> void withAnimation(const Animation& /*animation*/, Change&& change) {
    std::forward<Change>(change)();
}

} // namespace zestrel::platform::swiftui

#pragma once

#include "foundation/Duration.h"
#include "platform/base/DispatchQueue.h"
#include "platform/concurrency/AnyCancellable.h"
#include "platform/concurrency/Publisher.h"
#include "platform/concurrency/PublisherOperators.h"
#include "platform/concurrency/Subjects.h"
#include "platform/swiftui/Animation.h"
#include "platform/swiftui/View.h"
#include "platform/swiftui/ViewState.h"

#include <concepts>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

namespace zestrel {

// The debounce time of a delay: its seconds (`saturatingTimeInterval`) in nanoseconds, none
// below zero and none beyond about 292 years.
platform::Nanoseconds debounceTime(Duration delay);

// Turns the changes of a value into a publisher for the caller to shape: at the first change
// `transform` gets the publisher once and its subscription is kept for the view's life;
// every change, that first one included, is then sent into it. The value the view starts
// with is not sent.
template <std::equality_comparable V> struct WithChangePublisherViewModifier {
    using Transform =
        std::function<platform::combine::AnyCancellable(platform::combine::AnyPublisher<V>)>;

    platform::swiftui::View content;
    V value;
    Transform transform;

    platform::swiftui::View body(platform::swiftui::ViewContext& context) const {
        using Subject = platform::combine::PassthroughSubject<V>;
        auto publisher =
            context.slot<Subject>("publisher", [] { return std::make_shared<Subject>(); });
        auto subscription =
            context.slot<std::optional<platform::combine::AnyCancellable>>("subscription", [] {
                return std::make_shared<std::optional<platform::combine::AnyCancellable>>();
            });
        return content.onChange(
            value, [publisher, subscription, transform = transform](const V& newValue) {
                if (!*subscription) {
                    *subscription = transform(publisher->eraseToAnyPublisher());
                }
                publisher->send(newValue);
            });
    }
};

template <std::equality_comparable V>
platform::swiftui::View
withChangePublisher(platform::swiftui::View content, V value,
                    typename WithChangePublisherViewModifier<V>::Transform transform) {
    return platform::swiftui::View(WithChangePublisherViewModifier<V>{
        std::move(content), std::move(value), std::move(transform)});
}

// Shows a copy of `value` that follows it only once it has stayed the same for `delay`: a
// value that changes again sooner is never shown. The copy starts as the first value. A
// delay too long to count in nanoseconds waits the longest count (saturatingTimeInterval).
template <std::equality_comparable V> struct WithDelayedValue {
    V value;
    Duration delay;
    platform::swiftui::Animation animation;
    std::function<platform::swiftui::View(const V&)> content;

    platform::swiftui::View body(platform::swiftui::ViewContext& context) const {
        const auto effectiveValue = context.state<V>("effectiveValue", value);
        const auto dueTime = debounceTime(delay);
        return withChangePublisher<V>(
            content(effectiveValue.get()), value,
            [effectiveValue, dueTime,
             animation = animation](const platform::combine::AnyPublisher<V>& changes) {
                return changes.debounce(dueTime, platform::DispatchQueue::main())
                    .sink([effectiveValue, animation](const V& settled) {
                        platform::swiftui::withAnimation(animation,
                                                         [&] { effectiveValue.set(settled); });
                    });
            });
    }
};

} // namespace zestrel

#pragma once

#include "platform/swiftui/Binding.h"
#include "platform/swiftui/View.h"

#include <functional>
#include <memory>
#include <string_view>
#include <utility>

namespace zestrel::platform::swiftui {

// `@State`: a value that a view keeps at its place in the tree across evaluations. Setting
// it re-evaluates the view on the next turn of the main queue. Main thread only.
template <class T> class State {
public:
    const T& get() const { return box_->value; }
    void set(T value) const {
        box_->value = std::move(value);
        if (box_->invalidate) {
            box_->invalidate();
        }
    }
    // `$state`.
    Binding<T> binding() const {
        return Binding<T>([box = box_] { return box->value; },
                          [self = *this](const T& value) { self.set(value); });
    }

    struct Box {
        explicit Box(T value) : value(std::move(value)) {}
        T value;
        std::function<void()> invalidate;
    };
    explicit State(std::shared_ptr<Box> box) : box_(std::move(box)) {}

private:
    std::shared_ptr<Box> box_;
};

template <class T> State<T> ViewContext::state(std::string_view name, T initialValue) {
    using Box = typename State<T>::Box;
    auto box = slot<Box>(name, [&initialValue] { return std::make_shared<Box>(initialValue); });
    box->invalidate = invalidator();
    return State<T>(std::move(box));
}

// A box of view state whose value changes without re-evaluating the view. A view value
// makes its own box; once installed at a place in the tree, the box installed there first
// is kept for the life of the view, and later view values use it instead of their own.
template <class T> class ViewStorage {
public:
    class ValueBox {
    public:
        explicit ValueBox(T value) : value(std::move(value)) {}
        T value;
    };

    explicit ViewStorage(T initialValue = T())
        : valueBox_(std::make_shared<ValueBox>(std::move(initialValue))) {}

    const T& get() const { return valueBox_->value; }
    void set(T value) const { valueBox_->value = std::move(value); }

    ViewStorage installed(ViewContext& context, std::string_view name) const {
        ViewStorage kept = *this;
        kept.valueBox_ = context.slot<ValueBox>(name, [this] { return valueBox_; });
        return kept;
    }

private:
    std::shared_ptr<ValueBox> valueBox_;
};

} // namespace zestrel::platform::swiftui

#pragma once

#include "platform/base/DispatchQueue.h"
#include "platform/concurrency/AnyCancellable.h"
#include "platform/concurrency/ObservableObject.h"
#include "platform/concurrency/Publisher.h"
#include "platform/concurrency/PublisherOperators.h"
#include "platform/desktop/NSPasteboard.h"

#include <functional>
#include <memory>
#include <optional>
#include <set>

namespace zestrel {

// Invalidates the views that observe it each time a publisher sends a value, on the main
// queue; the values themselves are not kept, and the publisher's completion changes
// nothing. Made and observed on the main thread.
class ListenOnlyPublisherObservable final : public platform::combine::ObservableObject {
public:
    template <class Output>
    explicit ListenOnlyPublisherObservable(
        const platform::combine::AnyPublisher<Output, platform::combine::Never>& publisher) {
        // Delivered on the main queue, so never after this object's end on the main thread.
        cancellable_ =
            publisher.receiveOn(platform::DispatchQueue::main()).sink([this](const Output&) {
                objectWillChange().send();
            });
    }

private:
    std::optional<platform::combine::AnyCancellable> cancellable_;
};

// The same idea, started by whoever holds it: nothing in the app makes one, so it only keeps
// what it is given and lets it go with itself.
class ListenOnlyPublisherObservable2 final : public platform::combine::ObservableObject {
public:
    std::function<void()> start;
    std::optional<platform::combine::AnyCancellable> cancellable;
    platform::combine::Published<bool> updater{*this, false};
};

// A pasteboard that views observe, with the subscriptions that would follow it. Nothing in
// the app makes one; it keeps its fields and lets them go with itself.
class PasteboardSimpleObservable final : public platform::combine::ObservableObject {
public:
    explicit PasteboardSimpleObservable(
        std::shared_ptr<platform::NSPasteboard> pasteboard = platform::NSPasteboard::general(),
        bool onlyWhenAppIsActive = false)
        : onlyWhenAppIsActive(onlyWhenAppIsActive), pasteboard(*this, std::move(pasteboard)) {}

    std::set<platform::combine::AnyCancellable> cancellables;
    std::optional<platform::combine::AnyCancellable> pasteboardPublisherCancellable;
    bool onlyWhenAppIsActive;
    platform::combine::Published<std::shared_ptr<platform::NSPasteboard>> pasteboard;
};

} // namespace zestrel

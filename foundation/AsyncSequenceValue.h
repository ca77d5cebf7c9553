#pragma once

#include "foundation/AsyncStreamUtilities.h"
#include "platform/concurrency/AnyCancellable.h"
#include "platform/concurrency/ObservableObject.h"
#include "platform/concurrency/Task.h"

#include <memory>
#include <optional>
#include <utility>

namespace zestrel {

// A view property showing the latest element of an asynchronous sequence, and `defaultValue`
// until the first one arrives (or for ever, without a sequence). The elements are consumed
// in a task of their own and published on the main actor.
template <class Sequence> class AsyncSequenceValue {
public:
    using Element = typename Sequence::Element;

    // The observed object: `value` is published (each assignment announces first) and
    // written on the main actor only.
    class Observable final : public platform::combine::ObservableObject,
                             public std::enable_shared_from_this<Observable> {
        struct Key {
            explicit Key() = default;
        };

    public:
        static std::shared_ptr<Observable> make(std::optional<Sequence> sequence) {
            auto observable = std::make_shared<Observable>(Key());
            observable->restart(std::move(sequence));
            return observable;
        }
        // Made only by make(): the task consuming the sequence holds it weakly.
        explicit Observable(Key) {}

        // Stops consuming the previous sequence (its task is cancelled as its cancellable
        // goes) and starts on the new one, if any.
        void restart(std::optional<Sequence> sequence) {
            if (!sequence) {
                cancellable.reset();
                return;
            }
            auto body = [weak = this->weak_from_this()](Element element) -> platform::Task<void> {
                auto assign = [weak, element = std::move(element)] {
                    if (auto self = weak.lock()) {
                        self->value = element;
                    }
                };
                co_await platform::MainActor::run(std::move(assign));
            };
            cancellable = forEachInTask(std::move(*sequence), std::move(body));
        }

        std::optional<platform::combine::AnyCancellable> cancellable;
        platform::combine::Published<std::optional<Element>> value{*this, std::nullopt};
    };

    AsyncSequenceValue(Element wrappedValue, std::optional<Sequence> sequence)
        : defaultValue(std::move(wrappedValue)),
          observable_(Observable::make(std::move(sequence))) {}

    // The latest element, or the default before the first.
    Element wrappedValue() const {
        const auto& latest = observable_->value.get();
        return latest ? *latest : defaultValue;
    }
    void setSequence(std::optional<Sequence> sequence) {
        observable_->restart(std::move(sequence));
    }

    // What a view observes.
    const std::shared_ptr<Observable>& observable() const { return observable_; }

    const Element defaultValue;

private:
    std::shared_ptr<Observable> observable_;
};

} // namespace zestrel

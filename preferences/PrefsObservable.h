#pragma once

#include "platform/base/ThreadChecker.h"
#include "platform/concurrency/ObservableObject.h"
#include "platform/concurrency/Task.h"
#include "platform/data/UserDefaults.h"
#include "platform/swiftui/Binding.h"
#include "platform/swiftui/View.h"
#include "preferences/Prefs.h"
#include "preferences/PrefsPublisher.h"

#include <concepts>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Preference keys bound to views: an observable object over one key, and a view property
// that gives a view the key's value, a binding to it and a publisher of its changes.

namespace zestrel {

// The stored value read as the key's type; nothing when none is stored or it does not
// read as one.
template <Prefs::Storable T>
std::optional<T> storedValue(const platform::UserDefaults& defaults, const Prefs::Key<T>& key) {
    const platform::Value object = defaults.object(key.name());
    if (object.isAbsent()) {
        return std::nullopt;
    }
    return Prefs::toValue<T>(object);
}

// Stores the value's stored form under the key's name; an absent optional, or a value
// without a stored form, removes the entry.
template <Prefs::Storable T>
void setValue(platform::UserDefaults& defaults, const std::type_identity_t<T>& value,
              const Prefs::Key<T>& key) {
    if (Prefs::isNil(value)) {
        defaults.removeObject(key.name());
        return;
    }
    defaults.setObject(Prefs::toSerializable(value).value_or(platform::Value()), key.name());
}

} // namespace zestrel

namespace zestrel::Prefs {

// Removes each named entry of the suite, in order.
void reset(const std::vector<std::string>& names,
           const std::shared_ptr<platform::UserDefaults>& suite);

// An observable object over one key: it announces (objectWillChange) once right after it is
// made and again for every notification of the key, whether or not the value differs. The
// announcements come from a task on the main actor (checked); writes announce at once as well.
template <Storable T>
class Observable final : public platform::combine::ObservableObject,
                         public std::enable_shared_from_this<Observable<T>> {
    struct Passkey {
        explicit Passkey() = default;
    };

public:
    static std::shared_ptr<Observable> make(const Key<T>& key) {
        auto observable = std::make_shared<Observable>(Passkey{}, key);
        observable->startObservation();
        return observable;
    }
    Observable(Passkey, const Key<T>& key) : key_(key) {}
    ~Observable() override { task_.cancel(); }

    T value() const { return Prefs::value(*key_); }
    // Announces, then writes.
    void setValue(const T& newValue) {
        objectWillChange().send();
        Prefs::set(*key_, newValue);
    }

    const Key<T>& key() const { return *key_; }
    // Observes anew only when the name or the suite differs.
    void setKey(const Key<T>& newKey) {
        const bool differs =
            newKey.name() != key_->name() || !newKey.suite()->isEqual(*key_->suite());
        key_.emplace(newKey);
        if (differs) {
            startObservation();
        }
    }

private:
    void startObservation() {
        task_.cancel();
        auto operation = [weak = this->weak_from_this(), key = *key_]() -> platform::Task<void> {
            auto stream = updates(key, true);
            while (co_await stream.next()) {
                const auto self = weak.lock();
                if (!self) {
                    co_return;
                }
                platform::ThreadChecker::checkMainThread("Prefs::Observable");
                self->objectWillChange().send();
            }
        };
        task_ = platform::Task<void>::runOnMain(std::move(operation),
                                                platform::TaskPriority::userInitiated);
    }

    platform::Task<void> task_{std::shared_ptr<platform::detail::TaskState<void>>()};
    std::optional<Key<T>> key_;
};

} // namespace zestrel::Prefs

namespace zestrel {

// `@Default`: a view's access to one key. Inside a view, `installed` gives the wrapper the
// observable kept at the view's place (made from the key the first time), so the view is
// re-evaluated with every change of the key; outside a view it makes its own observable.
template <Prefs::Storable T> class Default {
public:
    explicit Default(Prefs::Key<T> key) : key_(std::move(key)) {}

    // Before each evaluation of the body: the kept observable follows this wrapper's key.
    Default installed(platform::swiftui::ViewContext& context, std::string_view name) const {
        Default kept = *this;
        kept.observable_ = context.stateObject<Prefs::Observable<T>>(
            name, [key = key_] { return Prefs::Observable<T>::make(key); });
        kept.observable_->setKey(key_);
        return kept;
    }

    T wrappedValue() const { return observable()->value(); }
    void setWrappedValue(const T& value) const { observable()->setValue(value); }
    template <class Change> void modify(Change&& change) const {
        T current = wrappedValue();
        std::forward<Change>(change)(current);
        setWrappedValue(current);
    }
    // `$value`.
    platform::swiftui::Binding<T> projectedValue() const {
        auto observable = this->observable();
        return platform::swiftui::Binding<T>(
            [observable] { return observable->value(); },
            [observable](const T& value) { observable->setValue(value); });
    }

    // The key's changes, starting with the current value.
    platform::combine::AnyPublisher<Prefs::KeyChange<T>> publisher() const {
        return Prefs::publisher(key_, {Prefs::ObservationOption::initial});
    }
    void reset() const { key_.suite()->removeObject(key_.name()); }
    bool isDefaultValue() const requires std::equality_comparable<T> {
        return wrappedValue() == key_.defaultValue();
    }

    const Prefs::Key<T>& key() const { return key_; }

private:
    const std::shared_ptr<Prefs::Observable<T>>& observable() const {
        if (!observable_) {
            observable_ = Prefs::Observable<T>::make(key_);
        }
        return observable_;
    }

    Prefs::Key<T> key_;
    mutable std::shared_ptr<Prefs::Observable<T>> observable_;
};

} // namespace zestrel

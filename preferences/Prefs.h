#pragma once

#include "platform/base/Value.h"
#include "platform/data/UserDefaults.h"
#include "preferences/AnySerializable.h"
#include "preferences/PrefsBridges.h"
#include "preferences/PrefsSerializable.h"

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

// Typed preference keys over the defaults database. A preference is declared once as a key
// (an entry name, a suite and a default) and then read, written and reset through it:
//
//     const Prefs::Key<bool> playSoundEffects("playSoundEffects", true);
//     if (Prefs::value(playSoundEffects)) ...
//     Prefs::set(playSoundEffects, false);
//
// Reading never fails: a missing, wrongly typed or undecodable entry reads as the key's
// default and is left as it is. Keys may be used from any thread.
// Change observation of keys builds on these keys and lives beside them.

namespace zestrel::Prefs {

// The untyped part of a key: the entry's name, used verbatim, and the suite that holds it.
// Two keys are equal when their names are equal and their suites are the same database,
// whatever their value types and defaults.
class Keys {
public:
    Keys(std::string name, std::shared_ptr<platform::UserDefaults> suite);
    virtual ~Keys();
    Keys(const Keys&) = default;
    Keys& operator=(const Keys&) = delete;

    const std::string& name() const { return name_; }
    const std::shared_ptr<platform::UserDefaults>& suite() const { return suite_; }

    // Removes the entry; a read then yields the registered default.
    virtual void reset() const;

    friend bool operator==(const Keys& a, const Keys& b);
    std::size_t hashValue() const;

private:
    const std::string name_;
    const std::shared_ptr<platform::UserDefaults> suite_;
};

template <Storable T> class Key;

template <Storable T> T value(const Key<T>& key);
template <Storable T> void set(const Key<T>& key, const std::type_identity_t<T>& newValue);

// A key of value type `T` with its default. Creating a key registers the default's stored
// form with the suite (an absent default registers nothing); the latest registration of a
// name wins, and registrations live as long as the process.
template <Storable T> class Key : public Keys {
public:
    using ValueType = T;

    Key(std::string name, T defaultValue,
        std::shared_ptr<platform::UserDefaults> suite = platform::UserDefaults::standard())
        : Keys(std::move(name), std::move(suite)), defaultValue_(std::move(defaultValue)) {
        registerDefault();
    }
    // An optional key whose default is the absent value.
    explicit Key(std::string name,
                 std::shared_ptr<platform::UserDefaults> suite =
                     platform::UserDefaults::standard()) requires detail::isOptional<T>
        : Keys(std::move(name), std::move(suite)), defaultValue_() {}

    const T& defaultValue() const { return defaultValue_; }

private:
    void registerDefault() const {
        if (isNil(defaultValue_)) {
            return;
        }
        if (auto stored = toSerializable(defaultValue_)) {
            suite()->registerDefaults({{name(), std::move(*stored)}});
        }
    }

    const T defaultValue_;
};

// The stored value, or the key's default when there is none or it cannot be read as `T`.
template <Storable T> T value(const Key<T>& key) {
    const platform::Value object = key.suite()->object(key.name());
    if (object.isAbsent()) {
        return key.defaultValue();
    }
    if (auto stored = toValue<T>(object)) {
        return std::move(*stored);
    }
    return key.defaultValue();
}

// Stores the value's stored form. An absent optional or empty value, or one without a
// stored form, removes the entry.
template <Storable T> void set(const Key<T>& key, const std::type_identity_t<T>& newValue) {
    if (isNil(newValue)) {
        key.suite()->removeObject(key.name());
        return;
    }
    const std::optional<platform::Value> stored = toSerializable(newValue);
    key.suite()->setObject(stored.value_or(platform::Value()), key.name());
}

// Hands the current value to `change` and writes the result back, also when `change`
// throws (the error then goes on to the caller).
template <Storable T, class Change> void modify(const Key<T>& key, Change&& change) {
    T current = value(key);
    try {
        std::forward<Change>(change)(current);
    } catch (...) {
        set(key, current);
        throw;
    }
    set(key, current);
}

// Resets each key in order.
void reset(std::initializer_list<std::reference_wrapper<const Keys>> keys);

// Removes every entry the suite lists; registered defaults stay readable.
void removeAll(const std::shared_ptr<platform::UserDefaults>& suite);

} // namespace zestrel::Prefs

template <> struct std::hash<zestrel::Prefs::Keys> {
    std::size_t operator()(const zestrel::Prefs::Keys& key) const noexcept {
        return key.hashValue();
    }
};

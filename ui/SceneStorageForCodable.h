#pragma once

#include "platform/data/JSONCoder.h"
#include "platform/swiftui/Binding.h"
#include "platform/swiftui/SceneStorage.h"
#include "platform/swiftui/View.h"

#include <string>
#include <utility>

namespace zestrel {

// Scene storage of any value that codes as JSON: kept as the JSON text (keys sorted) under
// the key. Text that is absent or does not decode reads as the default. Making one writes
// nothing, so a view made again never replaces what is stored. Main thread only.
template <class V>
requires platform::Encodable<V> && platform::Decodable<V>
class SceneStorageForCodable {
public:
    SceneStorageForCodable(platform::swiftui::ViewContext& context, V wrappedValue, std::string key)
        : defaultValue_(std::move(wrappedValue)), storage_(context, std::move(key)) {}

    V wrappedValue() const {
        const auto text = storage_.get();
        if (!text) {
            return defaultValue_;
        }
        try {
            return platform::JSONDecoder().decode<V>(*text);
        } catch (const platform::Error&) {
            return defaultValue_;
        }
    }

    // A value that cannot be encoded leaves the storage as it is.
    void setWrappedValue(const V& value) const {
        platform::JSONEncoder encoder;
        encoder.outputFormatting.sortedKeys = true;
        try {
            storage_.set(encoder.encodeToString(value));
        } catch (const platform::Error&) {
        }
    }

    platform::swiftui::Binding<V> projectedValue() const {
        return platform::swiftui::Binding<V>(
            [self = *this] { return self.wrappedValue(); },
            [self = *this](const V& value) { self.setWrappedValue(value); });
    }

private:
    V defaultValue_;
    platform::swiftui::SceneStorage storage_;
};

} // namespace zestrel

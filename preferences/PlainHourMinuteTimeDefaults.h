#pragma once

#include "foundation/PlainHourMinuteTime.h"
#include "preferences/PrefsBridges.h"

#include <optional>
#include <vector>

// How times of day are kept as preferences: a time as the JSON text of its coded form, a
// range as an array of two such times, start first.
namespace zestrel::Prefs {

template <>
struct PrefsSerializable<PlainHourMinuteTime> : CodableSerializable<PlainHourMinuteTime> {};

struct PlainHourMinuteTimeRangeBridge {
    using ValueType = PlainHourMinuteTime::Range;
    using Serializable = std::vector<PlainHourMinuteTime>;

    static std::optional<Serializable> serialize(const std::optional<ValueType>& range) {
        if (!range) {
            return std::nullopt;
        }
        return Serializable{range->start, range->end};
    }
    // Further elements are ignored; fewer than two read as nothing.
    static std::optional<ValueType> deserialize(const std::optional<Serializable>& times) {
        if (!times || times->size() < 2) {
            return std::nullopt;
        }
        return ValueType{(*times)[0], (*times)[1]};
    }
};

template <>
struct PrefsSerializable<PlainHourMinuteTime::Range>
    : SerializableThrough<PlainHourMinuteTimeRangeBridge> {};

} // namespace zestrel::Prefs

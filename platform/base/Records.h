#pragma once

#include <cstddef>
#include <optional>
#include <vector>

namespace zestrel::platform {

// The record at `index` of what a service recorded in order (alerts shown, URLs opened...);
// nothing past the last. For a caller that looks at a few records of a long history without
// copying them all.
template <class Record>
std::optional<Record> recordAt(const std::vector<Record>& records, std::size_t index) {
    return index < records.size() ? std::optional<Record>(records[index]) : std::nullopt;
}

} // namespace zestrel::platform

#pragma once

#include "platform/base/Value.h"

#include <cstddef>
#include <cstdint>

namespace zestrel::platform::testing {

// A binary property list built to be costly to read naively: one long key of `keyLength`
// 'k's, one dictionary of `keys` entries whose keys and values are all that key, and an
// object table that lists the dictionary `dictionaries` times. The top object is the
// dictionary, so it reads as one entry.
inline Data sharedLongKeyList(std::size_t keyLength, std::size_t keys, std::size_t dictionaries) {
    Data bytes{'b', 'p', 'l', 'i', 's', 't', '0', '0'};
    const std::size_t keyOffset = bytes.size();
    for (const std::size_t byte :
         {std::size_t{0x5F}, std::size_t{0x11}, keyLength >> 8, keyLength & 0xFF}) {
        bytes.push_back(static_cast<std::uint8_t>(byte));
    }
    bytes.resize(bytes.size() + keyLength, 'k');
    const std::size_t dictionaryOffset = bytes.size();
    for (const std::size_t byte : {std::size_t{0xDF}, std::size_t{0x11}, keys >> 8, keys & 0xFF}) {
        bytes.push_back(static_cast<std::uint8_t>(byte));
    }
    bytes.resize(bytes.size() + 2 * keys * 2, 0); // every key and value is object 0
    const std::size_t tableOffset = bytes.size();
    for (std::size_t i = 0; i <= dictionaries; ++i) {
        const std::size_t offset = i == 0 ? keyOffset : dictionaryOffset;
        bytes.insert(bytes.end(),
                     {static_cast<std::uint8_t>(offset >> 16),
                      static_cast<std::uint8_t>(offset >> 8), static_cast<std::uint8_t>(offset)});
    }
    Data trailer(32, 0);
    trailer[6] = 3; // offset size
    trailer[7] = 2; // reference size
    for (int k = 0; k < 8; ++k) {
        trailer[15 - k] = static_cast<std::uint8_t>(std::uint64_t{dictionaries + 1} >> (8 * k));
        trailer[23 - k] = static_cast<std::uint8_t>(std::uint64_t{1} >> (8 * k)); // the top
        trailer[31 - k] = static_cast<std::uint8_t>(std::uint64_t{tableOffset} >> (8 * k));
    }
    bytes.insert(bytes.end(), trailer.begin(), trailer.end());
    return bytes;
}

} // namespace zestrel::platform::testing

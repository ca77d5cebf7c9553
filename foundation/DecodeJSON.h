#pragma once

#include "platform/data/JSONCoder.h"

namespace zestrel {

// Decodes a value from JSON data with a decoder in its default settings; the decoder's
// error is thrown unchanged.
template <platform::Decodable T> T decodeJSON(const platform::Data& data) {
    return platform::JSONDecoder().decode<T>(data);
}

} // namespace zestrel

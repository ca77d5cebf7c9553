#pragma once

#include "platform/base/Value.h"

#include <string_view>

namespace zestrel::platform {

// Property lists: booleans, integers (signed, and unsigned above the signed range),
// reals, strings, data, dates, arrays and dictionaries of them. Nothing else (no URL,
// UUID, error, object or null) can be kept in one, and text (strings and dictionary keys)
// must be valid UTF-8 without NUL characters: the property-list library cuts text at a NUL
// and garbles invalid text, so such text is neither written nor read.
struct PropertyList {
    // Present optionals count as their content.
    static bool isValid(const Value& value);

    // The binary form. Throws an NSCocoaErrorDomain error (3851) naming the first value
    // that a property list cannot hold.
    static Data encodeBinary(const Value& value);

    // Reads a binary or XML property list. Throws an NSCocoaErrorDomain error (3840)
    // when the bytes are not one. A date keeps its exact seconds; a boolean stays a boolean.
    static Value decode(const Data& bytes);
};

namespace detail {
// Whether a binary property list has a string or a dictionary key holding a NUL character.
// The property-list library aborts the process when it meets such a key and cuts such a
// string, so these lists are refused before it reads them. Linear in the list's size.
bool binaryPropertyListHasTextWithNUL(const Data& bytes);
} // namespace detail

} // namespace zestrel::platform

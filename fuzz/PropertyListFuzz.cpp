// The property-list reader (binary and XML) on arbitrary bytes; what it reads must write back.
#include "fuzz/FuzzInput.h"
#include "platform/base/Error.h"
#include "platform/data/PropertyList.h"

#include <cstdlib>

using namespace zestrel;
using platform::PropertyList;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::Value value;
    try {
        value = PropertyList::decode(fuzz::bytes(data, size));
    } catch (const platform::Error&) {
        return 0;
    }
    // Everything the reader gives is a property list, so writing it cannot fail.
    if (!PropertyList::isValid(value)) {
        std::abort();
    }
    PropertyList::decode(PropertyList::encodeBinary(value));
    return 0;
}

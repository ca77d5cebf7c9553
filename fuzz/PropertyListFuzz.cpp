// The property-list reader (binary and XML) on arbitrary bytes: what it reads writes back,
// and the written list reads as the very same value.
#include "fuzz/FuzzInput.h"
#include "fuzz/SameValue.h"
#include "platform/base/Error.h"
#include "platform/data/PropertyList.h"

#include <cstdlib>
#include <string>
#include <vector>

using namespace zestrel;
using platform::PropertyList;

// Inputs up to 64 KB unless asked otherwise, so that costs that grow faster than the size of
// a preferences file show as slow inputs (the usual limit is 4 KB).
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    static std::vector<char*> arguments(*argv, *argv + *argc);
    for (const char* argument : arguments) {
        if (std::string(argument).starts_with("-max_len=")) {
            return 0;
        }
    }
    static std::string maximum = "-max_len=65536";
    arguments.insert(arguments.begin() + 1, maximum.data());
    arguments.push_back(nullptr);
    *argc = static_cast<int>(arguments.size()) - 1;
    *argv = arguments.data();
    return 0;
}

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
    const platform::Value again = PropertyList::decode(PropertyList::encodeBinary(value));
    if (!fuzz::sameValue(value, again)) {
        std::abort();
    }
    return 0;
}

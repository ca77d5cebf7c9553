// UUID parsing on arbitrary text; an accepted UUID must read back from its own text.
#include "fuzz/FuzzInput.h"

#include <cstdlib>

using namespace zestrel;
using platform::UUID;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const auto uuid = UUID::parse(fuzz::text(data, size))) {
        if (UUID::parse(uuid->uuidString()) != uuid) {
            std::abort();
        }
    }
    return 0;
}

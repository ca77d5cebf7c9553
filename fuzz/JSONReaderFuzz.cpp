// The JSON reader on arbitrary text, and the writer on whatever it read.
#include "fuzz/FuzzInput.h"
#include "platform/base/Error.h"
#include "platform/data/JSON.h"

using namespace zestrel;
using platform::JSONSerialization;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const bool fragments : {false, true}) {
        try {
            const platform::Value value = JSONSerialization::jsonObject(
                fuzz::text(data, size), {.allowFragments = fragments});
            // Numbers beyond a double read as infinity, which the writer refuses: an error, fine.
            JSONSerialization::string(value, {.prettyPrinted = true, .sortedKeys = true});
            JSONSerialization::string(value, {.withoutEscapingSlashes = true});
        } catch (const platform::Error&) {
        }
    }
    return 0;
}

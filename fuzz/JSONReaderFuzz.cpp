// The JSON reader on arbitrary text, and the writer on whatever it read: the text written
// reads back as the same value, and writing that again gives the same text.
#include "fuzz/FuzzInput.h"
#include "fuzz/SameValue.h"
#include "platform/base/Error.h"
#include "platform/data/JSON.h"

#include <cstdlib>

using namespace zestrel;
using platform::JSONSerialization;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    for (const bool fragments : {false, true}) {
        try {
            const platform::Value value = JSONSerialization::jsonObject(
                fuzz::text(data, size), {.allowFragments = fragments});
            // Numbers beyond a double read as infinity, which the writer refuses: an error, fine.
            JSONSerialization::string(value, {.prettyPrinted = true, .sortedKeys = true});
            const std::string text =
                JSONSerialization::string(value, {.withoutEscapingSlashes = true});
            const platform::Value again =
                JSONSerialization::jsonObject(text, {.allowFragments = true});
            if (!fuzz::sameValue(value, again, fuzz::Numbers::byValue) ||
                JSONSerialization::string(again, {.withoutEscapingSlashes = true}) != text) {
                std::abort();
            }
        } catch (const platform::Error&) {
        }
    }
    return 0;
}

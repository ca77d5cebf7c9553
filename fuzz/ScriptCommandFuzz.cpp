// The console's line parser and key-chord parser on arbitrary text: a line it cannot run
// is a `CommandError`, nothing else.
#include "console/KeyChord.h"
#include "console/ScriptCommand.h"
#include "fuzz/FuzzInput.h"

using namespace zestrel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = fuzz::text(data, size);
    try {
        console::parseCommand(text);
    } catch (const console::CommandError&) {
    }
    try {
        console::parseKeyChord(text);
    } catch (const console::CommandError&) {
    }
    return 0;
}

// A stored preference read back through the typed bridges. The bytes are a property list
// when they parse as one (as a corrupt preferences file would be read), else one string
// (as a corrupt JSON-coded entry would be). Reading answers nothing for what does not fit:
// neither a crash nor an exception is allowed here.
#include "fuzz/FuzzInput.h"
#include "platform/appkit/NSColor.h"
#include "platform/base/Error.h"
#include "platform/data/PropertyList.h"
#include "preferences/BundleIdentifier.h"
#include "preferences/PrefsBridges.h"

#include <map>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <vector>

using namespace zestrel;
using Prefs::toValue;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    platform::Value stored;
    try {
        stored = platform::PropertyList::decode(fuzz::bytes(data, size));
    } catch (const platform::Error&) {
        stored = platform::Value(std::string(fuzz::text(data, size)));
    }
    toValue<bool>(stored);
    toValue<int>(stored);
    toValue<std::int64_t>(stored);
    toValue<std::uint16_t>(stored);
    toValue<double>(stored);
    toValue<std::string>(stored);
    toValue<platform::Data>(stored);
    toValue<platform::Date>(stored);
    toValue<platform::URL>(stored);
    toValue<platform::UUID>(stored);
    toValue<platform::Color>(stored);
    toValue<std::optional<int>>(stored);
    toValue<std::vector<std::string>>(stored);
    toValue<std::vector<platform::URL>>(stored);
    toValue<std::vector<platform::UUID>>(stored);
    toValue<std::map<std::string, int>>(stored);
    toValue<std::map<int, std::string>>(stored);
    toValue<std::vector<BundleIdentifier>>(stored);
    toValue<std::unordered_set<BundleIdentifier>>(stored);
    toValue<std::set<std::string>>(stored);
    return 0;
}

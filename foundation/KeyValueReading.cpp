#include "foundation/KeyValueReading.h"

#include "platform/base/KeyValueCoding.h"

namespace zestrel {

std::optional<platform::Value> valueIfResponds(const platform::NSObject& object,
                                               std::string_view key) {
    if (!platform::respondsToSelector(object, key)) {
        return std::nullopt;
    }
    return platform::valueForKey(object, key);
}

} // namespace zestrel

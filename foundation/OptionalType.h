#pragma once

#include "platform/base/Value.h"

#include <optional>
#include <string>

namespace zestrel {

// An optional as it is shown to a person: the value, or "<nil>".
template <class T> platform::Value valueForDisplay(const std::optional<T>& optional) {
    if (optional) {
        return platform::Value(*optional);
    }
    return platform::Value(std::string("<nil>"));
}

} // namespace zestrel

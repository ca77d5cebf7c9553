#pragma once

#include "platform/base/Value.h"

#include <optional>
#include <string_view>

namespace zestrel {

// The object's value for the key when it has an accessor of that name, else nothing: an
// unknown key is an answer, never the runtime's exception.
std::optional<platform::Value> valueIfResponds(const platform::NSObject& object,
                                               std::string_view key);

} // namespace zestrel

#pragma once

#include "platform/base/Value.h"

#include <string>
#include <utility>

namespace zestrel::platform {

// A file handed to or returned by a shortcut action: its bytes and its name.
struct IntentFile {
    Data data;
    std::string filename;
};

} // namespace zestrel::platform

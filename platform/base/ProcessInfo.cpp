#include "platform/base/ProcessInfo.h"

#include <cctype>
#include <string_view>
#include <sys/utsname.h>

namespace zestrel::platform {

OperatingSystemVersion NSProcessInfo::operatingSystemVersion() {
    utsname names{};
    if (uname(&names) != 0) {
        return {};
    }
    std::int64_t parts[3] = {0, 0, 0};
    std::string_view release(names.release);
    std::size_t index = 0;
    for (int part = 0; part < 3 && index < release.size(); ++part) {
        if (!std::isdigit(static_cast<unsigned char>(release[index]))) {
            break;
        }
        while (index < release.size() && std::isdigit(static_cast<unsigned char>(release[index]))) {
            parts[part] = parts[part] * 10 + (release[index] - '0');
            ++index;
        }
        if (index >= release.size() || release[index] != '.') {
            break;
        }
        ++index;
    }
    return {parts[0], parts[1], parts[2]};
}

} // namespace zestrel::platform

#pragma once

#include <string>

namespace zestrel::platform {

// The platform's error number for an extended attribute that is not there (ENOATTR). Linux
// has no such name and uses another number, so the stand-in's calls translate to this one.
inline constexpr int kNoSuchAttribute = 93;

// The platform's text for an error number, as strerror gives it there: "Permission denied",
// "No such file or directory", "Attribute not found".
std::string posixErrorMessage(int code);

} // namespace zestrel::platform

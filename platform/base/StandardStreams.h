#pragma once

#include <functional>
#include <string_view>

namespace zestrel::platform {

// Where the system itself writes to standard output (Swift's `print`). Tests capture it.
void writeStandardOutput(std::string_view text);
// `print(text)`: the text and a line break.
inline void print(std::string_view text) {
    writeStandardOutput(text);
    writeStandardOutput("\n");
}
// Redirects standard output; an empty function restores the real stream.
void setStandardOutputWriter(std::function<void(std::string_view)> writer);

} // namespace zestrel::platform

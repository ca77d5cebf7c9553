#pragma once

#include "platform/base/Value.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel {

// The text after its first `count` characters (grapheme clusters), as a view of the same
// text: the empty text when it has no more. A negative count stops the process.
std::string_view droppingFirst(std::string_view text, std::ptrdiff_t count);

// The position of the first element that is the very object given, not merely an equal one.
template <class T>
std::optional<std::size_t> firstIndexOfIdentical(const std::vector<std::shared_ptr<T>>& array,
                                                 const T* object) {
    for (std::size_t index = 0; index < array.size(); ++index) {
        if (array[index].get() == object) {
            return index;
        }
    }
    return std::nullopt;
}

// The name a file URL is shown by: its last path component less a ".app" ending.
std::string localizedName(const platform::URL& url);

// Every key but the first "com.apple.security.get-task-allow", which a debug build adds.
std::vector<std::string> withoutFirstGetTaskAllow(const std::vector<std::string>& keys);

} // namespace zestrel

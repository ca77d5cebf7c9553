#pragma once

#include "platform/swiftui/View.h"

#include <string>

namespace zestrel::platform::swiftui {

// A line of text, shown as it is.
class Text final : public View {
public:
    explicit Text(std::string content);
};

// A title with a symbol image.
class Label final : public View {
public:
    Label(std::string title, std::string systemImage);
};

} // namespace zestrel::platform::swiftui

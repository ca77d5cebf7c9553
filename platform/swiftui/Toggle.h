#pragma once

#include "platform/swiftui/Binding.h"
#include "platform/swiftui/View.h"

#include <string>

namespace zestrel::platform::swiftui {

// A switch bound to a Boolean. A plain label (a text, or a title with an image) becomes the
// switch's own label; any other label view stays below it as its content, and the switch
// takes the first text in it as its label.
class Toggle final : public View {
public:
    Toggle(Binding<bool> isOn, View label);
    Toggle(std::string title, Binding<bool> isOn);
};

} // namespace zestrel::platform::swiftui

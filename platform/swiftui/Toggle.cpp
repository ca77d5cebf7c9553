#include "platform/swiftui/Toggle.h"

#include "platform/swiftui/NodeBuilding.h"
#include "platform/swiftui/Text.h"

#include <utility>

namespace zestrel::platform::swiftui {

Toggle::Toggle(Binding<bool> isOn, View label)
    : View(Build(
          [isOn = std::move(isOn), label = std::move(label)](ViewContext& context, Nodes& into) {
              auto node = detail::makeNode("Toggle", context);
              node->isOn = isOn;
              detail::applyLabel(*node, label, context);
              into.push_back(std::move(node));
          })) {}

Toggle::Toggle(std::string title, Binding<bool> isOn)
    : Toggle(std::move(isOn), Text(std::move(title))) {}

} // namespace zestrel::platform::swiftui

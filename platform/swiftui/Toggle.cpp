#include "platform/swiftui/Toggle.h"

#include "platform/swiftui/Text.h"

#include <utility>

namespace zestrel::platform::swiftui {

namespace {

// The visible nodes at the top of `nodes`, looking through custom views.
void collectVisible(const Nodes& nodes, Nodes& into) {
    for (const auto& node : nodes) {
        if (node->isVisible()) {
            into.push_back(node);
        } else {
            collectVisible(node->children, into);
        }
    }
}

std::string firstText(const Nodes& nodes) {
    for (const auto& node : nodes) {
        if (node->isVisible() && !node->label.empty()) {
            return node->label;
        }
        if (std::string found = firstText(node->children); !found.empty()) {
            return found;
        }
    }
    return {};
}

} // namespace

Toggle::Toggle(Binding<bool> isOn, View label)
    : View(Build(
          [isOn = std::move(isOn), label = std::move(label)](ViewContext& context, Nodes& into) {
              auto node = std::make_shared<Node>();
              node->kind = "Toggle";
              node->isOn = isOn;
              node->isDisabled = !context.environment().isEnabled;
              node->identity = context.path();
              Nodes labelNodes;
              ViewContext labelContext = context.child("label");
              label.build(labelContext, labelNodes);
              Nodes visible;
              collectVisible(labelNodes, visible);
              const bool plain = visible.size() == 1 && visible[0]->children.empty() &&
                                 (visible[0]->kind == "Text" || visible[0]->kind == "Label");
              if (plain) {
                  node->label = visible[0]->label;
                  node->systemImage = visible[0]->systemImage;
              } else {
                  node->label = firstText(labelNodes);
                  node->children = std::move(labelNodes);
              }
              into.push_back(std::move(node));
          })) {}

Toggle::Toggle(std::string title, Binding<bool> isOn)
    : Toggle(std::move(isOn), Text(std::move(title))) {}

} // namespace zestrel::platform::swiftui

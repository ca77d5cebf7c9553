#include "platform/swiftui/LabeledContent.h"

#include <memory>
#include <utility>

namespace zestrel::platform::swiftui {

namespace {

// The first label of the visible nodes, depth first.
std::string firstLabel(const Nodes& nodes) {
    for (const auto& node : visibleNodes(nodes)) {
        if (!node->label.empty()) {
            return node->label;
        }
        if (auto inner = firstLabel(node->children); !inner.empty()) {
            return inner;
        }
    }
    return {};
}

} // namespace

LabeledContent::LabeledContent(View content, View label)
    : View(Build([content = std::move(content), label = std::move(label)](ViewContext& context,
                                                                          Nodes& into) {
          auto node = std::make_shared<Node>();
          node->kind = "LabeledContent";
          node->identity = context.path();
          Nodes labelNodes;
          ViewContext labelContext = context.child("label");
          label.build(labelContext, labelNodes);
          node->label = firstLabel(labelNodes);
          // A plain text label is the row's name and nothing more.
          const Nodes visible = visibleNodes(labelNodes);
          if (!(visible.size() == 1 && visible[0]->kind == "Text" &&
                visible[0]->children.empty())) {
              node->children = std::move(labelNodes);
          }
          ViewContext contentContext = context.child("content");
          content.build(contentContext, node->children);
          into.push_back(std::move(node));
      })) {}

} // namespace zestrel::platform::swiftui

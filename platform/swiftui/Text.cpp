#include "platform/swiftui/Text.h"

#include <utility>

namespace zestrel::platform::swiftui {

namespace {

View::Build leaf(std::string kind, std::string label, std::string systemImage) {
    return [kind = std::move(kind), label = std::move(label),
            systemImage = std::move(systemImage)](ViewContext& context, Nodes& into) {
        auto node = std::make_shared<Node>();
        node->kind = kind;
        node->label = label;
        node->systemImage = systemImage;
        node->identity = context.path();
        into.push_back(std::move(node));
    };
}

} // namespace

Text::Text(std::string content) : View(leaf("Text", std::move(content), "")) {}

Label::Label(std::string title, std::string systemImage)
    : View(leaf("Label", std::move(title), std::move(systemImage))) {}

} // namespace zestrel::platform::swiftui

#include "platform/swiftui/View.h"

#include "platform/base/Value.h"

namespace zestrel::platform::swiftui {

namespace {

void appendOutline(const Nodes& nodes, int depth, std::string& text) {
    for (const auto& node : nodes) {
        if (!node->isVisible()) {
            appendOutline(node->children, depth, text);
            continue;
        }
        text.append(static_cast<std::size_t>(depth) * 2, ' ');
        text += node->kind;
        if (!node->label.empty()) {
            text += ' ';
            text += debugQuoted(node->label);
        }
        if (!node->systemImage.empty()) {
            text += " image:";
            text += node->systemImage;
        }
        if (node->isOn) {
            text += node->isOn->get() ? " [on]" : " [off]";
        }
        for (const Modifier& modifier : node->modifiers) {
            text += " ." + modifier.name + "(" + modifier.argument + ")";
        }
        text += '\n';
        appendOutline(node->children, depth + 1, text);
    }
}

} // namespace

std::string outline(const Nodes& nodes) {
    std::string text;
    appendOutline(nodes, 0, text);
    return text;
}

std::shared_ptr<Node> findNode(const Nodes& nodes, std::string_view label) {
    for (const auto& node : nodes) {
        if (node->isVisible() && node->label == label) {
            return node;
        }
        if (auto found = findNode(node->children, label)) {
            return found;
        }
    }
    return nullptr;
}

} // namespace zestrel::platform::swiftui

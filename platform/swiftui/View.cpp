#include "platform/swiftui/View.h"

#include "platform/base/Value.h"

namespace zestrel::platform::swiftui {

namespace {

// Modifiers of a custom view's invisible node belong to the nodes that stand in its place.
void appendOutline(const Nodes& nodes, int depth, const std::vector<Modifier>& inherited,
                   std::string& text) {
    for (const auto& node : nodes) {
        if (!node->isVisible()) {
            std::vector<Modifier> modifiers = node->modifiers;
            modifiers.insert(modifiers.end(), inherited.begin(), inherited.end());
            appendOutline(node->children, depth, modifiers, text);
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
        if (!node->destination.empty()) {
            text += " -> " + node->destination;
        }
        if (!node->detail.empty()) {
            text += " (" + node->detail + ")";
        }
        if (node->kind == "Option") {
            text += node->isOn && node->isOn->get() ? " [selected]" : "";
        } else if (node->isOn) {
            text += node->isOn->get() ? " [on]" : " [off]";
        }
        if (node->isDisabled) {
            text += " [disabled]";
        }
        for (const Modifier& modifier : node->modifiers) {
            text += " ." + modifier.name + "(" + modifier.argument + ")";
        }
        for (const Modifier& modifier : inherited) {
            text += " ." + modifier.name + "(" + modifier.argument + ")";
        }
        text += '\n';
        appendOutline(node->children, depth + 1, {}, text);
    }
}

} // namespace

std::string outline(const Nodes& nodes) {
    std::string text;
    appendOutline(nodes, 0, {}, text);
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

Nodes visibleNodes(const Nodes& nodes) {
    Nodes visible;
    for (const auto& node : nodes) {
        if (node->isVisible()) {
            visible.push_back(node);
        } else {
            const Nodes inner = visibleNodes(node->children);
            visible.insert(visible.end(), inner.begin(), inner.end());
        }
    }
    return visible;
}

} // namespace zestrel::platform::swiftui

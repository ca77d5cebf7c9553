#include "platform/swiftui/View.h"

#include "platform/swiftui/NodeBuilding.h"

#include "platform/appkit/TextOutline.h"
#include "platform/base/Value.h"

#include <algorithm>
#include <cctype>

namespace zestrel::platform::swiftui {

namespace {

// "ContextMenu" reads "context menu", "VStack" "vstack".
std::string outlineKind(const std::string& kind) {
    std::string result;
    for (std::size_t i = 0; i < kind.size(); ++i) {
        const auto c = static_cast<unsigned char>(kind[i]);
        if (i > 0 && std::isupper(c) && std::islower(static_cast<unsigned char>(kind[i - 1]))) {
            result += ' ';
        }
        result += static_cast<char>(std::tolower(c));
    }
    return result;
}

void appendNodes(const Nodes& nodes, const std::vector<Modifier>& inherited, bool withPlatformViews,
                 std::vector<OutlineNode>& into) {
    for (const auto& node : nodes) {
        if (node->platformView && !withPlatformViews) {
            continue; // the hosting view's subview, where it really is
        }
        if (!node->isVisible()) {
            std::vector<Modifier> modifiers = node->modifiers;
            modifiers.insert(modifiers.end(), inherited.begin(), inherited.end());
            appendNodes(node->children, modifiers, withPlatformViews, into);
            continue;
        }
        OutlineNode line;
        line.kind = outlineKind(node->kind);
        line.label = node->label;
        if (!node->systemImage.empty()) {
            line.traits.push_back("image: " + node->systemImage);
        }
        if (!node->destination.empty()) {
            line.traits.push_back(node->destination);
        }
        if (!node->detail.empty()) {
            line.detail = node->detail;
            line.traits.push_back(node->detail);
        }
        if (node->kind == "Option") {
            if (node->isOn && node->isOn->get()) {
                line.traits.emplace_back("selected");
            }
        } else if (node->isOn) {
            line.traits.emplace_back(node->isOn->get() ? "on" : "off");
        }
        if (node->shortcut) {
            line.traits.push_back(node->shortcut->text());
        }
        if (node->isDisabled) {
            line.traits.emplace_back("disabled");
        }
        for (const Modifier& modifier : node->modifiers) {
            if (modifier.name != "keyboardShortcut") {
                line.traits.push_back(modifier.name + "(" + modifier.argument + ")");
            }
        }
        for (const Modifier& modifier : inherited) {
            line.traits.push_back(modifier.name + "(" + modifier.argument + ")");
        }
        if (!node->isDisabled) {
            if (node->action) {
                line.click = [action = node->action] { action(); };
            } else if (node->isOn) {
                line.click = [isOn = *node->isOn] { isOn.set(!isOn.get()); };
            } else if (node->tapAction && node->tapCount == 1) {
                line.click = [action = node->tapAction] { action(); };
            }
        }
        appendNodes(node->children, {}, withPlatformViews, line.children);
        into.push_back(std::move(line));
    }
}

} // namespace

std::vector<OutlineNode> outlineNodes(const Nodes& nodes, bool withPlatformViews) {
    std::vector<OutlineNode> result;
    appendNodes(nodes, {}, withPlatformViews, result);
    return result;
}

std::string outline(const Nodes& nodes) {
    std::string text;
    for (const auto& node : outlineNodes(nodes, true)) {
        text += render(node);
    }
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

detail::BuiltNodes::BuiltNodes(const Nodes& nodes) {
    // What the views around may change: the top nodes (modifiers) and the visible nodes
    // standing in their place (modifiers, shortcuts, an appended context menu).
    Nodes touched = nodes;
    for (const auto& node : visibleNodes(nodes)) {
        if (std::find(touched.begin(), touched.end(), node) == touched.end()) {
            touched.push_back(node);
        }
    }
    for (const auto& node : touched) {
        entries_.push_back({node, node->modifiers, node->shortcut, node->preferences.size(),
                            node->children.size()});
    }
}

void detail::BuiltNodes::restore() const {
    for (const auto& entry : entries_) {
        entry.node->modifiers = entry.modifiers;
        entry.node->shortcut = entry.shortcut;
        auto& preferences = entry.node->preferences;
        if (preferences.size() > entry.preferenceCount) {
            preferences.erase(preferences.begin() +
                                  static_cast<std::ptrdiff_t>(entry.preferenceCount),
                              preferences.end());
        }
        // A custom view's own node gets new children when it is evaluated on its own.
        if (entry.node->isVisible() && entry.node->children.size() > entry.childCount) {
            entry.node->children.resize(entry.childCount);
        }
    }
}

std::shared_ptr<Node> detail::makeNode(std::string kind, const ViewContext& context,
                                       bool isControl) {
    auto node = std::make_shared<Node>();
    node->kind = std::move(kind);
    node->identity = context.path();
    node->isDisabled = isControl && !context.environment().isEnabled;
    return node;
}

View::Build detail::leaf(std::string kind, std::string label, std::string systemImage,
                         bool isControl) {
    return [kind = std::move(kind), label = std::move(label), systemImage = std::move(systemImage),
            isControl](ViewContext& context, Nodes& into) {
        auto node = makeNode(kind, context, isControl);
        node->label = label;
        node->systemImage = systemImage;
        into.push_back(std::move(node));
    };
}

std::string detail::firstText(const Nodes& nodes) {
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

void detail::applyLabel(Node& node, const View& label, ViewContext& context) {
    Nodes labelNodes;
    ViewContext labelContext = context.child("label");
    label.build(labelContext, labelNodes);
    const Nodes visible = visibleNodes(labelNodes);
    if (visible.size() == 1 && visible[0]->children.empty() &&
        (visible[0]->kind == "Text" || visible[0]->kind == "Label")) {
        node.label = visible[0]->label;
        node.systemImage = visible[0]->systemImage;
        return;
    }
    node.label = firstText(labelNodes);
    node.children = std::move(labelNodes);
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

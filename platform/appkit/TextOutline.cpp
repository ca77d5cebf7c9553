#include "platform/appkit/TextOutline.h"

#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/appkit/NSView.h"
#include "platform/appkit/NSWindow.h"

#include <algorithm>

namespace zestrel::platform {
namespace {

std::string quoted(const std::string& text) {
    std::string result = "\"";
    for (const char c : text) {
        switch (c) {
        case '"':
            result += "\\\"";
            break;
        case '\\':
            result += "\\\\";
            break;
        case '\n':
            result += "\\n";
            break;
        default:
            result += c;
        }
    }
    return result + "\"";
}

// "⌃⌥⇧⌘," in the platform's order of modifier symbols.
std::string keyEquivalentText(const NSMenuItem& item) {
    if (item.keyEquivalent().empty()) {
        return {};
    }
    const auto mask = item.keyEquivalentModifierMask();
    std::string text;
    if (mask.contains(NSEvent::ModifierFlags::control)) {
        text += "⌃";
    }
    if (mask.contains(NSEvent::ModifierFlags::option)) {
        text += "⌥";
    }
    if (mask.contains(NSEvent::ModifierFlags::shift)) {
        text += "⇧";
    }
    if (mask.contains(NSEvent::ModifierFlags::command)) {
        text += "⌘";
    }
    return text + item.keyEquivalent();
}

void render(const OutlineNode& node, int depth, std::string& out) {
    out.append(static_cast<std::size_t>(depth) * 2, ' ');
    out += node.line();
    out += '\n';
    for (const auto& child : node.children) {
        render(child, depth + 1, out);
    }
}

} // namespace

std::string OutlineNode::line() const {
    std::string text = kind;
    if (!label.empty()) {
        text += " " + quoted(label);
    }
    if (!traits.empty()) {
        text += " [";
        for (std::size_t i = 0; i < traits.size(); ++i) {
            text += (i ? ", " : "") + traits[i];
        }
        text += "]";
    }
    return text;
}

bool OutlineNode::hasTrait(std::string_view trait) const {
    return std::find(traits.begin(), traits.end(), trait) != traits.end();
}

OutlineNode outline(const NSView& view) {
    OutlineNode node;
    view.describeOutline(node);
    if (!node.click && view.isClickable()) {
        // A click on the view reaches the gesture recognizers of the view or its ancestors.
        std::weak_ptr<const NSObject> weak = view.weak_from_this();
        node.click = [weak] {
            if (auto self = std::const_pointer_cast<NSObject>(weak.lock())) {
                std::static_pointer_cast<NSView>(self)->click();
            }
        };
    }
    if (view.isHidden()) {
        node.traits.emplace_back("hidden");
        node.click = nullptr;
    }
    for (const auto& child : view.subviews()) {
        OutlineNode shown = outline(*child);
        if (shown.kind.empty()) {
            // A view that only holds others shows as them.
            for (auto& grandchild : shown.children) {
                node.children.push_back(std::move(grandchild));
            }
        } else {
            node.children.push_back(std::move(shown));
        }
    }
    return node;
}

OutlineNode outline(const NSWindow& window) {
    OutlineNode node;
    node.kind = window.className() == "NSPanel"            ? "panel"
                : window.className() == "_NSPopoverWindow" ? "popover"
                                                           : "window";
    node.label = window.title();
    if (window.isKeyWindow()) {
        node.traits.emplace_back("key");
    }
    if (!window.isVisible()) {
        node.traits.emplace_back("hidden");
    }
    if (window.level() != NSWindow::Level::normal) {
        node.traits.push_back("level " + std::to_string(window.level().rawValue));
    }
    if (auto content = window.contentView()) {
        node.children.push_back(outline(*content));
    }
    for (const auto& sheet : window.sheets()) {
        OutlineNode sheetNode;
        for (const auto& alert : NSAlert::showingAlerts()) {
            if (alert->window() == sheet) {
                sheetNode = outline(*alert);
            }
        }
        if (sheetNode.kind.empty()) {
            sheetNode = outline(*sheet);
        }
        sheetNode.traits.insert(sheetNode.traits.begin(), "sheet");
        node.children.push_back(std::move(sheetNode));
    }
    return node;
}

OutlineNode outline(const NSMenu& menu) {
    OutlineNode node;
    node.kind = "menu";
    node.label = menu.title();
    if (menu.isTracking()) {
        node.traits.emplace_back("open");
    }
    std::weak_ptr<const NSObject> weakMenu = menu.weak_from_this();
    for (std::int64_t index = 0; index < menu.numberOfItems(); ++index) {
        const auto item = menu.item(index);
        if (item->isHidden()) {
            continue;
        }
        OutlineNode child;
        if (item->isSeparatorItem()) {
            child.kind = "separator";
            node.children.push_back(std::move(child));
            continue;
        }
        child.kind = "item";
        child.label = item->title();
        if (auto key = keyEquivalentText(*item); !key.empty()) {
            child.traits.push_back(key);
        }
        if (item->state() == NSControlStateValue::on) {
            child.traits.emplace_back("on");
        } else if (item->state() == NSControlStateValue::mixed) {
            child.traits.emplace_back("mixed");
        }
        if (!item->isEnabled()) {
            child.traits.emplace_back("disabled");
        } else if (!item->hasSubmenu()) {
            child.click = [weakMenu, index] {
                if (auto owner = std::const_pointer_cast<NSObject>(weakMenu.lock())) {
                    std::static_pointer_cast<NSMenu>(owner)->performActionForItem(index);
                }
            };
        }
        if (auto submenu = item->submenu()) {
            child.children.push_back(outline(*submenu));
        }
        node.children.push_back(std::move(child));
    }
    return node;
}

OutlineNode outline(NSAlert& alert) {
    OutlineNode node;
    node.kind = "alert";
    node.label = alert.messageText();
    switch (alert.alertStyle()) {
    case NSAlert::Style::warning:
        node.traits.emplace_back("warning");
        break;
    case NSAlert::Style::informational:
        node.traits.emplace_back("informational");
        break;
    case NSAlert::Style::critical:
        node.traits.emplace_back("critical");
        break;
    }
    // Made from the alert itself, so that looking at an alert never lays it out.
    if (!alert.informativeText().empty()) {
        node.children.emplace_back().kind = "text";
        node.children.back().label = alert.informativeText();
    }
    if (auto accessory = alert.accessoryView()) {
        node.children.push_back(outline(*accessory));
    }
    if (alert.showsSuppressionButton()) {
        node.children.push_back(outline(*alert.suppressionButton()));
    }
    for (const auto& button : alert.buttons()) {
        node.children.push_back(outline(*button));
    }
    return node;
}

OutlineNode outlineOfScreen() {
    OutlineNode root;
    root.kind = "screen";
    const auto alerts = NSAlert::showingAlerts();
    for (const auto& window : NSApp().orderedWindows()) {
        if (window->isSheet()) {
            continue; // shown under its window
        }
        const auto alert = std::find_if(alerts.begin(), alerts.end(),
                                        [&](const auto& a) { return a->window() == window; });
        root.children.push_back(alert != alerts.end() ? outline(**alert) : outline(*window));
    }
    return root;
}

std::string render(const OutlineNode& node) {
    std::string out;
    render(node, 0, out);
    return out;
}

const OutlineNode* findNode(const OutlineNode& root, std::string_view label,
                            const std::function<bool(const OutlineNode&)>& accepts) {
    if (root.label == label && (!accepts || accepts(root))) {
        return &root;
    }
    for (const auto& child : root.children) {
        if (const auto* found = findNode(child, label, accepts)) {
            return found;
        }
    }
    return nullptr;
}

bool click(const OutlineNode& root, std::string_view label) {
    const OutlineNode* node =
        findNode(root, label, [](const OutlineNode& candidate) { return bool(candidate.click); });
    if (!node) {
        return false;
    }
    // The click may change what the outline was made of; run a copy.
    auto action = node->click;
    action();
    return true;
}

} // namespace zestrel::platform

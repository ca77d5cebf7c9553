#include "platform/swiftui/NSHostingView.h"

#include "platform/appkit/NSWindow.h"
#include "platform/desktop/NSEvent.h"

#include <algorithm>
#include <cctype>

namespace zestrel::platform::swiftui {

namespace {

std::string lowercased(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// Shift is part of the shortcut, so the shifted character ("Q" for ⇧⌘Q) counts as its key.
bool matches(const KeyboardShortcut& shortcut, const NSEvent& event) {
    const auto key = event.charactersIgnoringModifiers();
    if (!key || key->empty()) {
        return false;
    }
    const auto flags = event.eventModifierFlags();
    return lowercased(*key) == lowercased(shortcut.key) &&
           flags.contains(NSEvent::ModifierFlags::command) == shortcut.command &&
           flags.contains(NSEvent::ModifierFlags::shift) == shortcut.shift &&
           flags.contains(NSEvent::ModifierFlags::option) == shortcut.option &&
           flags.contains(NSEvent::ModifierFlags::control) == shortcut.control;
}

// The enabled node with the shortcut, depth first; what a context menu lists only answers
// while that menu is open.
std::shared_ptr<Node> nodeForShortcut(const Nodes& nodes, const NSEvent& event) {
    for (const auto& node : nodes) {
        if (node->isDisabled || node->kind == "ContextMenu") {
            continue;
        }
        if (node->shortcut && node->action && matches(*node->shortcut, event)) {
            return node;
        }
        if (auto found = nodeForShortcut(node->children, event)) {
            return found;
        }
    }
    return nullptr;
}

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

void appendNodes(const Nodes& nodes, const std::vector<Modifier>& inherited,
                 std::vector<OutlineNode>& into) {
    for (const auto& node : nodes) {
        if (node->platformView) {
            continue; // shown as the hosting view's subview, where it really is
        }
        if (!node->isVisible()) {
            std::vector<Modifier> modifiers = node->modifiers;
            modifiers.insert(modifiers.end(), inherited.begin(), inherited.end());
            appendNodes(node->children, modifiers, into);
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
        appendNodes(node->children, {}, line.children);
        into.push_back(std::move(line));
    }
}

} // namespace

std::vector<OutlineNode> outlineNodes(const Nodes& nodes) {
    std::vector<OutlineNode> result;
    appendNodes(nodes, {}, result);
    return result;
}

std::shared_ptr<NSHostingView> NSHostingView::make(View root, EnvironmentValues environment) {
    auto view = std::make_shared<NSHostingView>(Passkey{});
    view->install(std::move(root), std::move(environment));
    return view;
}

void NSHostingView::install(View root, EnvironmentValues environment) {
    const auto weak =
        std::weak_ptr<NSHostingView>(std::static_pointer_cast<NSHostingView>(shared_from_this()));
    environment.dismiss = [weak] {
        if (auto alive = weak.lock()) {
            if (auto window = alive->window()) {
                window->close();
            }
        }
    };
    host_ = ViewHost::make(std::move(root), std::move(environment));
    host_->setOnUpdate([weak] {
        if (auto alive = weak.lock()) {
            alive->syncPlatformViews();
        }
    });
    syncPlatformViews();
}

namespace {

void collectPlatformViews(const Nodes& nodes, std::vector<std::shared_ptr<NSView>>& into) {
    for (const auto& node : nodes) {
        if (node->platformView) {
            into.push_back(node->platformView);
        }
        collectPlatformViews(node->children, into);
    }
}

} // namespace

void NSHostingView::syncPlatformViews() {
    std::vector<std::shared_ptr<NSView>> wanted;
    collectPlatformViews(host_->nodes(), wanted);
    for (const auto& present : subviews()) {
        if (std::find(wanted.begin(), wanted.end(), present) == wanted.end()) {
            present->removeFromSuperview();
        }
    }
    for (const auto& view : wanted) {
        if (view->superview().get() != this) {
            addSubview(view);
        }
    }
}

bool NSHostingView::performKeyEquivalent(const NSEvent& event) {
    return performKeyEquivalentAnywhere(event);
}

bool NSHostingView::performKeyEquivalentAnywhere(const NSEvent& event) {
    if (!host_) {
        return false;
    }
    const auto node = nodeForShortcut(host_->nodes(), event);
    if (!node) {
        return false;
    }
    // The node may be rebuilt by what the action does: keep the action alive.
    const auto action = node->action;
    action();
    return true;
}

void NSHostingView::describeOutline(OutlineNode& node) const {
    node.kind = "hosting view";
    node.children = outlineNodes(host_->nodes());
}

NSEdgeInsets NSHostingView::safeAreaInsets() const {
    const auto window = this->window();
    if (!window || window->contentView().get() != this) {
        return {};
    }
    const auto style = window->styleMask();
    if (style.contains(NSWindow::StyleMask::titled) &&
        style.contains(NSWindow::StyleMask::fullSizeContentView)) {
        return {NSWindow::kTitleBarHeight, 0, 0, 0};
    }
    return {};
}

NSHostingController::NSHostingController(View rootView, EnvironmentValues environment)
    : rootView_(std::move(rootView)), environment_(std::move(environment)) {}

std::shared_ptr<NSHostingView> NSHostingController::hostingView() {
    return std::static_pointer_cast<NSHostingView>(view());
}

std::shared_ptr<NSView> NSHostingController::loadView() {
    return NSHostingView::make(rootView_, environment_);
}

} // namespace zestrel::platform::swiftui

#include "platform/swiftui/NSHostingView.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSWindow.h"
#include "platform/desktop/NSEvent.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>

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

} // namespace

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
            alive->showNavigationTitle();
        }
    });
    syncPlatformViews();
}

namespace {

// Where the framework puts a representable's AppKit view. It lies over the whole hosting
// view with the hosting view's orientation, so the view inside keeps its place, and it
// shows nothing of its own.
class PlatformViewHost final : public NSView {
public:
    std::string className() const override { return "PlatformViewHost"; }
    bool isFlipped() const override {
        const auto parent = superview();
        return parent && parent->isFlipped();
    }
    void describeOutline(OutlineNode& /*node*/) const override {}
};

void collectPlatformViews(const Nodes& nodes, std::vector<std::shared_ptr<NSView>>& into) {
    for (const auto& node : nodes) {
        if (node->platformView) {
            into.push_back(node->platformView);
        }
        collectPlatformViews(node->children, into);
    }
}

} // namespace

namespace {

// The navigation title a window shows: the last one in the tree, which is the innermost page
// shown (a detail after its sidebar, a pushed page inside its stack).
void lastNavigationTitle(const Nodes& nodes, std::optional<std::string>& title) {
    for (const auto& node : nodes) {
        for (const Modifier& modifier : node->modifiers) {
            if (modifier.name == "navigationTitle") {
                const std::string& text = modifier.argument;
                title = text.size() >= 2 && text.front() == '"' && text.back() == '"'
                            ? text.substr(1, text.size() - 2)
                            : text;
            }
        }
        lastNavigationTitle(node->children, title);
    }
}

} // namespace

void NSHostingView::showNavigationTitle() {
    const auto window = this->window();
    if (!window || !host_) {
        return;
    }
    std::optional<std::string> title;
    lastNavigationTitle(host_->nodes(), title);
    if (title && window->contentView().get() == this) {
        window->setTitle(*title);
    }
}

std::vector<std::shared_ptr<NSView>> NSHostingView::representedViews() const {
    std::vector<std::shared_ptr<NSView>> views;
    if (host_) {
        collectPlatformViews(host_->nodes(), views);
    }
    return views;
}

void NSHostingView::syncPlatformViews() {
    std::vector<std::shared_ptr<NSView>> hosts;
    for (const auto& view : representedViews()) {
        std::shared_ptr<NSView> host =
            std::dynamic_pointer_cast<PlatformViewHost>(view->superview());
        if (!host || host->superview().get() != this) {
            host = std::make_shared<PlatformViewHost>();
            host->setFrame(bounds());
            host->addSubview(view);
        }
        hosts.push_back(std::move(host));
    }
    for (const auto& present : subviews()) {
        if (std::find(hosts.begin(), hosts.end(), present) == hosts.end()) {
            present->removeFromSuperview();
        }
    }
    // The searches from one representable to another go by this order.
    if (subviews() != hosts) {
        for (const auto& host : hosts) {
            addSubview(host);
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

NSHostingView::~NSHostingView() {
    for (const auto& observer : observers_) {
        NotificationCenter::defaultCenter()->removeObserver(observer);
    }
}

void NSHostingView::setFrame(const CGRect& frame) {
    NSView::setFrame(frame);
    for (const auto& host : subviews()) {
        host->setFrame(bounds());
    }
    if (host_) {
        host_->changeEnvironment(
            [size = frame.size](EnvironmentValues& values) { values.containerSize = size; });
    }
}

void NSHostingView::viewDidMoveToWindow() {
    followWindowActivity();
    updateActiveState();
    showNavigationTitle();
}

void NSHostingView::followWindowActivity() {
    for (const auto& observer : observers_) {
        NotificationCenter::defaultCenter()->removeObserver(observer);
    }
    observers_.clear();
    if (!window()) {
        return;
    }
    const auto weak =
        std::weak_ptr<NSHostingView>(std::static_pointer_cast<NSHostingView>(shared_from_this()));
    // By name only: an observer naming the window would keep the window alive in the centre.
    const auto update = [weak](const Notification&) {
        if (auto alive = weak.lock()) {
            alive->updateActiveState();
        }
    };
    const auto center = NotificationCenter::defaultCenter();
    for (const char* name :
         {NSWindowDidBecomeKeyNotification, NSWindowDidResignKeyNotification,
          NSApplicationDidBecomeActiveNotification, NSApplicationDidResignActiveNotification}) {
        observers_.push_back(center->addObserver(name, Value(), update));
    }
}

void NSHostingView::updateActiveState() {
    if (!host_) {
        return;
    }
    const auto window = this->window();
    const bool appActive = NSApp().isActive();
    ControlActiveState state = ControlActiveState::key;
    if (window) {
        state = !appActive              ? ControlActiveState::inactive
                : window->isKeyWindow() ? ControlActiveState::key
                                        : ControlActiveState::active;
    }
    const ScenePhase phase = !window || appActive ? ScenePhase::active : ScenePhase::inactive;
    host_->changeEnvironment([state, phase](EnvironmentValues& values) {
        values.controlActiveState = state;
        values.scenePhase = phase;
    });
}

namespace {

// The number after `name: ` in a modifier's argument ("width: 320, height: 200"); a name
// is matched whole, so "maxWidth" is not "width".
std::optional<CGFloat> sizeArgument(const std::string& argument, std::string_view name) {
    const std::string key = std::string(name) + ": ";
    for (std::size_t at = argument.find(key); at != std::string::npos;
         at = argument.find(key, at + 1)) {
        if (at == 0 || argument[at - 1] == ' ' || argument[at - 1] == ',') {
            try {
                return std::stod(argument.substr(at + key.size()));
            } catch (const std::exception&) {
                return std::nullopt;
            }
        }
    }
    return std::nullopt;
}

// The frame the outermost nodes ask for, through the custom views standing in their place
// and the containers holding a single view.
struct FrameSize {
    std::optional<CGFloat> width;
    std::optional<CGFloat> height;
    std::optional<CGFloat> minWidth;
    std::optional<CGFloat> minHeight;
};

void frameOf(const Nodes& nodes, FrameSize& size) {
    for (const auto& node : nodes) {
        for (const Modifier& modifier : node->modifiers) {
            if (modifier.name == "frame") {
                size.width = size.width ? size.width : sizeArgument(modifier.argument, "width");
                size.height = size.height ? size.height : sizeArgument(modifier.argument, "height");
                size.minWidth =
                    size.minWidth ? size.minWidth : sizeArgument(modifier.argument, "minWidth");
                size.minHeight =
                    size.minHeight ? size.minHeight : sizeArgument(modifier.argument, "minHeight");
            }
        }
        // A container of one view (a navigation stack) takes that view's size.
        if (!node->isVisible() || node->children.size() == 1) {
            frameOf(node->children, size);
        }
    }
}

std::size_t rowCount(const std::vector<OutlineNode>& nodes) {
    std::size_t count = nodes.size();
    for (const auto& node : nodes) {
        count += rowCount(node.children);
    }
    return count;
}

} // namespace

CGSize NSHostingView::fittingSize() const {
    constexpr CGFloat kDefaultWidth = 400;
    constexpr CGFloat kRowHeight = 24;
    constexpr CGFloat kMargins = 40;
    FrameSize size;
    if (host_) {
        frameOf(host_->nodes(), size);
    }
    const auto rows = host_ ? rowCount(outlineNodes(host_->nodes(), false)) : 0;
    // A minimum size only ever widens or heightens what the content asks for.
    return {std::max(size.width.value_or(kDefaultWidth), size.minWidth.value_or(0)),
            std::max(size.height.value_or(kMargins + kRowHeight * static_cast<CGFloat>(rows)),
                     size.minHeight.value_or(0))};
}

void NSHostingView::describeOutline(OutlineNode& node) const {
    node.kind = "hosting view";
    node.children = outlineNodes(host_->nodes(), false);
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

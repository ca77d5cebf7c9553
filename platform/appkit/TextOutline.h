#pragma once

#include "platform/base/ProcessTeardown.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace zestrel::platform {

class NSAlert;
class NSMenu;
class NSView;
class NSWindow;

// A person's click on a node of the outline. The window server hands it to the app, so it
// runs as the app's code (`ProcessTeardown::callIn`): an app that ends in it stops there.
class OutlineClick {
public:
    OutlineClick() = default;
    OutlineClick(std::nullptr_t) {} // NOLINT: as a std::function is emptied
    template <class Action>
    requires(!std::is_same_v<std::decay_t<Action>, OutlineClick> && std::is_invocable_v<Action&>)
        OutlineClick(Action action)
        : action_(std::move(action)) {} // NOLINT: made from a lambda
    explicit operator bool() const { return bool(action_); }
    void operator()() const {
        if (action_) {
            ProcessTeardown::callIn(action_);
        }
    }

private:
    std::function<void()> action_;
};

// One line of the text outline that stands in for what is on screen: what tests assert on
// and what the console shows. A node that can be clicked (a menu item, a button, a check
// box) carries the click.
struct OutlineNode {
    std::string kind;                // "window", "menu", "item", "button", "text", ...
    std::string label;               // the title or text the user reads; may be empty
    std::vector<std::string> traits; // "key", "default", "on", "disabled", "⌘,", ...
    std::vector<OutlineNode> children;
    OutlineClick click; // empty: the node cannot be clicked
    // What else the user reads of it, written among the traits too: the title of a menu
    // that shows only its icon.
    std::string detail;

    // `kind "label" [trait, trait]`, the label left out when empty.
    std::string line() const;
    bool hasTrait(std::string_view trait) const;
};

OutlineNode outline(const NSView& view);
OutlineNode outline(const NSWindow& window);
OutlineNode outline(const NSMenu& menu);
// The alert as it shows (or would show): its texts, accessory view, buttons and check box.
OutlineNode outline(NSAlert& alert);
// The visible windows of the application, front to back, alerts as alerts.
OutlineNode outlineOfScreen();

// Two spaces of indentation per level, one node a line, each line ending in "\n".
std::string render(const OutlineNode& node);

// The first node, depth first, whose label is `label` (and that `accepts`, when given);
// nothing when there is none.
const OutlineNode* findNode(const OutlineNode& root, std::string_view label,
                            const std::function<bool(const OutlineNode&)>& accepts = {});
// Clicks the first clickable node labelled `label`. False when there is none (an item that
// is disabled cannot be clicked either).
bool click(const OutlineNode& root, std::string_view label);

} // namespace zestrel::platform

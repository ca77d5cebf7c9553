#pragma once

#include "platform/appkit/NSImage.h"
#include "platform/base/Value.h"
#include "platform/swiftui/Binding.h"
#include "platform/swiftui/View.h"

#include <functional>
#include <string>
#include <vector>

namespace zestrel::platform::swiftui {

// A push button. A plain label (a text, or a title with an image) becomes the button's own
// label. A role ("cancel", "destructive") says what kind of command it is.
class Button final : public View {
public:
    Button(std::string title, std::function<void()> action, std::string role = "");
    Button(View label, std::function<void()> action, std::string role = "");
};

// A link: clicking it opens the URL through the environment's `openURL`.
class Link final : public View {
public:
    Link(std::string title, URL destination);
};

// One choice of a picker: the tag stored in the selection and the title shown.
struct PickerOption {
    std::string tag;
    std::string title;
};

// A choice among options bound to the tag of the chosen one. The options are listed under
// the picker; clicking one chooses it.
class Picker final : public View {
public:
    Picker(std::string title, Binding<std::string> selection, std::vector<PickerOption> options);
};

// A symbol image (`Image(systemName:)`), or an image of pixels (`Image(nsImage:)`), which
// shows as its description and its name.
class Image final : public View {
public:
    explicit Image(std::string systemName);
    explicit Image(std::shared_ptr<NSImage> image);
};

// A line between groups of items (in a menu: a separator).
class Divider final : public View {
public:
    Divider();
};

// Flexible space in a stack; shows nothing.
class Spacer final : public View {
public:
    Spacer();
};

// A link shared through the share menu (`ShareLink`): clicking it shows the share
// picker for the URL from the key window.
class ShareLink final : public View {
public:
    ShareLink(std::string title, URL item);
    // Shares a text.
    ShareLink(std::string title, std::string text);
};

// `NSViewRepresentable`: an AppKit view in the tree, made once for its place and updated at
// each evaluation. It shows in the hosting view's outline as that view's subview, and moves
// with the hosting view into and out of windows.
class ViewRepresentable final : public View {
public:
    ViewRepresentable(std::function<std::shared_ptr<NSView>()> makeView,
                      std::function<void(NSView&)> updateView = {});
};

// A titled list of commands (in a menu: a submenu).
class Menu final : public View {
public:
    Menu(std::string title, std::vector<View> items);
};

} // namespace zestrel::platform::swiftui

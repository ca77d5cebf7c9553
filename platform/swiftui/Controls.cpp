#include "platform/swiftui/Controls.h"

#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSSharingServicePicker.h"
#include "platform/appkit/NSView.h"
#include "platform/swiftui/NodeBuilding.h"
#include "platform/swiftui/Text.h"

#include <memory>
#include <utility>

namespace zestrel::platform::swiftui {

using detail::applyLabel;
using detail::makeNode;

Button::Button(std::string title, std::function<void()> action, std::string role)
    : Button(Text(std::move(title)), std::move(action), std::move(role)) {}

Button::Button(View label, std::function<void()> action, std::string role)
    : View(Build([label = std::move(label), action = std::move(action),
                  role = std::move(role)](ViewContext& context, Nodes& into) {
          auto node = makeNode("Button", context);
          node->role = role;
          node->action = action ? action : [] {};
          applyLabel(*node, label, context);
          into.push_back(std::move(node));
      })) {}

Link::Link(std::string title, URL destination)
    : View(Build([title = std::move(title),
                  destination = std::move(destination)](ViewContext& context, Nodes& into) {
          auto node = makeNode("Link", context);
          node->label = title;
          node->destination = destination.absoluteString();
          node->action = [openURL = context.environment().openURL, destination] {
              if (openURL) {
                  openURL(destination);
              }
          };
          into.push_back(std::move(node));
      })) {}

Picker::Picker(std::string title, Binding<std::string> selection, std::vector<PickerOption> options)
    : View(Build([title = std::move(title), selection = std::move(selection),
                  options = std::move(options)](ViewContext& context, Nodes& into) {
          auto node = makeNode("Picker", context);
          node->label = title;
          node->selection = selection;
          for (const PickerOption& option : options) {
              auto item = makeNode("Option", context.child(option.tag));
              item->label = option.title;
              item->isDisabled = node->isDisabled;
              item->isOn =
                  Binding<bool>([selection, tag = option.tag] { return selection.get() == tag; },
                                [selection, tag = option.tag](const bool& on) {
                                    if (on) {
                                        selection.set(tag);
                                    }
                                });
              item->action = [selection, tag = option.tag] { selection.set(tag); };
              node->children.push_back(std::move(item));
          }
          into.push_back(std::move(node));
      })) {}

Image::Image(std::string systemName)
    : View(detail::leaf("Image", "", std::move(systemName), true)) {}

Image::Image(std::shared_ptr<NSImage> image)
    : View(Build([image = std::move(image)](ViewContext& context, Nodes& into) {
          auto node = makeNode("Image", context);
          if (image) {
              node->label = image->accessibilityDescription();
              node->detail = image->name();
          }
          into.push_back(std::move(node));
      })) {}

Divider::Divider() : View(detail::leaf("Divider", "", "", true)) {}

Spacer::Spacer() : View(Build([](ViewContext&, Nodes&) {})) {}

namespace {

View::Build shareLink(std::string title, Value item) {
    return [title = std::move(title), item = std::move(item)](ViewContext& context, Nodes& into) {
        auto node = makeNode("ShareLink", context);
        node->label = title;
        node->systemImage = "square.and.arrow.up";
        node->action = [item] {
            std::shared_ptr<NSView> from;
            if (auto window = NSApp().keyWindow()) {
                from = window->contentView();
            }
            NSSharingServicePicker({item}).showRelativeToRect({}, from, NSRectEdge::minY);
        };
        into.push_back(std::move(node));
    };
}

} // namespace

ShareLink::ShareLink(std::string title, std::string text)
    : View(shareLink(std::move(title), Value(std::move(text)))) {}

ShareLink::ShareLink(std::string title, URL item)
    : View(shareLink(std::move(title), Value(std::move(item)))) {}

ViewRepresentable::ViewRepresentable(std::function<std::shared_ptr<NSView>()> makeView,
                                     std::function<void(NSView&)> updateView)
    : View(Build([makeView = std::move(makeView),
                  updateView = std::move(updateView)](ViewContext& context, Nodes& into) {
          // A name no view property can have; the view leaves with its place.
          auto view = context.slot<NSView>(".representable", makeView);
          if (updateView && view) {
              updateView(*view);
          }
          auto node = std::make_shared<Node>();
          node->kind = "NSViewRepresentable";
          node->label = view ? view->className() : std::string();
          node->identity = context.path();
          node->platformView = std::move(view);
          into.push_back(std::move(node));
      })) {}

Menu::Menu(std::string title, std::vector<View> items)
    : View(Build(
          [title = std::move(title), items = std::move(items)](ViewContext& context, Nodes& into) {
              auto node = makeNode("Menu", context);
              node->label = title;
              for (std::size_t i = 0; i < items.size(); ++i) {
                  ViewContext item = context.child(std::to_string(i));
                  items[i].build(item, node->children);
              }
              into.push_back(std::move(node));
          })) {}

} // namespace zestrel::platform::swiftui

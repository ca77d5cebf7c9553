#include "platform/swiftui/NSViewRepresentable.h"

#include <utility>

namespace zestrel::platform::swiftui {

NSViewRepresentable::NSViewRepresentable(MakeNSView makeNSView)
    : View(Build([makeNSView = std::move(makeNSView)](ViewContext& context, Nodes& into) {
          auto view = *context.slot<std::shared_ptr<NSView>>(".nsView", [&makeNSView] {
              return std::make_shared<std::shared_ptr<NSView>>(makeNSView());
          });
          auto node = std::make_shared<Node>();
          node->kind = "NSViewRepresentable";
          node->label = view ? view->className() : std::string();
          node->platformView = std::move(view);
          node->identity = context.path();
          into.push_back(std::move(node));
      })) {}

} // namespace zestrel::platform::swiftui

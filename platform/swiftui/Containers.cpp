#include "platform/swiftui/Containers.h"

#include "platform/swiftui/ViewState.h"

#include <memory>
#include <utility>

namespace zestrel::platform::swiftui {

namespace {

void buildEach(const std::vector<View>& content, ViewContext& context, Nodes& into) {
    for (std::size_t i = 0; i < content.size(); ++i) {
        ViewContext item = context.child(std::to_string(i));
        content[i].build(item, into);
    }
}

View::Build container(std::string kind, std::vector<View> content) {
    return
        [kind = std::move(kind), content = std::move(content)](ViewContext& context, Nodes& into) {
            auto node = std::make_shared<Node>();
            node->kind = kind;
            node->identity = context.path();
            buildEach(content, context, node->children);
            into.push_back(std::move(node));
        };
}

} // namespace

Group::Group(std::vector<View> content)
    : View(Build([content = std::move(content)](ViewContext& context, Nodes& into) {
          buildEach(content, context, into);
      })) {}

Form::Form(std::vector<View> content) : View(container("Form", std::move(content))) {}

Section::Section(std::vector<View> content, std::string header, View footer)
    : View(Build([content = std::move(content), header = std::move(header),
                  footer = std::move(footer)](ViewContext& context, Nodes& into) {
          auto node = std::make_shared<Node>();
          node->kind = "Section";
          node->label = header;
          node->identity = context.path();
          buildEach(content, context, node->children);
          Nodes footerNodes;
          ViewContext footerContext = context.child("footer");
          footer.build(footerContext, footerNodes);
          if (!footerNodes.empty()) {
              auto footerNode = std::make_shared<Node>();
              footerNode->kind = "Footer";
              footerNode->identity = footerContext.path();
              footerNode->children = std::move(footerNodes);
              node->children.push_back(std::move(footerNode));
          }
          into.push_back(std::move(node));
      })) {}

VStack::VStack(std::vector<View> content) : View(container("VStack", std::move(content))) {}

HStack::HStack(std::vector<View> content) : View(container("HStack", std::move(content))) {}

NavigationStack::NavigationStack(View content)
    : View(Build([content = std::move(content)](ViewContext& context, Nodes& into) {
          if (context.environment().navigate) {
              container("NavigationStack", {content})(context, into);
              return;
          }
          // A name no view property can have.
          const auto path = context.state<std::vector<View>>(".navigationPath", {});
          ViewContext inner = context.withEnvironment([path](EnvironmentValues& values) {
              values.navigate = [path](const View& destination) {
                  auto pushed = path.get();
                  pushed.push_back(destination);
                  path.set(std::move(pushed));
              };
          });
          const auto pushed = path.get();
          if (pushed.empty()) {
              container("NavigationStack", {content})(inner, into);
              return;
          }
          auto node = std::make_shared<Node>();
          node->kind = "NavigationStack";
          node->identity = context.path();
          auto back = std::make_shared<Node>();
          back->kind = "Button";
          back->label = "Back";
          back->identity = context.path() + "/back";
          back->action = [path] {
              auto shorter = path.get();
              if (!shorter.empty()) {
                  shorter.pop_back();
              }
              path.set(std::move(shorter));
          };
          node->children.push_back(std::move(back));
          ViewContext shown = inner.child("path" + std::to_string(pushed.size()));
          pushed.back().build(shown, node->children);
          into.push_back(std::move(node));
      })) {}

} // namespace zestrel::platform::swiftui

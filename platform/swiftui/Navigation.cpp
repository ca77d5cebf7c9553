#include "platform/swiftui/Navigation.h"

#include "platform/swiftui/NodeBuilding.h"

#include <memory>
#include <utility>

namespace zestrel::platform::swiftui {

using detail::applyLabel;
using detail::makeNode;

namespace {

// A row wrapped in a node of its own, named by its first text, for what acts on the row.
std::shared_ptr<Node> rowNode(const ListRow& row, ViewContext& context) {
    auto node = makeNode("Row", context);
    row.content.build(context, node->children);
    node->label = detail::firstText(node->children);
    return node;
}

} // namespace

std::string identitySegment(std::string_view id) {
    std::string segment;
    for (const char c : id) {
        switch (c) {
        case '/':
            segment += "%2F";
            break;
        case '#':
            segment += "%23";
            break;
        case '%':
            segment += "%25";
            break;
        default:
            segment += c;
        }
    }
    return segment;
}

View identified(View content, std::string_view identity) {
    return View(View::Build([content = std::move(content), identity = identitySegment(identity)](
                                ViewContext& context, Nodes& into) {
        ViewContext inner = context.child("id:" + identity);
        content.build(inner, into);
    }));
}

NavigationSplitView::NavigationSplitView(View sidebar, View detail)
    : View(Build([sidebar = std::move(sidebar), detail = std::move(detail)](ViewContext& context,
                                                                            Nodes& into) {
          auto node = makeNode("NavigationSplitView", context, false);
          for (const auto& [kind, column] :
               {std::pair{"Sidebar", &sidebar}, std::pair{"Detail", &detail}}) {
              ViewContext place = context.child(kind);
              auto columnNode = makeNode(kind, place, false);
              column->build(place, columnNode->children);
              node->children.push_back(std::move(columnNode));
          }
          into.push_back(std::move(node));
      })) {}

NavigationLink::NavigationLink(View label, View destination)
    : View(Build([label = std::move(label),
                  destination = std::move(destination)](ViewContext& context, Nodes& into) {
          auto node = makeNode("NavigationLink", context);
          applyLabel(*node, label, context);
          if (const auto& navigate = context.environment().navigate) {
              node->action = [navigate, destination] { navigate(destination); };
          } else {
              node->isDisabled = true;
          }
          into.push_back(std::move(node));
      })) {}

TitledLabel::TitledLabel(View title, std::string systemImage)
    : View(Build([title = std::move(title),
                  systemImage = std::move(systemImage)](ViewContext& context, Nodes& into) {
          auto node = makeNode("Label", context, false);
          node->systemImage = systemImage;
          ViewContext titleContext = context.child("title");
          title.build(titleContext, node->children);
          node->label = detail::firstText(node->children);
          into.push_back(std::move(node));
      })) {}

List::List(std::vector<ListRow> rows,
           std::function<void(const std::vector<std::size_t>& offsets)> onDelete)
    : View(Build([rows = std::move(rows), onDelete = std::move(onDelete)](ViewContext& context,
                                                                          Nodes& into) {
          auto node = makeNode("List", context, false);
          for (std::size_t offset = 0; offset < rows.size(); ++offset) {
              ViewContext place = context.child("row:" + identitySegment(rows[offset].id));
              if (!onDelete) {
                  rows[offset].content.build(place, node->children);
                  continue;
              }
              auto row = rowNode(rows[offset], place);
              // Named by what it holds, which stays the one to click.
              row->label.clear();
              auto remove = makeNode("Button", place.child("delete"));
              remove->label = "Delete";
              remove->role = "destructive";
              remove->action = [onDelete, offset] { onDelete({offset}); };
              row->children.push_back(std::move(remove));
              node->children.push_back(std::move(row));
          }
          into.push_back(std::move(node));
      })) {}

List::List(std::vector<View> content)
    : View(Build([content = std::move(content)](ViewContext& context, Nodes& into) {
          auto node = makeNode("List", context, false);
          for (std::size_t i = 0; i < content.size(); ++i) {
              ViewContext place = context.child(std::to_string(i));
              content[i].build(place, node->children);
          }
          into.push_back(std::move(node));
      })) {}

List::List(Binding<std::optional<std::string>> selection, std::vector<ListRow> rows)
    : View(Build([selection = std::move(selection), rows = std::move(rows)](ViewContext& context,
                                                                            Nodes& into) {
          auto node = makeNode("List", context, false);
          const auto selected = selection.get();
          for (const auto& row : rows) {
              ViewContext place = context.child("row:" + identitySegment(row.id));
              auto rowNodeBuilt = rowNode(row, place);
              if (selected == row.id) {
                  rowNodeBuilt->detail = "selected";
              }
              if (!rowNodeBuilt->isDisabled) {
                  rowNodeBuilt->action = [selection, id = row.id] { selection.set(id); };
              }
              node->children.push_back(std::move(rowNodeBuilt));
          }
          into.push_back(std::move(node));
      })) {}

} // namespace zestrel::platform::swiftui

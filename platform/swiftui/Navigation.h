#pragma once

#include "platform/swiftui/Binding.h"
#include "platform/swiftui/View.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Navigation and lists: the split view of a sidebar and a detail, links that push a view onto
// the enclosing navigation stack (`NavigationStack`, Containers.h), and lists of rows that can
// be selected or deleted.
namespace zestrel::platform::swiftui {

// The sidebar and the detail side by side.
class NavigationSplitView final : public View {
public:
    NavigationSplitView(View sidebar, View detail);
};

// Clicking it pushes `destination` onto the navigation stack it is in; the destination is
// built only when shown. Outside a stack it does nothing. A label that is not a plain text
// stays below it, the first text in it naming the link.
class NavigationLink final : public View {
public:
    NavigationLink(View label, View destination);
};

// A label whose title is any view: the title's first text names it, the rest stays below.
class TitledLabel final : public View {
public:
    TitledLabel(View title, std::string systemImage);
};

// One row of a list: what it shows, and the identity it keeps its state under.
struct ListRow {
    std::string id;
    View content;
};

// A list of rows, each keeping its state under its identity, so a row that moves keeps
// it. With `onDelete` each row offers "Delete", which hands its offset to it.
class List final : public View {
public:
    explicit List(std::vector<ListRow> rows,
                  std::function<void(const std::vector<std::size_t>& offsets)> onDelete = {});
    // A list of sections (or other views) without identities of their own.
    explicit List(std::vector<View> content);
    // A list whose rows are chosen by clicking them: the row whose identity the selection
    // holds is marked "selected".
    List(Binding<std::optional<std::string>> selection, std::vector<ListRow> rows);
};

// `id(_:)`: the content kept under an identity of its own, so a new identity builds it
// afresh (its state and appearance start over).
View identified(View content, std::string_view identity);

// The text used for an identity in a state key: '/', '#' and '%' are escaped, so an
// identity such as a path is one segment.
std::string identitySegment(std::string_view id);

} // namespace zestrel::platform::swiftui

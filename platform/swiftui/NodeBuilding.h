#pragma once

#include "platform/swiftui/View.h"

#include <memory>
#include <string>

// How the built-in views make their nodes; for the views of this room only.
namespace zestrel::platform::swiftui::detail {

// A node of `kind` at the context's place; a control (`isControl`) is disabled where the
// environment says so, plain content never is.
std::shared_ptr<Node> makeNode(std::string kind, const ViewContext& context, bool isControl = true);
// A view of one node with a label and a symbol.
View::Build leaf(std::string kind, std::string label, std::string systemImage, bool isControl);
// The first label of the visible nodes, depth first; empty when there is none.
std::string firstText(const Nodes& nodes);
// A control's label: a plain one (a text, or a title with an image) folds into the control;
// any other stays below it as its content, and the control takes the first text in it,
// depth first, as its label.
void applyLabel(Node& node, const View& label, ViewContext& context);

} // namespace zestrel::platform::swiftui::detail

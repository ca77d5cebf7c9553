#pragma once

#include "platform/swiftui/View.h"

#include <string>
#include <vector>

namespace zestrel::platform::swiftui {

// Views side by side in the tree with no node of their own; each keeps its state under its
// position.
class Group final : public View {
public:
    explicit Group(std::vector<View> content);
};

// A settings form: its sections and rows, one a line.
class Form final : public View {
public:
    explicit Form(std::vector<View> content);
};

// A group of rows in a form, with an optional header text and footer view.
class Section final : public View {
public:
    explicit Section(std::vector<View> content, std::string header = "", View footer = View());
};

class VStack final : public View {
public:
    explicit VStack(std::vector<View> content);
};

class HStack final : public View {
public:
    explicit HStack(std::vector<View> content);
};

// The container that gives its content a navigation title and a toolbar. The links inside
// it push their destinations: the last one pushed shows in place of the content, under a
// "Back" button that goes back one step. A stack inside another is only a container: its
// links push onto the outer one, so there is one way back.
class NavigationStack final : public View {
public:
    explicit NavigationStack(View content);
};

} // namespace zestrel::platform::swiftui

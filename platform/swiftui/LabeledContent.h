#pragma once

#include "platform/swiftui/View.h"

namespace zestrel::platform::swiftui {

// Content with a label beside it, as a form row shows it. The label's first text names the
// row; the label's other views and then the content are listed under it.
class LabeledContent final : public View {
public:
    LabeledContent(View content, View label);
};

} // namespace zestrel::platform::swiftui

#pragma once

#include "platform/base/Clock.h"
#include "platform/base/Value.h"
#include "platform/swiftui/Binding.h"
#include "platform/swiftui/View.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

// Views that follow time or present something beside their content: a timeline that
// rebuilds on a schedule, a confirmation dialog, and the Quick Look panel.
namespace zestrel::platform::swiftui {

// Builds `content` with the current date, and again every `interval` while it is shown (a
// repeating timer on the main run loop, in the common modes; it stops when the view goes).
class TimelineView final : public View {
public:
    TimelineView(Nanoseconds interval, std::function<View(Date)> content);
};

// While `isPresented` is true a dialog titled `title` offers `actions` and the system's
// "Cancel"; any of its buttons sets `isPresented` back to false after its own action.
View confirmationDialog(View content, std::string title, Binding<bool> isPresented,
                        std::vector<View> actions);

// `toolbar`: `items` shown in the window's toolbar, which the outline lists before the content.
View toolbar(View content, std::vector<View> items);

// While `item` holds a URL the Quick Look panel previews it; when the panel closes (or
// previews something else) the item is set back to none.
View quickLookPreview(View content, Binding<std::optional<URL>> item);

namespace detail {

// What a view presents as an alert (`alert`, `confirmationDialog`) is also an alert of the
// application while the view presents it: recorded and put to the responder as every alert
// is. Pressing one of its buttons runs the matching one of `buttons`; clicking one of those
// ends it with that button's answer; it ends when the view stops presenting it. Called
// while building, once the buttons' actions are final.
void presentAsAlert(ViewContext& context, const std::string& title, const std::string& message,
                    const Nodes& buttons);

} // namespace detail

} // namespace zestrel::platform::swiftui

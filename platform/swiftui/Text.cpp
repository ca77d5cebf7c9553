#include "platform/swiftui/Text.h"

#include "platform/swiftui/NodeBuilding.h"

#include <utility>

namespace zestrel::platform::swiftui {

Text::Text(std::string content) : View(detail::leaf("Text", std::move(content), "", false)) {}

Label::Label(std::string title, std::string systemImage)
    : View(detail::leaf("Label", std::move(title), std::move(systemImage), false)) {}

} // namespace zestrel::platform::swiftui

#include "platform/swiftui/Preferences.h"

#include "platform/swiftui/NodeBuilding.h"

namespace zestrel::platform::swiftui {

GeometryReader::GeometryReader(std::function<View(CGSize)> content)
    : View(Build([content = std::move(content)](ViewContext& context, Nodes& into) {
          ViewContext inner = context.child("geometry");
          content(context.environment().containerSize).build(inner, into);
      })) {}

std::shared_ptr<Node> detail::preferenceCarrier(Nodes& built, const ViewContext& context) {
    if (built.empty()) {
        // Invisible: the values travel, nothing shows.
        auto carrier = std::make_shared<Node>();
        carrier->identity = context.path() + "/preference";
        built.push_back(carrier);
    }
    return built.front();
}

void detail::collectPreferences(const Nodes& nodes, std::type_index key,
                                const std::function<void(const void*)>& visit) {
    for (const auto& node : nodes) {
        for (const auto& [type, value] : node->preferences) {
            if (type == key) {
                visit(value.get());
            }
        }
        collectPreferences(node->children, key, visit);
    }
}

} // namespace zestrel::platform::swiftui

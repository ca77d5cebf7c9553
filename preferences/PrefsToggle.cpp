#include "preferences/PrefsToggle.h"

#include "platform/swiftui/Text.h"
#include "platform/swiftui/Toggle.h"

#include <utility>

namespace zestrel::Prefs {

namespace swiftui = platform::swiftui;

Toggle::Toggle(const Key<bool>& key, bool inverted, const std::function<swiftui::View()>& label)
    : onChange_(OnChange()), label_(label), inverted_(inverted),
      observable_(Observable<bool>::make(key)) {}

Toggle::Toggle(std::string title, const Key<bool>& key, bool inverted)
    : Toggle(key, inverted, [title = std::move(title)] { return swiftui::Text(title); }) {}

Toggle::Toggle(std::string title, std::string systemImage, const Key<bool>& key, bool inverted)
    : Toggle(key, inverted, [title = std::move(title), systemImage = std::move(systemImage)] {
          return swiftui::Label(title, systemImage);
      }) {}

Toggle Toggle::onChange(OnChange action) const {
    onChange_.set(std::move(action));
    return *this;
}

swiftui::View Toggle::body(swiftui::ViewContext& context) const {
    const auto onChange = onChange_.installed(context, "_onChange");
    const auto observable = context.observe(observable_);
    const bool inverted = inverted_;
    const swiftui::Binding<bool> isOn(
        [observable, inverted] { return observable->value() != inverted; },
        [observable, inverted](const bool& isOn) { observable->setValue(isOn != inverted); });
    // Watches the stored value, not the shown one.
    return swiftui::Toggle(isOn, label_())
        .onChange(observable->value(), [onChange](const bool& stored) {
            if (const OnChange& action = onChange.get()) {
                action(stored);
            }
        });
}

} // namespace zestrel::Prefs

#pragma once

#include "platform/swiftui/View.h"
#include "platform/swiftui/ViewState.h"
#include "preferences/Prefs.h"
#include "preferences/PrefsObservable.h"

#include <functional>
#include <memory>
#include <string>

namespace zestrel::Prefs {

// A switch bound to a Bool key. Inverted, it shows the negation of the stored value and
// stores the negation of what is switched. The change callback gets the stored value after
// each change of it (not when the switch first shows).
class Toggle {
public:
    using OnChange = std::function<void(bool)>;

    Toggle(const Key<bool>& key, bool inverted,
           const std::function<platform::swiftui::View()>& label);
    Toggle(std::string title, const Key<bool>& key, bool inverted = false);
    Toggle(std::string title, std::string systemImage, const Key<bool>& key, bool inverted = false);

    // Replaces the callback; copies of this toggle share it, so the one set last is called.
    Toggle onChange(OnChange action) const;

    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;

private:
    platform::swiftui::ViewStorage<OnChange> onChange_;
    std::function<platform::swiftui::View()> label_;
    bool inverted_;
    std::shared_ptr<Observable<bool>> observable_;
};

} // namespace zestrel::Prefs

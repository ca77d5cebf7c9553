#include "hotkeys/RecorderViews.h"

#include "hotkeys/Hotkeys.h"
#include "platform/base/NotificationCenter.h"
#include "platform/concurrency/ObservableObject.h"
#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/LabeledContent.h"
#include "platform/swiftui/Text.h"
#include "ui/TooltipModifier.h"

#include <memory>
#include <utility>
#include <vector>

namespace zestrel::Hotkeys {

namespace sui = platform::swiftui;

namespace {

// Announces every change of one name's stored shortcut, so that the warning beside the
// control comes and goes with the shortcut.
class StoredShortcutObservable final : public platform::combine::ObservableObject {
public:
    explicit StoredShortcutObservable(Name name) : name_(std::move(name)) {
        token_ = platform::NotificationCenter::defaultCenter()->addObserver(
            shortcutByNameDidChange, {}, [this](const platform::Notification& notification) {
                const auto changed = nameFromNotification(notification);
                if (changed && *changed == name_) {
                    objectWillChange().send();
                }
            });
    }
    ~StoredShortcutObservable() override {
        platform::NotificationCenter::defaultCenter()->removeObserver(token_);
    }

private:
    Name name_;
    platform::ObserverToken token_;
};

} // namespace

RecorderRepresentable::RecorderRepresentable(Name name, RecorderCocoa::OnChange onChange)
    : View(sui::ViewRepresentable(
          [name, onChange = std::move(onChange)] { return RecorderCocoa::make(name, onChange); },
          [name](platform::NSView& view) {
              static_cast<RecorderCocoa&>(view).setShortcutName(name);
          })) {}

Recorder::Recorder(Name name, RecorderCocoa::OnChange onChange)
    : name(std::move(name)), onChange(std::move(onChange)) {}

Recorder::Recorder(std::string title, Name name, RecorderCocoa::OnChange onChange)
    : name(std::move(name)), onChange(std::move(onChange)), hasLabel(true),
      label(sui::Text(std::move(title))) {}

Recorder::Recorder(Name name, RecorderCocoa::OnChange onChange,
                   const std::function<sui::View()>& label)
    : name(std::move(name)), onChange(std::move(onChange)), hasLabel(true), label(label()) {}

sui::View Recorder::body(sui::ViewContext& context) const {
    sui::View content = RecorderRepresentable(name, onChange);
    if (refusesOptionOnlyShortcuts()) {
        // Kept per name: the observable of a name no longer shown goes with its place.
        context.stateObject<StoredShortcutObservable>("storedShortcut." + name.rawValue(), [this] {
            return std::make_shared<StoredShortcutObservable>(name);
        });
        std::vector<sui::View> row{content};
        const auto shortcut = getShortcut(name);
        if (shortcut && isOptionOnly(shortcut->modifiers())) {
            row.push_back(tooltip(
                sui::Image(kOptionOnlyWarningSymbol).modifier("foregroundStyle", ".black, .orange"),
                kOptionOnlyWarning));
        }
        content = sui::HStack(std::move(row));
    }
    if (hasLabel) {
        return sui::LabeledContent(content, label);
    }
    return content;
}

} // namespace zestrel::Hotkeys

#pragma once

#include "platform/appkit/NSView.h"
#include "platform/appkit/NSWindow.h"
#include "platform/base/Error.h"
#include "platform/base/Value.h"
#include "platform/swiftui/Binding.h"
#include "platform/swiftui/View.h"
#include "platform/swiftui/ViewState.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel {

using WindowBinding = platform::swiftui::Binding<std::shared_ptr<platform::NSWindow>>;

// The AppKit side of `WindowAccessor`: writes the window it is in into the binding each time
// that changes, none once it leaves.
class WindowAccessorView final : public platform::NSView {
public:
    explicit WindowAccessorView(WindowBinding windowBinding);
    std::string className() const override { return "WindowAccessorView"; }
    void viewDidMoveToWindow() override;

private:
    WindowBinding windowBinding_;
};

// Reads the window a view is shown in into a binding.
platform::swiftui::View WindowAccessor(WindowBinding window);

// Calls `onWindow` at every evaluation with the window known so far (none at first), so it
// runs again once the view arrives in a window or moves to another.
platform::swiftui::View
windowViewModifier(platform::swiftui::View content,
                   std::function<void(const std::shared_ptr<platform::NSWindow>&)> onWindow);

// Window settings a view applies to the window it is shown in.
platform::swiftui::View windowLevel(platform::swiftui::View content,
                                    platform::NSWindow::Level level);
platform::swiftui::View windowIsRestorable(platform::swiftui::View content, bool restorable);
// Posted to the main queue: the window keeps its minimize button only when `miniaturizable`.
platform::swiftui::View windowIsMiniaturizable(platform::swiftui::View content,
                                               bool miniaturizable);

// "Settings…" with Command-comma: opens the Settings window on the next turn of the main queue.
platform::swiftui::View SettingsButton();

// What the alert for an error shows beside its title (the error's description).
struct ErrorAlertContent {
    std::string title;
    std::optional<std::string> message;
    // One per recovery option, in order, then "Cancel"; empty when the error offers no way
    // to recover (the alert then has its default button).
    std::vector<std::string> buttons;
};
ErrorAlertContent errorAlertContent(const platform::Error& error);
// Asks the error's recovery attempter to try the option at `optionIndex`.
void attemptRecovery(const platform::Error& error, std::int64_t optionIndex);

// `View.alert(error:)`: shown while `error` holds one; dismissing it clears the binding.
platform::swiftui::View
alertForError(platform::swiftui::View content,
              platform::swiftui::Binding<std::optional<platform::Error>> error);

// Wraps the view in a navigation container only when asked.
platform::swiftui::View navigationView(platform::swiftui::View content, bool wrap);
platform::swiftui::View navigationStack(platform::swiftui::View content, bool wrap);

// A timeline schedule that ticks every second, or every 30 seconds in low-frequency mode.
// The requested start is not used: the first tick is now.
struct EverySecondTimelineSchedule {
    enum class Mode { normal, lowFrequency };
    struct Entries {
        platform::Date start;
        double interval = 1;
        // The tick at `index` (0 is the start).
        platform::Date at(std::size_t index) const {
            return start.addingTimeInterval(interval * static_cast<double>(index));
        }
    };
    Entries entries(platform::Date requestedStart, Mode mode) const;
};

// List editing bound to a collection: moving the items at `offsets` before `destination`
// (an index in the collection before the move), and removing the items at `offsets`.
template <class T>
void moveItems(std::vector<T>& items, const std::vector<std::size_t>& offsets,
               std::size_t destination) {
    std::vector<T> moved;
    std::vector<T> kept;
    std::size_t before = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const bool isMoved = std::find(offsets.begin(), offsets.end(), i) != offsets.end();
        if (isMoved) {
            moved.push_back(std::move(items[i]));
            if (i < destination) {
                ++before;
            }
        } else {
            kept.push_back(std::move(items[i]));
        }
    }
    const std::size_t at = std::min(destination - before, kept.size());
    kept.insert(kept.begin() + static_cast<std::ptrdiff_t>(at),
                std::make_move_iterator(moved.begin()), std::make_move_iterator(moved.end()));
    items = std::move(kept);
}
template <class T>
void removeItems(std::vector<T>& items, const std::vector<std::size_t>& offsets) {
    std::vector<T> kept;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (std::find(offsets.begin(), offsets.end(), i) == offsets.end()) {
            kept.push_back(std::move(items[i]));
        }
    }
    items = std::move(kept);
}
template <class T>
void moveItems(const platform::swiftui::Binding<std::vector<T>>& binding,
               const std::vector<std::size_t>& offsets, std::size_t destination) {
    auto items = binding.get();
    moveItems(items, offsets, destination);
    binding.set(items);
}
template <class T>
void removeItems(const platform::swiftui::Binding<std::vector<T>>& binding,
                 const std::vector<std::size_t>& offsets) {
    auto items = binding.get();
    removeItems(items, offsets);
    binding.set(items);
}
// The move and delete handlers of a list bound to a collection, both applied through the
// binding as it is when the user edits (not as it was when the list was built).
struct ListMoveAndDelete {
    std::function<void(const std::vector<std::size_t>& offsets, std::size_t destination)> onMove;
    std::function<void(const std::vector<std::size_t>& offsets)> onDelete;
};
template <class T>
ListMoveAndDelete onMoveAndDelete(const platform::swiftui::Binding<std::vector<T>>& binding) {
    return {[binding](const std::vector<std::size_t>& offsets, std::size_t destination) {
                moveItems(binding, offsets, destination);
            },
            [binding](const std::vector<std::size_t>& offsets) { removeItems(binding, offsets); }};
}
// Dropped items become elements through the caller's conversion, inserted at `offset`.
template <class T, class Provider>
void insertItems(const platform::swiftui::Binding<std::vector<T>>& binding, std::size_t offset,
                 const std::vector<Provider>& providers,
                 const std::function<std::vector<T>(const std::vector<Provider>&)>& convert) {
    auto items = binding.get();
    auto added = convert(providers);
    const std::size_t at = std::min(offset, items.size());
    items.insert(items.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    binding.set(items);
}

// The view shows except where `mask` is opaque.
platform::swiftui::View reverseMask(platform::swiftui::View content, std::string alignment,
                                    platform::swiftui::View mask);

// A view that keeps a value of its own and hands its content a binding of it.
template <class T> struct StateAccessView {
    T initialValue;
    std::function<platform::swiftui::View(platform::swiftui::Binding<T>)> content;
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const {
        const auto state = context.state<T>("state", initialValue);
        return content(state.binding());
    }
};

// The system font sizes, read once for the process's life.
double regularSystemFontSize();
double smallSystemFontSize();
// The content in the small system font and the secondary colour.
platform::swiftui::View secondaryTextStyle(platform::swiftui::View content);
// Multi-line text no wider than `maxWidth`.
platform::swiftui::View multilineTextMaxWidth(platform::swiftui::View content, double maxWidth);

// `AnyView`: views are already type-erased here; kept so callers read as the kit's other
// helpers do.
inline platform::swiftui::View eraseToAnyView(platform::swiftui::View view) {
    return view;
}

} // namespace zestrel

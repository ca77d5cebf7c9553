#pragma once

#include "platform/base/Geometry.h"
#include "platform/base/Value.h"

#include <functional>
#include <optional>
#include <string>

namespace zestrel::platform::swiftui {

class View;

enum class ColorScheme { light, dark };
// Whether the window holding the view is the key window, in front but not key, or inactive.
enum class ControlActiveState { key, active, inactive };
enum class ScenePhase { active, inactive, background };

// What a view reads from the place it is built in: set by a host or by an `environment`
// modifier for everything inside it. Actions never hold the view that reads them.
struct EnvironmentValues {
    // `openURL`: hands the URL on. The default opens it with the workspace.
    std::function<void(const URL&)> openURL;
    // `dismiss`: closes what presents the view (its window). Does nothing outside one.
    std::function<void()> dismiss;
    // The desktop's appearance when the host was made, unless set.
    ColorScheme colorScheme = ColorScheme::light;
    // False inside a `disabled(true)`: controls there cannot be used.
    bool isEnabled = true;
    ControlActiveState controlActiveState = ControlActiveState::key;
    ScenePhase scenePhase = ScenePhase::active;
    // The size offered to the view: its hosting view's. Zero outside one.
    CGSize containerSize;
    // Where a navigation link sends its destination: the enclosing navigation stack. Empty
    // outside one.
    std::function<void(const View&)> navigate;
    // What a save panel shown from inside starts in, and the name it is kept under.
    std::optional<URL> fileDialogDefaultDirectory;
    std::string fileDialogCustomizationID;

    // The defaults a host starts with.
    static EnvironmentValues standard();
};

} // namespace zestrel::platform::swiftui

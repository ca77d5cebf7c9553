#pragma once

#include "platform/appkit/NSStatusBar.h"
#include "platform/appkit/NSWindow.h"
#include "platform/concurrency/Task.h"
#include "preferences/Prefs.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The menu bar hides status items that do not fit. A short while after launch the app looks
// whether its own item really shows, and if it does not, says why in an alert.
namespace zestrel {

// "QV_NSStatusItem_ensureVisibility_shouldNotShowAgain" (standard defaults, false): true
// means the check never alerts again.
Prefs::Key<bool> statusItemShouldNotShowAgainKey();

// `NSStatusItem.ensureVisibility(extraMessage:offersOpenSettings:showsSuppressionButton:)`.
// Unless suppressed, waits 4 seconds (30 after a login-item launch), then for the screen to
// be unlocked, then one more second, and alerts when the item is in the menu bar yet not
// shown. The alert closes by itself once the item shows. Ends quietly when its task is
// cancelled while waiting. Await it from a task on the main actor; the check keeps the item
// alive until it ends.
platform::Task<void> ensureVisibility(std::shared_ptr<platform::NSStatusItem> statusItem,
                                      std::optional<std::string> extraMessage,
                                      bool offersOpenSettings, bool showsSuppressionButton);

// Whether the app shows a window, other than the menu bar's own kinds, at one level below the
// screen saver's: such a window covers the menu bar, so the item cannot show.
bool visibleWindowsAtLevel();

// The windows whose type name (`className`) is none of `excludingTypeNames`, in order.
std::vector<std::shared_ptr<platform::NSWindow>>
filterWindows(const std::vector<std::shared_ptr<platform::NSWindow>>& windows,
              const std::vector<std::string>& excludingTypeNames);

} // namespace zestrel

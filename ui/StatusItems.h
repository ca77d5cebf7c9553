#pragma once

#include "platform/appkit/NSGestureRecognizer.h"
#include "platform/appkit/NSStatusBar.h"
#include "platform/concurrency/Task.h"

#include <functional>
#include <memory>
#include <vector>

namespace zestrel {

// The status items the bar holds now, in the bar's order, read from the bar's private list
// (the platform offers no public one). Empty in a safe launch, and when the list cannot be
// read.
std::vector<std::shared_ptr<platform::NSStatusItem>>
statusItems(const platform::NSStatusBar& statusBar);
// The same from the private list's value: a pointer array of status items, or empty when it
// is missing, is something else, or holds anything but status items.
std::vector<std::shared_ptr<platform::NSStatusItem>>
statusItemsFromList(const platform::Value& list);

// Finishes as soon as the item is visible in the menu bar (at once when it is). It has no
// time limit of its own: callers race it against a timeout.
platform::Task<void> waitUntilVisible(std::shared_ptr<platform::NSStatusItem> item);

// A mouse event of the type at (0, 0) with the modifier keys held now, stamped with the
// system's continuous time: window 0, event 0, one click, full pressure.
std::shared_ptr<platform::NSEvent> mouseEvent(platform::NSEvent::EventType type);

// Gives the recognizer a closure as its action, through a target object that lives as long
// as the recognizer does. The closure gets the application's current event (the click), or
// a left mouse-down made by mouseEvent when there is none.
void setActionClosure(platform::NSGestureRecognizer& recognizer,
                      std::function<void(const platform::NSEvent& event)> closure);

// The welcome popover under the status-bar button ("Hello, I'm " and the app's name): shown
// with a nudge of the button, it ends when the user clicks it, clicks the menu-bar item (the
// item's own click then happens too), or after 6 seconds; the completion runs once, on the
// main queue, whichever ending comes first. Shown every time it is asked for; the caller
// decides whether it was shown before. Main thread only.
void showWelcomePopover(const std::shared_ptr<platform::NSStatusBarButton>& button,
                        std::function<void()> completion);
// Suspends until the welcome popover's run has ended; returns at once, showing nothing, when
// the button is gone by the time the main queue gets to it.
platform::Task<void> showWelcomePopover(std::weak_ptr<platform::NSStatusBarButton> button);

} // namespace zestrel

#pragma once

#include "platform/appkit/NSImage.h"
#include "platform/base/Value.h"
#include "platform/swiftui/View.h"

#include <memory>

namespace zestrel {

// The window from which the user passes the app's link on: copy it, share it, open it, or
// scan its QR code. A triple click on the code opens the developer debug window.
struct ShareAppScreen {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;

    // The store page (as https) when the app is listed there, else its web page, else the
    // maker's apps page.
    static platform::URL shareURL();
    // Opens a new share window (each command opens another one) and brings it forward.
    static void showWindow();
};

// The application's icon image; when it has none, a blank 1×1 image drawn by a handler that
// draws nothing.
std::shared_ptr<platform::NSImage> applicationIconImage();

} // namespace zestrel

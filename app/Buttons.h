#pragma once

#include "platform/base/Value.h"
#include "platform/swiftui/View.h"

#include <optional>
#include <string>

// The standard support commands of the app's menus, each a small view holding a button or a
// link. A command whose address is missing (FAQ without a web page, Rate App without a store
// listing) is not shown at all. Main thread only.
namespace zestrel::Buttons {

// "About": the standard About panel, kept above other windows.
struct About {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
    static void action();
};

// The feedback web page, with the app's metadata.
struct SendFeedback {
    std::string title;
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

// "FAQ": a link to `url`, else to the product page's "faq" section.
struct AppFAQ {
    std::optional<platform::URL> url;
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

// "Website": the product page; nothing without one.
struct AppWebsite {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

// "Rate App": the first click ever asks first (the rating prompt), later ones open the review
// page.
struct RateApp {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
    static void action();
};

// "Share App": the share window; with Control+Option held it copies the debug report, with
// Option it opens the developer debug window.
struct ShareApp {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
    static void action();
};

// "More Apps by Me": the maker's page in the store app, or on the web.
struct MoreApps {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

// "Debug", only in debug mode: the developer debug window.
struct Debug {
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

// "Quit", or "Quit " + the app's name; Command-Q.
struct Quit {
    bool showName = false;
    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;
};

} // namespace zestrel::Buttons

namespace zestrel {

// The feedback page with "product", "metadata" and, when given, "messageField" and
// "extraInfo".
platform::URL feedbackURL(const std::optional<std::string>& message,
                          const std::optional<std::string>& extraInfo);
// The store's review page of the app.
std::optional<platform::URL> writeReviewURL(const std::string& appStoreID);
// The store's review page when the app is listed there, else the web store's page; nothing
// when there is neither.
void openWriteReviewPage();
// Asks whether the user means to rate or to send feedback, then opens the chosen page.
void showRateAppPrompt();

} // namespace zestrel

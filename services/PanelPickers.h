#pragma once

#include "platform/appkit/NSOpenPanel.h"
#include "platform/base/Value.h"

#include <functional>
#include <optional>
#include <string>

// Open-panel delegates that restrict what the user may choose.
namespace zestrel {

namespace DirectoryPicker {

// Enables the items the caller's test lets through; every item when there is no test.
class NSOpenSavePanelDelegateHandler final : public platform::NSObject,
                                             public platform::NSOpenSavePanelDelegate {
public:
    NSOpenSavePanelDelegateHandler() = default;
    explicit NSOpenSavePanelDelegateHandler(std::function<bool(const platform::URL&)> shouldEnable)
        : shouldEnable(std::move(shouldEnable)) {}

    // Empty: no test.
    std::function<bool(const platform::URL&)> shouldEnable;

    std::string className() const override {
        return "DirectoryPicker.NSOpenSavePanelDelegateHandler";
    }
    bool panelShouldEnableURL(const platform::NSOpenPanel& panel,
                              const platform::URL& url) override;
};

} // namespace DirectoryPicker

namespace AppPicker {

// Accepts applications only, never this app itself: an item named like this app's bundle is
// greyed out wherever it lies; a chosen item that is no application is refused with "The
// selected item is not an app.", and an application must pass the caller's check when
// there is one.
class NSOpenSavePanelDelegateHandler final : public platform::NSObject,
                                             public platform::NSOpenSavePanelDelegate {
public:
    // `filename` is the app's name followed by ".app".
    NSOpenSavePanelDelegateHandler();

    std::string filename;
    // Throws to refuse an application; empty: no check.
    std::function<void(const platform::URL&)> validate;

    std::string className() const override { return "AppPicker.NSOpenSavePanelDelegateHandler"; }
    bool panelShouldEnableURL(const platform::NSOpenPanel& panel,
                              const platform::URL& url) override;
    // A failure to read whether the item is an application is the refusal's error.
    bool panelValidateURL(const platform::NSOpenPanel& panel, const platform::URL& url,
                          std::optional<platform::Error>* error) override;
};

} // namespace AppPicker

} // namespace zestrel

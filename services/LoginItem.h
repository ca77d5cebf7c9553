#pragma once

#include "platform/concurrency/ObservableObject.h"
#include "platform/swiftui/View.h"

#include <functional>
#include <memory>
#include <string>

namespace zestrel::QVApp {

// Whether the app starts at login. The login item itself is the state: reading asks the
// service each time, so a failed change shows the real state afterwards.
class LoginItemObservable final : public platform::combine::ObservableObject {
public:
    // The process's one instance.
    static const std::shared_ptr<LoginItemObservable>& shared();

    bool isEnabled() const;
    // Registers or unregisters the login item; switching it on while it is on registers it
    // afresh. A failure is reported with "newValue" and shown.
    void setEnabled(bool newValue);
};

} // namespace zestrel::QVApp

namespace zestrel {

// A switch bound to the login item.
class LoginItemToggle {
public:
    explicit LoginItemToggle(std::function<platform::swiftui::View()> label);
    // A title, shown as it is (there are no translations to look a key up in).
    explicit LoginItemToggle(std::string title);

    platform::swiftui::View body(platform::swiftui::ViewContext& context) const;

private:
    std::function<platform::swiftui::View()> label_;
    std::shared_ptr<QVApp::LoginItemObservable> loginItem_;
};

} // namespace zestrel

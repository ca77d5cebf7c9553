#include "services/LoginItem.h"

#include "foundation/ErrorPresentation.h"
#include "foundation/ErrorReporter.h"
#include "platform/base/ProcessLocal.h"
#include "platform/swiftui/Binding.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/Toggle.h"
#include "platform/system/SMAppService.h"

#include <utility>

namespace zestrel {

namespace pf = platform;
namespace swiftui = platform::swiftui;

namespace QVApp {

const std::shared_ptr<LoginItemObservable>& LoginItemObservable::shared() {
    static auto* const instance = new pf::ProcessLocal<std::shared_ptr<LoginItemObservable>>([] {
        return std::make_unique<std::shared_ptr<LoginItemObservable>>(
            std::make_shared<LoginItemObservable>());
    });
    return **instance;
}

bool LoginItemObservable::isEnabled() const {
    return pf::SMAppService::mainAppService().status() == pf::SMAppService::Status::enabled;
}

void LoginItemObservable::setEnabled(bool newValue) {
    objectWillChange().send();
    const auto service = pf::SMAppService::mainAppService();
    try {
        if (newValue) {
            if (service.status() == pf::SMAppService::Status::enabled) {
                // Registered afresh, so the entry starts the app as it is now.
                try {
                    service.unregisterAndReturnError();
                } catch (const pf::Error&) {
                }
            }
            service.registerAndReturnError();
        } else {
            service.unregisterAndReturnError();
        }
    } catch (const pf::Error& error) {
        reportError(error, {{"newValue", pf::Value(newValue)}});
        presentAsModalLegacy(error);
    }
}

} // namespace QVApp

LoginItemToggle::LoginItemToggle(std::function<swiftui::View()> label)
    : label_(std::move(label)), loginItem_(QVApp::LoginItemObservable::shared()) {}

LoginItemToggle::LoginItemToggle(std::string title)
    : LoginItemToggle([title = std::move(title)] { return swiftui::Text(title); }) {}

swiftui::View LoginItemToggle::body(swiftui::ViewContext& context) const {
    const auto loginItem = context.observe(loginItem_);
    const swiftui::Binding<bool> isOn([loginItem] { return loginItem->isEnabled(); },
                                      [loginItem](const bool& on) { loginItem->setEnabled(on); });
    return swiftui::Toggle(isOn, label_());
}

} // namespace zestrel

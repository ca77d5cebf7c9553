#include "services/PanelPickers.h"

#include "foundation/ErrorUserInfo.h"
#include "foundation/QVApp.h"
#include "platform/data/NSFileManager.h"
#include "services/Bookmarks.h"
#include "services/FileSystem.h"

namespace zestrel {

namespace pf = platform;

bool DirectoryPicker::NSOpenSavePanelDelegateHandler::panelShouldEnableURL(
    const pf::NSOpenPanel& /*panel*/, const pf::URL& url) {
    return shouldEnable ? shouldEnable(url) : true;
}

AppPicker::NSOpenSavePanelDelegateHandler::NSOpenSavePanelDelegateHandler()
    : filename(QVApp::name() + ".app") {}

bool AppPicker::NSOpenSavePanelDelegateHandler::panelShouldEnableURL(
    const pf::NSOpenPanel& /*panel*/, const pf::URL& url) {
    return url.lastPathComponent() != filename;
}

bool AppPicker::NSOpenSavePanelDelegateHandler::panelValidateURL(const pf::NSOpenPanel& /*panel*/,
                                                                 const pf::URL& url,
                                                                 std::optional<pf::Error>* error) {
    return detail::answerValidation(
        [&] {
            if (!boolResourceValue(url, pf::NSURLIsApplicationKey, false)) {
                throw appError("The selected item is not an app.",
                               {.recoverySuggestion = "Please select an app."});
            }
            if (validate) {
                validate(url);
            }
        },
        error);
}

} // namespace zestrel

#include "platform/swiftui/App.h"

#include "platform/base/Bundle.h"
#include "platform/base/ProcessLocal.h"

#include <optional>
#include <string>

namespace zestrel::platform::swiftui {

namespace {

ProcessLocal<std::optional<LaunchedApp>>& launched() {
    static auto* const local = new ProcessLocal<std::optional<LaunchedApp>>();
    return *local;
}

std::string bundleName() {
    const auto& info = Bundle::main()->infoDictionary();
    const auto found = info.find("CFBundleName");
    const std::string* name = found == info.end() ? nullptr : found->second.asString();
    return name ? *name : "";
}

} // namespace

const LaunchedApp& launchApp(const std::function<std::shared_ptr<App>()>& make) {
    auto& app = launched().get();
    if (app) {
        return *app;
    }
    auto made = make();
    auto scenes = SceneHost::make(
        [weak = std::weak_ptr<App>(made)] {
            const auto alive = weak.lock();
            return alive ? alive->body() : std::vector<Scene>{};
        },
        bundleName());
    app = LaunchedApp{std::move(made), std::move(scenes)};
    NSApp().finishLaunching();
    return *app;
}

const LaunchedApp* launchedApp() {
    const auto& app = launched().get();
    return app ? &*app : nullptr;
}

int runApp(const std::function<std::shared_ptr<App>()>& make) {
    launchApp(make);
    NSApp().run();
    return 0;
}

} // namespace zestrel::platform::swiftui

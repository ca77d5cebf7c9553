#pragma once

#include "platform/appkit/NSApplication.h"
#include "platform/swiftui/Scene.h"

#include <functional>
#include <memory>
#include <vector>

// The declarative application: a value whose initializer sets the app up and whose body
// lists its scenes, and the entry that runs it.
namespace zestrel::platform::swiftui {

// `@NSApplicationDelegateAdaptor`: makes the delegate once, makes it the application's
// delegate and keeps it (the application holds its delegate weakly).
template <class Delegate> class NSApplicationDelegateAdaptor {
public:
    NSApplicationDelegateAdaptor() : delegate_(std::make_shared<Delegate>()) {
        NSApp().setDelegate(delegate_);
    }
    const std::shared_ptr<Delegate>& wrappedValue() const { return delegate_; }

private:
    std::shared_ptr<Delegate> delegate_;
};

// An application. A subclass's constructor is the app's initializer; `body` is evaluated
// after it, and again whenever an observable property it read changes.
class App {
public:
    virtual ~App() = default;
    virtual std::vector<Scene> body() const = 0;
};

// The application of this process as launched: the app value and the host of its scenes,
// both kept until the process ends.
struct LaunchedApp {
    std::shared_ptr<App> app;
    std::shared_ptr<SceneHost> scenes;
};

// The application entry without its run loop: makes the app (`make` runs its initializer),
// builds its scenes, then finishes launching (the did-finish-launching notification). Once
// per process; later calls answer the app launched first. Main thread only.
const LaunchedApp& launchApp(const std::function<std::shared_ptr<App>()>& make);
// The app this process launched; nothing before `launchApp`.
const LaunchedApp* launchedApp();
// `App.main()`: launches, then runs the main run loop until the application terminates.
int runApp(const std::function<std::shared_ptr<App>()>& make);

} // namespace zestrel::platform::swiftui

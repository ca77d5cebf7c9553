#include "app/DebugWindowController.h"

#include "foundation/ApplicationActivation.h"
#include "foundation/Logger.h"
#include "foundation/TaskStarters.h"
#include "platform/concurrency/Task.h"

namespace zestrel {

DebugWindowController::DebugWindowController() : SingletonWindowController(nullptr) {}

void DebugWindowController::show() {
    forceActivate();
    const auto controller = SingletonWindowController::shared<DebugWindowController>();
    if (!controller->window()) {
        logMessage({platform::Value("The developer debug window is not part of this build")});
        return;
    }
    if (controller->shouldActivateWindowWhenAppIsAccessory) {
        forceActivate();
    }
    startMainActorTask(std::nullopt, []() -> platform::Task<void> {
        SingletonWindowController::show<DebugWindowController>();
        co_return;
    });
}

} // namespace zestrel

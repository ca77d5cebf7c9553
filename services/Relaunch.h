#pragma once

#include "platform/concurrency/Task.h"

namespace zestrel {

// How the app relaunches.
struct RelaunchOptions {
    // Once the new instance has been started, leave with exit(0) instead of terminating
    // through the application object.
    bool exitsImmediately = false;
    // A failure is reported but not shown.
    bool isSilent = false;
    // The new instance opens its Settings window.
    bool showsSettingsAfterRelaunch = false;
    // Start the new instance through the shell instead of the workspace.
    bool usesShell = false;
};

// Quits this instance and starts a fresh one, marking the defaults so that the new one knows
// it was relaunched. A request while one is under way does nothing. A failed start through
// the workspace is tried once more with the app's URL as the workspace finds it; a failure is
// then reported and, unless silent, shown, and the relaunch marks are cleared. Runs on the
// main actor; callers start it in a task of its own.
platform::Task<void> relaunchApp(RelaunchOptions options = {});

// The shell relaunch alone: "/bin/sh" waits 0.2 seconds and opens the main bundle again
// while this instance leaves. A failure to start the shell is reported and, unless silent,
// shown.
void shellRelaunch(bool exitsImmediately, bool isSilent);

} // namespace zestrel

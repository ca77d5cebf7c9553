#pragma once

#include "foundation/AtomicArray.h"
#include "foundation/AtomicDictionary.h"
#include "foundation/Bytes.h"
#include "foundation/QVApp.h"
#include "platform/base/Value.h"
#include "platform/data/Formatters.h"
#include "platform/desktop/AppleEvent.h"
#include "preferences/Prefs.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// The app's launch history and launch event, and the registries of debug information.
// Each fact is computed on first read and constant for the rest of the process; reading
// one may change the stored bookkeeping, so the app forces them in a fixed order at launch
// (`forceLaunchBookkeeping`).
namespace zestrel::QVApp {

// "QV_launchCount" plus one, stored; the count of this launch. A count already at the
// integer limit stays there.
std::int64_t launchCount();
bool isFirstLaunch();
bool isSecondLaunch();
// "QV_firstLaunchDate", stored as now when there was none.
platform::Date firstLaunchDate();
// "QV_previousLaunchedVersion" as it was (this version when none), then set to this version.
const std::string& previousVersion();
platform::Date launchDate();
Bytes availableMemoryAtLaunch();
// "QVApp_wasRelaunched" as it was; the key is removed, so it is true for one launch.
bool wasRelaunched();

// The Apple event the app was launched with, when there was one.
const std::shared_ptr<platform::NSAppleEventDescriptor>& launchAppleEvent();
// Launched with 'oapp' whose 'prdt' is 'lgit'.
bool wasLaunchedAsLoginItem();

// The preference keys of the relaunch hand-over.
Prefs::Key<bool> wasRelaunchedKey();
Prefs::Key<bool> isShowingSettingsAfterRelaunchKey();

// Formats the time since launch for the debug report.
const platform::DateComponentsFormatter& durationFormatter();

// Launch bookkeeping at start-up, in order: launch count, launch date, first launch date,
// previous version, memory at launch, relaunch flag. Nothing in a safe launch.
void forceLaunchBookkeeping();
// Forces the launch event, the launching process, its running application and the
// login-item fact, in that order, while the launch event is still current.
void initializeAppStatics();
// When the relaunched app should show its settings: clears the flag and posts the opening
// of the Settings window to the main queue.
void showSettingsIfRelaunched();

using DebugInfoValueProvider = std::function<platform::Value()>;
using DebugInfoProvider = std::function<platform::Value::Dictionary()>;
AtomicDictionary<std::string, platform::Value>& debugInfoValues();
AtomicDictionary<std::string, DebugInfoValueProvider>& debugInfoValueProviders();
AtomicArray<DebugInfoProvider>& debugInfoProviders();

// A confirmed reset of all settings and data is under way: this instance only waits for its
// relaunch, and the launch work still pending returns at once, so that nothing writes the
// wiped settings again before the new instance starts. Main thread only.
bool isResettingSettingsAndData();
void beginResettingSettingsAndData();

// Run once each, in order, when the app has finished launching.
std::vector<std::function<void()>>& didFinishLaunchingHandlers();
void runDidFinishLaunchingHandlers();

} // namespace zestrel::QVApp

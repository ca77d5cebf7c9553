#pragma once

#include "platform/base/NotificationCenter.h"
#include "platform/desktop/NSRunningApplication.h"

#include <memory>
#include <optional>
#include <string_view>

namespace zestrel {

// The process identifier of the first application the workspace lists for the bundle
// identifier; nothing when none runs.
std::optional<int> processIdentifiers(std::string_view bundleIdentifier);

// The application a workspace notification names (under `NSWorkspaceApplicationKey`). Only
// notifications that always carry one are asked, so a missing or foreign value is a
// programming error.
std::shared_ptr<platform::NSRunningApplication>
runningApplication(const platform::Notification& notification);

// Maps any notification to false (the second of a pair of on/off notifications).
inline bool setFalse(const platform::Notification& /*notification*/) {
    return false;
}

} // namespace zestrel

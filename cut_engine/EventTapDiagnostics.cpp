#include "cut_engine/EventTapDiagnostics.h"

#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"
#include "foundation/RunningApplication.h"
#include "foundation/TextUtilities.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/EventTap.h"
#include "services/EventNames.h"
#include "services/QVProcessID.h"

#include <array>
#include <string_view>
#include <utility>

namespace zestrel {
namespace {

using platform::CGError;
using platform::Value;

constexpr std::array<std::string_view, 11> kCaseNames{
    "failure",        "illegalArgument",  "invalidConnection", "invalidContext",
    "cannotComplete", "notImplemented",   "rangeCheck",        "typeCheck",
    "noCurrentPoint", "invalidOperation", "noneAvailable"};

class CustomCGErrorBody final : public platform::ErrorBody {
public:
    explicit CustomCGErrorBody(CustomCGError error) : error_(error) {}
    CustomCGError error() const { return error_; }
    std::string typeName() const override { return "Zestrel.CustomCGError"; }
    std::string describe() const override {
        return std::string(kCaseNames[static_cast<std::size_t>(error_)]);
    }
    std::string debugDescribe() const override { return typeName() + "." + describe(); }
    std::int64_t errorCode() const override { return static_cast<std::int64_t>(error_); }

private:
    CustomCGError error_;
};

constexpr std::uint32_t kTapListCapacity = 100;

// The code-signing facts of a process, an application or not, or nothing when it does not
// exist (asking for its process group fails) or its signature cannot be read.
Value bundleInfo(std::int32_t pid) {
    if (pid <= 0 || !platform::Desktop::current()->processGroupIdentifier(pid)) {
        return Value();
    }
    std::optional<QVProcessID::BundleInfo> info;
    try {
        info = QVProcessID{pid}.bundleInfo();
    } catch (const platform::Error&) {
        return Value();
    }
    if (!info) {
        return Value();
    }
    Value::Dictionary result{
        {"identifier", Value(info->identifier)},
        {"name", Value(info->name)},
        {"version", Value(info->version)},
        {"displayName", Value(info->displayName)},
        {"url", Value(info->url)},
        {"signedIdentifier",
         info->signedIdentifier ? Value::some(*info->signedIdentifier) : Value::null()},
    };
    return Value::some(Value(std::move(result)));
}

} // namespace

CustomCGError customCGError(CGError code) {
    switch (code) {
    case CGError::illegalArgument:
        return CustomCGError::illegalArgument;
    case CGError::invalidConnection:
        return CustomCGError::invalidConnection;
    case CGError::invalidContext:
        return CustomCGError::invalidContext;
    case CGError::cannotComplete:
        return CustomCGError::cannotComplete;
    case CGError::notImplemented:
        return CustomCGError::notImplemented;
    case CGError::rangeCheck:
        return CustomCGError::rangeCheck;
    case CGError::typeCheck:
        return CustomCGError::typeCheck;
    case CGError::invalidOperation:
        return CustomCGError::invalidOperation;
    case CGError::noneAvailable:
        return CustomCGError::noneAvailable;
    case CGError::success:
        reportError(GeneralError::make("`success` case was incorrectly passed"), {}, "Utilities");
        return CustomCGError::failure;
    default:
        return CustomCGError::failure;
    }
}

platform::Error makeCustomCGError(CustomCGError error) {
    return platform::Error::make<CustomCGErrorBody>(error);
}

std::optional<CustomCGError> customCGErrorCase(const platform::Error& error) {
    if (const auto* body = error.as<CustomCGErrorBody>()) {
        return body->error();
    }
    return std::nullopt;
}

std::vector<platform::CGEventTapInformation> installedTaps() {
    std::vector<platform::CGEventTapInformation> taps(kTapListCapacity);
    std::uint32_t count = 0;
    const CGError result = platform::CGGetEventTapList(kTapListCapacity, taps.data(), &count);
    if (result != CGError::success) {
        throw makeCustomCGError(customCGError(result));
    }
    taps.resize(std::min(count, kTapListCapacity));
    return taps;
}

std::set<platform::CGEventType> eventTypes(platform::CGEventMask mask) {
    std::set<platform::CGEventType> types;
    for (std::uint32_t bit = 0; bit < 64; ++bit) {
        if ((mask >> bit) & 1U) {
            types.insert(static_cast<platform::CGEventType>(bit));
        }
    }
    return types;
}

std::string debugName(platform::CGEventTapLocation location) {
    switch (location) {
    case platform::CGEventTapLocation::hid:
        return "cghidEventTap";
    case platform::CGEventTapLocation::session:
        return "cgSessionEventTap";
    case platform::CGEventTapLocation::annotatedSession:
        return "cgAnnotatedSessionEventTap";
    }
    return "<Unknown: " + std::to_string(static_cast<std::uint32_t>(location)) + ">";
}

std::string debugName(platform::CGEventTapOptions options) {
    switch (options) {
    case platform::CGEventTapOptions::defaultTap:
        return "defaultTap";
    case platform::CGEventTapOptions::listenOnly:
        return "listenOnly";
    }
    return "<Unknown: " + std::to_string(static_cast<std::uint32_t>(options)) + ">";
}

std::string debugName(platform::CGEventType type) {
    if (const char* name = caseName(type)) {
        return name;
    }
    return "unknown(" + std::to_string(static_cast<std::uint32_t>(type)) + ")";
}

OrderedDictionary<std::string, Value> debugDescription(const platform::CGEventTapInformation& tap) {
    std::string events;
    for (const auto type : eventTypes(tap.eventsOfInterest)) {
        if (!events.empty()) {
            events += ", ";
        }
        events += debugName(type);
    }
    const auto finder = processIdentifiers("com.apple.finder");
    OrderedDictionary<std::string, Value> description;
    description.set("id", Value(tap.eventTapID));
    description.set("isEnabled", Value(tap.enabled));
    description.set("tapPoint", Value(debugName(tap.tapPoint)));
    description.set("options", Value(debugName(tap.options)));
    description.set("eventsOfInterest", Value(events));
    description.set("tappingProcess - ID", Value(tap.tappingProcess));
    description.set("tappingProcess - Info", bundleInfo(tap.tappingProcess));
    description.set("processBeingTapped - ID", Value(tap.processBeingTapped));
    description.set("processBeingTapped - Info", bundleInfo(tap.processBeingTapped));
    description.set("isFinderBeingTapped", Value(finder && *finder == tap.processBeingTapped));
    return description;
}

std::string eventTapsDebugText() {
    std::vector<platform::CGEventTapInformation> taps;
    try {
        taps = installedTaps();
    } catch (const platform::Error&) {
        return "<Failed to get event taps>";
    }
    std::string text = "\nEVENT TAPS\n\n";
    bool first = true;
    for (const auto& tap : taps) {
        if (!tap.enabled) {
            continue;
        }
        if (!first) {
            text += "\n\n";
        }
        first = false;
        text += keyValueLines(debugDescription(tap));
    }
    return text;
}

} // namespace zestrel

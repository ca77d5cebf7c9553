#include "foundation/QVApp.h"

#include "foundation/LaunchModes.h"
#include "platform/appkit/NSApplication.h"
#include "platform/appkit/NSMenu.h"
#include "platform/base/Bundle.h"
#include "platform/base/Error.h"
#include "platform/base/ProcessLocal.h"
#include "platform/desktop/NSEvent.h"

#include <charconv>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>

namespace zestrel::QVApp {
namespace {

using platform::Bundle;
using platform::ProcessLocal;

// A fact is a process-local computed by `compute` on first read; the local is leaked on
// purpose so that it can be read while other statics are torn down.
template <class T, class Compute> T& fact(Compute compute) {
    static auto* const local =
        new ProcessLocal<T>([compute] { return std::make_unique<T>(compute()); });
    return **local;
}

std::string infoText(const char* key) {
    const auto bundle = Bundle::main();
    const auto& info = bundle->infoDictionary();
    const auto found = info.find(key);
    if (found == info.end()) {
        platform::fatal(std::string("The main bundle has no ") + key + ".");
    }
    const std::string* text = found->second.asString();
    if (text == nullptr) {
        platform::fatal(std::string("The main bundle's ") + key + " is not a text.");
    }
    return *text;
}

// Digits with an optional leading "+" or "-"; leading zeros are fine. Nothing else, not
// even white space.
std::optional<std::int64_t> parseDecimal(std::string_view text) {
    std::string_view digits = text;
    const bool negative = !digits.empty() && digits.front() == '-';
    if (!digits.empty() && (digits.front() == '+' || negative)) {
        digits.remove_prefix(1);
    }
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    // from_chars takes the minus sign itself, so the most negative value parses too.
    const std::string_view number = negative ? text : digits;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size()) {
        return std::nullopt;
    }
    return value;
}

} // namespace

const std::string& id() {
    return fact<std::string>([] {
        auto identifier = Bundle::main()->bundleIdentifier();
        if (!identifier) {
            platform::fatal("The main bundle has no bundle identifier.");
        }
        return *identifier;
    });
}

const std::string& name() {
    return fact<std::string>([] { return infoText(platform::kCFBundleNameKey); });
}

const std::string& version() {
    return fact<std::string>([] { return infoText(platform::kCFBundleShortVersionStringKey); });
}

std::int64_t build() {
    return fact<std::int64_t>([] {
        const std::string text = infoText(platform::kCFBundleVersionKey);
        const auto value = parseDecimal(text);
        if (!value) {
            platform::fatal("The main bundle's CFBundleVersion \"" + text +
                            "\" is not a decimal integer.");
        }
        return *value;
    });
}

const std::string& versionWithBuild() {
    return fact<std::string>([] { return version() + " (" + std::to_string(build()) + ")"; });
}

const platform::URL& url() {
    return fact<platform::URL>([] { return Bundle::main()->bundleURL(); });
}

bool isSandboxed() {
    return fact<bool>([] { return std::getenv("APP_SANDBOX_CONTAINER_ID") != nullptr; });
}

bool isTranslocated() {
    return fact<bool>([] { return url().path().find("/AppTranslocation/") != std::string::npos; });
}

bool isiOSAppOnMac() {
    return false;
}

std::shared_ptr<platform::NSMenu> initialMainMenu() {
    return fact<std::shared_ptr<platform::NSMenu>>([] { return platform::NSApp().mainMenu(); });
}

bool isSafeLaunch() {
    return fact<bool>([] {
        using Flags = platform::NSEvent::ModifierFlags;
        return launchGestureFlags(platform::NSEvent::modifierFlags()) ==
               (Flags::shift | Flags::option);
    });
}

} // namespace zestrel::QVApp

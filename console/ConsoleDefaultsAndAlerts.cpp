#include "console/Console.h"

#include "console/ConsoleText.h"
#include "console/PropertyListLiteral.h"
#include "platform/appkit/ModalResponder.h"
#include "platform/appkit/NSAlert.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/Accessibility.h"
#include "platform/desktop/Desktop.h"
#include "platform/system/SystemSound.h"
#include "platform/system/URLOpener.h"

#include <algorithm>
#include <utility>
#include <vector>

// The app's defaults and alerts: what the app keeps and shows, and the settings of the
// desktop it runs on.
namespace zestrel::console {

using namespace zestrel::platform;

void Console::performDefaultsAndAlerts(const Command& command) {
    const auto& arguments = command.arguments;
    switch (command.kind) {
    case CommandKind::defaults: {
        const auto defaults = UserDefaults::standard();
        const auto& key = arguments[1];
        if (arguments[0] == "write") {
            const auto value = parsePropertyListLiteral(arguments[2]);
            defaults->set(value, key);
            say(key + " = " + propertyListLiteral(value));
        } else if (arguments[0] == "delete") {
            defaults->removeObject(key);
            say("deleted " + key);
        } else {
            const auto value = defaults->object(key);
            say(value.isAbsent() ? key + " is not set" : key + " = " + propertyListLiteral(value));
        }
        break;
    }
    case CommandKind::accessibility: {
        const bool trusted = arguments[0] == "trusted";
        Accessibility::current()->setTrusted(trusted);
        say(std::string("accessibility: ") + (trusted ? "trusted" : "not trusted"));
        break;
    }
    case CommandKind::latency: {
        const auto latency = parseSeconds(arguments[1]);
        const bool finder = arguments[0] == "finder";
        if (finder) {
            desktop_->setCopyLatency(kFinderBundleIdentifier, latency);
        } else {
            desktop_->setCopyLatency(kForkLiftBundleIdentifier, latency);
            desktop_->setCopyLatency(kForkLiftSetappBundleIdentifier, latency);
        }
        say(std::string(finder ? "the Finder" : "ForkLift") + " copies " + arguments[1] +
            " s after the key");
        break;
    }
    case CommandKind::answer:
        responder_->enqueue(ModalAnswer::button(arguments[0]));
        say("the next alert is answered " + quotedString(arguments[0]));
        break;
    default:
        break;
    }
}

void Console::showDefaultsAndAlerts(const std::string& what) {
    if (what == "defaults") {
        const auto defaults = UserDefaults::standard();
        const auto domain =
            defaults->persistentDomain(defaults->domainName()).value_or(Value::Dictionary{});
        say("defaults of " + defaults->domainName() + (domain.empty() ? ": empty" : ":"));
        for (const auto& [key, value] : domain) {
            say("  " + key + " = " + propertyListLiteral(value));
        }
    } else if (what == "alerts") {
        const auto alerts = shownAlerts();
        say(alerts.empty() ? "alerts: none" : "alerts:");
        const char* styles[] = {"warning", "informational", "critical"};
        for (std::size_t i = 0; i < alerts.size(); ++i) {
            const auto& alert = alerts[i];
            std::string line =
                "  " + std::to_string(i + 1) + ". " +
                styles[std::min<std::size_t>(static_cast<std::size_t>(alert.style), 2)] + " " +
                quotedString(alert.messageText);
            if (!alert.informativeText.empty()) {
                line += " " + quotedString(alert.informativeText);
            }
            std::vector<std::string> buttons;
            for (const auto& button : alert.buttons) {
                buttons.push_back(quotedString(button));
            }
            line += " buttons " + (buttons.empty() ? std::string("none") : joined(buttons, ", "));
            if (alert.unattended) {
                line += ", nobody answered";
            } else if (!alert.response) {
                line += ", showing";
            } else {
                const auto index = *alert.response - NSAlertFirstButtonReturn;
                line += index >= 0 && static_cast<std::size_t>(index) < alert.buttons.size()
                            ? ", answered " + quotedString(alert.buttons[index])
                            : ", ended with response " + std::to_string(*alert.response);
            }
            say(line);
        }
    } else if (what == "sounds") {
        say("sounds: " + counted(SystemSoundServer::plays().size(), "play") + ", " +
            counted(SystemSoundServer::registeredSounds().size(), "sound") + " held");
    } else if (what == "opened") {
        const auto urls = openedURLs();
        say(urls.empty() ? "opened: none" : "opened:");
        for (const auto& url : urls) {
            say("  " + url.absoluteString());
        }
    }
}

std::vector<NSAlert::Record> Console::shownAlerts() const {
    auto alerts = endedAlerts_;
    for (auto& alert : NSAlert::shownAlerts()) {
        alerts.push_back(std::move(alert));
    }
    return alerts;
}

std::vector<URL> Console::openedURLs() const {
    auto urls = endedOpenedURLs_;
    for (auto& url : URLOpener::openedURLs()) {
        urls.push_back(std::move(url));
    }
    return urls;
}

} // namespace zestrel::console

#include "console/Console.h"

#include "console/ConsoleResponder.h"
#include "console/ConsoleText.h"
#include "console/PropertyListLiteral.h"
#include "platform/appkit/MailComposeService.h"
#include "platform/appkit/ModalResponder.h"
#include "platform/appkit/NSAlert.h"
#include "platform/appkit/NSSharingServicePicker.h"
#include "platform/appkit/NSSound.h"
#include "platform/data/UserDefaults.h"
#include "platform/desktop/Accessibility.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/FileManagerApp.h"
#include "platform/system/SystemSound.h"
#include "platform/system/URLOpener.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

// The app's defaults and alerts: what the app keeps and shows, and the settings of the
// desktop it runs on.
namespace zestrel::console {

using namespace zestrel::platform;

namespace {

// A text quoted, up to its first line break or its 60th character; the rest is counted.
std::string abridged(const std::string& text) {
    const auto start = startOf(text, 60, true);
    return start == text
               ? quotedString(text)
               : quotedString(start) + " (" + counted(characterCount(text), "character") + ")";
}

// The defaults lie beside the app's home: their file is named from it, so that the output
// writes it from `$HOME`, the same on every run.
std::string fromHome(const std::filesystem::path& file) {
    try {
        if (const auto home = appHome()) {
            return (*home / realPath(file).lexically_relative(*home)).string();
        }
    } catch (const Error&) {
    }
    return file.string();
}

// A change (an absent value deletes the key) is made only once the defaults database has
// stored it; else its command fails and the defaults stay as they were, in the app and in
// their file.
void requireStored(UserDefaults& defaults, const Value& value, const std::string& key) {
    if (const auto failure = defaults.store(value, key)) {
        throw CommandError(key + " could not be stored: cannot write " + fromHome(defaults.file()) +
                           ": " + *failure);
    }
}

} // namespace

void Console::performDefaultsAndAlerts(const Command& command) {
    const auto& arguments = command.arguments;
    switch (command.kind) {
    case CommandKind::defaults: {
        const auto defaults = UserDefaults::standard();
        const auto& key = arguments[1];
        if (arguments[0] == "write") {
            const auto value = parsePropertyListLiteral(arguments[2]);
            requireStored(*defaults, value, key);
            say(key + " = " + propertyListLiteral(value));
        } else if (arguments[0] == "delete") {
            const auto domain = defaults->persistentDomain(defaults->domainName());
            if (!domain || !domain->contains(key)) {
                say(key + " is not in the defaults of " + defaults->domainName() +
                    ": nothing deleted");
                break;
            }
            requireStored(*defaults, Value(), key);
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
    case CommandKind::answer: {
        // The alert that waits for the person takes it, when it has that button.
        if (pressWaitingButton(arguments[0])) {
            return;
        }
        if (const auto alert = responder_->waitingAlert()) {
            throw CommandError(noSuchButton(*alert, arguments[0]));
        }
        responder_->enqueue({arguments[0], scriptLine_});
        say("the next alert is answered " + quotedString(arguments[0]));
        break;
    }
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
            line += " buttons " + quotedList(alert.buttons);
            if (alert.unattended) {
                line += ", nobody answered";
            } else if (!alert.response) {
                line += goneWithItsApp(i, alert) ? ", gone with its app" : ", showing";
            } else {
                const auto index = *alert.response - NSAlertFirstButtonReturn;
                line += index >= 0 && static_cast<std::size_t>(index) < alert.buttons.size()
                            ? ", answered " + quotedString(alert.buttons[index])
                            : ", ended with response " + std::to_string(*alert.response);
            }
            say(line);
        }
        // Answers given before their alerts, which none has taken yet.
        std::vector<std::string> queued;
        for (const auto& answer : responder_->queuedAnswers()) {
            queued.push_back(answer.button);
        }
        if (!queued.empty()) {
            say("answers waiting for the next alerts: " + quotedList(queued));
        }
    } else if (what == "sounds") {
        say("sounds: " + counted(SystemSoundServer::playCount(), "play") + ", " +
            counted(SystemSoundServer::registeredSounds().size(), "sound") + " held, " +
            counted(static_cast<std::size_t>(NSSound::beepCount()), "beep"));
    } else if (what == "opened") {
        const auto handed = handedOn();
        say(handed.empty() ? "opened: none" : "opened:");
        for (const auto& item : handed) {
            say("  " + item.line);
        }
    }
}

std::vector<NSAlert::Record> Console::shownAlerts() const {
    return followedBy(endedAlerts_, NSAlert::shownAlerts());
}

std::size_t Console::shownAlertCount() const {
    return endedAlerts_.size() + NSAlert::shownAlertCount();
}

NSAlert::Record Console::shownAlert(std::size_t index) const {
    return index < endedAlerts_.size() ? endedAlerts_[index]
                                       : NSAlert::shownAlert(index - endedAlerts_.size()).value();
}

bool Console::goneWithItsApp(std::size_t index, const NSAlert::Record& alert) const {
    return index < endedAlerts_.size() && !alert.response;
}

std::vector<URL> Console::openedURLs() const {
    return followedBy(endedOpenedURLs_, URLOpener::openedURLs());
}

std::vector<ComposedEmail> Console::composedMessages() const {
    return followedBy(endedMessages_, MailComposeService::composedMessages());
}

std::vector<NSSharingServicePicker::Showing> Console::shareShowings() const {
    return followedBy(endedShowings_, NSSharingServicePicker::showings());
}

// What the app handed on, as `show opened` writes it and as `expect opened` reads it. A report
// handed on whole reads as its start and its length; `expect` sees all of it.
Console::HandedOn Console::handedOnOf(const URL& url) {
    return {url.absoluteString(), {url.absoluteString()}};
}

Console::HandedOn Console::handedOnOf(const ComposedEmail& message) {
    // Texts are the body; file URLs the attachments, by name.
    std::string body;
    std::vector<std::string> attachments;
    for (const auto& item : message.items) {
        if (const auto* url = item.asURL()) {
            attachments.push_back(url->lastPathComponent());
        } else if (const auto* text = item.asString()) {
            body += *text;
        }
    }
    HandedOn handed;
    handed.line = "Mail message to " + quotedList(message.recipients, abridged) + ", subject " +
                  quotedString(message.subject) +
                  (body.empty() ? std::string() : ", body " + abridged(body)) + ", attachments " +
                  quotedList(attachments, abridged);
    handed.texts = message.recipients;
    handed.texts.push_back(message.subject);
    handed.texts.push_back(body);
    handed.texts.insert(handed.texts.end(), attachments.begin(), attachments.end());
    return handed;
}

Console::HandedOn Console::handedOnOf(const NSSharingServicePicker::Showing& showing) {
    return {"share picker" +
                (showing.windowTitle.empty() ? std::string()
                                             : " in " + quotedString(showing.windowTitle)) +
                ", items " + quotedList(showing.items, abridged),
            showing.items};
}

std::vector<Console::HandedOn> Console::handedOn() const {
    std::vector<HandedOn> handed;
    for (const auto& url : openedURLs()) {
        handed.push_back(handedOnOf(url));
    }
    for (const auto& message : composedMessages()) {
        handed.push_back(handedOnOf(message));
    }
    for (const auto& showing : shareShowings()) {
        handed.push_back(handedOnOf(showing));
    }
    return handed;
}

std::optional<Console::HandedOn>
Console::lastHandedOn(const std::function<bool(const HandedOn&)>& matches) const {
    // The current process's items taken one at a time, then the ended processes' kept here,
    // each the most recent first: a look goes no further back than what it finds.
    const auto find = [&matches](std::size_t count, const auto& current,
                                 const auto& ended) -> std::optional<HandedOn> {
        for (auto index = count; index-- > 0;) {
            if (const auto item = current(index)) {
                if (auto handed = handedOnOf(*item); matches(handed)) {
                    return handed;
                }
            }
        }
        for (auto item = ended.rbegin(); item != ended.rend(); ++item) {
            if (auto handed = handedOnOf(*item); matches(handed)) {
                return handed;
            }
        }
        return std::nullopt;
    };
    if (auto found = find(URLOpener::openedURLCount(), URLOpener::openedURL, endedOpenedURLs_)) {
        return found;
    }
    if (auto found = find(MailComposeService::composedMessageCount(),
                          MailComposeService::composedMessage, endedMessages_)) {
        return found;
    }
    return find(NSSharingServicePicker::showingCount(), NSSharingServicePicker::showing,
                endedShowings_);
}

} // namespace zestrel::console

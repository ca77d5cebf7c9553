#include "platform/appkit/MailComposeService.h"

#include "platform/base/ProcessLocal.h"
#include "platform/base/Records.h"

#include <utility>

namespace zestrel::platform {

namespace {

struct ComposeState {
    bool available = true;
    bool acceptsItems = true;
    std::vector<ComposedEmail> composed;
};

ComposeState& state() {
    static auto* const local = new ProcessLocal<ComposeState>(); // used until the very end
    return **local;
}

} // namespace

bool MailComposeService::isAvailable() {
    return state().available;
}

void MailComposeService::setAvailable(bool available) {
    state().available = available;
}

bool MailComposeService::acceptsItems() {
    return state().acceptsItems;
}

void MailComposeService::setAcceptsItems(bool accepts) {
    state().acceptsItems = accepts;
}

std::vector<ComposedEmail> MailComposeService::composedMessages() {
    return state().composed;
}

std::size_t MailComposeService::composedMessageCount() {
    return state().composed.size();
}

std::optional<ComposedEmail> MailComposeService::composedMessage(std::size_t index) {
    return recordAt(state().composed, index);
}

void MailComposeService::record(ComposedEmail message) {
    state().composed.push_back(std::move(message));
}

} // namespace zestrel::platform

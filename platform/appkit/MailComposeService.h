#pragma once

#include "platform/base/Value.h"

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

// A message the compose-e-mail service opened in Mail. Nothing is sent.
struct ComposedEmail {
    std::vector<std::string> recipients;
    std::string subject;
    // Texts and file URLs (the attachments), in the order given.
    std::vector<Value> items;
    bool operator==(const ComposedEmail&) const = default;
};

// What the desktop's compose-e-mail service (`NSSharingServiceNameComposeEmail`) does: whether
// it is there at all, whether it takes the items it is offered (both true unless a test or
// the desktop says otherwise), and the messages it opened. Process state. Main thread only.
class MailComposeService {
public:
    static bool isAvailable();
    static void setAvailable(bool available);
    static bool acceptsItems();
    static void setAcceptsItems(bool accepts);

    // In the order they were opened.
    static std::vector<ComposedEmail> composedMessages();
    // How many that is, and the one at `index` (nothing past the last), one at a time.
    static std::size_t composedMessageCount();
    static std::optional<ComposedEmail> composedMessage(std::size_t index);
    static void record(ComposedEmail message);
};

} // namespace zestrel::platform

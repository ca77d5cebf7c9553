#pragma once

#include "platform/appkit/NSImage.h"
#include "platform/base/Value.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::platform {

// The service that opens a new message in Mail with the items (`NSSharingServiceNameComposeEmail`).
inline constexpr const char* NSSharingServiceNameComposeEmail = "com.apple.share.Mail.compose";

// A way to share items (mail, messages, a note). The desktop offers none unless a test or
// the simulated desktop adds some; performing one is recorded, nothing leaves the machine.
// Main thread only.
class NSSharingService final : public NSObject {
public:
    // `name` is the platform's private name that tells services apart ("com.apple.share.Mail
    // .compose"); only key-value coding reaches it.
    explicit NSSharingService(std::string title, std::shared_ptr<NSImage> image = nullptr,
                              std::string name = {})
        : title_(std::move(title)), image_(std::move(image)), name_(std::move(name)) {}
    std::string className() const override { return "NSSharingService"; }

    const std::string& title() const { return title_; }
    const std::shared_ptr<NSImage>& image() const { return image_; }
    // "name" (when the service has one) and "title" answer their texts; other keys nothing.
    Value valueForKey(std::string_view key) const {
        if (key == "name" && !name_.empty()) {
            return Value(name_);
        }
        return key == "title" ? Value(title_) : Value();
    }

    // The services that can share these items: every offered one for a non-empty list.
    static std::vector<std::shared_ptr<NSSharingService>>
    sharingServicesForItems(const std::vector<Value>& items);
    // What the desktop offers; process state.
    static void setOfferedServices(std::vector<std::shared_ptr<NSSharingService>> services);

    // `sharingServiceNamed:`: a new service of that name; none for a name the desktop has no
    // service for. Only the compose-e-mail service is known here (see MailComposeService).
    static std::shared_ptr<NSSharingService> named(std::string_view name);
    // What a message-composing service puts in the new message.
    const std::vector<std::string>& recipients() const { return recipients_; }
    void setRecipients(std::vector<std::string> recipients) { recipients_ = std::move(recipients); }
    const std::string& subject() const { return subject_; }
    void setSubject(std::string subject) { subject_ = std::move(subject); }
    // Whether performing with the items would share them: never for no items; the
    // compose-e-mail service only while it accepts items.
    bool canPerformWithItems(const std::vector<Value>& items) const;

    // The compose-e-mail service also records the message it opens.
    void performWithItems(const std::vector<Value>& items);
    // Each performing's items, in order.
    const std::vector<std::vector<Value>>& performed() const { return performed_; }

private:
    std::string title_;
    std::shared_ptr<NSImage> image_;
    std::string name_;
    std::vector<std::string> recipients_;
    std::string subject_;
    std::vector<std::vector<Value>> performed_;
};

} // namespace zestrel::platform

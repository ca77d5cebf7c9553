#include "app/FeedbackEmail.h"

#include "app/DebugInfo.h"
#include "foundation/EmailAddress.h"
#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"
#include "foundation/OrderedSet.h"
#include "foundation/QVApp.h"
#include "foundation/URLUtilities.h"
#include "platform/appkit/NSSharingService.h"
#include "platform/base/Error.h"
#include "platform/base/StandardStreams.h"
#include "platform/data/URLComponents.h"
#include "platform/data/UTType.h"
#include "platform/desktop/Desktop.h"
#include "platform/desktop/NSWorkspace.h"
#include "platform/system/URLOpener.h"
#include "services/InstalledApp.h"
#include "services/TemporaryFileTracker.h"

namespace zestrel {

namespace pf = platform;

namespace {

constexpr const char* kFallbackSeparator = "------------------------------"; // 30 hyphens

std::string joinedWithoutRepeats(const std::vector<std::string>& addresses) {
    std::string joined;
    for (const auto& address : OrderedSet<std::string>(addresses)) {
        joined += (joined.empty() ? "" : ",") + address;
    }
    return joined;
}

// The items as the components hold them, decoded, by name: a later one of the same name wins.
pf::Value::Dictionary queryItemDictionary(const pf::URLComponents& components) {
    pf::Value::Dictionary dictionary;
    for (const auto& item :
         components.percentEncodedQueryItems().value_or(std::vector<pf::URLQueryItem>{})) {
        dictionary[pf::percentDecode(item.name)] =
            pf::Value(pf::percentDecode(item.value.value_or("")));
    }
    return dictionary;
}

// The list is made anew from the items by name, so the items' order is not kept.
void addQueryItem(pf::URLComponents& components, const std::string& name,
                  const std::string& value) {
    auto dictionary = queryItemDictionary(components);
    dictionary[name] = pf::Value(value);
    components.setPercentEncodedQueryItems(queryItems(dictionary));
}

std::string describe(const pf::URLComponents& components) {
    std::string text =
        "scheme: " + components.scheme().value_or("") + " path: " + components.percentEncodedPath();
    if (const auto& query = components.percentEncodedQuery()) {
        text += " query: " + *query;
    }
    return text;
}

} // namespace

pf::URL mailto(const std::vector<std::string>& to, const std::optional<std::string>& subject,
               const std::optional<std::string>& body, const std::vector<std::string>& cc,
               const std::vector<std::string>& bcc) {
    pf::URLComponents components;
    components.setScheme("mailto");
    components.setPath(joinedWithoutRepeats(to));
    if (subject) {
        addQueryItem(components, "subject", *subject);
    }
    if (body) {
        addQueryItem(components, "body", *body);
    }
    if (!cc.empty()) {
        addQueryItem(components, "cc", joinedWithoutRepeats(cc));
    }
    if (!bcc.empty()) {
        addQueryItem(components, "bcc", joinedWithoutRepeats(bcc));
    }
    if (auto url = components.url()) {
        return *url;
    }
    reportError(GeneralError::make("Could not create `mailto:` URL"),
                {{"components", pf::Value(describe(components))}});
    return *pf::URL::parse("mailto:");
}

void sendEmail(const std::vector<std::string>& to, const std::string& subject,
               const std::optional<std::string>& body, const std::string& attachmentName,
               const std::string& attachmentContent) {
    const auto fallback = [&] {
        openMailtoFallback(body, attachmentName, attachmentContent, to, subject);
    };
    if (defaultEmailAppBundleIdentifier(*pf::NSWorkspace::shared()) != pf::kMailBundleIdentifier) {
        return fallback();
    }
    const auto service = pf::NSSharingService::named(pf::NSSharingServiceNameComposeEmail);
    if (!service) {
        return fallback();
    }
    service->setRecipients(to);
    service->setSubject(subject);
    pf::URL attachment;
    try {
        attachment =
            writeToUniqueTemporaryFile(attachmentContent, attachmentName,
                                       *pf::UTType::withIdentifier("public.utf8-plain-text"));
    } catch (const pf::Error&) {
        return fallback();
    }
    std::vector<pf::Value> items;
    if (body) {
        items.emplace_back(*body + "\n\n");
    }
    items.emplace_back(attachment);
    if (!service->canPerformWithItems(items)) {
        return fallback();
    }
    service->performWithItems(items);
}

void openMailtoFallback(const std::optional<std::string>& body, const std::string& attachmentName,
                        const std::string& attachmentContent, const std::vector<std::string>& to,
                        const std::string& subject) {
    const std::string message = body.value_or("") + "\n\n\n\n" + attachmentName + "\n" +
                                kFallbackSeparator + "\n\n" + attachmentContent;
    openMailtoURL(to, subject, message);
}

void openMailtoURL(const std::vector<std::string>& to, const std::string& subject,
                   const std::string& body) {
    const auto url = mailto(to, subject, body);
    pf::print("URL " + url.absoluteString());
    pf::URLOpener::open(url);
}

void sendDebugInfoToDeveloper() {
    sendEmail({EmailAddress::support().rawValue}, QVApp::name() + " — Debug info", std::nullopt,
              "debug-info.txt", debugInfoText());
}

} // namespace zestrel

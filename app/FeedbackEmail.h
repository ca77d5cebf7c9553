#pragma once

#include "platform/base/Value.h"

#include <optional>
#include <string>
#include <vector>

// Sending the debug report to the maker by e-mail: through Mail's compose service when Mail
// is the user's e-mail app and the service takes the items, else by opening a "mailto:" URL
// that carries the report in its body. Nothing here is shown to the user when it fails; only
// a URL that cannot be made is reported. Main thread only.
namespace zestrel {

// A "mailto:" URL: the recipients (repeats dropped, first kept) joined by "," as the path,
// and the items that are given, each name and value percent-encoded so that only letters,
// digits, "-", ".", "_" and "~" stay as they are. An empty subject is still an item; empty
// cc and bcc lists are none. When no URL can be made, the failure is reported and "mailto:"
// answered, so the e-mail app still opens.
platform::URL mailto(const std::vector<std::string>& to, const std::optional<std::string>& subject,
                     const std::optional<std::string>& body,
                     const std::vector<std::string>& cc = {},
                     const std::vector<std::string>& bcc = {});

// A new message with the attachment, written as UTF-8 text to a temporary file of that name;
// the body, when given, goes before it. Falls back to openMailtoFallback.
void sendEmail(const std::vector<std::string>& to, const std::string& subject,
               const std::optional<std::string>& body, const std::string& attachmentName,
               const std::string& attachmentContent);
// The attachment in the message's body instead: the body, four line breaks, the attachment's
// name, a line of 30 hyphens, an empty line, then its text.
void openMailtoFallback(const std::optional<std::string>& body, const std::string& attachmentName,
                        const std::string& attachmentContent, const std::vector<std::string>& to,
                        const std::string& subject);
// Prints "URL" and the "mailto:" URL, then opens it in the default e-mail app.
void openMailtoURL(const std::vector<std::string>& to, const std::string& subject,
                   const std::string& body);

// The debug report as "debug-info.txt" to the support address, subject "<app> — Debug info".
void sendDebugInfoToDeveloper();

} // namespace zestrel

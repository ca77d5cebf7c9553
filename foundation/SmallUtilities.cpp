#include "foundation/SmallUtilities.h"

#include "platform/base/Error.h"

#include <unicode/brkiter.h>
#include <unicode/utext.h>

#include <memory>

namespace zestrel {

std::string_view droppingFirst(std::string_view text, std::ptrdiff_t count) {
    if (count < 0) {
        platform::fatal("Can't drop a negative number of characters: " + std::to_string(count));
    }
    if (count == 0 || text.empty()) {
        return text;
    }
    UErrorCode status = U_ZERO_ERROR;
    UText* utext = utext_openUTF8(nullptr, text.data(), static_cast<int64_t>(text.size()), &status);
    std::unique_ptr<icu::BreakIterator> characters(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    if (U_FAILURE(status) || !characters) {
        utext_close(utext);
        platform::fatal("Can't split text into characters");
    }
    characters->setText(utext, status);
    std::int32_t offset = 0;
    for (std::ptrdiff_t dropped = 0; dropped < count; ++dropped) {
        std::int32_t next = characters->next();
        if (next == icu::BreakIterator::DONE) {
            offset = static_cast<std::int32_t>(text.size());
            break;
        }
        offset = next;
    }
    characters.reset();
    utext_close(utext);
    return text.substr(static_cast<std::size_t>(offset));
}

std::string localizedName(const platform::URL& url) {
    std::string name = url.lastPathComponent();
    constexpr std::string_view kAppSuffix = ".app";
    if (name.size() >= kAppSuffix.size() && name.ends_with(kAppSuffix)) {
        name.resize(name.size() - kAppSuffix.size());
    }
    return name;
}

std::vector<std::string> withoutFirstGetTaskAllow(const std::vector<std::string>& keys) {
    std::vector<std::string> kept;
    bool dropped = false;
    for (const std::string& key : keys) {
        if (!dropped && key == "com.apple.security.get-task-allow") {
            dropped = true;
            continue;
        }
        kept.push_back(key);
    }
    return kept;
}

} // namespace zestrel

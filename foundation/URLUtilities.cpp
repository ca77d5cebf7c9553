#include "foundation/URLUtilities.h"

namespace zestrel {

std::vector<platform::URLQueryItem> queryItems(const platform::Value::Dictionary& dictionary) {
    std::vector<platform::URLQueryItem> items;
    items.reserve(dictionary.size());
    for (const auto& [key, value] : dictionary) {
        items.push_back({platform::percentEncode(key), platform::percentEncode(value.describe())});
    }
    return items;
}

std::optional<platform::URL> addingQueryItems(std::string_view urlText,
                                              const platform::Value::Dictionary& dictionary) {
    auto components = platform::URLComponents::parse(urlText);
    if (!components) {
        return std::nullopt;
    }
    components->setPercentEncodedQueryItems(queryItems(dictionary));
    return components->url();
}

platform::URL modifyingComponents(const platform::URL& url,
                                  const std::function<void(platform::URLComponents&)>& change) {
    const auto original = platform::URLComponents::make(url, /*resolvingAgainstBaseURL=*/true);
    if (!original) {
        return url;
    }
    platform::URLComponents changed = *original;
    change(changed);
    if (changed == *original) {
        return url;
    }
    return changed.url().value_or(url);
}

platform::URL replacingScheme(const platform::URL& url, const std::string& scheme) {
    return modifyingComponents(
        url, [&](platform::URLComponents& components) { components.setScheme(scheme); });
}

} // namespace zestrel

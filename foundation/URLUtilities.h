#pragma once

#include "platform/base/Value.h"
#include "platform/data/URLComponents.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel {

// One item per entry, in the dictionary's order: the key, and the value as printing shows
// it, both percent-encoded so that only letters, digits, "-", ".", "_" and "~" stay.
std::vector<platform::URLQueryItem> queryItems(const platform::Value::Dictionary& dictionary);

// The URL of `urlText` with its query set to `queryItems(dictionary)`; nothing when the text
// cannot be parsed or the parts form no URL. ("mailto:" links are made this way.)
std::optional<platform::URL> addingQueryItems(std::string_view urlText,
                                              const platform::Value::Dictionary& dictionary);

// The URL after `change` to its parts; the given URL itself when it cannot be split, when the
// change leaves the parts as they were, or when the changed parts form no URL.
platform::URL modifyingComponents(const platform::URL& url,
                                  const std::function<void(platform::URLComponents&)>& change);

platform::URL replacingScheme(const platform::URL& url, const std::string& scheme);

} // namespace zestrel

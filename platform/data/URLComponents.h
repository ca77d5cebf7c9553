#pragma once

#include "platform/base/Value.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::platform {

struct URLQueryItem {
    std::string name;
    std::optional<std::string> value;
    bool operator==(const URLQueryItem&) const = default;
};

// A URL split into its parts (RFC 3986). The parts are kept percent-encoded; the plain
// accessors decode on reading and encode what they are given.
class URLComponents {
public:
    URLComponents() = default;
    // Nothing when the text is not a valid URL reference.
    static std::optional<URLComponents> parse(std::string_view text);
    // Every URL here is absolute, so resolving against a base changes nothing.
    static std::optional<URLComponents> make(const URL& url, bool resolvingAgainstBaseURL);

    const std::optional<std::string>& scheme() const { return scheme_; }
    // A scheme must start with a letter followed by letters, digits, "+", "-" or "."; any
    // other scheme is a programming error.
    void setScheme(std::optional<std::string> scheme);

    std::optional<std::string> user() const;
    void setUser(const std::optional<std::string>& user);
    std::optional<std::string> password() const;
    void setPassword(const std::optional<std::string>& password);
    std::optional<std::string> host() const;
    void setHost(const std::optional<std::string>& host);
    const std::optional<int>& port() const { return port_; }
    void setPort(std::optional<int> port);
    std::string path() const;
    void setPath(std::string_view path);
    std::optional<std::string> query() const;
    void setQuery(const std::optional<std::string>& query);
    std::optional<std::string> fragment() const;
    void setFragment(const std::optional<std::string>& fragment);

    const std::string& percentEncodedPath() const { return path_; }
    const std::optional<std::string>& percentEncodedQuery() const { return query_; }
    // The query split at "&" and at each item's first "="; nothing when there is no query.
    std::optional<std::vector<URLQueryItem>> percentEncodedQueryItems() const;
    // Items must be encoded already: a character a query cannot hold, or a "&" (or a "="
    // in a name), is a programming error.
    void setPercentEncodedQueryItems(const std::optional<std::vector<URLQueryItem>>& items);

    // The URL text; nothing when the parts cannot form a URL (a path that is not absolute
    // after a host, a path starting with "//" without one).
    std::optional<std::string> string() const;
    // Nothing also when there is no scheme: every URL here is absolute.
    std::optional<URL> url() const;

    bool operator==(const URLComponents&) const = default;

private:
    std::optional<std::string> scheme_;
    std::optional<std::string> user_;
    std::optional<std::string> password_;
    std::optional<std::string> host_;
    std::optional<int> port_;
    std::string path_;
    std::optional<std::string> query_;
    std::optional<std::string> fragment_;
};

} // namespace zestrel::platform

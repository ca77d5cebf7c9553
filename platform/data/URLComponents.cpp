#include "platform/data/URLComponents.h"

#include "platform/base/Error.h"

#include <cctype>
#include <charconv>

namespace zestrel::platform {

namespace {

constexpr std::string_view kSubDelimiters = "!$&'()*+,;=";

bool isUnreserved(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_' ||
           c == '~';
}

// Characters each part may hold as they are, beyond the unreserved ones and the
// sub-delimiters.
constexpr std::string_view kUserExtra = "";
constexpr std::string_view kHostExtra = ":[]";
constexpr std::string_view kPathExtra = ":@/";
constexpr std::string_view kQueryExtra = ":@/?";

bool isAllowed(char c, std::string_view extra) {
    return isUnreserved(c) || kSubDelimiters.find(c) != std::string_view::npos ||
           extra.find(c) != std::string_view::npos;
}

bool isHex(char c) {
    return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Whether `text` is a valid encoded part: allowed characters and complete percent escapes.
bool isValidEncoded(std::string_view text, std::string_view extra) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%') {
            if (i + 2 >= text.size() || !isHex(text[i + 1]) || !isHex(text[i + 2])) {
                return false;
            }
            i += 2;
        } else if (!isAllowed(text[i], extra)) {
            return false;
        }
    }
    return true;
}

std::string encode(std::string_view text, std::string_view extra) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char c : text) {
        if (isAllowed(c, extra)) {
            out.push_back(c);
        } else {
            const auto byte = static_cast<unsigned char>(c);
            out.push_back('%');
            out.push_back(kHex[byte >> 4]);
            out.push_back(kHex[byte & 0xF]);
        }
    }
    return out;
}

std::optional<std::string> decoded(const std::optional<std::string>& encoded) {
    if (!encoded) {
        return std::nullopt;
    }
    return percentDecode(*encoded);
}

std::optional<std::string> encoded(const std::optional<std::string>& plain,
                                   std::string_view extra) {
    if (!plain) {
        return std::nullopt;
    }
    return encode(*plain, extra);
}

bool isValidScheme(std::string_view scheme) {
    if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme[0]))) {
        return false;
    }
    for (const char c : scheme) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') {
            return false;
        }
    }
    return true;
}

} // namespace

std::optional<URLComponents> URLComponents::parse(std::string_view text) {
    URLComponents components;
    std::string_view rest = text;

    const auto schemeEnd = rest.find_first_of(":/?#");
    if (schemeEnd != std::string_view::npos && rest[schemeEnd] == ':') {
        const std::string_view scheme = rest.substr(0, schemeEnd);
        // A colon in the first segment of a reference without a scheme is not allowed.
        if (!isValidScheme(scheme)) {
            return std::nullopt;
        }
        components.scheme_ = std::string(scheme);
        rest.remove_prefix(schemeEnd + 1);
    }

    if (const auto hash = rest.find('#'); hash != std::string_view::npos) {
        const std::string_view fragment = rest.substr(hash + 1);
        if (!isValidEncoded(fragment, kQueryExtra)) {
            return std::nullopt;
        }
        components.fragment_ = std::string(fragment);
        rest = rest.substr(0, hash);
    }
    if (const auto question = rest.find('?'); question != std::string_view::npos) {
        const std::string_view query = rest.substr(question + 1);
        if (!isValidEncoded(query, kQueryExtra)) {
            return std::nullopt;
        }
        components.query_ = std::string(query);
        rest = rest.substr(0, question);
    }

    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        const auto authorityEnd = rest.find('/');
        std::string_view authority = rest.substr(0, authorityEnd);
        rest =
            authorityEnd == std::string_view::npos ? std::string_view() : rest.substr(authorityEnd);

        if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
            const std::string_view userInfo = authority.substr(0, at);
            const auto colon = userInfo.find(':');
            const std::string_view user = userInfo.substr(0, colon);
            if (!isValidEncoded(user, kUserExtra)) {
                return std::nullopt;
            }
            components.user_ = std::string(user);
            if (colon != std::string_view::npos) {
                const std::string_view password = userInfo.substr(colon + 1);
                if (!isValidEncoded(password, kUserExtra)) {
                    return std::nullopt;
                }
                components.password_ = std::string(password);
            }
            authority.remove_prefix(at + 1);
        }

        std::string_view host = authority;
        std::string_view port;
        if (authority.starts_with('[')) {
            const auto close = authority.find(']');
            if (close == std::string_view::npos) {
                return std::nullopt;
            }
            host = authority.substr(0, close + 1);
            const std::string_view after = authority.substr(close + 1);
            if (!after.empty() && after.front() != ':') {
                return std::nullopt;
            }
            port = after.empty() ? after : after.substr(1);
        } else if (const auto colon = authority.rfind(':'); colon != std::string_view::npos) {
            host = authority.substr(0, colon);
            port = authority.substr(colon + 1);
        }
        if (!isValidEncoded(host, host.starts_with('[') ? kHostExtra : kUserExtra)) {
            return std::nullopt;
        }
        components.host_ = std::string(host);
        if (!port.empty()) {
            int number = 0;
            const auto [end, error] =
                std::from_chars(port.data(), port.data() + port.size(), number);
            if (error != std::errc() || end != port.data() + port.size() || number < 0) {
                return std::nullopt;
            }
            components.port_ = number;
        }
    }

    if (!isValidEncoded(rest, kPathExtra)) {
        return std::nullopt;
    }
    components.path_ = std::string(rest);
    return components;
}

std::optional<URLComponents> URLComponents::make(const URL& url, bool /*resolvingAgainstBaseURL*/) {
    return parse(url.absoluteString());
}

void URLComponents::setScheme(std::optional<std::string> scheme) {
    if (scheme && !isValidScheme(*scheme)) {
        fatal("URLComponents: invalid characters in the scheme \"" + *scheme + "\"");
    }
    scheme_ = std::move(scheme);
}

std::optional<std::string> URLComponents::user() const {
    return decoded(user_);
}
void URLComponents::setUser(const std::optional<std::string>& user) {
    user_ = encoded(user, kUserExtra);
}
std::optional<std::string> URLComponents::password() const {
    return decoded(password_);
}
void URLComponents::setPassword(const std::optional<std::string>& password) {
    password_ = encoded(password, kUserExtra);
}
std::optional<std::string> URLComponents::host() const {
    return decoded(host_);
}
void URLComponents::setHost(const std::optional<std::string>& host) {
    host_ = encoded(host, kHostExtra);
}
void URLComponents::setPort(std::optional<int> port) {
    if (port && *port < 0) {
        fatal("URLComponents: a port cannot be negative");
    }
    port_ = port;
}
std::string URLComponents::path() const {
    return percentDecode(path_);
}
void URLComponents::setPath(std::string_view path) {
    path_ = encode(path, kPathExtra);
}
std::optional<std::string> URLComponents::query() const {
    return decoded(query_);
}
void URLComponents::setQuery(const std::optional<std::string>& query) {
    query_ = encoded(query, kQueryExtra);
}
std::optional<std::string> URLComponents::fragment() const {
    return decoded(fragment_);
}
void URLComponents::setFragment(const std::optional<std::string>& fragment) {
    fragment_ = encoded(fragment, kQueryExtra);
}

std::optional<std::vector<URLQueryItem>> URLComponents::percentEncodedQueryItems() const {
    if (!query_) {
        return std::nullopt;
    }
    std::vector<URLQueryItem> items;
    std::string_view rest = *query_;
    while (!rest.empty()) {
        const auto ampersand = rest.find('&');
        const std::string_view item = rest.substr(0, ampersand);
        const auto equals = item.find('=');
        if (equals == std::string_view::npos) {
            items.push_back({std::string(item), std::nullopt});
        } else {
            items.push_back(
                {std::string(item.substr(0, equals)), std::string(item.substr(equals + 1))});
        }
        if (ampersand == std::string_view::npos) {
            break;
        }
        rest.remove_prefix(ampersand + 1);
        if (rest.empty()) {
            items.push_back({"", std::nullopt});
        }
    }
    return items;
}

void URLComponents::setPercentEncodedQueryItems(
    const std::optional<std::vector<URLQueryItem>>& items) {
    if (!items) {
        query_.reset();
        return;
    }
    std::string query;
    for (const URLQueryItem& item : *items) {
        const bool validName = isValidEncoded(item.name, kQueryExtra) &&
                               item.name.find_first_of("&=") == std::string::npos;
        const bool validValue = !item.value || (isValidEncoded(*item.value, kQueryExtra) &&
                                                item.value->find('&') == std::string::npos);
        if (!validName || !validValue) {
            fatal("URLComponents: a query item is not percent-encoded: \"" + item.name + "\"");
        }
        if (&item != &items->front()) {
            query += '&';
        }
        query += item.name;
        if (item.value) {
            query += '=';
            query += *item.value;
        }
    }
    query_ = std::move(query);
}

std::optional<std::string> URLComponents::string() const {
    const bool hasAuthority = host_ || user_ || password_ || port_;
    if (hasAuthority && !path_.empty() && path_.front() != '/') {
        return std::nullopt;
    }
    if (!hasAuthority && path_.starts_with("//")) {
        return std::nullopt;
    }
    std::string text;
    if (scheme_) {
        text += *scheme_ + ":";
    }
    if (hasAuthority) {
        text += "//";
        if (user_ || password_) {
            text += user_.value_or("");
            if (password_) {
                text += ":" + *password_;
            }
            text += "@";
        }
        text += host_.value_or("");
        if (port_) {
            text += ":" + std::to_string(*port_);
        }
    }
    text += path_;
    if (query_) {
        text += "?" + *query_;
    }
    if (fragment_) {
        text += "#" + *fragment_;
    }
    return text;
}

std::optional<URL> URLComponents::url() const {
    const auto text = string();
    if (!text) {
        return std::nullopt;
    }
    return URL::parse(*text);
}

} // namespace zestrel::platform

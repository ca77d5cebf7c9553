#pragma once

#include "platform/base/Value.h"
#include "platform/data/MDItem.h"

#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

namespace zestrel {

// Reads the named extended attributes of one file. Errors: a failing system call throws
// an error object in NSPOSIXErrorDomain with the call's errno; a URL that is not a file URL
// throws NSCocoaErrorDomain 4; a property list of the wrong kind NSCocoaErrorDomain 3840.
class ExtendedAttributes {
public:
    explicit ExtendedAttributes(platform::URL url) : url_(std::move(url)) {}

    const platform::URL& url() const { return url_; }

    // The attribute's bytes; an attribute of size 0 is empty bytes, not absent.
    platform::Data get(const std::string& name) const;
    // As `get`, with a missing attribute answered as nothing.
    std::optional<platform::Data> getIfPresent(const std::string& name) const;
    // The attribute read as a property list that must hold a Boolean; nothing when absent.
    std::optional<bool> propertyListBool(const std::string& name) const;

private:
    platform::URL url_;
};

// The attribute's bytes at a path, following a symbolic link.
platform::Data readExtendedAttribute(const std::string& path, const std::string& name);

// The Spotlight attribute as mirrored into the extended attribute "com.apple.metadata:"
// followed by the name.
std::optional<bool> extendedAttributeSpotlightBool(const platform::URL& url,
                                                   std::string_view attributeName);
// The Spotlight attribute from the file's metadata item; nothing when the file has no
// item or the attribute is not a Boolean. Never throws.
std::optional<bool> spotlightBool(const platform::URL& url, std::string_view attributeName);

// The item's attribute when it has the asked type.
template <class T>
std::optional<T> attribute(const platform::MDItemRef& item, std::string_view name) {
    const platform::Value value = platform::MDItemCopyAttribute(item, name);
    if constexpr (std::is_same_v<T, bool>) {
        return value.asBool();
    } else if constexpr (std::is_same_v<T, std::int64_t>) {
        return value.asInt64();
    } else if constexpr (std::is_same_v<T, double>) {
        return value.asDouble();
    } else if constexpr (std::is_same_v<T, platform::Date>) {
        return value.asDate();
    } else if constexpr (std::is_same_v<T, std::string>) {
        const std::string* text = value.asString();
        return text ? std::optional<std::string>(*text) : std::nullopt;
    } else {
        static_assert(std::is_same_v<T, platform::Value>, "no such attribute type");
        return value.isAbsent() ? std::nullopt : std::optional<platform::Value>(value);
    }
}

} // namespace zestrel

#include "services/ExtendedAttributes.h"

#include "platform/base/Error.h"
#include "platform/data/NSFileManager.h"
#include "platform/data/PropertyList.h"
#include "platform/data/XAttr.h"

#include <cerrno>

namespace zestrel {
namespace {

constexpr std::int64_t kPropertyListReadCorruptError = 3840;

[[noreturn]] void throwErrno(int code) {
    throw platform::NSError::make(platform::NSPOSIXErrorDomain, code);
}

void requireFileURL(const platform::URL& url) {
    if (!url.isFileURL()) {
        throw platform::NSError::make(platform::NSCocoaErrorDomain,
                                      platform::NSFileNoSuchFileError);
    }
}

} // namespace

platform::Data readExtendedAttribute(const std::string& path, const std::string& name) {
    const ssize_t size = platform::getxattr(path.c_str(), name.c_str(), nullptr, 0, 0, 0);
    if (size < 0) {
        throwErrno(errno);
    }
    platform::Data buffer(static_cast<std::size_t>(size), 0);
    if (platform::getxattr(path.c_str(), name.c_str(), buffer.data(), buffer.size(), 0, 0) < 0) {
        throwErrno(errno);
    }
    return buffer;
}

platform::Data ExtendedAttributes::get(const std::string& name) const {
    requireFileURL(url_);
    return readExtendedAttribute(url_.path(), name);
}

std::optional<platform::Data> ExtendedAttributes::getIfPresent(const std::string& name) const {
    try {
        return get(name);
    } catch (const platform::Error& error) {
        if (error.domain() == platform::NSPOSIXErrorDomain &&
            error.code() == platform::kNoSuchAttribute) {
            return std::nullopt;
        }
        throw;
    }
}

std::optional<bool> ExtendedAttributes::propertyListBool(const std::string& name) const {
    requireFileURL(url_);
    const auto bytes = getIfPresent(name);
    if (!bytes) {
        return std::nullopt;
    }
    const platform::Value value = platform::PropertyList::decode(*bytes);
    if (const auto flag = value.asBool()) {
        return flag;
    }
    throw platform::NSError::make(platform::NSCocoaErrorDomain, kPropertyListReadCorruptError);
}

std::optional<bool> extendedAttributeSpotlightBool(const platform::URL& url,
                                                   std::string_view attributeName) {
    return ExtendedAttributes(url).propertyListBool("com.apple.metadata:" +
                                                    std::string(attributeName));
}

std::optional<bool> spotlightBool(const platform::URL& url, std::string_view attributeName) {
    const platform::MDItemRef item = platform::MDItemCreateWithURL(url);
    if (!item) {
        return std::nullopt;
    }
    return attribute<bool>(item, attributeName);
}

} // namespace zestrel

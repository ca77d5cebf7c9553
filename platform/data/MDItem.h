#pragma once

#include "platform/base/Value.h"

#include <memory>
#include <string_view>

namespace zestrel::platform {

inline constexpr const char* kMDItemIsScreenCapture = "kMDItemIsScreenCapture";

// Spotlight's metadata items. There is no indexer on this system: a file has an item only
// when something put it in the index (`SpotlightIndex`), so most files have none.
class MDItem {
public:
    explicit MDItem(Value::Dictionary attributes) : attributes_(std::move(attributes)) {}
    const Value::Dictionary& attributes() const { return attributes_; }

private:
    Value::Dictionary attributes_;
};
using MDItemRef = std::shared_ptr<const MDItem>;

// Nothing for a file that is not in the index.
MDItemRef MDItemCreateWithURL(const URL& url);
// Absent when the item has no such attribute.
Value MDItemCopyAttribute(const MDItemRef& item, std::string_view name);

// The index of this process's session.
struct SpotlightIndex {
    static void setAttributes(const URL& url, Value::Dictionary attributes);
};

} // namespace zestrel::platform

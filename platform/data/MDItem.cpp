#include "platform/data/MDItem.h"

#include "platform/base/ProcessLocal.h"

#include <map>
#include <mutex>

namespace zestrel::platform {
namespace {

struct Index {
    std::mutex mutex;
    std::map<std::string, Value::Dictionary> items; // by path
};

ProcessLocal<Index>& index() {
    static auto* const instance = new ProcessLocal<Index>();
    return *instance;
}

} // namespace

MDItemRef MDItemCreateWithURL(const URL& url) {
    if (!url.isFileURL()) {
        return nullptr;
    }
    auto& state = *index();
    std::lock_guard lock(state.mutex);
    const auto found = state.items.find(url.path());
    if (found == state.items.end()) {
        return nullptr;
    }
    return std::make_shared<const MDItem>(found->second);
}

Value MDItemCopyAttribute(const MDItemRef& item, std::string_view name) {
    if (!item) {
        return {};
    }
    const auto found = item->attributes().find(std::string(name));
    return found == item->attributes().end() ? Value() : found->second;
}

void SpotlightIndex::setAttributes(const URL& url, Value::Dictionary attributes) {
    auto& state = *index();
    std::lock_guard lock(state.mutex);
    state.items[url.path()] = std::move(attributes);
}

} // namespace zestrel::platform

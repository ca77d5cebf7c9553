#include "platform/data/MDItem.h"

#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"

#include <map>

namespace zestrel::platform {
namespace {

struct Index {
    Mutex mutex;
    std::map<std::string, Value::Dictionary> items GUARDED_BY(mutex); // by path
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
    MutexLock lock(state.mutex);
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
    MutexLock lock(state.mutex);
    state.items[url.path()] = std::move(attributes);
}

} // namespace zestrel::platform

#include "platform/base/KeyValueCoding.h"

#include "platform/base/Error.h"
#include "platform/base/Mutex.h"

#include <map>
#include <utility>

namespace zestrel::platform {
namespace {

using Table = std::map<std::pair<std::string, std::string>, KeyValueGetter, std::less<>>;

Mutex tableMutex;
Table& table() REQUIRES(tableMutex) {
    static auto* instance = new Table;
    return *instance;
}

KeyValueGetter getterFor(const NSObject& object, std::string_view key) {
    MutexLock lock(tableMutex);
    auto found = table().find(std::pair(object.className(), std::string(key)));
    return found == table().end() ? KeyValueGetter() : found->second;
}

} // namespace

void registerKeyValueGetter(std::string className, std::string key, KeyValueGetter getter) {
    MutexLock lock(tableMutex);
    table().insert_or_assign(std::pair(std::move(className), std::move(key)), std::move(getter));
}

bool respondsToSelector(const NSObject& object, std::string_view selector) {
    return static_cast<bool>(getterFor(object, selector));
}

Value valueForKey(const NSObject& object, std::string_view key) {
    const KeyValueGetter getter = getterFor(object, key);
    if (!getter) {
        fatal("NSUnknownKeyException: [<" + object.className() +
              "> valueForUndefinedKey:]: this class is not key value coding-compliant for the "
              "key " +
              std::string(key) + ".");
    }
    return getter(object);
}

} // namespace zestrel::platform

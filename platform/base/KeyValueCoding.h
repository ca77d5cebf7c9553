#pragma once

#include "platform/base/Value.h"

#include <functional>
#include <string>
#include <string_view>

namespace zestrel::platform {

// Key-value coding of platform objects: the keys a class answers by name, as the runtime
// finds their accessors. A class makes its keys known once, usually when its file is loaded;
// a key belongs to the class whose `className()` matches exactly.
using KeyValueGetter = std::function<Value(const NSObject& object)>;
void registerKeyValueGetter(std::string className, std::string key, KeyValueGetter getter);

// Whether the object has an accessor of that name (`respondsToSelector:`).
bool respondsToSelector(const NSObject& object, std::string_view selector);
// `valueForKey:`. An unknown key raises the platform's undefined-key exception, which
// stops the process: ask `respondsToSelector` first.
Value valueForKey(const NSObject& object, std::string_view key);

} // namespace zestrel::platform

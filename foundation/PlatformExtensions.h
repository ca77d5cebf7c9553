#pragma once

// Small extensions of platform types: the responder chain, the shared timing functions and
// the defaults' Boolean read with a fallback.
#include "platform/appkit/CAMediaTimingFunction.h"
#include "platform/appkit/NSResponder.h"
#include "platform/data/UserDefaults.h"

#include <memory>
#include <string_view>
#include <vector>

namespace zestrel {

// The receiver, then each element's next responder, up to the first that has none.
std::vector<std::shared_ptr<platform::NSResponder>>
responderChain(const std::shared_ptr<platform::NSResponder>& start);

// Created once, on first use.
std::shared_ptr<platform::CAMediaTimingFunction> defaultTimingFunction();
std::shared_ptr<platform::CAMediaTimingFunction> easeInEaseOutTimingFunction();

// The stored object when it is a Boolean; the fallback when absent or of another type.
bool boolForKey(const platform::UserDefaults& defaults, std::string_view key, bool fallback);

} // namespace zestrel

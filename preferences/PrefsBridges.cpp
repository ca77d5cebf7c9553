#include "preferences/PrefsBridges.h"

#include "foundation/Logger.h"
#include "platform/base/StandardStreams.h"

namespace zestrel::Prefs::detail {

void reportEncodingFailure(const platform::Error& error) {
    platform::print(error.describe());
    logMessage({"Failed to encode a preference value:", platform::Value(error)},
               platform::OSLogType::error);
}

} // namespace zestrel::Prefs::detail

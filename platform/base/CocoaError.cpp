#include "platform/base/CocoaError.h"

namespace zestrel::platform {

Error dataReadCorruptError(std::int64_t code, std::string debugDescription) {
    return NSError::make(NSCocoaErrorDomain, code,
                         {{NSLocalizedDescriptionKey,
                           "The data couldn’t be read because it isn’t in the correct format."},
                          {NSDebugDescriptionErrorKey, std::move(debugDescription)}});
}

Error dataWriteInvalidError(std::string debugDescription) {
    return NSError::make(NSCocoaErrorDomain, NSCoderInvalidValueError,
                         {{NSLocalizedDescriptionKey,
                           "The data couldn’t be written because it isn’t in the correct format."},
                          {NSDebugDescriptionErrorKey, std::move(debugDescription)}});
}

} // namespace zestrel::platform

#include "foundation/AsyncStreamUtilities.h"

#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"

namespace zestrel::detail {

void reportStreamError(const platform::Error& error, std::string_view file, std::int64_t line) {
    if (error.is<platform::CancellationError>()) {
        return;
    }
    reportError(
        GeneralError::make("Async stream should not throw: " + error.localizedDescription()), {},
        file, line);
}

} // namespace zestrel::detail

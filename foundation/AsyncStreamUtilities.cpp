#include "foundation/AsyncStreamUtilities.h"

#include "foundation/ErrorReporter.h"
#include "foundation/GeneralError.h"
#include "platform/base/ProcessTeardown.h"

#include <exception>
#include <string>

namespace zestrel::detail {

void reportStreamError(const platform::Error& error, std::string_view file, std::int64_t line) {
    if (error.is<platform::CancellationError>()) {
        return;
    }
    reportError(
        GeneralError::make("Async stream should not throw: " + error.localizedDescription()), {},
        file, line);
}

void reportStreamError(const std::exception_ptr& thrown, std::string_view file, std::int64_t line) {
    try {
        std::rethrow_exception(thrown);
    } catch (const platform::Error& error) {
        reportStreamError(error, file, line);
    } catch (const std::exception& exception) {
        reportError(
            GeneralError::make(std::string("Async stream should not throw: ") + exception.what()),
            {}, file, line);
    } catch (...) {
        platform::ProcessStop::passOn();
        reportError(GeneralError::make("Async stream should not throw: an exception of unknown "
                                       "type"),
                    {}, file, line);
    }
}

} // namespace zestrel::detail

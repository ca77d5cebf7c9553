#include "foundation/ErrorPresentation.h"

#include "foundation/ApplicationActivation.h"
#include "foundation/Logger.h"
#include "platform/appkit/NSApplication.h"
#include "platform/base/DispatchQueue.h"

#include <cerrno>
#include <utility>

namespace zestrel {
namespace {

using platform::Error;
using platform::NSApp;

constexpr std::int64_t kURLErrorCancelled = -999;
constexpr std::int64_t kURLErrorUserCancelledAuthentication = -1012;
constexpr std::int64_t kCocoaUserCancelledError = 3072;
constexpr std::int64_t kOSStatusUserCanceled = -60006;
constexpr std::int64_t kStorePaymentCancelled = 2;

bool isCancellationItself(const platform::NSError& object) {
    const std::string& domain = object.domain();
    const std::int64_t code = object.code();
    return (domain == platform::NSURLErrorDomain &&
            (code == kURLErrorCancelled || code == kURLErrorUserCancelledAuthentication)) ||
           (domain == platform::NSCocoaErrorDomain && code == kCocoaUserCancelledError) ||
           // The host's own number: ECANCELED differs between systems.
           (domain == platform::NSPOSIXErrorDomain && code == ECANCELED) ||
           (domain == platform::NSOSStatusErrorDomain && code == kOSStatusUserCanceled) ||
           (domain == "SKErrorDomain" && code == kStorePaymentCancelled);
}

void logPresented(const Error& error, std::string_view function) {
    logMessage({"PRESENTED ERROR:", platform::Value(error)}, platform::OSLogType::defaultLevel,
               function);
}

} // namespace

bool isCancelled(const Error& error) {
    std::optional<Error> current = error;
    while (current) {
        if (current->is<platform::CancellationError>()) {
            return true;
        }
        const auto object = current->nsError();
        if (isCancellationItself(*object)) {
            return true;
        }
        current = object->underlyingError();
    }
    return false;
}

void DelegateHandler::didPresentHandler(bool /*didRecover*/,
                                        const platform::Value& /*contextInfo*/) {
    if (didPresent) {
        didPresent();
    }
}

void presentErrorAsSheet(const Error& error, const std::shared_ptr<platform::NSWindow>& window,
                         std::function<void()> didPresent) {
    auto handler = std::make_shared<DelegateHandler>();
    handler->didPresent = std::move(didPresent);
    // The platform holds the handler until it has called it.
    NSApp().presentError(
        error, window,
        [handler](bool didRecover, const platform::Value& contextInfo) {
            handler->didPresentHandler(didRecover, contextInfo);
        },
        platform::Value());
}

void presentAsSheet(const Error& error, const std::shared_ptr<platform::NSWindow>& window,
                    std::function<void()> completion) {
    auto once = std::make_shared<std::function<void()>>(std::move(completion));
    platform::DispatchQueue::main().async([error, window, once] {
        logPresented(error, "presentAsSheet(for:)");
        presentErrorAsSheet(error, window, [once] {
            if (auto resume = std::exchange(*once, nullptr)) {
                resume();
            }
        });
    });
}

void presentAsModal(const Error& error, const std::shared_ptr<platform::NSWindow>& window) {
    if (!window) {
        presentAsModalLegacy(error);
        return;
    }
    platform::DispatchQueue::main().async([error, window] {
        presentErrorAsSheet(error, window, [] { NSApp().stopModal(); });
        platform::DispatchQueue::main().async([window] { NSApp().runModal(window); });
    });
}

void presentAsModalLegacy(const Error& error) {
    platform::DispatchQueue::main().async([error] {
        logPresented(error, "presentAsModalLegacy()");
        forceActivate();
        NSApp().presentError(error);
    });
}

void presentAsModalAsync(const Error& error, std::function<void()> completion) {
    platform::DispatchQueue::main().async([error, completion = std::move(completion)] {
        logPresented(error, "presentAsModalAsync()");
        forceActivate();
        NSApp().presentError(error);
        if (completion) {
            completion();
        }
    });
}

void present(const Error& error, const std::shared_ptr<platform::NSWindow>& window,
             std::function<void()> completion) {
    if (window) {
        presentAsSheet(error, window, std::move(completion));
    } else {
        presentAsModalAsync(error, std::move(completion));
    }
}

} // namespace zestrel

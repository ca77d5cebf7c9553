#pragma once

#include "platform/base/Value.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {

class NSError;

// User-info keys of error objects.
inline constexpr const char* NSLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr const char* NSLocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";
inline constexpr const char* NSLocalizedFailureErrorKey = "NSLocalizedFailure";
inline constexpr const char* NSLocalizedRecoverySuggestionErrorKey =
    "NSLocalizedRecoverySuggestion";
inline constexpr const char* NSLocalizedRecoveryOptionsErrorKey = "NSLocalizedRecoveryOptions";
inline constexpr const char* NSRecoveryAttempterErrorKey = "NSRecoveryAttempter";
inline constexpr const char* NSHelpAnchorErrorKey = "NSHelpAnchor";
inline constexpr const char* NSUnderlyingErrorKey = "NSUnderlyingError";
inline constexpr const char* NSMultipleUnderlyingErrorsKey = "NSMultipleUnderlyingErrorsKey";
inline constexpr const char* NSURLErrorKey = "NSURL";
inline constexpr const char* NSFilePathErrorKey = "NSFilePath";
inline constexpr const char* NSDebugDescriptionErrorKey = "NSDebugDescription";

inline constexpr const char* NSCocoaErrorDomain = "NSCocoaErrorDomain";
inline constexpr const char* NSPOSIXErrorDomain = "NSPOSIXErrorDomain";
inline constexpr const char* NSOSStatusErrorDomain = "NSOSStatusErrorDomain";
inline constexpr const char* NSURLErrorDomain = "NSURLErrorDomain";

// The immutable body of an error. Our own error types derive from it; the platform's
// rules for bridging to an error object (CustomNSError, LocalizedError) are the
// virtual members below with the platform's defaults.
class ErrorBody {
public:
    virtual ~ErrorBody();

    // The type's qualified name, as `String(reflecting: type(of:))` ("Zestrel.GeneralError").
    virtual std::string typeName() const = 0;
    // What printing the error writes (`String(describing:)`).
    virtual std::string describe() const;
    // `String(reflecting:)`.
    virtual std::string debugDescribe() const;

    // CustomNSError: defaults are the qualified type name, code 1 and no user info.
    virtual std::string errorDomain() const { return typeName(); }
    virtual std::int64_t errorCode() const { return 1; }
    virtual Value::Dictionary errorUserInfo() const { return {}; }

    // LocalizedError.
    virtual bool isLocalizedError() const { return false; }
    virtual std::optional<std::string> errorDescription() const { return std::nullopt; }
    virtual std::optional<std::string> failureReason() const { return std::nullopt; }
    virtual std::optional<std::string> recoverySuggestion() const { return std::nullopt; }
    virtual std::optional<std::string> helpAnchor() const { return std::nullopt; }
};

// What is thrown, caught, stored and passed on: a cheap copyable handle to a body.
class Error : public std::exception {
public:
    explicit Error(std::shared_ptr<const ErrorBody> body);

    template <class Body, class... Args> static Error make(Args&&... args) {
        return Error(std::make_shared<const Body>(std::forward<Args>(args)...));
    }

    const ErrorBody& body() const { return *body_; }
    const std::shared_ptr<const ErrorBody>& bodyPointer() const { return body_; }
    template <class Body> const Body* as() const { return dynamic_cast<const Body*>(body_.get()); }
    template <class Body> bool is() const { return as<Body>() != nullptr; }

    // The bridged error object: the very same object when the body is one, else a
    // wrapper of the platform's bridging class around this error.
    std::shared_ptr<const NSError> nsError() const;
    std::string domain() const;
    std::int64_t code() const;
    std::string localizedDescription() const;

    std::string describe() const { return body_->describe(); }
    std::string debugDescribe() const { return body_->debugDescribe(); }
    // Same body object.
    bool isSameObject(const Error& other) const { return body_ == other.body_; }

    const char* what() const noexcept override;

private:
    std::shared_ptr<const ErrorBody> body_;
    mutable std::string what_;
};

// Called with the outcome of a recovery attempt (`didRecoverSelector` and its context).
using RecoveryDelegate = std::function<void(bool recovered, const Value& contextInfo)>;

// The informal protocol an object under NSRecoveryAttempterErrorKey answers to.
class NSErrorRecoveryAttempting {
public:
    virtual ~NSErrorRecoveryAttempting() = default;
    virtual bool attemptRecoveryFromError(const Error& error, std::int64_t optionIndex) const = 0;
    virtual void attemptRecoveryFromError(const Error& error, std::int64_t optionIndex,
                                          const RecoveryDelegate& delegate,
                                          const Value& contextInfo) const = 0;
};

// The platform's error object: domain, code and user info.
class NSError final : public ErrorBody {
public:
    NSError(std::string domain, std::int64_t code, Value::Dictionary userInfo = {});
    static Error make(std::string domain, std::int64_t code, Value::Dictionary userInfo = {});

    const std::string& domain() const { return domain_; }
    std::int64_t code() const { return code_; }
    const Value::Dictionary& userInfo() const { return userInfo_; }

    // "NSError", or "__SwiftNativeNSError" for the wrapper around an error of our own types.
    std::string className() const;
    bool isBridged() const { return bridged_.has_value(); }
    // The error of our own types this object wraps.
    const std::optional<Error>& bridgedError() const { return bridged_; }

    // The description key; else "The operation couldn’t be completed. " and the failure
    // reason; else "The operation couldn’t be completed. (<domain> error <code>.)".
    std::string localizedDescription() const;
    std::optional<std::string> localizedFailureReason() const;
    std::optional<std::string> localizedRecoverySuggestion() const;
    std::optional<std::vector<std::string>> localizedRecoveryOptions() const;
    std::shared_ptr<NSObject> recoveryAttempter() const;
    std::optional<std::string> helpAnchorText() const;
    std::optional<Error> underlyingError() const;
    std::vector<Error> underlyingErrors() const;

    std::string typeName() const override { return className(); }
    // "Error Domain=<domain> Code=<code> "<description>" UserInfo={...}".
    std::string describe() const override;
    std::string debugDescribe() const override { return describe(); }
    std::string errorDomain() const override { return domain_; }
    std::int64_t errorCode() const override { return code_; }
    Value::Dictionary errorUserInfo() const override { return userInfo_; }

    // Wraps an error of our own types (used by `Error::nsError()`).
    static std::shared_ptr<const NSError> bridging(const Error& error);

private:
    std::string domain_;
    std::int64_t code_;
    Value::Dictionary userInfo_;
    std::optional<Error> bridged_;
};

// Swift's `CancellationError`, thrown by cancelled tasks.
class CancellationError final : public ErrorBody {
public:
    std::string typeName() const override { return "Swift.CancellationError"; }
    std::string describe() const override { return "CancellationError()"; }
    std::string errorDomain() const override { return "Swift.CancellationError"; }
};

// Stops the process with a message (Swift's `fatalError`): logs it, prints it to
// standard error and aborts, or ends as `setFatalEnd` says.
[[noreturn]] void fatal(std::string_view message);

// Adds work that `fatal()` does before it aborts, such as writing what would otherwise be
// lost. Hooks run in the order added; a `fatal()` reached from a hook ends at once.
void addFatalHook(void (*hook)());

// How `fatal()` ends the process once its hooks have run, instead of aborting: for a program
// that cleans up as at any failed end. `end` must not return; a `fatal()` reached from a hook
// or from `end` itself comes straight to it again. nullptr brings the abort back.
void setFatalEnd(void (*end)());

} // namespace zestrel::platform

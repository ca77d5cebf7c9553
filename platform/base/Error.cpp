#include "platform/base/Error.h"

#include "platform/base/ProcessTeardown.h"
#include "platform/base/UnifiedLog.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fmt/format.h>

namespace zestrel::platform {

namespace {

constexpr const char* kCouldNotComplete = "The operation couldn’t be completed.";

std::optional<std::string> stringEntry(const Value::Dictionary& userInfo, const char* key) {
    const auto it = userInfo.find(key);
    if (it == userInfo.end()) {
        return std::nullopt;
    }
    if (const std::string* text = it->second.flattened().asString()) {
        return *text;
    }
    return std::nullopt;
}

} // namespace

// MARK: ErrorBody

ErrorBody::~ErrorBody() = default;

std::string ErrorBody::describe() const {
    const std::string qualified = typeName();
    const auto dot = qualified.rfind('.');
    return (dot == std::string::npos ? qualified : qualified.substr(dot + 1)) + "()";
}

std::string ErrorBody::debugDescribe() const {
    return describe();
}

// MARK: Error

Error::Error(std::shared_ptr<const ErrorBody> body) : body_(std::move(body)) {
    if (!body_) {
        fatal("An error needs a body.");
    }
}

std::shared_ptr<const NSError> Error::nsError() const {
    if (auto native = std::dynamic_pointer_cast<const NSError>(body_)) {
        return native;
    }
    return NSError::bridging(*this);
}

std::string Error::domain() const {
    return body_->errorDomain();
}

std::int64_t Error::code() const {
    return body_->errorCode();
}

std::string Error::localizedDescription() const {
    return nsError()->localizedDescription();
}

const char* Error::what() const noexcept {
    try {
        if (what_.empty()) {
            what_ = localizedDescription();
        }
    } catch (...) {
        ProcessStop::passOn();
        return "error";
    }
    return what_.c_str();
}

// MARK: NSError

NSError::NSError(std::string domain, std::int64_t code, Value::Dictionary userInfo)
    : domain_(std::move(domain)), code_(code), userInfo_(std::move(userInfo)) {}

Error NSError::make(std::string domain, std::int64_t code, Value::Dictionary userInfo) {
    return Error(std::make_shared<const NSError>(std::move(domain), code, std::move(userInfo)));
}

std::shared_ptr<const NSError> NSError::bridging(const Error& error) {
    const ErrorBody& body = error.body();
    auto bridged =
        std::make_shared<NSError>(body.errorDomain(), body.errorCode(), body.errorUserInfo());
    bridged->bridged_ = error;
    return bridged;
}

std::string NSError::className() const {
    return bridged_ ? "__SwiftNativeNSError" : "NSError";
}

std::string NSError::localizedDescription() const {
    if (auto description = stringEntry(userInfo_, NSLocalizedDescriptionKey)) {
        return *description;
    }
    if (bridged_ && bridged_->body().isLocalizedError()) {
        if (auto description = bridged_->body().errorDescription()) {
            return *description;
        }
    }
    if (auto reason = localizedFailureReason()) {
        return std::string(kCouldNotComplete) + " " + *reason;
    }
    return fmt::format("The operation couldn’t be completed. ({} error {}.)", domain_, code_);
}

std::optional<std::string> NSError::localizedFailureReason() const {
    if (auto reason = stringEntry(userInfo_, NSLocalizedFailureReasonErrorKey)) {
        return reason;
    }
    if (bridged_ && bridged_->body().isLocalizedError()) {
        return bridged_->body().failureReason();
    }
    return std::nullopt;
}

std::optional<std::string> NSError::localizedRecoverySuggestion() const {
    if (auto suggestion = stringEntry(userInfo_, NSLocalizedRecoverySuggestionErrorKey)) {
        return suggestion;
    }
    if (bridged_ && bridged_->body().isLocalizedError()) {
        return bridged_->body().recoverySuggestion();
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> NSError::localizedRecoveryOptions() const {
    const auto it = userInfo_.find(NSLocalizedRecoveryOptionsErrorKey);
    if (it == userInfo_.end() || it->second.asArray() == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> options;
    for (const Value& option : *it->second.asArray()) {
        if (const std::string* title = option.asString()) {
            options.push_back(*title);
        }
    }
    return options;
}

std::shared_ptr<NSObject> NSError::recoveryAttempter() const {
    const auto it = userInfo_.find(NSRecoveryAttempterErrorKey);
    return it == userInfo_.end() ? nullptr : it->second.asObject();
}

std::optional<std::string> NSError::helpAnchorText() const {
    if (auto anchor = stringEntry(userInfo_, NSHelpAnchorErrorKey)) {
        return anchor;
    }
    if (bridged_ && bridged_->body().isLocalizedError()) {
        return bridged_->body().helpAnchor();
    }
    return std::nullopt;
}

std::optional<Error> NSError::underlyingError() const {
    const auto it = userInfo_.find(NSUnderlyingErrorKey);
    return it == userInfo_.end() ? std::nullopt : it->second.flattened().asError();
}

std::vector<Error> NSError::underlyingErrors() const {
    std::vector<Error> errors;
    const auto it = userInfo_.find(NSMultipleUnderlyingErrorsKey);
    if (it != userInfo_.end() && it->second.asArray() != nullptr) {
        for (const Value& element : *it->second.asArray()) {
            if (auto error = element.flattened().asError()) {
                errors.push_back(*error);
            }
        }
    }
    return errors;
}

std::string NSError::describe() const {
    std::optional<std::string> description = stringEntry(userInfo_, NSLocalizedDescriptionKey);
    if (!description && bridged_ && bridged_->body().isLocalizedError()) {
        description = bridged_->body().errorDescription();
    }
    std::string out = fmt::format("Error Domain={} Code={} \"{}\"", domain_, code_,
                                  description.value_or("(null)"));
    if (!userInfo_.empty()) {
        out += " UserInfo={";
        bool first = true;
        for (const auto& [key, value] : userInfo_) {
            if (!first)
                out += ", ";
            first = false;
            out += key + "=" + value.describe();
        }
        out += "}";
    }
    return out;
}

// MARK: fatal

namespace {

// A fixed table, so that dying allocates nothing and takes no lock.
constexpr std::size_t kMaximumFatalHooks = 8;
std::array<std::atomic<void (*)()>, kMaximumFatalHooks> fatalHooks{};
std::atomic<std::size_t> fatalHookCount{0};
std::atomic<bool> runningFatalHooks{false};
std::atomic<void (*)()> fatalEnd{nullptr};

} // namespace

void addFatalHook(void (*hook)()) {
    const std::size_t slot = fatalHookCount.fetch_add(1);
    if (slot >= kMaximumFatalHooks) {
        fatal("Too many hooks for fatal errors.");
    }
    fatalHooks[slot].store(hook);
}

void setFatalEnd(void (*end)()) {
    fatalEnd.store(end);
}

[[noreturn]] void fatal(std::string_view message) {
    const std::string text = "Fatal error: " + std::string(message);
    osLog(OSLog{"com.quorvik.Zestrel", "general"}, OSLogType::fault, text);
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
    if (!runningFatalHooks.exchange(true)) {
        const std::size_t count = std::min(fatalHookCount.load(), kMaximumFatalHooks);
        for (std::size_t i = 0; i < count; ++i) {
            if (const auto hook = fatalHooks[i].load()) {
                hook();
            }
        }
    }
    if (const auto end = fatalEnd.load()) {
        end();
    }
    std::abort();
}

} // namespace zestrel::platform

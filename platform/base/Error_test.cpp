#include "platform/base/Error.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

struct PlainError final : ErrorBody {
    std::string typeName() const override { return "Zestrel.PlainError"; }
    std::int64_t errorCode() const override { return 3; }
};

struct Described final : ErrorBody {
    std::string typeName() const override { return "Zestrel.Described"; }
    bool isLocalizedError() const override { return true; }
    std::optional<std::string> errorDescription() const override { return "Described."; }
    std::optional<std::string> failureReason() const override { return "Because."; }
};

struct ReasonOnly final : ErrorBody {
    std::string typeName() const override { return "Zestrel.ReasonOnly"; }
    bool isLocalizedError() const override { return true; }
    std::optional<std::string> failureReason() const override { return "The disk is full."; }
};

TEST(NSErrorDescription, FollowsThePlatformsThreeRules) {
    EXPECT_EQ(NSError::make("D", 2, {{NSLocalizedDescriptionKey, "Text."}}).localizedDescription(),
              "Text.");
    EXPECT_EQ(
        NSError::make("D", 2, {{NSLocalizedFailureReasonErrorKey, "Why."}}).localizedDescription(),
        "The operation couldn’t be completed. Why.");
    EXPECT_EQ(NSError::make("D", 2).localizedDescription(),
              "The operation couldn’t be completed. (D error 2.)");
}

TEST(NSErrorBridging, OwnErrorsAreWrappedAndNativeOnesPassThrough) {
    const Error native = NSError::make("NSCocoaErrorDomain", 4);
    EXPECT_EQ(native.nsError().get(), native.bodyPointer().get());
    EXPECT_EQ(native.nsError()->className(), "NSError");

    const Error own = Error::make<PlainError>();
    const auto bridged = own.nsError();
    EXPECT_EQ(bridged->className(), "__SwiftNativeNSError");
    EXPECT_EQ(bridged->domain(), "Zestrel.PlainError");
    EXPECT_EQ(bridged->code(), 3);
    EXPECT_TRUE(bridged->userInfo().empty());
    EXPECT_EQ(own.localizedDescription(),
              "The operation couldn’t be completed. (Zestrel.PlainError error 3.)");
    EXPECT_EQ(own.describe(), "PlainError()");
}

TEST(NSErrorBridging, LocalizedErrorsGiveTheirTexts) {
    EXPECT_EQ(Error::make<Described>().localizedDescription(), "Described.");
    EXPECT_EQ(Error::make<Described>().nsError()->localizedFailureReason(), "Because.");
    EXPECT_EQ(Error::make<ReasonOnly>().localizedDescription(),
              "The operation couldn’t be completed. The disk is full.");
}

TEST(NSErrorDescription, PrintedFormStartsWithErrorDomain) {
    EXPECT_EQ(NSError::make("D", 1).describe(), "Error Domain=D Code=1 \"(null)\"");
    EXPECT_EQ(NSError::make("D", 1, {{NSLocalizedDescriptionKey, "x"}, {"n", 2}}).describe(),
              "Error Domain=D Code=1 \"x\" UserInfo={NSLocalizedDescription=x, n=2}");
}

TEST(NSErrorUserInfo, UnderlyingErrorsAndOptions) {
    const Error inner = NSError::make("I", 9);
    const Error outer = NSError::make(
        "O", 1,
        {{NSUnderlyingErrorKey, inner},
         {NSMultipleUnderlyingErrorsKey, Value::Array{inner, Error::make<PlainError>()}},
         {NSLocalizedRecoveryOptionsErrorKey, Value::Array{"Retry", "Cancel"}}});
    ASSERT_TRUE(outer.nsError()->underlyingError());
    EXPECT_TRUE(outer.nsError()->underlyingError()->isSameObject(inner));
    EXPECT_EQ(outer.nsError()->underlyingErrors().size(), 2u);
    EXPECT_EQ(outer.nsError()->localizedRecoveryOptions(),
              (std::vector<std::string>{"Retry", "Cancel"}));
}

TEST(ErrorHandle, IsThrownAndCaughtAsAValue) {
    try {
        throw Error::make<CancellationError>();
    } catch (const Error& error) {
        EXPECT_TRUE(error.is<CancellationError>());
        EXPECT_STREQ(error.what(),
                     "The operation couldn’t be completed. (Swift.CancellationError error 1.)");
    }
}

TEST(FatalError, StopsTheProcessWithTheMessage) {
    EXPECT_DEATH(fatal("Not yet implemented."), "Fatal error: Not yet implemented.");
}

} // namespace
} // namespace zestrel::platform

#include "platform/desktop/PowerAssertions.h"

#include "platform/desktop/Desktop.h"
#include "platform/testing/DesktopEnvironment.h"

#include <gtest/gtest.h>

#include <string>

namespace zestrel::platform {
namespace {

class PowerAssertionsTest : public ::testing::Test {
protected:
    testing::DesktopEnvironment env;
    PowerAssertions& assertions() { return env.desktop().powerAssertions(); }
};

TEST_F(PowerAssertionsTest, TheListingIsKeyedByProcessIdentifierAndKeepsWhatWasSet) {
    Value listing;
    ASSERT_EQ(IOPMCopyAssertionsByProcess(&listing), kIOReturnSuccess);
    EXPECT_EQ(listing, Value(Value::Dictionary{}));

    const Value held(Value::Array{
        Value(Value::Dictionary{{kIOPMAssertionTypeKey, Value("PreventUserIdleSystemSleep")},
                                {kIOPMAssertionNameKey, Value("Playing audio")}})});
    assertions().setAssertions(74, held);
    assertions().setAssertions(310, Value("not a list"));
    assertions().setAssertions(99, held);
    assertions().setAssertions(99, Value());
    ASSERT_EQ(IOPMCopyAssertionsByProcess(&listing), kIOReturnSuccess);
    EXPECT_EQ(listing, Value(Value::Dictionary{{"74", held}, {"310", Value("not a list")}}));
}

TEST_F(PowerAssertionsTest, AFailureLeavesTheAnswerAsItWas) {
    assertions().setAssertions(74, Value(Value::Array{}));
    assertions().setFailure(kIOReturnNotPrivileged);
    Value listing("untouched");
    EXPECT_EQ(IOPMCopyAssertionsByProcess(&listing), kIOReturnNotPrivileged);
    EXPECT_EQ(listing, Value("untouched"));
    EXPECT_EQ(IOPMCopyAssertionsByProcess(nullptr), kIOReturnBadArgument);

    assertions().setFailure(kIOReturnSuccess);
    EXPECT_EQ(IOPMCopyAssertionsByProcess(&listing), kIOReturnSuccess);
    EXPECT_EQ(listing, Value(Value::Dictionary{{"74", Value(Value::Array{})}}));
}

TEST(MachErrorTest, KnownCodesHaveTheKernelsTextAndOthersNone) {
    EXPECT_STREQ(mach_error_string(kIOReturnError), "(iokit/common) general error");
    EXPECT_STREQ(mach_error_string(KERN_FAILURE), "(os/kern) failure");
    EXPECT_EQ(mach_error_string(12345), nullptr);
    EXPECT_EQ(mach_error_string(-1), nullptr);
}

} // namespace
} // namespace zestrel::platform

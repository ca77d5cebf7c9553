#include "foundation/EmailAddress.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

TEST(EmailAddressTest, AcceptsOneAddressTrimmed) {
    EXPECT_EQ(EmailAddress::fromRawValue("  ann@example.com\n")->rawValue, "ann@example.com");
    EXPECT_EQ(EmailAddress::fromRawValue("ann@example.com"), EmailAddress{"ann@example.com"});
}

TEST(EmailAddressTest, RejectsAnythingButExactlyOneAddress) {
    for (const char* text :
         {"", "ann", "Ann <ann@example.com>", "Ann ann@example.com",
          "ann@example.com bob@example.com", "mailto:ann@example.com", "ann@example"}) {
        EXPECT_FALSE(EmailAddress::fromRawValue(text).has_value()) << text;
    }
}

TEST(EmailAddressTest, SupportAddressIsValid) {
    EXPECT_TRUE(EmailAddress::fromRawValue(EmailAddress::support().rawValue).has_value());
}

TEST(EmailAddressTest, CodesAsItsTextAndDecodesWithoutChecking) {
    platform::ValueEncoder encoder;
    EXPECT_EQ(encoder.encode(EmailAddress{"ann@example.com"}), platform::Value("ann@example.com"));
    platform::ValueDecoder decoder;
    EXPECT_EQ(decoder.decode<EmailAddress>(platform::Value(" not checked ")).rawValue,
              " not checked ");
    EXPECT_THROW(decoder.decode<EmailAddress>(platform::Value(7)), platform::Error);
}

using EmailAddressDeathTest = ::testing::Test;

TEST_F(EmailAddressDeathTest, InvalidLiteralStopsTheProcess) {
    EXPECT_DEATH(EmailAddress::fromLiteral("not an address"),
                 "Invalid email address: not an address");
}

} // namespace
} // namespace zestrel

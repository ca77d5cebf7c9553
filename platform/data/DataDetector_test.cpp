#include "platform/data/DataDetector.h"

#include <gtest/gtest.h>
#include <string>

namespace zestrel::platform {
namespace {

TEST(EmailDetection, AcceptsLoneAddresses) {
    const char* accepted[] = {
        "a@b.co",
        "support@zestrel.app",
        "first.last+tag@mail.example.org",
        "o'neil_99@sub-domain.example.com",
        "UPPER@EXAMPLE.COM",
        "x@1st.example.io",
    };
    for (const char* text : accepted) {
        EXPECT_EQ(detectEmailAddress(text), text);
        EXPECT_TRUE(isSingleEmailAddress(text)) << text;
    }
}

TEST(EmailDetection, RefusesAnythingButExactlyOneAddress) {
    const char* refused[] = {
        "",
        "plain",
        "@example.com",
        "user@",
        "user@example",
        "user@@example.com",
        "a@b@example.com",
        "mailto:user@example.com",
        "John user@example.com",
        "user@example.com other",
        "a@b.co c@d.co",
        "a@b.co,c@d.co",
        " user@example.com",
        "user@example.com\n",
        "user name@example.com",
        ".user@example.com",
        "user.@example.com",
        "us..er@example.com",
        "user@.example.com",
        "user@example..com",
        "user@example.com.",
        "user@-example.com",
        "user@example-.com",
        "user@example.c",
        "user@example.c0m",
        "user@exa_mple.com",
        "<user@example.com>",
        "\"quoted\"@example.com",
        "usér@example.com",
        "user@exämple.com",
    };
    for (const char* text : refused) {
        EXPECT_FALSE(isSingleEmailAddress(text)) << text;
    }
}

TEST(EmailDetection, LengthLimits) {
    const std::string label(63, 'a');
    EXPECT_TRUE(isSingleEmailAddress(std::string(64, 'u') + "@" + label + ".com"));
    EXPECT_FALSE(isSingleEmailAddress(std::string(65, 'u') + "@example.com"));
    EXPECT_FALSE(isSingleEmailAddress("u@" + label + "a.com"));
    const std::string longDomain = label + "." + label + "." + label + "." + std::string(56, 'b');
    EXPECT_TRUE(isSingleEmailAddress("u@" + longDomain + ".com"));   // 254 characters
    EXPECT_FALSE(isSingleEmailAddress("uu@" + longDomain + ".com")); // 255
}

} // namespace
} // namespace zestrel::platform

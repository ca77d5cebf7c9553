#include "platform/base/Value.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

TEST(UUIDParse, AcceptsTheHyphenatedFormInEitherCase) {
    const auto upper = UUID::parse("E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    ASSERT_TRUE(upper);
    EXPECT_EQ(upper->bytes[0], 0xE6);
    EXPECT_EQ(upper->bytes[15], 0x5F);
    EXPECT_EQ(upper->uuidString(), "E621E1F8-C36C-495A-93FC-0C247A3E6E5F");
    EXPECT_EQ(UUID::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"), upper);
    EXPECT_EQ(UUID::parse("e621E1F8-c36C-495a-93Fc-0C247a3e6E5f"), upper);
    const UUID random = UUID::random();
    EXPECT_EQ(UUID::parse(random.uuidString()), random);
}

TEST(UUIDParse, RefusesEverythingElse) {
    const char* refused[] = {
        "",
        "E621E1F8C36C495A93FC0C247A3E6E5F",
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5",
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5F0",
        "{E621E1F8-C36C-495A-93FC-0C247A3E6E5F}",
        " E621E1F8-C36C-495A-93FC-0C247A3E6E5F",
        "E621E1F8-C36C-495A-93FC-0C247A3E6E5G",
        "E621E1F-8C36C-495A-93FC-0C247A3E6E5F",
        "E621E1F8-C36C-495A-93FC+0C247A3E6E5F",
        "E621E1F8-C36C-495A-93F--0C247A3E6E5F",
        "urn:uuid:E621E1F8-C36C-495A-93FC-0C",
    };
    for (const char* text : refused) {
        EXPECT_FALSE(UUID::parse(text)) << text;
    }
}

} // namespace
} // namespace zestrel::platform

#include "platform/data/LanguageNames.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

TEST(LanguageNamesTest, NamesALanguageInTheLocalesLanguageAndNothingForAnUnknownCode) {
    EXPECT_EQ(localizedLanguageName("en", "en_US_POSIX"), "English");
    EXPECT_EQ(localizedLanguageName("ja", "en_US_POSIX"), "Japanese");
    EXPECT_EQ(localizedLanguageName("ja", "de"), "Japanisch");
    // The locale data answers an unknown code with the code itself: that is no name.
    EXPECT_EQ(localizedLanguageName("xx", "en_US_POSIX"), std::nullopt);
    EXPECT_EQ(localizedLanguageName("", "en_US_POSIX"), std::nullopt);
}

} // namespace
} // namespace zestrel::platform

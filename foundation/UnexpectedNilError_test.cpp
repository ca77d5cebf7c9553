#include "foundation/UnexpectedNilError.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;

TEST(UnexpectedNilError, WithoutMessageDescribesTheLocation) {
    const pf::Error error = pf::Error::make<UnexpectedNilError>(std::nullopt, "F", 7);
    EXPECT_EQ(error.localizedDescription(), "Unexpected nil encountered at F:7");
    EXPECT_EQ(error.nsError()->localizedFailureReason(), "Unexpected nil encountered at F:7");
}

TEST(UnexpectedNilError, MessageIsTheDescriptionAndLocationTheReason) {
    const pf::Error error = pf::Error::make<UnexpectedNilError>("No window", "F", 7);
    EXPECT_EQ(error.localizedDescription(), "No window");
    EXPECT_EQ(error.nsError()->localizedFailureReason(), "Unexpected nil encountered at F:7");
    EXPECT_FALSE(error.nsError()->localizedRecoverySuggestion());
}

TEST(UnexpectedNilError, DefaultsToTheCallersLocation) {
    const int line = __LINE__ + 1;
    const UnexpectedNilError error;
    EXPECT_TRUE(error.file().ends_with("UnexpectedNilError_test.cpp"));
    EXPECT_EQ(error.line(), line);
}

} // namespace
} // namespace zestrel

#include "foundation/FeedbackMetadata.h"

#include "platform/base/ProcessLocal.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

using platform::Value;

TEST(FeedbackMetadataTest, RegistriesStartEmptyInEachProcess) {
    platform::testing::TestEnvironment environment;
    EXPECT_TRUE(feedbackMetadataValues().empty());
    EXPECT_TRUE(feedbackMetadataProviders().empty());

    feedbackMetadataValues().insert_or_assign("Keycode1", Value(7u));
    feedbackMetadataProviders().push_back([] { return Value::Dictionary{{"a", Value(true)}}; });
    EXPECT_EQ(feedbackMetadataProviders().front()().at("a"), Value(true));

    platform::resetProcess();
    EXPECT_TRUE(feedbackMetadataValues().empty());
    EXPECT_TRUE(feedbackMetadataProviders().empty());
}

} // namespace
} // namespace zestrel

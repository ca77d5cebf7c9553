#include "platform/base/Progress.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace zestrel::platform {
namespace {

TEST(ProgressTest, FractionAndFinishFollowTheUnits) {
    Progress indeterminate;
    EXPECT_EQ(indeterminate.fractionCompleted(), 0);
    EXPECT_FALSE(indeterminate.isFinished());

    Progress progress(4);
    progress.setCompletedUnitCount(1);
    EXPECT_EQ(progress.fractionCompleted(), 0.25);
    EXPECT_FALSE(progress.isFinished());
    progress.setCompletedUnitCount(5);
    EXPECT_EQ(progress.fractionCompleted(), 1) << "never more than all";
    EXPECT_TRUE(progress.isFinished());
    progress.setTotalUnitCount(10);
    EXPECT_EQ(progress.fractionCompleted(), 0.5);
    EXPECT_FALSE(progress.isFinished());
}

TEST(ProgressTest, ObserversHearEveryKeyAChangeTouches) {
    auto progress = std::make_shared<Progress>(2);
    std::vector<std::string> heard;
    std::vector<KeyValueObservationToken> tokens;
    for (const char* key : {"fractionCompleted", "isFinished", "isCancelled"}) {
        tokens.push_back(progress->addObserver(
            key, NSKeyValueObservingOptionNew, [&heard](const KeyValueNotification& n) {
                heard.push_back(n.keyPath + "=" + n.change.at(NSKeyValueChangeNewKey).describe());
            }));
    }
    progress->setCompletedUnitCount(2);
    EXPECT_EQ(heard, (std::vector<std::string>{"fractionCompleted=1.0", "isFinished=true"}));

    heard.clear();
    progress->cancel();
    progress->cancel();
    EXPECT_EQ(heard, std::vector<std::string>{"isCancelled=true"}) << "cancelled once";

    heard.clear();
    for (const auto& token : tokens) {
        progress->removeObserver(token);
    }
    progress->setCompletedUnitCount(1);
    EXPECT_TRUE(heard.empty());
}

} // namespace
} // namespace zestrel::platform

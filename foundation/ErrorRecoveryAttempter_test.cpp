#include "foundation/ErrorRecoveryAttempter.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

namespace pf = platform;

struct Recorder {
    std::vector<int> ran;
    ErrorRecoveryAttempter attempter{{
        {"Retry",
         [this] {
             ran.push_back(0);
             return true;
         }},
        {"Ignore",
         [this] {
             ran.push_back(1);
             return false;
         }},
    }};
};

TEST(ErrorRecoveryAttempter, IndexOutOfRangeRunsNothing) {
    Recorder recorder;
    const pf::Error error = pf::NSError::make("D", 1);
    EXPECT_FALSE(recorder.attempter.attemptRecoveryFromError(error, 2));
    EXPECT_FALSE(recorder.attempter.attemptRecoveryFromError(error, -1));
    EXPECT_TRUE(recorder.ran.empty());
}

TEST(ErrorRecoveryAttempter, DelegateFormTellsResultAndContext) {
    Recorder recorder;
    const pf::Error error = pf::NSError::make("D", 1);
    std::vector<std::pair<bool, pf::Value>> told;
    const pf::RecoveryDelegate delegate = [&told](bool recovered, const pf::Value& context) {
        told.emplace_back(recovered, context);
    };
    recorder.attempter.attemptRecoveryFromError(error, 0, delegate, pf::Value("ctx"));
    recorder.attempter.attemptRecoveryFromError(error, 5, delegate, pf::Value());
    recorder.attempter.attemptRecoveryFromError(error, 1, nullptr, pf::Value());
    ASSERT_EQ(told.size(), 2u);
    EXPECT_TRUE(told[0].first);
    EXPECT_EQ(told[0].second, pf::Value("ctx"));
    EXPECT_FALSE(told[1].first);
    EXPECT_TRUE(told[1].second.isAbsent());
    EXPECT_EQ(recorder.ran, (std::vector<int>{0, 1}));
}

TEST(ErrorRecoveryAttempterDeathTest, CreatingOneWithoutOptionsStops) {
    EXPECT_DEATH({ auto attempter = std::make_shared<ErrorRecoveryAttempter>(); },
                 "Use of unimplemented initializer 'init\\(\\)' for class "
                 "'Zestrel.ErrorRecoveryAttempter'");
}

} // namespace
} // namespace zestrel

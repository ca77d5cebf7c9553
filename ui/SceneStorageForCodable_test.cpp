#include "ui/SceneStorageForCodable.h"

#include "platform/swiftui/Containers.h"
#include "platform/swiftui/Controls.h"
#include "platform/swiftui/Text.h"
#include "platform/swiftui/ViewHost.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>

namespace zestrel {
namespace {

namespace sui = platform::swiftui;
using Counts = std::map<std::string, int>;

// Counts kept in the scene under "counts", shown and changed by a button.
struct CountsScreen {
    Counts defaults;
    sui::View body(sui::ViewContext& context) const {
        const SceneStorageForCodable<Counts> counts(context, defaults, "counts");
        std::string shown;
        for (const auto& [name, count] : counts.wrappedValue()) {
            shown += name + "=" + std::to_string(count) + " ";
        }
        const auto binding = counts.projectedValue();
        return sui::VStack({
            sui::Text("Counts " + shown),
            sui::Button("Count Zeta",
                        [binding] {
                            Counts changed = binding.get();
                            ++changed["zeta"];
                            binding.set(changed);
                        }),
        });
    }
};

class SceneStorageForCodableTest : public ::testing::Test {
protected:
    platform::testing::TestEnvironment env;
    sui::SceneStorage stored{"counts"};
};

TEST_F(SceneStorageForCodableTest, MakingTheViewWritesNothing) {
    auto fresh = sui::ViewHost::make(CountsScreen{{{"alpha", 1}}});
    EXPECT_NE(fresh->find("Counts alpha=1 "), nullptr) << "the default, while nothing is stored";
    EXPECT_EQ(stored.get(), std::nullopt);

    stored.set(R"({"beta":2})");
    auto again = sui::ViewHost::make(CountsScreen{{{"alpha", 1}}});
    EXPECT_EQ(stored.get(), R"({"beta":2})") << "a view made again keeps what was stored";
    EXPECT_NE(again->find("Counts beta=2 "), nullptr);
}

TEST_F(SceneStorageForCodableTest, WritesJSONWithSortedKeysAndRedraws) {
    stored.set(R"({"alpha":4})");
    auto host = sui::ViewHost::make(CountsScreen{});
    ASSERT_TRUE(host->click("Count Zeta"));
    EXPECT_EQ(stored.get(), R"({"alpha":4,"zeta":1})");
    env.runUntilIdle();
    EXPECT_NE(host->find("Counts alpha=4 zeta=1 "), nullptr) << host->outline();
}

TEST_F(SceneStorageForCodableTest, TextThatIsNotTheValuesJSONReadsAsTheDefault) {
    for (const char* text : {"not json", R"(["alpha"])", R"({"alpha":"one"})", ""}) {
        SCOPED_TRACE(text);
        stored.set(text);
        auto host = sui::ViewHost::make(CountsScreen{{{"fallback", 9}}});
        EXPECT_NE(host->find("Counts fallback=9 "), nullptr) << host->outline();
    }
}

} // namespace
} // namespace zestrel

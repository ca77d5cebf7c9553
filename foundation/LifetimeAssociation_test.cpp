#include "foundation/LifetimeAssociation.h"

#include "foundation/DeinitObserver.h"

#include <gtest/gtest.h>

#include <memory>

namespace zestrel {
namespace {

struct Kept {};

class LifetimeAssociationTest : public ::testing::Test {
protected:
    std::shared_ptr<platform::NSObject> owner = std::make_shared<platform::NSObject>();
    std::shared_ptr<Kept> kept = std::make_shared<Kept>();
    std::weak_ptr<Kept> weakKept = kept;
    int handled = 0;

    std::unique_ptr<LifetimeAssociation> associate() {
        auto association =
            std::make_unique<LifetimeAssociation>(owner, std::move(kept), [this] { ++handled; });
        return association;
    }
};

TEST_F(LifetimeAssociationTest, OwnerReleasedRunsTheHandlerOnceAndReleasesTheObject) {
    auto association = associate();
    EXPECT_FALSE(weakKept.expired()); // the owner keeps it alive
    EXPECT_EQ(LifetimeAssociation::associationKey()[*owner].size(), 1u);
    owner.reset();
    EXPECT_EQ(handled, 1);
    EXPECT_TRUE(weakKept.expired());
    association.reset(); // the owner is gone: nothing more happens
    EXPECT_EQ(handled, 1);
}

TEST_F(LifetimeAssociationTest, CancelledAssociationNeverRunsItsHandler) {
    auto association = associate();
    association->cancel();
    association->cancel(); // harmless
    EXPECT_TRUE(weakKept.expired());
    EXPECT_TRUE(LifetimeAssociation::associationKey()[*owner].empty());
    owner.reset();
    association.reset();
    EXPECT_EQ(handled, 0);
}

TEST_F(LifetimeAssociationTest, ReleasingTheAssociationRunsTheHandlerThen) {
    auto association = associate();
    auto other = std::make_unique<LifetimeAssociation>(owner, nullptr, [] {});
    association.reset();
    EXPECT_EQ(handled, 1);
    EXPECT_TRUE(weakKept.expired());
    // Only its own tracker left the owner.
    EXPECT_EQ(LifetimeAssociation::associationKey()[*owner].size(), 1u);
}

TEST_F(LifetimeAssociationTest, HandlerMayCancelAnotherTieOfTheSameOwner) {
    // The handler of a tie releases what cancels another tie on the same owner.
    auto second = std::make_unique<LifetimeAssociation>(owner, nullptr, [this] { handled += 10; });
    auto first = std::make_unique<LifetimeAssociation>(owner, nullptr, [this, &second] {
        second->cancel();
        ++handled;
    });
    first.reset();
    EXPECT_EQ(handled, 1);
    owner.reset();
    EXPECT_EQ(handled, 1);
}

TEST(DeinitObserver, RunsItsClosureOnceWhenReleased) {
    int runs = 0;
    {
        auto observer = std::make_shared<DeinitObserver>([&] { ++runs; });
        auto copy = observer;
        observer.reset();
        EXPECT_EQ(runs, 0);
    }
    EXPECT_EQ(runs, 1);
}

} // namespace
} // namespace zestrel

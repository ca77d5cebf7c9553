#include "foundation/WeakBox.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zestrel {
namespace {

// An object with a value equality of its own, as platform objects have.
class Name : public platform::NSObject {
public:
    explicit Name(std::string text) : text(std::move(text)) {}
    bool isEqual(const NSObject& other) const override {
        const auto* name = dynamic_cast<const Name*>(&other);
        return name && name->text == text;
    }
    std::size_t hash() const override { return std::hash<std::string>{}(text); }
    bool operator<(const Name& other) const { return text < other.text; }
    std::string id() const { return text; }
    std::string text;
};

TEST(WeakBox, DoesNotKeepItsObjectAlive) {
    auto name = std::make_shared<Name>("a");
    WeakBox<Name> box(name);
    EXPECT_EQ(box.wrappedValue(), name);
    name.reset();
    EXPECT_EQ(box.wrappedValue(), nullptr);
}

TEST(WeakBox, EqualityFollowsTheObjectsWhileTheyLive) {
    auto a = std::make_shared<Name>("same");
    auto b = std::make_shared<Name>("same");
    auto c = std::make_shared<Name>("other");
    WeakBox<Name> boxA(a);
    WeakBox<Name> boxB(b);
    WeakBox<Name> boxC(c);
    EXPECT_EQ(boxA, boxB); // the objects' own equality, not identity
    EXPECT_NE(boxA, boxC);
    EXPECT_EQ(boxA.hash(), boxB.hash());

    c.reset();
    EXPECT_NE(boxA, boxC); // exactly one gone
    a.reset();
    b.reset();
    EXPECT_EQ(boxA, boxC); // both gone
    EXPECT_EQ(boxA, boxB);
}

TEST(WeakBox, HashBecomesThatOfNothingWhenTheObjectDies) {
    auto a = std::make_shared<Name>("a");
    WeakBox<Name> box(a);
    WeakBox<Name> deadFromTheStart(std::make_shared<Name>("b"));
    const auto alive = box.hash();
    EXPECT_EQ(alive, a->hash());
    a.reset();
    // Why a WeakBox must never be a key of a hashed container: its hash moved.
    EXPECT_NE(box.hash(), alive);
    EXPECT_EQ(box.hash(), deadFromTheStart.hash());
}

TEST(WeakBox, OnlyTwoLiveObjectsAreInOrder) {
    auto a = std::make_shared<Name>("a");
    auto b = std::make_shared<Name>("b");
    WeakBox<Name> boxA(a);
    WeakBox<Name> boxB(b);
    EXPECT_TRUE(boxA < boxB);
    EXPECT_FALSE(boxB < boxA);
    b.reset();
    EXPECT_FALSE(boxA < boxB);
    EXPECT_FALSE(boxB < boxA); // a released box is never less than another
}

TEST(WeakBox, IdentityIsTheObjectsWhileItLives) {
    auto a = std::make_shared<Name>("a");
    WeakBox<Name> box(a);
    EXPECT_EQ(box.id(), std::optional<std::string>("a"));
    a.reset();
    EXPECT_EQ(box.id(), std::nullopt);
}

TEST(WeakArray, ReleasedObjectsLeaveHolesAndTheCountStays) {
    auto first = std::make_shared<Name>("1");
    auto second = std::make_shared<Name>("2");
    auto third = std::make_shared<Name>("3");
    WeakArray<Name> array{first, second, third};
    second.reset();
    EXPECT_EQ(array.count(), 3u);
    EXPECT_EQ(array[0], first);
    EXPECT_EQ(array[1], nullptr);
    EXPECT_EQ(array[2], third);
    std::vector<std::string> walked;
    for (const auto& element : array) {
        walked.push_back(element ? element->text : "nil");
    }
    EXPECT_EQ(walked, (std::vector<std::string>{"1", "nil", "3"}));
    EXPECT_EQ(array.index(1), 2u);
    EXPECT_EQ(array.endIndex(), 3u);
}

} // namespace
} // namespace zestrel

#include "platform/base/AssociatedObjects.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace zestrel::platform {
namespace {

// Runs a closure when it is released.
class Watched : public NSObject {
public:
    explicit Watched(std::function<void()> onRelease = {}) : onRelease_(std::move(onRelease)) {}
    ~Watched() override {
        if (onRelease_) {
            onRelease_();
        }
    }

private:
    std::function<void()> onRelease_;
};

class Note : public NSObject, public NSCopying {
public:
    explicit Note(std::string text) : text(std::move(text)) {}
    std::shared_ptr<NSObject> copy() const override { return std::make_shared<Note>(text); }
    std::string text;
};

const char kFirstKey = 0;
const char kSecondKey = 0;

TEST(AssociatedObjects, ValuesAreKeptPerKeyAndReleasedWithTheirOwner) {
    int released = 0;
    auto owner = std::make_shared<NSObject>();
    EXPECT_EQ(objc_getAssociatedObject(*owner, &kFirstKey), nullptr);
    objc_setAssociatedObject(*owner, &kFirstKey, std::make_shared<Watched>([&] { ++released; }),
                             OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    objc_setAssociatedObject(*owner, &kSecondKey, std::make_shared<Watched>([&] { ++released; }),
                             OBJC_ASSOCIATION_RETAIN);
    EXPECT_NE(objc_getAssociatedObject(*owner, &kFirstKey),
              objc_getAssociatedObject(*owner, &kSecondKey));
    owner.reset();
    EXPECT_EQ(released, 2);
}

TEST(AssociatedObjects, ReplacingOrRemovingReleasesTheOldValue) {
    int released = 0;
    auto owner = std::make_shared<NSObject>();
    objc_setAssociatedObject(*owner, &kFirstKey, std::make_shared<Watched>([&] { ++released; }),
                             OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    auto second = std::make_shared<Watched>([&] { ++released; });
    objc_setAssociatedObject(*owner, &kFirstKey, second, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    EXPECT_EQ(released, 1);
    EXPECT_EQ(objc_getAssociatedObject(*owner, &kFirstKey), second);
    second.reset();
    objc_setAssociatedObject(*owner, &kFirstKey, nullptr, OBJC_ASSOCIATION_RETAIN_NONATOMIC);
    EXPECT_EQ(released, 2);
    EXPECT_EQ(objc_getAssociatedObject(*owner, &kFirstKey), nullptr);
}

TEST(AssociatedObjects, AssignDoesNotKeepTheValue) {
    auto owner = std::make_shared<NSObject>();
    auto value = std::make_shared<NSObject>();
    objc_setAssociatedObject(*owner, &kFirstKey, value, OBJC_ASSOCIATION_ASSIGN);
    EXPECT_EQ(objc_getAssociatedObject(*owner, &kFirstKey), value);
    value.reset();
    EXPECT_EQ(objc_getAssociatedObject(*owner, &kFirstKey), nullptr);
}

TEST(AssociatedObjects, CopyPoliciesKeepAnIndependentCopy) {
    auto owner = std::make_shared<NSObject>();
    for (auto policy : {OBJC_ASSOCIATION_COPY_NONATOMIC, OBJC_ASSOCIATION_COPY}) {
        auto note = std::make_shared<Note>("draft");
        objc_setAssociatedObject(*owner, &kFirstKey, note, policy);
        note->text = "changed";
        auto stored = std::dynamic_pointer_cast<Note>(objc_getAssociatedObject(*owner, &kFirstKey));
        ASSERT_NE(stored, nullptr);
        EXPECT_NE(stored, note);
        EXPECT_EQ(stored->text, "draft");
    }
}

TEST(AssociatedObjectsDeathTest, CopyingAnObjectThatCannotBeCopiedStops) {
    testing::TestEnvironment env;
    auto owner = std::make_shared<NSObject>();
    EXPECT_DEATH(objc_setAssociatedObject(*owner, &kFirstKey, std::make_shared<NSObject>(),
                                          OBJC_ASSOCIATION_COPY),
                 "unrecognized selector");
}

TEST(AssociatedObjects, CopyingTheOwnerDoesNotShareItsAssociations) {
    auto owner = std::make_shared<Note>("a");
    objc_setAssociatedObject(*owner, &kFirstKey, std::make_shared<NSObject>(),
                             OBJC_ASSOCIATION_RETAIN);
    auto copy = std::dynamic_pointer_cast<Note>(owner->copy());
    Note assigned("b");
    assigned = *owner;
    EXPECT_EQ(objc_getAssociatedObject(*copy, &kFirstKey), nullptr);
    EXPECT_EQ(objc_getAssociatedObject(assigned, &kFirstKey), nullptr);
}

TEST(AssociatedObjects, ReleasedValueMayUseAssociationsOfItsOwn) {
    auto owner = std::make_shared<NSObject>();
    auto other = std::make_shared<NSObject>();
    objc_setAssociatedObject(*owner, &kFirstKey, std::make_shared<Watched>([&] {
        objc_setAssociatedObject(*other, &kFirstKey, nullptr, OBJC_ASSOCIATION_RETAIN);
    }),
                             OBJC_ASSOCIATION_RETAIN);
    objc_setAssociatedObject(*other, &kFirstKey, std::make_shared<NSObject>(),
                             OBJC_ASSOCIATION_RETAIN);
    owner.reset(); // would deadlock if values were released under the runtime's lock
    EXPECT_EQ(objc_getAssociatedObject(*other, &kFirstKey), nullptr);
}

TEST(AssociatedObjects, ConcurrentSetsAndGetsOnOneObject) {
    auto owner = std::make_shared<NSObject>();
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&owner, t] {
            for (int i = 0; i < 500; ++i) {
                const void* key = &kFirstKey + (i % 2);
                objc_setAssociatedObject(*owner, key, std::make_shared<NSObject>(),
                                         t % 2 ? OBJC_ASSOCIATION_RETAIN
                                               : OBJC_ASSOCIATION_RETAIN_NONATOMIC);
                (void)objc_getAssociatedObject(*owner, key);
            }
        });
    }
    for (auto& thread : threads) {
        thread.join();
    }
    EXPECT_NE(objc_getAssociatedObject(*owner, &kFirstKey), nullptr);
}

} // namespace
} // namespace zestrel::platform

#include "foundation/ObjectAssociation.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace zestrel {
namespace {

class Tag : public platform::NSObject {
public:
    explicit Tag(int number) : number(number) {}
    int number;
};

class Other : public platform::NSObject {};

TEST(ObjectAssociation, ReadsTheDefaultUntilSomethingIsAttached) {
    ObjectAssociation<std::string> note("none");
    ObjectAssociation<std::shared_ptr<Tag>> tag(nullptr);
    auto object = std::make_shared<platform::NSObject>();
    EXPECT_EQ(note[*object], "none");
    EXPECT_EQ(tag[*object], nullptr);
    note.setValue("hello", *object);
    EXPECT_EQ(note[*object], "hello");
}

TEST(ObjectAssociation, TwoAssociationsOfOneTypeKeepSeparateValues) {
    ObjectAssociation<int> a(0);
    ObjectAssociation<int> b(0);
    auto object = std::make_shared<platform::NSObject>();
    auto another = std::make_shared<platform::NSObject>();
    a.setValue(1, *object);
    b.setValue(2, *object);
    a.setValue(3, *another);
    EXPECT_EQ(a[*object], 1);
    EXPECT_EQ(b[*object], 2);
    EXPECT_EQ(a[*another], 3);
    EXPECT_EQ(b[*another], 0);
}

TEST(ObjectAssociation, ValuesOfEveryKindRoundTrip) {
    using Trackers = std::vector<std::shared_ptr<Tag>>;
    ObjectAssociation<Trackers> trackers({});
    ObjectAssociation<std::map<std::string, int>> table({});
    ObjectAssociation<std::shared_ptr<Tag>> tag(nullptr, AssociationPolicy::retain);
    auto object = std::make_shared<platform::NSObject>();
    trackers.setValue({std::make_shared<Tag>(1), std::make_shared<Tag>(2)}, *object);
    table.setValue({{"k", 1}}, *object);
    auto stored = std::make_shared<Tag>(7);
    tag.setValue(stored, *object);
    EXPECT_EQ(trackers[*object].size(), 2u);
    EXPECT_EQ(table[*object].at("k"), 1);
    EXPECT_EQ(tag[*object], stored); // objects are kept as themselves, not boxed
    EXPECT_EQ(platform::objc_getAssociatedObject(*object, &tag), stored);
}

TEST(ObjectAssociation, WritingReleasesTheOldValueUnderRetainNonatomic) {
    ObjectAssociation<std::shared_ptr<Tag>> tag(nullptr, AssociationPolicy::retainNonatomic);
    auto object = std::make_shared<platform::NSObject>();
    auto first = std::make_shared<Tag>(1);
    std::weak_ptr<Tag> weakFirst = first;
    tag.setValue(std::move(first), *object);
    EXPECT_FALSE(weakFirst.expired());
    tag.setValue(std::make_shared<Tag>(2), *object);
    EXPECT_TRUE(weakFirst.expired());
    EXPECT_EQ(tag[*object]->number, 2);
}

TEST(ObjectAssociation, AnAttachedValueOfAnotherTypeReadsAsTheDefault) {
    ObjectAssociation<std::shared_ptr<Tag>> tag(nullptr);
    auto object = std::make_shared<platform::NSObject>();
    platform::objc_setAssociatedObject(*object, &tag, std::make_shared<Other>(),
                                       platform::OBJC_ASSOCIATION_RETAIN);
    EXPECT_EQ(tag[*object], nullptr);
}

TEST(ObjectAssociation, PoliciesHaveTheRuntimeValues) {
    EXPECT_EQ(static_cast<std::uintptr_t>(AssociationPolicy::assign), 0u);
    EXPECT_EQ(static_cast<std::uintptr_t>(AssociationPolicy::retainNonatomic), 1u);
    EXPECT_EQ(static_cast<std::uintptr_t>(AssociationPolicy::copyNonatomic), 3u);
    EXPECT_EQ(static_cast<std::uintptr_t>(AssociationPolicy::retain), 769u);
    EXPECT_EQ(static_cast<std::uintptr_t>(AssociationPolicy::copy), 771u);
}

TEST(ObjectAssociation, CopyPolicyKeepsBoxedValues) {
    ObjectAssociation<std::string> label("", AssociationPolicy::copyNonatomic);
    auto object = std::make_shared<platform::NSObject>();
    label.setValue("debug", *object);
    EXPECT_EQ(label[*object], "debug");
}

} // namespace
} // namespace zestrel

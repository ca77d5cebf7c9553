#include "foundation/ValueWrappers.h"

#include "foundation/Tuple.h"
#include "platform/data/JSONCoder.h"

#include <gtest/gtest.h>

#include <string>
#include <unordered_set>

namespace zestrel {
namespace {

namespace pf = platform;

TEST(IgnoringWrapperTest, EqualWrappersHashAlikeSoTheyCanKeyATable) {
    EXPECT_EQ(IgnoreEquatable(1), IgnoreEquatable(2));
    EXPECT_EQ(std::hash<IgnoreEquatable<int>>{}(IgnoreEquatable(1)),
              std::hash<IgnoreEquatable<int>>{}(IgnoreEquatable(2)));
    EXPECT_EQ(
        std::hash<IgnoreEquatableMutable<std::string>>{}(IgnoreEquatableMutable<std::string>("a")),
        std::hash<IgnoreEquatableMutable<std::string>>{}(IgnoreEquatableMutable<std::string>("b")));
    EXPECT_EQ(std::hash<IgnoreHashable<int>>{}(IgnoreHashable(1)),
              std::hash<IgnoreHashable<int>>{}(IgnoreHashable(2)));
    EXPECT_EQ(IgnoreHashableMutable(1), IgnoreHashableMutable(2));

    // A record whose note is ignored is found in a set by its other members alone.
    using Record = Tuple2<int, IgnoreEquatable<std::string>>;
    const std::unordered_set<Record> records{{1, IgnoreEquatable<std::string>("first note")}};
    EXPECT_TRUE(records.contains(Record{1, IgnoreEquatable<std::string>("other note")}));
    EXPECT_FALSE(records.contains(Record{2, IgnoreEquatable<std::string>("first note")}));
}

TEST(IgnoringWrapperTest, StoredUnderWrappedValue) {
    EXPECT_EQ(pf::JSONEncoder().encodeToString(IgnoreEquatable(5)), R"({"wrappedValue":5})");
    EXPECT_EQ(pf::JSONDecoder().decode<IgnoreHashable<int>>(R"({"wrappedValue":7})").wrappedValue(),
              7);
    IgnoreEquatableMutable<int> settable(1);
    settable.wrappedValue = 3;
    EXPECT_EQ(pf::JSONEncoder().encodeToString(settable), R"({"wrappedValue":3})");
    EXPECT_THROW(pf::JSONDecoder().decode<IgnoreHashableMutable<int>>(R"({"value":7})"), pf::Error);
}

TEST(IgnoreCodableTest, WritesNothingAndReadsBackEmpty) {
    using Note = Tuple2<int, IgnoreCodable<std::string>>;
    EXPECT_EQ(pf::JSONEncoder().encodeToString(IgnoreCodable<std::string>{"secret"}), "{}");
    const Note decoded = pf::JSONDecoder().decode<Note>(R"({"first":1,"second":"held"})");
    EXPECT_EQ(decoded.second.wrappedValue, std::nullopt);
}

TEST(IgnoreCodableTest, ComparesPresenceThenValues) {
    using Wrapper = IgnoreCodable<int>;
    EXPECT_EQ(Wrapper{}, Wrapper{});
    EXPECT_NE(Wrapper{}, Wrapper{0});
    EXPECT_EQ(Wrapper{4}, Wrapper{4});
    EXPECT_NE(Wrapper{4}, Wrapper{5});
    EXPECT_NE(std::hash<Wrapper>{}(Wrapper{}), std::hash<Wrapper>{}(Wrapper{0}));
}

// Writes itself as a keyed object, which a single-value container cannot take as the
// first thing it was asked for.
struct Point {
    int x = 0;
    bool operator==(const Point&) const = default;
    void encode(pf::Encoder& encoder) const { encoder.container().encode(x, "x"); }
    static Point decode(const pf::Decoder& decoder) {
        return Point{decoder.container().decode<int>("x")};
    }
};

TEST(UncheckedSendableTest, CodesAsTheBareValue) {
    EXPECT_EQ(pf::JSONEncoder().encodeToString(UncheckedSendable<std::string>{"x"}),
              pf::JSONEncoder().encodeToString(std::string("x")));
    EXPECT_EQ(pf::JSONEncoder().encodeToString(UncheckedSendable<Point>{{3}}), R"({"x":3})");
    EXPECT_EQ(pf::JSONDecoder().decode<UncheckedSendable<Point>>(R"({"x":4})").value, Point{4});
    EXPECT_EQ(pf::JSONDecoder().decode<UncheckedSendable<int>>("9").value, 9);
    EXPECT_THROW(pf::JSONDecoder().decode<UncheckedSendable<int>>(R"("nine")"), pf::Error);
}

TEST(UncheckedSendableTest, EqualAndHashedAsTheValueWithMemberAccess) {
    UncheckedSendable<std::string> text{"abc"};
    EXPECT_EQ(text->size(), 3u);
    text->append("d");
    EXPECT_EQ(text, UncheckedSendable<std::string>{"abcd"});
    EXPECT_EQ(std::hash<UncheckedSendable<std::string>>{}(text), std::hash<std::string>{}("abcd"));
}

} // namespace
} // namespace zestrel

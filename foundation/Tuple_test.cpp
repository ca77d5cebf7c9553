#include "foundation/Tuple.h"

#include "platform/data/JSONCoder.h"

#include <gtest/gtest.h>

#include <string>
#include <unordered_set>

namespace zestrel {
namespace {

namespace pf = platform;

pf::JSONEncoder sortedEncoder() {
    pf::JSONEncoder encoder;
    encoder.outputFormatting.sortedKeys = true;
    return encoder;
}

TEST(TupleTest, EqualityAndHashingFollowMemberOrder) {
    using Pair = Tuple2<int, int>;
    EXPECT_NE((Pair{1, 2}), (Pair{2, 1}));
    EXPECT_NE(std::hash<Pair>{}(Pair{1, 2}), std::hash<Pair>{}(Pair{2, 1}));
    const std::unordered_set<Tuple3<int, std::string, bool>> set{
        {1, "a", true}, {1, "a", true}, {1, "a", false}};
    EXPECT_EQ(set.size(), 2u);
}

TEST(TupleTest, StoredFormIsAnObjectKeyedByMemberNames) {
    EXPECT_EQ(sortedEncoder().encodeToString(Tuple2<std::string, int>{"a", 1}),
              R"({"first":"a","second":1})");
    // An absent optional member is still written, as null.
    EXPECT_EQ(sortedEncoder().encodeToString(Tuple2<std::optional<int>, int>{std::nullopt, 2}),
              R"({"first":null,"second":2})");
}

TEST(TupleTest, DecodingNeedsEveryMemberAndIgnoresOtherKeys) {
    using Triple = Tuple3<int, int, int>;
    EXPECT_EQ(pf::JSONDecoder().decode<Triple>(R"({"first":1,"second":2,"third":3,"fourth":4})"),
              (Triple{1, 2, 3}));
    try {
        pf::JSONDecoder().decode<Triple>(R"({"first":1,"second":2})");
        FAIL() << "decoded without third";
    } catch (const pf::Error& error) {
        const auto* decoding = error.as<pf::DecodingError>();
        ASSERT_NE(decoding, nullptr);
        EXPECT_EQ(decoding->errorCase(), pf::DecodingError::Case::keyNotFound);
        EXPECT_EQ(decoding->key()->stringValue, "third");
    }
}

TEST(TupleTest, EveryArityRoundTrips) {
    const Tuple4<int, std::string, double, bool> four{1, "b", 2.5, true};
    EXPECT_EQ(pf::JSONDecoder().decode<decltype(four)>(pf::JSONEncoder().encode(four)), four);
    const Tuple5<int, int, int, int, std::string> five{1, 2, 3, 4, "e"};
    EXPECT_EQ(pf::JSONDecoder().decode<decltype(five)>(pf::JSONEncoder().encode(five)), five);
    EXPECT_EQ(sortedEncoder().encodeToString(five),
              R"({"fifth":"e","first":1,"fourth":4,"second":2,"third":3})");
}

TEST(TupleTest, OnlyMemberNamesMakeCodingKeys) {
    EXPECT_TRUE((Tuple3<int, int, int>::CodingKeys::fromString("third")));
    EXPECT_FALSE((Tuple2<int, int>::CodingKeys::fromString("third")));
    EXPECT_FALSE((Tuple2<int, int>::CodingKeys::fromInt(0)));
}

} // namespace
} // namespace zestrel

#include "foundation/Either.h"

#include "platform/data/JSONCoder.h"

#include <gtest/gtest.h>

#include <string>

namespace zestrel {
namespace {

namespace pf = platform;
using IntOrText = Either<int, std::string>;

// The decoding error that decoding the JSON as an integer-or-text throws.
std::optional<pf::DecodingError> decodingFailure(std::string_view json) {
    try {
        pf::JSONDecoder().decode<IntOrText>(json);
    } catch (const pf::Error& error) {
        if (const auto* decoding = error.as<pf::DecodingError>()) {
            return *decoding;
        }
    }
    return std::nullopt;
}

TEST(EitherTest, LeftOrdersBeforeRightAndLikeCasesCompareTheirPayloads) {
    using Ints = Either<int, int>;
    EXPECT_TRUE(Ints::left(5) < Ints::right(0));
    EXPECT_FALSE(Ints::right(0) < Ints::left(5));
    EXPECT_FALSE(Ints::left(2) < Ints::left(2));
    EXPECT_TRUE(Ints::left(2) <= Ints::left(2));
    EXPECT_TRUE(Ints::right(3) > Ints::right(1));
}

TEST(EitherTest, TheCaseTakesPartInEqualityAndHashing) {
    using Ints = Either<int, int>;
    EXPECT_NE(Ints::left(1), Ints::right(1));
    EXPECT_NE(std::hash<Ints>{}(Ints::left(1)), std::hash<Ints>{}(Ints::right(1)));
    EXPECT_EQ(std::hash<Ints>{}(Ints::right(1)), std::hash<Ints>{}(Ints::right(1)));
}

TEST(EitherTest, StoredFormNestsThePayloadUnderItsCase) {
    EXPECT_EQ(pf::JSONEncoder().encodeToString(IntOrText::right("x")), R"({"right":{"_0":"x"}})");
    EXPECT_EQ(pf::JSONEncoder().encodeToString(IntOrText::left(1)), R"({"left":{"_0":1}})");
    for (const IntOrText& value : {IntOrText::left(-4), IntOrText::right("y")}) {
        EXPECT_EQ(pf::JSONDecoder().decode<IntOrText>(pf::JSONEncoder().encode(value)), value);
    }
}

TEST(EitherTest, DecodingNeedsExactlyOneCaseKey) {
    for (const char* json : {"{}", R"({"left":{"_0":1},"right":{"_0":"x"}})"}) {
        const auto error = decodingFailure(json);
        ASSERT_TRUE(error) << json;
        EXPECT_EQ(error->errorCase(), pf::DecodingError::Case::typeMismatch) << json;
        EXPECT_EQ(error->context().debugDescription, "Invalid number of keys found, expected one.");
        EXPECT_EQ(error->type(), "Either<Int, String>");
        EXPECT_FALSE(error->context().underlyingError);
    }
    // Keys of other names are not counted.
    EXPECT_EQ(pf::JSONDecoder().decode<IntOrText>(R"({"left":{"_0":1},"other":2})"),
              IntOrText::left(1));
}

TEST(EitherTest, AMissingPayloadFailsWithTheDecodersOwnError) {
    const auto missing = decodingFailure(R"({"left":{}})");
    ASSERT_TRUE(missing);
    EXPECT_EQ(missing->errorCase(), pf::DecodingError::Case::keyNotFound);
    EXPECT_EQ(missing->key()->stringValue, "_0");
    const auto wrongType = decodingFailure(R"({"right":{"_0":3}})");
    ASSERT_TRUE(wrongType);
    EXPECT_EQ(wrongType->errorCase(), pf::DecodingError::Case::typeMismatch);
}

} // namespace
} // namespace zestrel

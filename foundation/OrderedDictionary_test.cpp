#include "foundation/OrderedDictionary.h"

#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <ranges>
#include <string>

namespace zestrel {
namespace {

using platform::DecodingError;
using platform::Value;
using Dictionary = OrderedDictionary<std::string, int>;

static_assert(std::ranges::random_access_range<Dictionary>);

std::vector<std::string> keysOf(const Dictionary& dictionary) {
    return dictionary.orderedKeys();
}

TEST(OrderedDictionaryTest, WritingKeepsFirstPositionsAndNilMovesAKeyToTheEnd) {
    Dictionary dictionary{{"a", 1}, {"b", 2}, {"c", 3}};
    dictionary.set("a", 10);
    EXPECT_EQ(keysOf(dictionary), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(dictionary.get("a"), 10);

    dictionary.set("a", std::nullopt);
    EXPECT_FALSE(dictionary.contains("a"));
    dictionary.set("a", 11);
    EXPECT_EQ(keysOf(dictionary), (std::vector<std::string>{"b", "c", "a"}));

    const Dictionary before = dictionary;
    dictionary.set("absent", std::nullopt);
    EXPECT_EQ(dictionary, before);
}

TEST(OrderedDictionaryTest, PairsRepeatingAKeyKeepItsFirstPlaceAndLastValue) {
    const Dictionary dictionary(
        std::vector<std::pair<std::string, int>>{{"x", 1}, {"y", 2}, {"x", 3}});
    EXPECT_EQ(keysOf(dictionary), (std::vector<std::string>{"x", "y"}));
    EXPECT_EQ(dictionary.get("x"), 3);
    EXPECT_EQ(dictionary[0], (Dictionary::Element{"x", 3}));
}

TEST(OrderedDictionaryTest, MergingPairsOfAnySequenceKeepsFirstPlacesAndLastValues) {
    const std::vector<std::pair<std::string, int>> list{{"b", 1}, {"a", 2}, {"b", 3}, {"c", 4}};
    const auto fromList = Dictionary::mergingPairs(list);
    EXPECT_EQ(fromList.description(), R"(["b": 3, "a": 2, "c": 4])");

    // A plain dictionary's pairs come in its own order; an ordered one's in its key order.
    const std::map<std::string, int> plain{{"z", 1}, {"y", 2}};
    EXPECT_EQ(keysOf(Dictionary::mergingPairs(plain)), (std::vector<std::string>{"y", "z"}));
    EXPECT_EQ(Dictionary::mergingPairs(fromList), fromList);
}

TEST(OrderedDictionaryTest, MergeAppendsNewKeysInTheOthersOrderAndTakesItsValues) {
    Dictionary dictionary{{"a", 1}, {"b", 2}};
    dictionary.merge(Dictionary{{"c", 3}, {"a", 9}, {"d", 4}});
    EXPECT_EQ(dictionary.description(), R"(["a": 9, "b": 2, "c": 3, "d": 4])");
}

TEST(OrderedDictionaryTest, EqualityAndHashFollowKeyOrder) {
    const Dictionary ba{{"b", 1}, {"a", 2}};
    const Dictionary ab{{"a", 2}, {"b", 1}};
    EXPECT_NE(ba, ab);
    const Dictionary copy = ba;
    EXPECT_EQ(copy, ba);
    EXPECT_EQ(std::hash<Dictionary>{}(copy), std::hash<Dictionary>{}(ba));
}

TEST(OrderedDictionaryTest, CollectionViewWalksThePairsInOrder) {
    const Dictionary dictionary{{"z", 26}, {"a", 1}, {"m", 13}};
    std::vector<std::string> seen;
    for (const auto& [key, value] : dictionary) {
        seen.push_back(key + "=" + std::to_string(value));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"z=26", "a=1", "m=13"}));
    EXPECT_EQ((*std::prev(dictionary.end())).key, "m");
    EXPECT_EQ(dictionary.slice(1, 3).description(), R"(["a": 1, "m": 13])");
    EXPECT_EQ(dictionary.end() - dictionary.begin(), 3);
}

TEST(OrderedDictionaryTest, DescriptionQuotesTextsWithoutEscaping) {
    EXPECT_EQ(Dictionary().description(), "[:]");
    const OrderedDictionary<std::string, Value> mixed{
        {"a", 1}, {"b", true}, {"say \"hi\"", "x"}, {"n", Value()}};
    EXPECT_EQ(mixed.description(), R"(["a": 1, "b": true, "say "hi"": "x", "n": nil])");
}

TEST(OrderedDictionaryTest, CreatedFromAPlainDictionaryInItsOrder) {
    const std::map<std::string, Value> plain{{"b", 2}, {"a", "x"}};
    const OrderedDictionary<std::string, Value> dictionary(plain);
    EXPECT_EQ(dictionary.orderedKeys(), (std::vector<std::string>{"a", "b"}));
}

TEST(OrderedDictionaryDeathTest, ProgrammingErrorsStopTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH((Dictionary{{"a", 1}, {"a", 2}}), "duplicate keys");
    EXPECT_DEATH(Dictionary{}[0], "Index out of range");
}

// MARK: Stored form

TEST(OrderedDictionaryCodingTest, EncodesAsOneFlatListAndDecodesBackInOrder) {
    const Dictionary dictionary{{"b", 2}, {"a", 1}};
    const Value encoded = platform::ValueEncoder().encode(dictionary);
    EXPECT_EQ(encoded, Value(Value::Array{"b", 2, "a", 1}));
    EXPECT_EQ(platform::ValueDecoder().decode<Dictionary>(encoded), dictionary);

    EXPECT_EQ(platform::ValueEncoder().encode(Dictionary()), Value(Value::Array{}));
    EXPECT_TRUE(platform::ValueDecoder().decode<Dictionary>(Value(Value::Array{})).isEmpty());
}

TEST(OrderedDictionaryCodingTest, MalformedListsFailWithFixedDescriptions) {
    const auto failure = [](Value::Array list) -> std::string {
        try {
            platform::ValueDecoder().decode<Dictionary>(Value(std::move(list)));
        } catch (const platform::Error& error) {
            const auto* body = error.as<DecodingError>();
            if (body != nullptr && body->errorCase() == DecodingError::Case::dataCorrupted &&
                body->context().codingPath.empty() && !body->context().underlyingError) {
                return body->context().debugDescription;
            }
            return "other error: " + error.describe();
        }
        return "decoded";
    };
    EXPECT_EQ(failure({"a", 1, "b"}), "Expected value after key, but reached end of container.");
    EXPECT_EQ(failure({"a", 1, "a", 2}), "Duplicate key found.");
    EXPECT_EQ(failure({"a", 1, "a"}), "Duplicate key found.");
    // Errors of the decoder itself pass through unchanged.
    EXPECT_EQ(failure({"a", "one"}).rfind("other error: typeMismatch(Int", 0), 0u);
}

} // namespace
} // namespace zestrel

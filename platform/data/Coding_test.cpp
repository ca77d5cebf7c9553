#include "platform/data/Coding.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zestrel::platform {
namespace {

struct Window {
    std::string title;
    std::optional<int> number;
    std::vector<double> frame;

    void encode(Encoder& encoder) const {
        auto container = encoder.container();
        container.encode(title, "title");
        container.encodeIfPresent(number, "number");
        container.encode(frame, "frame");
    }
    static Window decode(const Decoder& decoder) {
        auto container = decoder.container();
        return Window{container.decode<std::string>("title"),
                      container.decodeIfPresent<int>("number"),
                      container.decode<std::vector<double>>("frame")};
    }
    bool operator==(const Window&) const = default;
};

const DecodingError& decodingErrorOf(const Error& error) {
    const auto* body = error.as<DecodingError>();
    if (body == nullptr) {
        throw std::logic_error("not a decoding error: " + error.describe());
    }
    return *body;
}

template <class T> DecodingError::Case failureCase(const Value& value, std::string* description) {
    try {
        ValueDecoder().decode<T>(value);
    } catch (const Error& error) {
        const auto& body = decodingErrorOf(error);
        *description = body.context().debugDescription;
        return body.errorCase();
    }
    throw std::logic_error("decoding succeeded");
}

TEST(CodingTest, NestedValuesRoundTripThroughValueTrees) {
    const std::vector<Window> windows = {{"Finder", 7, {0, 0, 800.5, 600}},
                                         {"ForkLift", std::nullopt, {}}};
    const Value encoded = ValueEncoder().encode(windows);
    EXPECT_EQ(encoded.describe(),
              R"([["frame": [0.0, 0.0, 800.5, 600.0], "number": 7, "title": "Finder"], )"
              R"(["frame": [], "title": "ForkLift"]])");
    EXPECT_EQ(ValueDecoder().decode<std::vector<Window>>(encoded), windows);
}

TEST(CodingTest, LeafMismatchesNameTheTypeAndWhatWasFound) {
    std::string description;
    EXPECT_EQ(failureCase<int>(Value("7"), &description), DecodingError::Case::typeMismatch);
    EXPECT_EQ(description, "Expected to decode Int but found a string instead.");
    // Booleans are not numbers, and numbers are not booleans.
    EXPECT_EQ(failureCase<int>(Value(true), &description), DecodingError::Case::typeMismatch);
    EXPECT_EQ(failureCase<bool>(Value(1), &description), DecodingError::Case::typeMismatch);
    EXPECT_EQ(failureCase<std::string>(Value::null(), &description),
              DecodingError::Case::valueNotFound);
    EXPECT_EQ(description, "Expected String value but found null instead.");
    EXPECT_EQ(failureCase<std::int8_t>(Value(300), &description),
              DecodingError::Case::dataCorrupted);
    EXPECT_EQ(failureCase<int>(Value(1.5), &description), DecodingError::Case::dataCorrupted);
    EXPECT_EQ(failureCase<unsigned>(Value(-1), &description), DecodingError::Case::dataCorrupted);
    EXPECT_EQ(ValueDecoder().decode<double>(Value(3)), 3.0);
    EXPECT_EQ(ValueDecoder().decode<int>(Value(3.0)), 3);
}

TEST(CodingTest, ErrorsCarryTheCodingPathOfTheFailure) {
    const Value value(
        Value::Array{Value(Value::Dictionary{{"title", "a"}, {"frame", Value::Array{1, "x"}}})});
    try {
        ValueDecoder().decode<std::vector<Window>>(value);
        FAIL() << "decoding succeeded";
    } catch (const Error& error) {
        const auto& body = decodingErrorOf(error);
        EXPECT_EQ(body.errorCase(), DecodingError::Case::typeMismatch);
        EXPECT_EQ(body.type(), "Double");
        const CodingPath expected = {CodingKey::index(0), CodingKey::key("frame"),
                                     CodingKey::index(1)};
        EXPECT_EQ(body.context().codingPath, expected);
        EXPECT_EQ(error.domain(), NSCocoaErrorDomain);
        EXPECT_EQ(error.code(), 4864);
    }
}

TEST(CodingTest, MissingKeysAndExhaustedContainersAreValueNotFound) {
    try {
        ValueDecoder().decode<Window>(Value(Value::Dictionary{{"frame", Value::Array{}}}));
        FAIL() << "decoding succeeded";
    } catch (const Error& error) {
        const auto& body = decodingErrorOf(error);
        EXPECT_EQ(body.errorCase(), DecodingError::Case::keyNotFound);
        EXPECT_EQ(body.key()->stringValue, "title");
        EXPECT_EQ(error.code(), 4865);
    }

    const Decoder decoder({}, Value(Value::Array{1}));
    auto container = decoder.unkeyedContainer();
    EXPECT_EQ(container.decode<int>(), 1);
    EXPECT_TRUE(container.isAtEnd());
    try {
        container.decode<int>();
        FAIL() << "decoding succeeded";
    } catch (const Error& error) {
        const auto& body = decodingErrorOf(error);
        EXPECT_EQ(body.errorCase(), DecodingError::Case::valueNotFound);
        EXPECT_EQ(body.context().debugDescription, "Unkeyed container is at end.");
        EXPECT_EQ(body.context().codingPath, CodingPath{CodingKey::index(1)});
    }
    // A failed decode does not move the container on.
    EXPECT_EQ(container.currentIndex(), 1);
}

TEST(CodingTest, DecodingErrorPrintsItsCaseAndContext) {
    const Error error = DecodingError::dataCorrupted({{}, "Duplicate key found.", std::nullopt});
    EXPECT_EQ(error.describe(),
              "dataCorrupted(Swift.DecodingError.Context(codingPath: [], "
              "debugDescription: \"Duplicate key found.\", underlyingError: nil))");
    EXPECT_EQ(error.nsError()->userInfo().at(NSDebugDescriptionErrorKey),
              Value("Duplicate key found."));
}

TEST(CodingTest, ContainersInPlaceOfOtherValuesAreMismatches) {
    std::string description;
    EXPECT_EQ(failureCase<std::vector<int>>(Value(Value::Dictionary{}), &description),
              DecodingError::Case::typeMismatch);
    EXPECT_EQ(description, "Expected to decode Array<Any> but found a dictionary instead.");
    EXPECT_EQ(failureCase<Window>(Value(Value::Array{}), &description),
              DecodingError::Case::typeMismatch);
    EXPECT_EQ(description,
              "Expected to decode Dictionary<String, Any> but found an array instead.");
}

TEST(CodingDeathTest, AskingForAnotherContainerKindAfterEncodingIsFatal) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    struct Confused {
        void encode(Encoder& encoder) const {
            encoder.unkeyedContainer().encode(1);
            encoder.container();
        }
    };
    EXPECT_DEATH(ValueEncoder().encode(Confused{}), "keyed encoding container");
}

} // namespace
} // namespace zestrel::platform

#include "platform/data/JSONCoder.h"

#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

namespace zestrel::platform {
namespace {

struct Sample {
    std::int64_t minute = 0;
    std::int64_t hour = 0;
    Date when;
    Data bytes;
    URL link;
    UUID id;
    double ratio = 0;

    void encode(Encoder& encoder) const {
        auto container = encoder.container();
        container.encode(minute, "minute");
        container.encode(hour, "hour");
        container.encode(when, "when");
        container.encode(bytes, "bytes");
        container.encode(link, "link");
        container.encode(id, "id");
        container.encode(ratio, "ratio");
    }
    static Sample decode(const Decoder& decoder) {
        auto container = decoder.container();
        return Sample{container.decode<std::int64_t>("minute"),
                      container.decode<std::int64_t>("hour"),
                      container.decode<Date>("when"),
                      container.decode<Data>("bytes"),
                      container.decode<URL>("link"),
                      container.decode<UUID>("id"),
                      container.decode<double>("ratio")};
    }
};

Sample sample() {
    return Sample{30,
                  9,
                  Date{86400.5},
                  Data{0, 1, 2, 0xfb, 0xff},
                  *URL::parse("https://a.b/c"),
                  *UUID::parse("e621e1f8-c36c-495a-93fc-0c247a3e6e5f"),
                  0.25};
}

TEST(JSONCoderTest, EncodesWithThePlatformStrategiesAndSortedKeys) {
    JSONEncoder encoder;
    encoder.outputFormatting.sortedKeys = true;
    EXPECT_EQ(encoder.encodeToString(sample()),
              R"({"bytes":"AAEC+\/8=","hour":9,"id":"E621E1F8-C36C-495A-93FC-0C247A3E6E5F",)"
              R"("link":"https:\/\/a.b\/c","minute":30,"ratio":0.25,"when":86400.5})");
}

TEST(JSONCoderTest, DecodesWhatItEncodesAndFragments) {
    const Sample decoded = JSONDecoder().decode<Sample>(JSONEncoder().encodeToString(sample()));
    EXPECT_EQ(decoded.when, sample().when);
    EXPECT_EQ(decoded.bytes, sample().bytes);
    EXPECT_EQ(decoded.link, sample().link);
    EXPECT_EQ(decoded.id, sample().id);
    EXPECT_EQ(decoded.hour, 9);

    EXPECT_TRUE(JSONDecoder().decode<bool>("true"));
    EXPECT_EQ(JSONDecoder().decode<std::int64_t>(" 42 "), 42);
    EXPECT_EQ(JSONDecoder().decode<std::string>(R"("a\/b")"), "a/b");
    EXPECT_EQ(JSONDecoder().decode<Date>("100").timeIntervalSinceReferenceDate, 100);
}

TEST(JSONCoderTest, DecodingFailuresAreDecodingErrors) {
    struct Case {
        std::string text;
        std::function<void(std::string_view)> decode;
        DecodingError::Case expected;
        std::string debugDescription;
    };
    const auto as = []<class T>(T*) {
        return [](std::string_view text) { JSONDecoder().decode<T>(text); };
    };
    const Case cases[] = {
        {"tru", as((bool*)nullptr), DecodingError::Case::dataCorrupted,
         "The given data was not valid JSON."},
        {"1", as((bool*)nullptr), DecodingError::Case::typeMismatch,
         "Expected to decode Bool but found number instead."},
        {"4.2", as((std::int64_t*)nullptr), DecodingError::Case::dataCorrupted,
         "Number 4.2 does not fit in Int."},
        {R"("not base64!")", as((Data*)nullptr), DecodingError::Case::dataCorrupted,
         "Encountered Data is not valid Base64."},
        {R"("nope")", as((UUID*)nullptr), DecodingError::Case::dataCorrupted,
         "Attempted to decode UUID from invalid UUID string."},
        {R"("no scheme")", as((URL*)nullptr), DecodingError::Case::dataCorrupted,
         "Invalid URL string."},
    };
    for (const Case& c : cases) {
        try {
            c.decode(c.text);
            ADD_FAILURE() << c.text << " decoded";
        } catch (const Error& error) {
            const auto* decoding = error.as<DecodingError>();
            ASSERT_NE(decoding, nullptr) << c.text;
            EXPECT_EQ(decoding->errorCase(), c.expected) << c.text;
            EXPECT_EQ(decoding->context().debugDescription, c.debugDescription) << c.text;
        }
    }
}

TEST(JSONCoderTest, NonFiniteNumberIsAnInvalidValueAtItsPlace) {
    Sample bad = sample();
    bad.ratio = std::numeric_limits<double>::quiet_NaN();
    try {
        JSONEncoder().encodeToString(bad);
        FAIL() << "encoded";
    } catch (const Error& error) {
        ASSERT_TRUE(error.is<EncodingError>());
        EXPECT_EQ(error.code(), 4866);
        EXPECT_EQ(
            error.describe(),
            "invalidValue(nan, Swift.EncodingError.Context(codingPath: [CodingKey(stringValue: "
            "\"ratio\", intValue: nil)], debugDescription: \"Unable to encode Double.nan "
            "directly in JSON.\", underlyingError: nil))");
    }
}

TEST(JSONCoderTest, Base64RoundTripsAndRefusesMalformedText) {
    const std::pair<Data, std::string> table[] = {{{}, ""},
                                                  {{'f'}, "Zg=="},
                                                  {{'f', 'o'}, "Zm8="},
                                                  {{'f', 'o', 'o'}, "Zm9v"},
                                                  {{'f', 'o', 'o', 'b'}, "Zm9vYg=="},
                                                  {{0xff, 0xfe, 0xfd}, "//79"}};
    for (const auto& [bytes, text] : table) {
        EXPECT_EQ(base64EncodedString(bytes), text);
        EXPECT_EQ(base64Decoded(text), bytes) << text;
    }
    for (const char* bad : {"Zg=", "Z===", "Zg=a", "Zm9v!A==", "=Zm9"}) {
        EXPECT_EQ(base64Decoded(bad), std::nullopt) << bad;
    }
}

} // namespace
} // namespace zestrel::platform

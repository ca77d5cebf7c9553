#include "foundation/TextDateUtilities.h"

#include "platform/base/Error.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <cmath>
#include <deque>
#include <stdexcept>
#include <string>
#include <vector>

namespace zestrel {
namespace {

namespace pf = platform;

TEST(FormatDuration, FieldsAndWhenHoursAreShown) {
    // alwaysShowsHours, showsSeconds, showsHoursOnlyWhenNeeded
    EXPECT_EQ(formatDuration(3725, true, true, false), "01:02:05");
    EXPECT_EQ(formatDuration(3725, false, true, false), "02:05"); // hours are not folded in
    EXPECT_EQ(formatDuration(3725, false, false, false), "02");
    EXPECT_EQ(formatDuration(3725, true, false, false), "01:02");
    EXPECT_EQ(formatDuration(59, false, true, true), "00:59");
    EXPECT_EQ(formatDuration(59.9, true, true, true), "00:59"); // only when needed wins
    EXPECT_EQ(formatDuration(3600, false, true, true), "01:00:00");
    EXPECT_EQ(formatDuration(360000, false, true, true), "100:00:00");
}

TEST(FormatDuration, SplitTruncatesTowardZeroAndRejectsCountsOutsideItsDomain) {
    EXPECT_EQ(hoursMinutesSeconds(3725.9), (HoursMinutesSeconds{1, 2, 5}));
    EXPECT_EQ(hoursMinutesSeconds(-3725.9), (HoursMinutesSeconds{-1, -2, -5}));
    EXPECT_DEATH(hoursMinutesSeconds(std::nan("")), "finite");
    EXPECT_DEATH(hoursMinutesSeconds(1e19), "finite");
}

TEST(TextChecks, BlankMeansEveryCharacterIsWhiteSpace) {
    EXPECT_TRUE(isBlank(""));
    EXPECT_TRUE(isBlank("   "));
    EXPECT_TRUE(isBlank("\t\r\n\u3000\u00A0"));
    EXPECT_FALSE(isBlank(" a "));
    EXPECT_FALSE(isBlank("\u200B")); // zero-width space is not white space
    // A character counts by its first scalar: a blank with a combining accent is still blank.
    EXPECT_TRUE(isBlank(" \u0301"));
    EXPECT_TRUE(isBlankOrNewline("\u2028\n \u0085"));
    EXPECT_FALSE(isBlankOrNewline("\n.\n"));
    EXPECT_EQ(nilIfBlank("  "), std::nullopt);
    EXPECT_EQ(nilIfBlank(" x "), " x ");
}

TEST(TextChecks, HumanizedCamelCaseSplitsBeforeEveryCapital) {
    EXPECT_EQ(humanizedCamelCase("playSoundEffects"), "play Sound Effects");
    EXPECT_EQ(humanizedCamelCase("URLScheme"), "U R L Scheme");
    EXPECT_EQ(humanizedCamelCase("Already"), "Already");
    EXPECT_EQ(humanizedCamelCase("été"), "été");
}

TEST(TextChecks, TitleCaseLeavesMinorWordsLowerExceptFirst) {
    EXPECT_EQ(titleCased("the lord of the rings"), "The Lord of the Rings");
    EXPECT_EQ(titleCased("war  and\tpeace "), "War  and\tPeace ");
    EXPECT_EQ(titleCased("a tale up north yet again"), "A Tale up North yet Again");
    EXPECT_EQ(titleCased("\xC3\xA9"
                         "cole in paris"),
              "\xC3\x89"
              "cole in Paris");
    EXPECT_EQ(titleCased("iPhone"), "IPhone");
    EXPECT_EQ(titleCased(""), "");
}

TEST(TextChecks, EmailAddressIsTheWholeTextAndNothingElse) {
    EXPECT_TRUE(isValidEmailAddress("ada@example.com"));
    EXPECT_FALSE(isValidEmailAddress(" ada@example.com"));
    EXPECT_FALSE(isValidEmailAddress("mailto:ada@example.com"));
    EXPECT_FALSE(isValidEmailAddress("ada@example.com bob@example.com"));
    EXPECT_FALSE(isValidEmailAddress(""));
}

TEST(TextChecks, ReformattedJSONIsPrettyPrintedAndThrowsForBadData) {
    const std::string text = R"({"b":[1,2],"a":"x/y"})";
    EXPECT_EQ(reformattedJSON(pf::Data(text.begin(), text.end())),
              "{\n  \"a\" : \"x\\/y\",\n  \"b\" : [\n    1,\n    2\n  ]\n}");
    const std::string broken = "{\"a\":";
    try {
        reformattedJSON(pf::Data(broken.begin(), broken.end()));
        ADD_FAILURE() << "no error";
    } catch (const pf::Error& error) {
        EXPECT_EQ(error.code(), 3840);
    }
    const std::string fragment = "42"; // read without options: a fragment is refused
    EXPECT_THROW(reformattedJSON(pf::Data(fragment.begin(), fragment.end())), pf::Error);
}

class DatesTest : public ::testing::Test {
protected:
    pf::testing::TestEnvironment env;
    pf::Date now = env.clock().now();
};

TEST_F(DatesTest, IsWithinANegativeDurationLooksBack) {
    const Duration lastMinute = Duration::seconds(-60);
    EXPECT_TRUE(isWithin(now.addingTimeInterval(-30), lastMinute));
    EXPECT_FALSE(isWithin(now.addingTimeInterval(-90), lastMinute));
    EXPECT_TRUE(isWithin(now.addingTimeInterval(-60), lastMinute)); // both ends included
    EXPECT_TRUE(isWithin(now, lastMinute));
    EXPECT_FALSE(isWithin(now.addingTimeInterval(1), lastMinute));
}

TEST_F(DatesTest, IsWithinAPositiveDurationLooksAhead) {
    EXPECT_TRUE(isWithin(now.addingTimeInterval(2), Duration::seconds(2)));
    EXPECT_FALSE(isWithin(now.addingTimeInterval(-1), Duration::seconds(2)));
}

TEST_F(DatesTest, FutureAndPastExcludeNow) {
    EXPECT_FALSE(isInFuture(now));
    EXPECT_FALSE(isInPast(now));
    EXPECT_TRUE(isInFuture(now.addingTimeInterval(0.001)));
    EXPECT_TRUE(isInPast(now.addingTimeInterval(-0.001)));
    env.clock().advance(std::chrono::seconds(1));
    EXPECT_TRUE(isInPast(now));
}

TEST(Sequences, RemovingKeepsOrderAndDuplicatesOfWhatRemains) {
    EXPECT_EQ(removing(std::vector<int>{3, 1, 2, 3, 4, 1}, std::deque<int>{1, 5}),
              (std::vector<int>{3, 2, 3, 4}));
    EXPECT_EQ(removing(std::vector<std::string>{"a", "b"}, std::vector<std::string>{}),
              (std::vector<std::string>{"a", "b"}));
}

TEST(Sequences, TrimmingSuffixAndTrim) {
    const auto isZero = [](int value) { return value == 0; };
    EXPECT_EQ(trimmingSuffix(std::vector<int>{0, 1, 0, 2, 0, 0}, isZero),
              (std::vector<int>{0, 1, 0, 2}));
    EXPECT_EQ(trimmingSuffix(std::vector<int>{0, 0}, isZero), std::vector<int>{});
    EXPECT_THROW(
        trimmingSuffix(std::vector<int>{1}, [](int) -> bool { throw std::runtime_error("x"); }),
        std::runtime_error);

    std::vector<int> values{0, 0, 1, 0, 2, 0};
    trim(values, isZero);
    EXPECT_EQ(values, (std::vector<int>{1, 0, 2}));
    std::string text = "--a-b--";
    trim(text, [](char c) { return c == '-'; });
    EXPECT_EQ(text, "a-b");
    std::string dashes = "---";
    trim(dashes, [](char c) { return c == '-'; });
    EXPECT_EQ(dashes, "");
}

TEST(Values, UnwrapOrThrowMakesItsErrorOnlyWhenEmpty) {
    int made = 0;
    const auto makeError = [&made] {
        ++made;
        return pf::NSError::make("Missing", 7);
    };
    EXPECT_EQ(unwrapOrThrow(std::optional<std::string>("x"), makeError), "x");
    EXPECT_EQ(made, 0);
    try {
        unwrapOrThrow(std::optional<int>(), makeError);
        ADD_FAILURE() << "no error";
    } catch (const pf::Error& error) {
        EXPECT_EQ(error.domain(), "Missing");
        EXPECT_EQ(error.code(), 7);
    }
    EXPECT_EQ(made, 1);
}

TEST(Values, AssignIfChangedWritesOnlyADifferentValue) {
    // Stands for a property whose observers hear every write.
    struct Observed {
        int value = 0;
        int* writes = nullptr;
        Observed& operator=(const Observed& other) {
            value = other.value;
            ++*writes;
            return *this;
        }
        bool operator==(const Observed& other) const { return value == other.value; }
    };
    int writes = 0;
    Observed target{3, &writes};
    assignIfChanged(target, Observed{3, &writes});
    EXPECT_EQ(writes, 0);
    assignIfChanged(target, Observed{4, &writes});
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(target.value, 4);
}

TEST(Values, SendIfChangedSendsOnlyADifferentValue) {
    platform::combine::CurrentValueSubject<int> subject(3);
    std::vector<int> received;
    auto subscription = subject.sink([&](int value) { received.push_back(value); });
    sendIfChanged(subject, 3);
    sendIfChanged(subject, 4);
    sendIfChanged(subject, 4);
    EXPECT_EQ(received, (std::vector<int>{3, 4})); // the current value on subscribing, then 4
}

TEST(Values, URLFromStaticString) {
    EXPECT_EQ(urlFromStaticString("https://example.com/a").absoluteString(),
              "https://example.com/a");
    EXPECT_DEATH(urlFromStaticString("no scheme here"),
                 "Invalid static URL string: no scheme here");
}

} // namespace
} // namespace zestrel

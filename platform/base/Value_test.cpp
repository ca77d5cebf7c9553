#include "platform/base/Value.h"

#include "platform/base/Error.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <set>
#include <sys/wait.h>
#include <unistd.h>

namespace zestrel::platform {
namespace {

using namespace std::string_literals;

TEST(ValueDescribe, StringsAreQuotedAndEscapedOnlyInTheDebugForm) {
    const Value text = "say \"hi\"\\ it's\t\n\r\0\x01\x7F é"s;
    EXPECT_EQ(text.describe(), "say \"hi\"\\ it's\t\n\r\0\x01\x7F é"s);
    EXPECT_EQ(text.debugDescribe(), R"("say \"hi\"\\ it\'s\t\n\r\0\u{1}\u{7f} é")");
}

TEST(ValueDescribe, OptionalsAndNil) {
    EXPECT_EQ(Value().describe(), "nil");
    EXPECT_EQ(Value().debugDescribe(), "nil");
    EXPECT_EQ(Value::some("x").describe(), R"(Optional("x"))");
    EXPECT_EQ(Value::some(Value::some(3)).debugDescribe(), "Optional(Optional(3))");
    EXPECT_EQ(Value(std::optional<int>(5)).describe(), "Optional(5)");
    EXPECT_EQ(Value(std::optional<int>()).describe(), "nil");
    EXPECT_EQ(Value::some(1).flattened(), Value(1));
}

TEST(ValueDescribe, DoublesInShortestFormLikeSwift) {
    const std::vector<std::pair<double, std::string>> cases = {
        {1.0, "1.0"},
        {0.1, "0.1"},
        {-2.5, "-2.5"},
        {100.0, "100.0"},
        {1234567890123456.0, "1234567890123456.0"},
        {1e16, "1e+16"},
        {1.5e300, "1.5e+300"},
        {0.0001, "0.0001"},
        {0.00001, "1e-05"},
        {1.25e-7, "1.25e-07"},
        {0.0, "0.0"},
        {-0.0, "-0.0"},
        {std::numeric_limits<double>::infinity(), "inf"},
        {-std::numeric_limits<double>::infinity(), "-inf"},
        {std::nan(""), "nan"},
        {5e-324, "5e-324"},
    };
    for (const auto& [value, text] : cases) {
        EXPECT_EQ(describeDouble(value), text) << text;
    }
}

TEST(ValueDescribe, CollectionsUseDebugFormsOfTheirElements) {
    EXPECT_EQ(Value(Value::Array{"a", 1, true, Value()}).describe(), R"(["a", 1, true, nil])");
    EXPECT_EQ(Value(Value::Dictionary{}).describe(), "[:]");
    EXPECT_EQ(Value(Value::Dictionary{{"k", "v"}, {"n", 2.0}}).describe(),
              R"(["k": "v", "n": 2.0])");
    EXPECT_EQ(Value(Data{1, 2, 3}).describe(), "3 bytes");
    EXPECT_EQ(Value(Date::fromTimeIntervalSince1970(1768471200.75)).describe(),
              "2026-01-15 10:00:00 +0000");
    EXPECT_EQ(Value(Value::null()).describe(), "<null>");
}

TEST(ValueAccess, BoolIsKeptApartFromNumbers) {
    EXPECT_FALSE(Value(true).isNumber());
    EXPECT_FALSE(Value(1).asBool());
    EXPECT_FALSE(Value(true).asInt64());
    EXPECT_FALSE(Value(true) == Value(1));
    EXPECT_TRUE(Value(1) == Value(1.0));
    EXPECT_TRUE(Value(2u) == Value(2));
    EXPECT_FALSE(Value(1.5).asInt64());
    EXPECT_FALSE(Value(-1).asUInt64());
    EXPECT_EQ(Value(9223372036854775807ULL + 1).asInt64(), std::nullopt);
}

TEST(URLValue, FileURLsPercentEncodeTheirPath) {
    const URL url = URL::fileURL("/tmp/a b/é.txt");
    EXPECT_EQ(url.absoluteString(), "file:///tmp/a%20b/%C3%A9.txt");
    EXPECT_EQ(url.path(), "/tmp/a b/é.txt");
    EXPECT_EQ(url.lastPathComponent(), "é.txt");
    EXPECT_EQ(url.pathExtension(), "txt");
    EXPECT_EQ(url.deletingLastPathComponent().absoluteString(), "file:///tmp/a%20b/");
    EXPECT_EQ(URL::fileURL("/tmp", true).appendingPathComponent("x y").path(), "/tmp/x y");
    EXPECT_TRUE(url.isFileURL());
}

TEST(URLValue, ParsingNeedsAScheme) {
    EXPECT_FALSE(URL::parse("no scheme"));
    EXPECT_FALSE(URL::parse("/just/a/path"));
    EXPECT_FALSE(URL::parse("https://a b"));
    const auto mail = URL::parse("mailto:someone@example.com?subject=Hi");
    ASSERT_TRUE(mail);
    EXPECT_EQ(mail->scheme(), "mailto");
    EXPECT_EQ(mail->path(), "someone@example.com");
    EXPECT_EQ(URL::parse("HTTPS://example.com/a/b?q=1")->path(), "/a/b");
}

TEST(PercentEncoding, KeepsOnlyUnreservedCharacters) {
    EXPECT_EQ(percentEncode("a-b.c_d~e"), "a-b.c_d~e");
    EXPECT_EQ(percentEncode(" &é/"), "%20%26%C3%A9%2F");
    EXPECT_EQ(percentDecode("%20%26%C3%A9%2f%zz%"), " &é/%zz%");
}

TEST(UUIDValue, TextIsUpperCase) {
    const UUID uuid = UUID::random();
    const std::string text = uuid.uuidString();
    ASSERT_EQ(text.size(), 36u);
    for (const char c : text) {
        EXPECT_FALSE(std::islower(static_cast<unsigned char>(c)));
    }
    EXPECT_NE(uuid, UUID::random());
}

TEST(UUIDValue, RandomOnesAreVersionFourAndDistinct) {
    std::set<UUID> seen;
    for (int i = 0; i < 2000; ++i) {
        const UUID uuid = UUID::random();
        EXPECT_EQ(uuid.bytes[6] >> 4, 4) << uuid.uuidString();
        EXPECT_EQ(uuid.bytes[8] >> 6, 2) << uuid.uuidString();
        EXPECT_TRUE(seen.insert(uuid).second) << uuid.uuidString();
    }
}

TEST(UUIDValue, AForkedChildDoesNotRepeatItsParent) {
    (void)UUID::random(); // the parent's generator is seeded before the fork
    int channel[2];
    ASSERT_EQ(::pipe(channel), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const UUID uuid = UUID::random();
        const auto written = ::write(channel[1], uuid.bytes.data(), uuid.bytes.size());
        ::_exit(written == static_cast<ssize_t>(uuid.bytes.size()) ? 0 : 1);
    }
    UUID fromChild;
    const auto read = ::read(channel[0], fromChild.bytes.data(), fromChild.bytes.size());
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(channel[0]);
    ::close(channel[1]);
    ASSERT_EQ(read, static_cast<ssize_t>(fromChild.bytes.size()));
    EXPECT_NE(fromChild, UUID::random());
}

TEST(DateDescription, DatesBeyondTheCalendarShowTheNearestOneItHas) {
    EXPECT_EQ(Date{0}.description(), "2001-01-01 00:00:00 +0000");
    const std::string latest = Date{1e300}.description();
    EXPECT_EQ(Date{std::numeric_limits<double>::infinity()}.description(), latest);
    EXPECT_GT(latest.size(), Date{1e15}.description().size()) << latest;
    const std::string earliest = Date{-1e300}.description();
    EXPECT_EQ(earliest.front(), '-');
    EXPECT_EQ(Date{-std::numeric_limits<double>::infinity()}.description(), earliest);
    EXPECT_EQ(Date{std::nan("")}.description(), "2001-01-01 00:00:00 +0000");
}

} // namespace
} // namespace zestrel::platform

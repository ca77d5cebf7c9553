#include "platform/data/URLComponents.h"

#include <gtest/gtest.h>

namespace zestrel::platform {
namespace {

TEST(URLComponentsTest, SplitsEveryPart) {
    const auto components =
        URLComponents::parse("https://me:pw@example.com:8443/a%20b/c?x=1&y&z=#top");
    ASSERT_TRUE(components);
    EXPECT_EQ(components->scheme(), "https");
    EXPECT_EQ(components->user(), "me");
    EXPECT_EQ(components->password(), "pw");
    EXPECT_EQ(components->host(), "example.com");
    EXPECT_EQ(components->port(), 8443);
    EXPECT_EQ(components->path(), "/a b/c");
    EXPECT_EQ(components->percentEncodedPath(), "/a%20b/c");
    EXPECT_EQ(components->query(), "x=1&y&z=");
    EXPECT_EQ(components->fragment(), "top");
    const std::vector<URLQueryItem> items = {{"x", "1"}, {"y", std::nullopt}, {"z", ""}};
    EXPECT_EQ(components->percentEncodedQueryItems(), items);
    EXPECT_EQ(components->string(), "https://me:pw@example.com:8443/a%20b/c?x=1&y&z=#top");
}

TEST(URLComponentsTest, MailtoAndFileURLsRoundTrip) {
    for (const char* text :
         {"mailto:support@example.com", "file:///tmp/a%20b/",
          "x-apple.systempreferences:com.apple.preference?Privacy", "http://[::1]:80/"}) {
        const auto components = URLComponents::parse(text);
        ASSERT_TRUE(components) << text;
        EXPECT_EQ(components->url()->absoluteString(), text);
    }
    EXPECT_EQ(URLComponents::parse("mailto:support@example.com")->path(), "support@example.com");
    EXPECT_FALSE(URLComponents::parse("mailto:support@example.com")->host());
}

TEST(URLComponentsTest, RejectsTextThatIsNoURL) {
    for (const char* text : {"http://exa mple.com/", "http://host:port/", "1http://x",
                             "http://x/%zz", "http://x/a#b#c", "http://[::1/", "a\"b:c"}) {
        EXPECT_FALSE(URLComponents::parse(text)) << text;
    }
}

TEST(URLComponentsTest, PlainSettersEncodeAndPartsThatCannotJoinGiveNoURL) {
    URLComponents components;
    components.setScheme("https");
    components.setHost("example.com");
    components.setPath("/a b?");
    components.setQuery("q=a b&c");
    EXPECT_EQ(components.string(), "https://example.com/a%20b%3F?q=a%20b&c");
    components.setPath("relative");
    EXPECT_EQ(components.url(), std::nullopt);

    URLComponents noScheme;
    noScheme.setPath("/x");
    EXPECT_EQ(noScheme.string(), "/x");
    EXPECT_EQ(noScheme.url(), std::nullopt);
}

TEST(URLComponentsTest, QueryItemsReplaceTheQuery) {
    auto components = *URLComponents::parse("mailto:a@b.c?old=1");
    components.setPercentEncodedQueryItems(
        std::vector<URLQueryItem>{{"subject", "Hi%20there"}, {"flag", std::nullopt}});
    EXPECT_EQ(components.string(), "mailto:a@b.c?subject=Hi%20there&flag");
    components.setPercentEncodedQueryItems(std::nullopt);
    EXPECT_EQ(components.string(), "mailto:a@b.c");
}

TEST(URLComponentsDeathTest, UnencodedQueryItemsAndBadSchemesAreProgrammingErrors) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    URLComponents components;
    EXPECT_DEATH(components.setPercentEncodedQueryItems(std::vector<URLQueryItem>{{"a b", "1"}}),
                 "not percent-encoded");
    EXPECT_DEATH(components.setScheme("ht tp"), "invalid characters in the scheme");
}

} // namespace
} // namespace zestrel::platform

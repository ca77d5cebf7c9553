#include "foundation/URLUtilities.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

using platform::URL;
using platform::URLComponents;
using platform::Value;

TEST(QueryItemsTest, KeepOnlyUnreservedCharacters) {
    const auto items =
        queryItems(Value::Dictionary{{"a b", "x&y"}, {"k", "é"}, {"n", 2}, {"u", "a-b.c_d~e"}});
    const std::vector<platform::URLQueryItem> expected = {
        {"a%20b", "x%26y"}, {"k", "%C3%A9"}, {"n", "2"}, {"u", "a-b.c_d~e"}};
    EXPECT_EQ(items, expected);
}

TEST(AddingQueryItemsTest, BuildsMailtoLinks) {
    const auto url =
        addingQueryItems("mailto:support@example.com",
                         Value::Dictionary{{"subject", "Zestrel 1.0"}, {"body", "Hi!"}});
    ASSERT_TRUE(url);
    EXPECT_EQ(url->absoluteString(), "mailto:support@example.com?body=Hi%21&subject=Zestrel%201.0");
    EXPECT_EQ(addingQueryItems("not a url", {}), std::nullopt);
}

TEST(ModifyingComponentsTest, AnswersTheSameURLWhenNothingChangesOrNothingForms) {
    const URL url = *URL::parse("https://example.com/path?q=1");
    EXPECT_EQ(replacingScheme(url, "http").absoluteString(), "http://example.com/path?q=1");
    EXPECT_EQ(replacingScheme(url, "https"), url);
    EXPECT_EQ(modifyingComponents(url, [](URLComponents&) {}), url);
    // A host with a relative path forms no URL: the URL stays as it was.
    EXPECT_EQ(modifyingComponents(url, [](URLComponents& c) { c.setPath("relative"); }), url);
    EXPECT_EQ(
        modifyingComponents(url, [](URLComponents& c) { c.setFragment("f"); }).absoluteString(),
        "https://example.com/path?q=1#f");
}

} // namespace
} // namespace zestrel

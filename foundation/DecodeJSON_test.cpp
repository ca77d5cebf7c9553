#include "foundation/DecodeJSON.h"

#include "platform/data/Coding.h"

#include <gtest/gtest.h>

namespace zestrel {
namespace {

platform::Data bytes(std::string_view text) {
    return platform::Data(text.begin(), text.end());
}

TEST(DecodeJSON, DecodesFragmentsAndPassesTheDecodersErrorOn) {
    EXPECT_EQ(decodeJSON<int>(bytes("42")), 42);
    EXPECT_EQ(decodeJSON<std::vector<std::string>>(bytes(R"(["a","b"])")),
              (std::vector<std::string>{"a", "b"}));
    EXPECT_THROW(decodeJSON<int>(bytes("4.2")), platform::Error);
    try {
        decodeJSON<int>(bytes("{"));
        FAIL();
    } catch (const platform::Error& error) {
        EXPECT_TRUE(error.is<platform::DecodingError>());
    }
}

} // namespace
} // namespace zestrel

#include "platform/data/SHA256.h"

#include <gtest/gtest.h>

#include <string>

namespace zestrel::platform {
namespace {

std::string hex(const SHA256Digest& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const std::uint8_t byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0xf];
    }
    return text;
}

TEST(SHA256Test, KnownDigestsOfShortTexts) {
    EXPECT_EQ(hex(sha256(std::string_view{})),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(hex(sha256("abc")),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(hex(sha256(Data{'a', 'b', 'c'})), hex(sha256("abc")));
}

// The padding needs a second block once the length no longer fits after the tail: these
// lengths sit on both sides of that edge and of a whole block.
TEST(SHA256Test, LengthsAroundTheBlockEdges) {
    EXPECT_EQ(hex(sha256(std::string(55, 'a'))),
              "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318");
    EXPECT_EQ(hex(sha256(std::string(56, 'a'))),
              "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a");
    EXPECT_EQ(hex(sha256(std::string(64, 'a'))),
              "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb");
    EXPECT_EQ(hex(sha256(std::string(119, 'a'))),
              "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb");
    EXPECT_EQ(hex(sha256("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq")),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(SHA256Test, BytesBeyondSevenBitsAndZerosCount) {
    EXPECT_NE(sha256(Data{0x00}), sha256(Data{}));
    EXPECT_NE(sha256(Data{0xff, 0x00}), sha256(Data{0x00, 0xff}));
}

} // namespace
} // namespace zestrel::platform

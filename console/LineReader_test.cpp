#include "console/LineReader.h"

#include "platform/base/RunLoop.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace zestrel::console {
namespace {

// Each line the reader hands over, read until the end of input.
std::vector<LineReader::Line> readAll(const std::string& input, std::size_t limit) {
    std::istringstream stream(input);
    LineReader reader(stream, limit);
    std::vector<LineReader::Line> lines;
    bool ended = false;
    while (!ended) {
        reader.request(platform::RunLoop::main(), [&](LineReader::Line line) {
            ended = !line.text;
            lines.push_back(std::move(line));
            platform::RunLoop::main().stop();
        });
        platform::RunLoop::main().run();
    }
    return lines;
}

TEST(LineReader, ALineOverTheLimitIsSkippedAndNamedByItsStart) {
    platform::testing::TestEnvironment environment;
    const std::string longLine = "echo " + std::string(LineReader::kKeptStart * 4, 'x');
    const auto lines = readAll("first\n" + longLine + "\nafter\nlast", 100);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0].text, "first");
    EXPECT_EQ(lines[0].tooLong, 0u);
    EXPECT_EQ(lines[1].tooLong, longLine.size());
    EXPECT_EQ(lines[1].text, longLine.substr(0, 100));
    EXPECT_EQ(lines[2].text, "after");
    EXPECT_EQ(lines[3].text, "last");
    EXPECT_FALSE(lines[4].text);
    // Each is numbered by its place in the input, the long one too.
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(lines[i].number, i + 1);
    }
    // Past a limit above what is kept to name it, only that much of the line stays.
    const std::string longerLine(LineReader::kKeptStart * 8, 'z');
    const auto kept = readAll(longerLine + "\n", LineReader::kKeptStart * 2);
    EXPECT_EQ(kept[0].tooLong, longerLine.size());
    EXPECT_EQ(kept[0].text, longerLine.substr(0, LineReader::kKeptStart));
    // Exactly at the limit is a line like any other.
    const auto atLimit = readAll(std::string(100, 'y') + "\n", 100);
    EXPECT_EQ(atLimit[0].tooLong, 0u);
    EXPECT_EQ(atLimit[0].text->size(), 100u);
}

} // namespace
} // namespace zestrel::console

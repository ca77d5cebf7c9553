#include "console/ScriptCommand.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zestrel::console {
namespace {

using ::testing::HasSubstr;

Command parsed(std::string_view line) {
    auto command = parseCommand(line);
    EXPECT_TRUE(command.has_value()) << line;
    return command.value_or(Command{});
}

std::string errorOf(std::string_view line) {
    try {
        parseCommand(line);
    } catch (const CommandError& error) {
        return error.what();
    }
    ADD_FAILURE() << "no error for: " << line;
    return {};
}

TEST(ScriptCommand, BlankLinesAndCommentsAreNotCommands) {
    for (const auto* line : {"", "   ", "\t", "# a comment", "   # indented comment", "\r"}) {
        EXPECT_FALSE(parseCommand(line).has_value()) << "“" << line << "”";
    }
}

TEST(ScriptCommand, WordsAreSplitOnSpacesAndQuotesKeepThemTogether) {
    EXPECT_EQ(parsed("select a.txt  b.txt"), (Command{CommandKind::select, {"a.txt", "b.txt"}}));
    EXPECT_EQ(parsed(R"(select "My File.txt" "say \"hi\"" "back\\slash")"),
              (Command{CommandKind::select, {"My File.txt", R"(say "hi")", R"(back\slash)"}}));
    EXPECT_EQ(parsed("  open finder \"$TMP/two words\"  "),
              (Command{CommandKind::open, {"finder", "$TMP/two words"}}));
    EXPECT_EQ(parsed("open finder a\"b"), (Command{CommandKind::open, {"finder", "a\"b"}}));
}

TEST(ScriptCommand, TextArgumentsAreTheRestOfTheLine) {
    EXPECT_EQ(parsed("echo  Hello,   world  "), (Command{CommandKind::echo, {"Hello,   world"}}));
    EXPECT_EQ(parsed("echo"), (Command{CommandKind::echo, {""}}));
    EXPECT_EQ(parsed("type \" leading space\""), (Command{CommandKind::type, {" leading space"}}));
    // Quotes that do not enclose the whole text are part of it.
    EXPECT_EQ(parsed("echo \"a\" and \"b\""), (Command{CommandKind::echo, {"\"a\" and \"b\""}}));
    EXPECT_EQ(parsed("write $TMP/a.txt two\twords"),
              (Command{CommandKind::write, {"$TMP/a.txt", "two\twords"}}));
    EXPECT_EQ(parsed("write \"$TMP/b c.txt\" \"line 1\\nline 2\""),
              (Command{CommandKind::write, {"$TMP/b c.txt", "line 1\nline 2"}}));
    EXPECT_EQ(parsed("write $TMP/empty.txt"),
              (Command{CommandKind::write, {"$TMP/empty.txt", ""}}));
}

TEST(ScriptCommand, QuitWithAnApplicationQuitsItAndAloneEndsTheSession) {
    EXPECT_EQ(parsed("quit"), (Command{CommandKind::end, {}}));
    EXPECT_EQ(parsed("quit textedit"), (Command{CommandKind::quitApp, {"textedit"}}));
}

TEST(ScriptCommand, EveryCommandParses) {
    const std::pair<const char*, CommandKind> lines[] = {
        {"open forklift-setapp $TMP", CommandKind::open},
        {"launch com.apple.TextEdit", CommandKind::launch},
        {"activate finder", CommandKind::activate},
        {"press shift+cmd+x", CommandKind::press},
        {"type hello", CommandKind::type},
        {"layout russian", CommandKind::layout},
        {"wait 0.25", CommandKind::wait},
        {"wait 3", CommandKind::wait},
        {"show pasteboard", CommandKind::show},
        {"show folder $TMP", CommandKind::show},
        {"show keys finder", CommandKind::show},
        {"show frontmost", CommandKind::show},
        {"mkdir $TMP/a", CommandKind::mkdir},
        {"relaunch", CommandKind::relaunch},
        {"tap rewrite-cut off", CommandKind::tap},
    };
    for (const auto& [line, kind] : lines) {
        EXPECT_EQ(parsed(line).kind, kind) << line;
    }
}

TEST(ScriptCommand, UnknownCommandIsNamedWithTheKnownOnes) {
    const auto message = errorOf("frobnicate now");
    EXPECT_THAT(message, HasSubstr("unknown command “frobnicate”"));
    EXPECT_THAT(message, HasSubstr("open, select"));
    EXPECT_THAT(errorOf("Echo hi"), HasSubstr("unknown command “Echo”"));
}

TEST(ScriptCommand, WrongWordsGiveTheUsage) {
    const std::pair<const char*, const char*> cases[] = {
        {"open finder", "usage: open"},
        {"open textedit $TMP", "“textedit” is not understood"},
        {"select", "usage: select"},
        {"launch", "usage: launch"},
        {"activate finder textedit", "usage: activate"},
        {"quit finder now", "usage: quit"},
        {"press", "usage: press"},
        {"press cmd+x cmd+v", "usage: press"},
        {"type", "usage: type"},
        {"layout french", "“french” is not understood"},
        {"show", "usage: show"},
        {"show folder", "usage: show"},
        {"show pasteboard now", "usage: show"},
        {"show everything", "“everything” is not understood"},
        {"mkdir", "usage: mkdir"},
        {"write", "usage: write"},
        {"relaunch now", "usage: relaunch"},
        {"tap rewrite-cut", "usage: tap"},
        {"tap rewrite-cut maybe", "“maybe” is not understood"},
        {"tap other on", "“other” is not understood"},
    };
    for (const auto& [line, expected] : cases) {
        EXPECT_THAT(errorOf(line), HasSubstr(expected)) << line;
    }
}

TEST(ScriptCommand, WaitTakesANonNegativeNumberOfSeconds) {
    for (const auto* value : {"-1", "abc", "1s", "", "inf", "nan", "1e999"}) {
        const std::string line = std::string("wait ") + value;
        if (*value == '\0') {
            EXPECT_THAT(errorOf(line), HasSubstr("usage: wait"));
        } else {
            EXPECT_THAT(errorOf(line), HasSubstr("is not a number of seconds")) << line;
        }
    }
}

TEST(ScriptCommand, ChordsAreCheckedWhenParsed) {
    EXPECT_THAT(errorOf("press cmd+q+"), HasSubstr("a key is missing"));
    EXPECT_THAT(errorOf("press hyper+x"), HasSubstr("unknown modifier “hyper”"));
}

TEST(ScriptCommand, BrokenQuotesAreErrors) {
    EXPECT_THAT(errorOf("select \"unfinished"), HasSubstr("no closing quote"));
    EXPECT_THAT(errorOf("select \"a\"b"), HasSubstr("followed by a space"));
    EXPECT_THAT(errorOf("select \"a\\qb\""), HasSubstr("unknown escape"));
}

} // namespace
} // namespace zestrel::console

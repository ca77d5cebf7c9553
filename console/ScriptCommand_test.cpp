#include "console/ScriptCommand.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace zestrel::console {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

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
    EXPECT_EQ(parsed("open finder $TMP/a\"b"),
              (Command{CommandKind::open, {"finder", "$TMP/a\"b"}}));
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
    };
    for (const auto& [line, expected] : cases) {
        EXPECT_THAT(errorOf(line), HasSubstr(expected)) << line;
    }
}

TEST(ScriptCommand, WaitTakesExactSecondsWithinTheClocksRange) {
    using std::chrono::nanoseconds;
    EXPECT_EQ(parseSeconds("0"), nanoseconds(0));
    EXPECT_EQ(parseSeconds("0.1"), nanoseconds(100'000'000));
    EXPECT_EQ(parseSeconds("2.000000001"), nanoseconds(2'000'000'001));
    EXPECT_EQ(parseSeconds("0001000000"), std::chrono::seconds(kLongestWaitSeconds));
    EXPECT_THAT(errorOf("wait"), HasSubstr("usage: wait"));
    // Everything a floating-point reader would take, and what does not fit the clock.
    for (const auto* value :
         {"-1", "+1", "abc", "1s", "inf", "nan", "1e999", "1e10", "5e-324", "0x10", ".5", "5.",
          "9223372035", "1000000.000000001", "0.0000000001", "1,5"}) {
        EXPECT_THAT(errorOf(std::string("wait ") + value), HasSubstr("is not a number of seconds"))
            << value;
    }
    EXPECT_THAT(errorOf("wait 1000001"), HasSubstr("the longest wait is 1000000 seconds"));
}

TEST(ScriptCommand, ApplicationsAreCheckedWhenParsed) {
    for (const auto* line : {"launch safari", "activate Finder", "quit textedit2", "show keys x"}) {
        EXPECT_THAT(errorOf(line), HasSubstr("unknown application")) << line;
    }
    EXPECT_EQ(applicationNamed("forklift-setapp"), "com.binarynights.forklift-setapp");
    EXPECT_EQ(applicationNamed("org.example.Tool"), "org.example.Tool");
    EXPECT_EQ(applicationNamed("zestrel"), std::nullopt);
}

TEST(ScriptCommand, PathsStartInTheSessionFolder) {
    for (const auto* line :
         {"open finder /home", "open finder ~", "mkdir made", "mkdir ./made", "write notes.txt hi",
          "write /etc/motd hi", "show folder /", "write $TMPx/a hi", "mkdir ../$TMP/a"}) {
        EXPECT_THAT(errorOf(line), HasSubstr("paths start with $TMP/")) << line;
    }
    EXPECT_EQ(parsed("mkdir $TMP").arguments, std::vector<std::string>{"$TMP"});
    // The system reads a path up to a NUL: in any path, one is refused as its escape is.
    for (const char* line :
         {"open finder $TMP/n@", "mkdir $TMP/n@", "write $TMP/n@ x", "show folder $TMP/n@",
          "expect folder $TMP/n@ a", "expect missing $TMP/n@"}) {
        std::string withNul = line;
        withNul[withNul.find('@')] = '\0';
        EXPECT_THAT(errorOf(withNul), HasSubstr("a NUL character cannot be written in a path"))
            << line;
    }
}

TEST(ScriptCommand, SelectTakesPlainNames) {
    for (const auto* line : {"select /etc/passwd", "select a.txt ../b.txt", "select ..",
                             "select sub/a.txt", "select .", "select \"\""}) {
        EXPECT_THAT(errorOf(line), HasSubstr("is not a name")) << line;
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

TEST(ScriptCommand, AQuoteThatOpensATextAndNeverClosesIsAnError) {
    for (const auto* line : {"echo \"hello", "type \"abc", "write $TMP/a.txt \"text",
                             "expect log \"CUT1", "expect pasteboard text \"x",
                             "echo \"ends in an escaped quote\\\"", "click menu \"Settings"}) {
        EXPECT_THAT(errorOf(line), HasSubstr("has no closing quote")) << line;
    }
    EXPECT_THAT(errorOf("click \"Show Debug Screen"),
                HasSubstr("the quoted word “\"Show Debug Screen” has no closing quote"));
    // A quote inside the text, or after a closed one, is the text's own.
    EXPECT_EQ(parsed("echo say \"hi"), (Command{CommandKind::echo, {"say \"hi"}}));
    EXPECT_EQ(parsed("echo \"a\" and \"b"), (Command{CommandKind::echo, {"\"a\" and \"b"}}));
}

TEST(ScriptCommand, AParentFolderThatLeavesTheSessionFolderIsRefusedWhenParsed) {
    for (const auto* line :
         {"mkdir $TMP/..", "open finder $TMP/../x", "write $TMP/a/../../b.txt x",
          "show folder $TMP/./..", "expect missing $TMP/a/../..//b", "expect folder $TMP/../tmp"}) {
        EXPECT_THAT(errorOf(line), HasSubstr("leads outside $TMP")) << line;
    }
    EXPECT_EQ(parsed("mkdir $TMP/a/../b").arguments, std::vector<std::string>{"$TMP/a/../b"});
    for (const auto* line : {"write $TMP/new/ x", "write $TMP/ x", "write $TMP x",
                             "write $TMP/a/. x", "write $TMP/a/b/.. x", "write \"$TMP/a b/\""}) {
        EXPECT_THAT(errorOf(line), HasSubstr("names a folder: write takes a file's path")) << line;
    }
    EXPECT_EQ(parsed("show folder $TMP/a/..").arguments,
              (std::vector<std::string>{"folder", "$TMP/a/.."}));
}

TEST(ScriptCommand, DefaultsAndExpectKeepTheirValueAsWritten) {
    EXPECT_EQ(parsed("defaults write newMethod true"),
              (Command{CommandKind::defaults, {"write", "newMethod", "true"}}));
    EXPECT_EQ(parsed("defaults write \"a key\" (1, \"two words\")"),
              (Command{CommandKind::defaults, {"write", "a key", "(1, \"two words\")"}}));
    EXPECT_EQ(parsed("defaults read newMethod"),
              (Command{CommandKind::defaults, {"read", "newMethod"}}));
    EXPECT_EQ(parsed("expect defaults count 3"),
              (Command{CommandKind::expect, {"defaults", "count", "3"}}));
    EXPECT_EQ(parsed("expect log \"CUT1\" 5"),
              (Command{CommandKind::expect, {"log", "\"CUT1\" 5"}}));
    EXPECT_EQ(parsed("expect alert \"Quit now?\""),
              (Command{CommandKind::expect, {"alert", "Quit now?"}}));
    EXPECT_EQ(parsed("expect folder $TMP/a x.txt \"y z.txt\""),
              (Command{CommandKind::expect, {"folder", "$TMP/a", "x.txt", "y z.txt"}}));
    EXPECT_EQ(parsed("expect folder $TMP/empty"),
              (Command{CommandKind::expect, {"folder", "$TMP/empty"}}));
    EXPECT_EQ(parsed("expect pasteboard files 2"),
              (Command{CommandKind::expect, {"pasteboard", "files", "2"}}));
    EXPECT_EQ(parsed("answer \"Open System Settings\""),
              (Command{CommandKind::answer, {"Open System Settings"}}));
    EXPECT_EQ(parsed("press cmd+code:7"), (Command{CommandKind::press, {"cmd+code:7"}}));
}

TEST(ScriptCommand, KeysAndValuesADatabaseCannotHoldAreRefused) {
    // The database would refuse it for good; the line is refused before anything runs.
    for (const std::string& line : std::vector<std::string>{
             "defaults write \"a\xff\" 1", std::string("defaults read \"a\0b\"", 19),
             "defaults delete \xc3", "expect defaults \"\xe2\x82\" 1",
             "defaults write k (\"a\xff\", 1)", "expect defaults k \"\xc3\""}) {
        EXPECT_THROW(parseCommand(line), CommandError) << line;
    }
    EXPECT_EQ(parsed("defaults write \"caf\xc3\xa9\" 1"),
              (Command{CommandKind::defaults, {"write", "caf\xc3\xa9", "1"}}));
}

TEST(ScriptCommand, MistakesInTheNewCommandsRunNothing) {
    EXPECT_THAT(errorOf("defaults write newMethod yes"), HasSubstr("needs double quotes"));
    EXPECT_THAT(errorOf("defaults write newMethod"), HasSubstr("a value is missing"));
    EXPECT_THAT(errorOf("defaults read"), HasSubstr("usage: defaults"));
    EXPECT_THAT(errorOf("defaults read a b"), HasSubstr("usage: defaults"));
    EXPECT_THAT(errorOf("defaults erase a"), HasSubstr("“erase” is not understood"));
    EXPECT_THAT(errorOf("expect"), HasSubstr("usage: expect"));
    EXPECT_THAT(errorOf("expect weather sunny"), HasSubstr("“weather” is not understood"));
    EXPECT_THAT(errorOf("expect missing /etc/passwd"), HasSubstr("is not in $TMP"));
    EXPECT_THAT(errorOf("expect missing $TMP/a $TMP/b"), HasSubstr("usage: expect"));
    EXPECT_THAT(errorOf("expect pasteboard files"), HasSubstr("usage: expect"));
    EXPECT_THAT(errorOf("expect pasteboard files two"), HasSubstr("usage: expect"));
    EXPECT_THAT(errorOf("expect log"), HasSubstr("usage: expect"));
    EXPECT_THAT(errorOf("expect defaults key"), HasSubstr("usage: expect"));
    EXPECT_THAT(errorOf("accessibility maybe"), HasSubstr("“maybe” is not understood"));
    EXPECT_THAT(errorOf("latency textedit 1"), HasSubstr("“textedit” is not understood"));
    EXPECT_THAT(errorOf("latency finder soon"), HasSubstr("is not a number of seconds"));
    EXPECT_THAT(errorOf("answer"), HasSubstr("usage: answer"));
    EXPECT_THAT(errorOf("click menu"),
                StartsWith("click menu needs the title of a command of the menu; usage: click "
                           "menu \"TITLE\" [holding MODIFIERS]"));
    EXPECT_EQ(parsed("click \"menu\""), (Command{CommandKind::click, {"menu"}}));
    EXPECT_THAT(errorOf("press cmd+code:128"), HasSubstr("not a key code from 0 to 127"));
    EXPECT_THAT(errorOf("press code:"), HasSubstr("not a key code"));
    EXPECT_THAT(errorOf("show sound"), HasSubstr("“sound” is not understood"));
}

TEST(ScriptCommand, ControlsMayBeNamedByWhatTheySitIn) {
    EXPECT_EQ(parsed("click Delete in \"QV_launchCount\""),
              (Command{CommandKind::click, {"Delete", "in", "QV_launchCount"}}));
    EXPECT_EQ(parsed("toggle \"Show menu bar icon\" in \"Zestrel Settings\""),
              (Command{CommandKind::toggle, {"Show menu bar icon", "in", "Zestrel Settings"}}));
    EXPECT_EQ(parsed("pick Method Taps in Main"),
              (Command{CommandKind::pick, {"Method", "Taps", "in", "Main"}}));
    // A control may be called "in" itself.
    EXPECT_EQ(parsed("click in"), (Command{CommandKind::click, {"in"}}));
    for (const char* line : {"click Delete in", "click Delete inside Row", "click Delete in a b",
                             "toggle Sound in", "pick Method in Main", "pick Method Taps in"}) {
        EXPECT_THAT(errorOf(line), HasSubstr("usage: ")) << line;
    }
    EXPECT_THAT(errorOf("click Delete in \"\""), HasSubstr("“in” needs the text to look for"));
}

TEST(ScriptCommand, ANumberPicksOneOfTheControlsSoLabelled) {
    const auto words = [](std::string_view line) { return controlWords(parsed(line)); };
    EXPECT_EQ(words("click \"Copy Path\" #2").ordinal, 2u);
    EXPECT_EQ(words("click \"Copy Path\" #2").label, "Copy Path");
    const auto within = words("click Copy in More #12");
    EXPECT_EQ(within.within, "More");
    EXPECT_EQ(within.ordinal, 12u);
    const auto picked = words("pick Method Taps #1");
    EXPECT_EQ(picked.choice, "Taps");
    EXPECT_EQ(picked.ordinal, 1u);
    EXPECT_FALSE(picked.within);
    // Where a label or a text stands, "#2" is that label or text.
    EXPECT_EQ(words("click \"#2\"").label, "#2");
    EXPECT_FALSE(words("click \"#2\"").ordinal);
    EXPECT_EQ(words("pick Method \"#2\"").choice, "#2");
    EXPECT_EQ(words("click Copy in \"#2\"").within, "#2");
    for (const char* line : {"click Copy #0", "click Copy #", "click Copy #2 #3", "toggle Sound #x",
                             "click Copy #1234567"}) {
        EXPECT_THAT(errorOf(line), HasSubstr("usage: ")) << line;
    }
    // What is wrong with N is said, not taken for a title to quote.
    const std::pair<const char*, const char*> wrongNumbers[] = {
        {"click Copy #0", "“#0” names no control: #N counts from #1"},
        {"click Copy #-1", "“#-1” is no #N: N is a whole number, #1 for the first"},
        {"pick Method Taps #2x", "“#2x” is no #N: N is a whole number, #1 for the first"},
        {"click Copy in More #9999999", "“#9999999” is too large: N is at most 999999"},
        {"click Copy Path #03", "“#03” is no #N: N is written without leading zeros"},
    };
    for (const auto& [line, said] : wrongNumbers) {
        EXPECT_THAT(errorOf(line), StartsWith(std::string(said) + "; usage: ")) << line;
    }
}

TEST(ScriptCommand, TitlesOfSeveralWordsWithoutQuotesAreToldToBeQuoted) {
    const std::pair<const char*, const char*> cases[] = {
        {"click menu Send Feedback", "(click menu \"Send Feedback\")"},
        {"click menu Share App holding ctrl+opt", "(click menu \"Share App\" holding ctrl+opt)"},
        {"close window Zestrel Settings", "(close window \"Zestrel Settings\")"},
        {"show window Zestrel Settings", "(show window \"Zestrel Settings\")"},
        {"click Copy Path", "(click \"Copy Path\")"},
        {"toggle Show menu bar icon in Zestrel Settings",
         "(toggle \"Show menu bar icon\" in \"Zestrel Settings\")"},
        {"click Copy Path #2", "(click \"Copy Path\" #2)"},
        {"answer Not Now", "(answer \"Not Now\")"},
    };
    for (const auto& [line, hint] : cases) {
        const auto error = errorOf(line);
        EXPECT_THAT(
            error, HasSubstr("a title of several words goes in double quotes " + std::string(hint)))
            << line;
        EXPECT_THAT(error, HasSubstr("; usage: ")) << line;
    }
    // Quotes written already: the usage alone.
    EXPECT_THAT(errorOf("close window \"Zestrel\" Settings"),
                ::testing::StartsWith("usage: close window"));
}

TEST(ScriptCommand, MessagesShowControlBytesEscapedAndWhole) {
    EXPECT_THAT(errorOf(std::string_view("\0\1echo", 6)),
                ::testing::StartsWith("unknown command “\\x00\\x01echo” (commands: open,"));
    EXPECT_THAT(errorOf("frob\xFFnicate"), HasSubstr("unknown command “frob\\xFFnicate”"));
}

TEST(ScriptCommand, AQuotedTextReadsTheEscapesRepliesWrite) {
    // What a reply shows reads back: the letters, a byte, a character by its number.
    EXPECT_EQ(parsed("write $TMP/y \"a\\tb\\r\\x41\\xff\\u{202E}\\u{1F600}\"").arguments[1],
              "a\tb\rA\xFF\u202E\U0001F600");
    EXPECT_EQ(parsed("select \"a\\u{9B}b\"").arguments[0], "a\u009Bb");
    EXPECT_EQ(parsed("select \"\\u{D7FF}\\u{E000}\\u{10FFFF}\"").arguments[0],
              "\uD7FF\uE000\U0010FFFF");
    // Named without the backslash, which a reply would show doubled.
    EXPECT_THAT(errorOf("write $TMP/y \"a\\qb\""),
                HasSubstr("unknown escape “q” after a backslash in a quoted word"));
    for (const char* bad :
         {"\\x4", "\\xg1", "\\x+1", "\\u202E", "\\u{}", "\\u{1234567}", "\\u{12", "\\u{-1}"}) {
        EXPECT_THAT(errorOf("echo \"" + std::string(bad) + "\""), HasSubstr("takes ")) << bad;
    }
    // The surrogates from first to last, and past the last character.
    for (const char* notOne : {"\\u{D800}", "\\u{DFFF}", "\\u{110000}"}) {
        EXPECT_THAT(errorOf("echo \"" + std::string(notOne) + "\""), HasSubstr("is no character"))
            << notOne;
    }
    // No name or text holds a NUL: a path would end there. Typed as it is, it is refused
    // as its escape is, in a quoted word, a plain one and a text.
    for (const char* nul : {"\\x00", "\\u{0}"}) {
        EXPECT_THAT(errorOf("select \"a" + std::string(nul) + "b\""),
                    HasSubstr("a NUL character cannot be written"))
            << nul;
    }
    for (const char* line : {"echo a@b", "echo \"a@b\"", "type a@b", "write $TMP/x a@b",
                             "select \"a@b\"", "click \"a@b\"", "expect log a@b", "answer a@b"}) {
        std::string withNul = line;
        withNul[withNul.find('@')] = '\0';
        EXPECT_THAT(errorOf(withNul), HasSubstr("“a\\x00b”: a NUL character cannot be written"))
            << line;
    }
    // Not one quoted word: the text as written, backslashes and all.
    EXPECT_EQ(parsed("echo \"a\" \\q").arguments[0], "\"a\" \\q");
}

TEST(ScriptCommand, CloseTakesAWindowAndHelpACommand) {
    EXPECT_EQ(parsed("close window"), (Command{CommandKind::close, {"window"}}));
    EXPECT_EQ(parsed("close window \"Zestrel Settings\""),
              (Command{CommandKind::close, {"window", "Zestrel Settings"}}));
    EXPECT_THAT(errorOf("close"), HasSubstr("usage: close window"));
    EXPECT_THAT(errorOf("close door"), HasSubstr("“door” is not understood"));
    EXPECT_THAT(errorOf("close window a b"), HasSubstr("usage: close window"));
    EXPECT_EQ(parsed("help"), (Command{CommandKind::help, {}}));
    EXPECT_EQ(parsed("help click"), (Command{CommandKind::help, {"click"}}));
    EXPECT_THAT(errorOf("help frobnicate"),
                HasSubstr("no command “frobnicate” (commands: open, select,"));
    EXPECT_THAT(errorOf("help click toggle"), HasSubstr("usage: help"));
}

} // namespace
} // namespace zestrel::console

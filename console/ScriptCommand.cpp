#include "console/ScriptCommand.h"

#include "console/ConsoleText.h"
#include "console/KeyChord.h"
#include "console/PropertyListLiteral.h"
#include "platform/data/PropertyList.h"
#include "platform/desktop/Desktop.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <limits>

namespace zestrel::console {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Where the quote that opens `text` is closed (`\"` does not close it); npos when never.
std::size_t closingQuote(std::string_view text) {
    for (std::size_t at = 1; at < text.size(); ++at) {
        if (text[at] == '\\') {
            ++at;
        } else if (text[at] == '"') {
            return at;
        }
    }
    return std::string_view::npos;
}

CommandError unclosedQuote(std::string_view text) {
    return CommandError("the quoted word “" + std::string(text) + "” has no closing quote");
}

// Reads one word from the front of `text` and removes it with the spaces after it.
std::string takeWord(std::string_view& text) {
    std::string word;
    if (!text.empty() && text.front() == '"') {
        if (closingQuote(text) == std::string_view::npos) {
            throw unclosedQuote(text);
        }
        text.remove_prefix(1);
        for (;;) {
            const char c = text.front();
            text.remove_prefix(1);
            if (c == '"') {
                break;
            }
            if (c != '\\') {
                word += c;
                continue;
            }
            if (text.empty()) {
                throw CommandError("a quoted word ends in a backslash");
            }
            try {
                word += takeEscape(text);
            } catch (const CommandError& error) {
                throw CommandError(error.message() + " in a quoted word");
            }
        }
        if (!text.empty() && !isSpace(text.front())) {
            throw CommandError("a quoted word must be followed by a space");
        }
    } else {
        while (!text.empty() && !isSpace(text.front())) {
            word += text.front();
            text.remove_prefix(1);
        }
    }
    text = trimmed(text);
    return word;
}

std::vector<std::string> words(std::string_view text) {
    std::vector<std::string> list;
    text = trimmed(text);
    while (!text.empty()) {
        list.push_back(takeWord(text));
    }
    return list;
}

// A text argument: the rest of the line as written, or the word it holds when it is one
// quoted word (so leading spaces and line breaks can be written, and an escape it does not
// know is a mistake, as in any quoted word). A quote that opens the text and is never closed
// is a mistake, not part of the text.
std::string text(std::string_view rest) {
    rest = trimmed(rest);
    if (!rest.empty() && rest.front() == '"') {
        const auto close = closingQuote(rest);
        if (close == std::string_view::npos) {
            throw unclosedQuote(rest);
        }
        if (close + 1 == rest.size()) {
            return takeWord(rest);
        }
    }
    return std::string(rest);
}

using Syntax = CommandSyntax;

constexpr std::array kSyntax = {
    Syntax{"open", CommandKind::open,
           "open finder|forklift|forklift-setapp FOLDER | open debug window",
           "shows FOLDER in the file manager, launching it if need be; or opens Zestrel's user "
           "debug window"},
    Syntax{"select", CommandKind::select, "select NAME...",
           "selects items of the frontmost file manager's folder"},
    Syntax{"launch", CommandKind::launch, "launch APP [holding MODIFIERS]",
           "launches an application (zestrel: the app, with keys held through its launch)"},
    Syntax{"reopen", CommandKind::reopen, "reopen APP",
           "opens the running application again, as from the Finder"},
    Syntax{"activate", CommandKind::activate, "activate APP",
           "brings the running application to the front"},
    Syntax{"quit", CommandKind::quitApp, "quit [APP]",
           "quits the application; alone, ends the session"},
    Syntax{"press", CommandKind::press, "press CHORD",
           "presses a key as a person does (cmd+x, shift+cmd+x, esc, f1, cmd+code:7)"},
    Syntax{"type", CommandKind::type, "type TEXT", "types TEXT with the current layout's keys"},
    Syntax{"layout", CommandKind::layout, "layout us|german|russian",
           "switches the keyboard layout"},
    Syntax{"wait", CommandKind::wait, "wait SECONDS", "lets time pass"},
    Syntax{"show", CommandKind::show,
           "show pasteboard|folder PATH|apps|taps|hotkeys|windows|log|frontmost|keys APP|"
           "defaults|alerts|sounds|opened|menu|window [TITLE]|dock",
           "shows the desktop's or the app's state"},
    Syntax{"mkdir", CommandKind::mkdir, "mkdir PATH", "makes a folder"},
    Syntax{"write", CommandKind::write, "write PATH TEXT", "writes a file"},
    Syntax{"echo", CommandKind::echo, "echo TEXT", "prints TEXT"},
    Syntax{"relaunch", CommandKind::relaunch, "relaunch",
           "quits and restarts Zestrel's process on the same desktop"},
    Syntax{"defaults", CommandKind::defaults, "defaults read|write|delete KEY [VALUE]",
           "reads, writes or deletes one of the app's defaults"},
    Syntax{"accessibility", CommandKind::accessibility, "accessibility trusted|untrusted",
           "gives or takes the app's Accessibility permission"},
    Syntax{"latency", CommandKind::latency, "latency finder|forklift SECONDS",
           "how long the file manager takes to put a copy on the pasteboard"},
    Syntax{"answer", CommandKind::answer, "answer \"BUTTON\"",
           "presses BUTTON at the alert that waits for it, or else at the next alert"},
    Syntax{"expect", CommandKind::expect,
           "expect folder PATH NAME...|missing PATH|pasteboard empty|pasteboard files N|"
           "pasteboard text TEXT|log TEXT|alert TEXT|opened TEXT|defaults KEY VALUE|menu TEXT|"
           "window TEXT|sounds N",
           "checks the state; a script stops with the reason when it is not so"},
    Syntax{"click", CommandKind::click,
           "click menu \"TITLE\" [holding MODIFIERS] | click \"LABEL\" [in \"TEXT\"] [#N]",
           "chooses a command of the app's menu, or clicks a control of its frontmost window "
           "(in TEXT: inside the row, section or window that shows TEXT; #N: the Nth of the "
           "controls so labelled)"},
    Syntax{"toggle", CommandKind::toggle, "toggle \"LABEL\" [in \"TEXT\"] [#N]",
           "flips a switch of the app's frontmost window"},
    Syntax{"pick", CommandKind::pick, "pick \"LABEL\" \"CHOICE\" [in \"TEXT\"] [#N]",
           "chooses a picker's choice in the app's frontmost window"},
    Syntax{"record", CommandKind::record, "record shortcut cut|paste",
           "opens the shortcut recorder; the next key pressed is recorded"},
    Syntax{"close", CommandKind::close, "close window [\"TITLE\"]",
           "closes the app's window titled TITLE, or its frontmost one"},
    Syntax{"help", CommandKind::help, "help [COMMAND]",
           "lists every command, or tells what one does"},
};

std::string knownCommands() {
    std::string list;
    for (const auto& syntax : kSyntax) {
        list += list.empty() ? "" : ", ";
        list += syntax.word;
    }
    return list;
}

void expectCount(const Syntax& syntax, const std::vector<std::string>& arguments, std::size_t least,
                 std::size_t most) {
    if (arguments.size() < least || arguments.size() > most) {
        throw CommandError("usage: " + std::string(syntax.usage));
    }
}

void expectOneOf(const Syntax& syntax, const std::string& value,
                 std::initializer_list<std::string_view> allowed) {
    if (std::find(allowed.begin(), allowed.end(), value) == allowed.end()) {
        throw CommandError("“" + value +
                           "” is not understood; usage: " + std::string(syntax.usage));
    }
}

// Words meant as one title, written without the quotes that keep them together: the
// message says how to write them. With quotes on the line, only the usage.
CommandError severalWords(const Syntax& syntax, bool quoted, const std::string& line) {
    if (quoted) {
        return CommandError("usage: " + std::string(syntax.usage));
    }
    return CommandError("a title of several words goes in double quotes (" + line +
                        "); usage: " + std::string(syntax.usage));
}

// `words` quoted as one title.
std::string quotedTitle(const std::vector<std::string>& words) {
    return "\"" + joined(words, " ") + "\"";
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether a control's words end in `#N`: only after an odd count of words past its label
// (and choice), so "#2" where a label or a text stands is that label or text.
bool endsInOrdinal(const std::vector<std::string>& arguments, std::size_t count) {
    return arguments.size() > count && (arguments.size() - count) % 2 == 1 &&
           ordinalOf(arguments.back());
}

// What is wrong with a last word meant as `#N` ("#0", "#-1", "#2x", "#9999999"); nothing
// when it is a good one, or is no `#N` at all: "#" and a word, or "#2" where a text stands.
std::optional<std::string> ordinalProblem(const std::vector<std::string>& arguments,
                                          std::size_t count) {
    if (arguments.size() <= count) {
        return std::nullopt;
    }
    const std::string& word = arguments.back();
    const bool meant = word.size() >= 2 && word.front() == '#' &&
                       (isDigit(word[1]) || word[1] == '-' || word[1] == '+');
    const std::size_t after = arguments.size() - count;
    const bool textStandsThere = after % 2 == 0 && arguments[count] == "in";
    if (!meant || textStandsThere || ordinalOf(word)) {
        return std::nullopt;
    }
    const auto digits = std::string_view(word).substr(1);
    if (!std::all_of(digits.begin(), digits.end(), isDigit)) {
        return "“" + word + "” is no #N: N is a whole number, #1 for the first";
    }
    if (digits.find_first_not_of('0') == std::string_view::npos) {
        return "“" + word + "” names no control: #N counts from #1";
    }
    if (digits.front() == '0') {
        return "“" + word + "” is no #N: N is written without leading zeros";
    }
    return "“" + word + "” is too large: N is at most " + std::to_string(kLargestOrdinal);
}

// `count` words, optionally followed by `in TEXT`, then optionally by `#N`: the control
// inside what shows TEXT, and the Nth of those that match.
void expectControl(const Syntax& syntax, const std::vector<std::string>& arguments,
                   std::size_t count, bool quoted) {
    if (const auto problem = ordinalProblem(arguments, count)) {
        throw CommandError(*problem + "; usage: " + std::string(syntax.usage));
    }
    const bool ordinal = endsInOrdinal(arguments, count);
    const std::size_t words = arguments.size() - (ordinal ? 1 : 0);
    const bool within = words == count + 2 && arguments[count] == "in";
    if (words != count && !within) {
        // `click Copy Path`: one label, unquoted, as a person types it.
        if (!quoted && count == 1) {
            const bool numbered = ordinalOf(arguments.back()).has_value();
            const auto end = arguments.end() - (numbered ? 1 : 0);
            const auto in = std::find(arguments.begin() + 1, end, "in");
            std::string line =
                std::string(syntax.word) + " " + quotedTitle({arguments.begin(), in});
            if (in != end) {
                line += " in " + quotedTitle({in + 1, end});
            }
            throw severalWords(syntax, false, numbered ? line + " " + arguments.back() : line);
        }
        throw CommandError("usage: " + std::string(syntax.usage));
    }
    if (within && arguments[count + 1].empty()) {
        throw CommandError("“in” needs the text to look for; usage: " + std::string(syntax.usage));
    }
}

// A property-list value as written: the rest of the line, checked now so a mistake runs
// nothing.
std::string literal(const Syntax& syntax, std::string_view rest) {
    rest = trimmed(rest);
    if (rest.empty()) {
        throw CommandError("a value is missing; usage: " + std::string(syntax.usage));
    }
    // The defaults database stops the process on what a property list cannot hold.
    if (!platform::PropertyList::isValid(parsePropertyListLiteral(rest))) {
        throw CommandError("a value's text is UTF-8 without NUL characters");
    }
    return std::string(rest);
}

std::string defaultsKey(std::string_view& rest) {
    auto key = takeWord(rest);
    if (!platform::PropertyList::isValid(platform::Value(key))) {
        throw CommandError("a defaults key is UTF-8 text without NUL characters");
    }
    return key;
}

// `defaults` and `expect`: a sub-command word, then words, text or a value by sub-command.
Command parseChecks(const Syntax& syntax, Command command, std::string_view rest) {
    rest = trimmed(rest);
    auto& arguments = command.arguments;
    const auto usage = [&] { return CommandError("usage: " + std::string(syntax.usage)); };
    if (rest.empty()) {
        throw usage();
    }
    const auto what = takeWord(rest);
    arguments.push_back(what);
    if (syntax.kind == CommandKind::defaults) {
        expectOneOf(syntax, what, {"read", "write", "delete"});
        if (rest.empty()) {
            throw usage();
        }
        arguments.push_back(defaultsKey(rest));
        if (what == "write") {
            arguments.push_back(literal(syntax, rest));
        } else if (!rest.empty()) {
            throw usage();
        }
        return command;
    }
    expectOneOf(syntax, what,
                {"folder", "missing", "pasteboard", "log", "alert", "opened", "defaults", "menu",
                 "window", "sounds"});
    if (what == "log" || what == "alert" || what == "opened" || what == "menu" ||
        what == "window") {
        arguments.push_back(text(rest));
        if (arguments.back().empty()) {
            throw usage();
        }
        return command;
    }
    if (what == "defaults") {
        if (rest.empty()) {
            throw usage();
        }
        arguments.push_back(defaultsKey(rest));
        arguments.push_back(literal(syntax, rest));
        return command;
    }
    if (what == "pasteboard" && rest.starts_with("text")) {
        std::string_view afterWord = rest;
        if (takeWord(afterWord) == "text") {
            arguments.push_back("text");
            arguments.push_back(text(afterWord));
            if (arguments.back().empty()) {
                throw usage();
            }
            return command;
        }
    }
    const auto restWords = words(rest);
    arguments.insert(arguments.end(), restWords.begin(), restWords.end());
    const auto isCount = [](const std::string& word) {
        return !word.empty() && word.size() <= 6 && std::all_of(word.begin(), word.end(), isDigit);
    };
    if (what == "sounds") {
        if (arguments.size() != 2 || !isCount(arguments[1])) {
            throw usage();
        }
        return command;
    }
    if (what == "folder" || what == "missing") {
        if (arguments.size() < 2 || (what == "missing" && arguments.size() != 2)) {
            throw usage();
        }
        checkSessionPath(arguments[1]);
        return command;
    }
    // pasteboard empty | pasteboard files N
    const bool empty = arguments.size() == 2 && arguments[1] == "empty";
    const bool files = arguments.size() == 3 && arguments[1] == "files" && isCount(arguments[2]);
    if (!empty && !files) {
        throw usage();
    }
    return command;
}

} // namespace

CommandError::CommandError(const std::string& message)
    : std::runtime_error(escapedControls(message)),
      message_(std::make_shared<const std::string>(message)) {}

std::span<const CommandSyntax> commandSyntaxes() {
    return kSyntax;
}

const CommandSyntax* commandSyntax(std::string_view word) {
    const auto found = std::find_if(kSyntax.begin(), kSyntax.end(),
                                    [&](const Syntax& syntax) { return syntax.word == word; });
    return found == kSyntax.end() ? nullptr : &*found;
}

std::optional<std::size_t> ordinalOf(std::string_view word) {
    if (word.size() < 2 || word.size() > kLargestOrdinalDigits + 1 || word.front() != '#' ||
        word[1] == '0' || !std::all_of(word.begin() + 1, word.end(), isDigit)) {
        return std::nullopt;
    }
    std::size_t ordinal = 0;
    std::from_chars(word.data() + 1, word.data() + word.size(), ordinal);
    return ordinal;
}

ControlWords controlWords(const Command& command) {
    const auto& arguments = command.arguments;
    const std::size_t count = command.kind == CommandKind::pick ? 2 : 1;
    ControlWords words;
    words.label = arguments[0];
    if (count == 2) {
        words.choice = arguments[1];
    }
    // The parser let through `count` words, `in TEXT` after them, and `#N` last.
    std::size_t end = arguments.size();
    if (endsInOrdinal(arguments, count)) {
        words.ordinal = ordinalOf(arguments[--end]);
    }
    if (end == count + 2) {
        words.within = arguments[count + 1];
    }
    return words;
}

bool isSessionPath(std::string_view word) {
    return word.starts_with(kSessionFolder) &&
           (word.size() == kSessionFolder.size() || word[kSessionFolder.size()] == '/');
}

void checkSessionPath(std::string_view word) {
    // The system reads a path only up to a NUL: what followed it would be dropped unsaid.
    if (word.find('\0') != std::string_view::npos) {
        throw CommandError("“" + std::string(word) +
                           "”: a NUL character cannot be written in a path");
    }
    if (!isSessionPath(word)) {
        throw CommandError("“" + std::string(word) + "” is not in $TMP: paths start with $TMP/");
    }
    int depth = 0;
    std::string_view rest = std::string_view(word).substr(kSessionFolder.size());
    while (!rest.empty()) {
        const auto slash = rest.find('/');
        const auto component = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
        if (component == "..") {
            if (--depth < 0) {
                throw CommandError("“" + std::string(word) + "” leads outside $TMP");
            }
        } else if (!component.empty() && component != ".") {
            ++depth;
        }
    }
}

std::chrono::nanoseconds parseSeconds(std::string_view text) {
    const auto refuse = [&](const std::string& why) {
        return CommandError("“" + std::string(text) + "” is not a number of seconds: " + why);
    };
    const auto point = text.find('.');
    const auto whole = text.substr(0, point);
    const auto fraction =
        point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    // Digits only, counted exactly: no exponent, sign, infinity or rounding to deal with.
    if (whole.empty() || !std::all_of(whole.begin(), whole.end(), isDigit) ||
        (point != std::string_view::npos &&
         (fraction.empty() || !std::all_of(fraction.begin(), fraction.end(), isDigit)))) {
        throw refuse("write digits, with a decimal point if need be (2, 0.25)");
    }
    if (fraction.size() > 9) {
        throw refuse("the clock counts no finer than nanoseconds (nine decimals)");
    }
    const auto significant = whole.substr(std::min(whole.find_first_not_of('0'), whole.size()));
    std::int64_t seconds = 0;
    if (significant.size() > 7) {
        throw refuse("the longest wait is " + std::to_string(kLongestWaitSeconds) + " seconds");
    }
    std::from_chars(significant.data(), significant.data() + significant.size(), seconds);
    std::int64_t nanoseconds = 0;
    std::from_chars(fraction.data(), fraction.data() + fraction.size(), nanoseconds);
    for (auto digits = fraction.size(); digits < 9; ++digits) {
        nanoseconds *= 10;
    }
    if (seconds > kLongestWaitSeconds || (seconds == kLongestWaitSeconds && nanoseconds > 0)) {
        throw refuse("the longest wait is " + std::to_string(kLongestWaitSeconds) + " seconds");
    }
    return std::chrono::seconds(seconds) + std::chrono::nanoseconds(nanoseconds);
}

std::optional<std::string> applicationNamed(std::string_view word) {
    const std::pair<std::string_view, const char*> shortNames[] = {
        {"finder", platform::kFinderBundleIdentifier},
        {"forklift", platform::kForkLiftBundleIdentifier},
        {"forklift-setapp", platform::kForkLiftSetappBundleIdentifier},
        {"textedit", platform::kTextEditBundleIdentifier},
        {"overlay", platform::kOverlayBundleIdentifier},
        {"panel", platform::kPanelBundleIdentifier},
    };
    for (const auto& [shortName, identifier] : shortNames) {
        if (shortName == word) {
            return identifier;
        }
    }
    if (word == "zestrel") {
        return std::nullopt;
    }
    if (word.find('.') != std::string_view::npos) {
        return std::string(word);
    }
    throw CommandError("unknown application “" + std::string(word) +
                       "” (finder, forklift, forklift-setapp, textedit, overlay, panel, zestrel, "
                       "or a bundle identifier)");
}

namespace {

std::optional<Command> parseLine(std::string_view line) {
    std::string_view rest = trimmed(line);
    if (rest.empty() || rest.front() == '#') {
        return std::nullopt;
    }
    std::string word;
    while (!rest.empty() && !isSpace(rest.front())) {
        word += rest.front();
        rest.remove_prefix(1);
    }
    const auto* syntax = commandSyntax(word);
    if (!syntax) {
        throw CommandError("unknown command “" + word + "” (commands: " + knownCommands() + ")");
    }

    Command command{syntax->kind, {}};
    auto& arguments = command.arguments;
    switch (syntax->kind) {
    case CommandKind::type:
        arguments = {text(rest)};
        if (arguments.front().empty()) {
            throw CommandError("usage: " + std::string(syntax->usage));
        }
        return command;
    case CommandKind::echo:
        arguments = {text(rest)};
        return command;
    case CommandKind::defaults:
    case CommandKind::expect:
        return parseChecks(*syntax, std::move(command), rest);
    case CommandKind::write: {
        rest = trimmed(rest);
        if (rest.empty()) {
            throw CommandError("usage: " + std::string(syntax->usage));
        }
        auto path = takeWord(rest);
        checkSessionPath(path);
        // A path that ends in "/" (or "." or "..") names a folder, never a file to make.
        const auto last = std::string_view(path).substr(path.rfind('/') + 1);
        if (path == kSessionFolder || last.empty() || last == "." || last == "..") {
            throw CommandError("“" + path + "” names a folder: write takes a file's path");
        }
        arguments = {std::move(path), text(rest)};
        return command;
    }
    default:
        arguments = words(rest);
        break;
    }
    const bool quoted = rest.find('"') != std::string_view::npos;

    switch (syntax->kind) {
    case CommandKind::open:
        expectCount(*syntax, arguments, 2, 2);
        if (arguments[0] == "debug" && arguments[1] == "window") {
            break;
        }
        expectOneOf(*syntax, arguments[0], {"finder", "forklift", "forklift-setapp"});
        checkSessionPath(arguments[1]);
        break;
    case CommandKind::select:
        expectCount(*syntax, arguments, 1, std::numeric_limits<std::size_t>::max());
        for (const auto& name : arguments) {
            if (name.empty() || name == "." || name == ".." ||
                name.find('/') != std::string::npos) {
                throw CommandError("“" + name +
                                   "” is not a name: select takes names of items in the "
                                   "file manager's folder (no “/”, “.” or “..”)");
            }
        }
        break;
    case CommandKind::launch:
        expectCount(*syntax, arguments, 1, 3);
        applicationNamed(arguments[0]);
        if (arguments.size() > 1) {
            if (arguments.size() != 3 || arguments[1] != "holding") {
                throw CommandError("usage: " + std::string(syntax->usage));
            }
            parseModifiers(arguments[2]);
        }
        break;
    case CommandKind::reopen:
    case CommandKind::activate:
        expectCount(*syntax, arguments, 1, 1);
        applicationNamed(arguments[0]);
        break;
    case CommandKind::click:
        if (!arguments.empty() && arguments[0] == "menu" && arguments.size() > 1) {
            const bool holding =
                arguments.size() >= 4 && arguments[arguments.size() - 2] == "holding";
            const std::size_t titleEnd = arguments.size() - (holding ? 2 : 0);
            if (titleEnd != 2) {
                // Past the word "menu": the title, then what is held.
                const auto title = arguments.begin() + 1;
                throw severalWords(*syntax, quoted,
                                   "click menu " + quotedTitle({title, title + (titleEnd - 1)}) +
                                       (holding ? " holding " + arguments.back() : std::string()));
            }
            if (holding) {
                parseModifiers(arguments[3]);
            }
        } else {
            // `click menu` alone names no command of the menu; a control so labelled is
            // `click "menu"`.
            if (arguments.size() == 1 && arguments[0] == "menu" && !quoted) {
                throw CommandError("click menu needs the title of a command of the menu; "
                                   "usage: " +
                                   std::string(syntax->usage));
            }
            expectCount(*syntax, arguments, 1, std::numeric_limits<std::size_t>::max());
            expectControl(*syntax, arguments, 1, quoted);
        }
        if (arguments.back().empty()) {
            throw CommandError("usage: " + std::string(syntax->usage));
        }
        break;
    case CommandKind::toggle:
        expectCount(*syntax, arguments, 1, std::numeric_limits<std::size_t>::max());
        expectControl(*syntax, arguments, 1, quoted);
        break;
    case CommandKind::pick:
        expectCount(*syntax, arguments, 2, std::numeric_limits<std::size_t>::max());
        expectControl(*syntax, arguments, 2, quoted);
        break;
    case CommandKind::close:
        expectCount(*syntax, arguments, 1, std::numeric_limits<std::size_t>::max());
        expectOneOf(*syntax, arguments[0], {"window"});
        if (arguments.size() > 2) {
            throw severalWords(*syntax, quoted,
                               "close window " +
                                   quotedTitle({arguments.begin() + 1, arguments.end()}));
        }
        break;
    case CommandKind::help:
        expectCount(*syntax, arguments, 0, 1);
        if (!arguments.empty() && !commandSyntax(arguments[0])) {
            throw CommandError("no command “" + arguments[0] + "” (commands: " + knownCommands() +
                               ")");
        }
        break;
    case CommandKind::record:
        expectCount(*syntax, arguments, 2, 2);
        expectOneOf(*syntax, arguments[0], {"shortcut"});
        expectOneOf(*syntax, arguments[1], {"cut", "paste"});
        break;
    case CommandKind::mkdir:
        expectCount(*syntax, arguments, 1, 1);
        checkSessionPath(arguments[0]);
        break;
    case CommandKind::quitApp:
        expectCount(*syntax, arguments, 0, 1);
        if (arguments.empty()) {
            command.kind = CommandKind::end;
        } else {
            applicationNamed(arguments[0]);
        }
        break;
    case CommandKind::press:
        expectCount(*syntax, arguments, 1, 1);
        parseKeyChord(arguments[0]);
        break;
    case CommandKind::layout:
        expectCount(*syntax, arguments, 1, 1);
        expectOneOf(*syntax, arguments[0], {"us", "german", "russian"});
        break;
    case CommandKind::wait:
        expectCount(*syntax, arguments, 1, 1);
        parseSeconds(arguments[0]);
        break;
    case CommandKind::show:
        expectCount(*syntax, arguments, 1, std::numeric_limits<std::size_t>::max());
        if (!arguments.empty() && arguments[0] == "window") {
            if (arguments.size() > 2) {
                throw severalWords(*syntax, quoted,
                                   "show window " +
                                       quotedTitle({arguments.begin() + 1, arguments.end()}));
            }
            break; // the frontmost window, or the one titled so
        }
        if (arguments[0] == "folder" || arguments[0] == "keys") {
            expectCount(*syntax, arguments, 2, 2);
            if (arguments[0] == "keys") {
                applicationNamed(arguments[1]);
            } else {
                checkSessionPath(arguments[1]);
            }
        } else {
            expectCount(*syntax, arguments, 1, 1);
            expectOneOf(*syntax, arguments[0],
                        {"pasteboard", "apps", "taps", "hotkeys", "windows", "log", "frontmost",
                         "defaults", "alerts", "sounds", "opened", "menu", "dock"});
        }
        break;
    case CommandKind::relaunch:
        expectCount(*syntax, arguments, 0, 0);
        break;
    case CommandKind::accessibility:
        expectCount(*syntax, arguments, 1, 1);
        expectOneOf(*syntax, arguments[0], {"trusted", "untrusted"});
        break;
    case CommandKind::latency:
        expectCount(*syntax, arguments, 2, 2);
        expectOneOf(*syntax, arguments[0], {"finder", "forklift"});
        parseSeconds(arguments[1]);
        break;
    case CommandKind::answer:
        expectCount(*syntax, arguments, 1, std::numeric_limits<std::size_t>::max());
        if (arguments.size() > 1) {
            throw severalWords(*syntax, quoted, "answer " + quotedTitle(arguments));
        }
        if (arguments[0].empty()) {
            throw CommandError("usage: " + std::string(syntax->usage));
        }
        break;
    default:
        break;
    }
    return command;
}

} // namespace

std::optional<Command> parseCommand(std::string_view line) {
    auto command = parseLine(line);
    // A NUL typed as it is, as its escape is: no name or text holds one. A path says so
    // first, in its own words.
    if (command) {
        for (const auto& argument : command->arguments) {
            if (argument.find('\0') != std::string::npos) {
                throw CommandError("“" + startOf(argument, 40) +
                                   "”: a NUL character cannot be written");
            }
        }
    }
    return command;
}

} // namespace zestrel::console

#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel::console {

// A line the console cannot run: an unknown command, missing or extra words, a value it
// does not understand. The message is written for the person who typed the line.
class CommandError : public std::runtime_error {
public:
    // `what()` is the message as a reply shows it: it travels as a C string, which a NUL in
    // a name would cut short.
    explicit CommandError(const std::string& message);
    // The message as it was written, for the console to show once.
    const std::string& message() const { return *message_; }

private:
    std::shared_ptr<const std::string> message_; // copied without throwing, as errors are
};

// The desktop commands of the console and of scripts.
enum class CommandKind {
    open,          // open APP FOLDER | open debug window
    select,        // select NAME...
    launch,        // launch APP [holding MODIFIERS]
    reopen,        // reopen APP
    activate,      // activate APP
    quitApp,       // quit APP
    end,           // quit
    press,         // press CHORD
    type,          // type TEXT
    layout,        // layout us|german|russian
    wait,          // wait SECONDS
    show,          // show WHAT [ARGUMENT]
    mkdir,         // mkdir PATH
    write,         // write PATH TEXT
    echo,          // echo TEXT
    relaunch,      // relaunch
    defaults,      // defaults read|write|delete KEY [VALUE]
    accessibility, // accessibility trusted|untrusted
    latency,       // latency finder|forklift SECONDS
    answer,        // answer BUTTON
    expect,        // expect WHAT ...
    click,         // click menu TITLE [holding MODIFIERS] | click LABEL [in TEXT]
    toggle,        // toggle LABEL [in TEXT]
    pick,          // pick LABEL CHOICE [in TEXT]
    record,        // record shortcut cut|paste
    close,         // close window [TITLE]
    help,          // help [COMMAND]
};

// A command as `help` shows it and as the parser's messages name it: its first word, its
// syntax on one line, and what it does.
struct CommandSyntax {
    std::string_view word;
    CommandKind kind;
    std::string_view usage;
    std::string_view summary;
};

// Every command, in the order `help` lists them.
std::span<const CommandSyntax> commandSyntaxes();
// The command whose first word is `word`; nothing for a word that starts none.
const CommandSyntax* commandSyntax(std::string_view word);

// One parsed line: its kind and its words as written (quotes removed, `$TMP` not yet
// expanded). Text arguments (`type`, `write`, `echo`, the text of `expect
// log|alert|opened|menu|window|pasteboard text`) are the rest of the line as one word; a
// property-list value (`defaults write`, `expect defaults`) is kept as written, checked to be one.
struct Command {
    CommandKind kind = CommandKind::echo;
    std::vector<std::string> arguments;
    bool operator==(const Command&) const = default;
};

// Parses one line. Blank lines and lines starting with `#` give nothing. Words are
// separated by spaces; a word in double quotes may hold spaces and the escapes `\"`, `\\`,
// `\n` and `\t`. A text argument is the rest of the line, unquoted when it is one quoted
// word. Throws `CommandError` for anything it cannot run, a NUL in any word among them,
// written as it is or as its escape.
std::optional<Command> parseCommand(std::string_view line);

// `#N` has at most six digits: no window holds a million controls of one label.
inline constexpr std::size_t kLargestOrdinalDigits = 6;
inline constexpr std::size_t kLargestOrdinal = 999'999;

// `#N` after a control's words: the Nth of the controls that match, counted from 1;
// nothing for any other word.
std::optional<std::size_t> ordinalOf(std::string_view word);

// What a parsed `click`, `toggle` or `pick` of a control names: its label (and a picker's
// choice), the text `in` names, and the `#N` that picks one of several that match.
struct ControlWords {
    std::string label;
    std::optional<std::string> choice;
    std::optional<std::string> within;
    std::optional<std::size_t> ordinal;
};
ControlWords controlWords(const Command& command);

// What paths in commands start with: it stands for the session's folder.
inline constexpr std::string_view kSessionFolder = "$TMP";
// Whether a path word is written from the session's folder (`$TMP` or `$TMP/...`).
bool isSessionPath(std::string_view word);
// Throws `CommandError` unless the path word is written from the session's folder, its `..`
// stay inside it and it holds no NUL. Every path a command takes is read through this, when
// its line is parsed (a script's before anything runs) and when it runs; where its links
// really lead is checked then too.
void checkSessionPath(std::string_view word);

// The longest `wait`, about eleven days: far inside what the clock counts in nanoseconds.
inline constexpr std::int64_t kLongestWaitSeconds = 1'000'000;

// A `wait` argument as exact nanoseconds: digits with at most nine decimals ("2", "0.25"),
// from 0 to `kLongestWaitSeconds`. Throws `CommandError` for anything else.
std::chrono::nanoseconds parseSeconds(std::string_view text);

// The bundle identifier an APP word names: the short name of an application a standard
// desktop has installed, or a bundle identifier as written (a word with a dot). The word
// "zestrel" answers nothing: this program's identifier is its bundle's. Throws
// `CommandError` for any other word.
std::optional<std::string> applicationNamed(std::string_view word);

} // namespace zestrel::console

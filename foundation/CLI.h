#pragma once

#include "platform/base/FileHandle.h"
#include "platform/base/Value.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

// Support for command-line tools built on the kit: the standard streams, the program's
// arguments split into positional arguments and options, reading standard input, printing
// to standard error and giving up root after sudo. The menu-bar app itself uses none of it.
namespace zestrel::CLI {

// An option's value: true for a flag, or the text that followed it.
using OptionValue = std::variant<bool, std::string>;

struct ParsedArguments {
    std::vector<std::string> positionalArguments;
    std::map<std::string, OptionValue> options;
    bool operator==(const ParsedArguments&) const = default;
};

// "--name" starts an option (a flag until a plain argument gives it a value); anything
// else is positional; a "--" ends the walk, and what follows it is dropped.
ParsedArguments parse(const std::vector<std::string>& arguments);

// The process's standard streams; a tool may put other handles in their place.
std::shared_ptr<platform::NSFileHandle>& standardInput();
std::shared_ptr<platform::NSFileHandle>& standardOutput();
std::shared_ptr<platform::NSFileHandle>& standardError();

// The program file (from the first process argument); settable. This, `name()` and
// `currentDirectoryURL()` throw the platform's POSIX error when a relative program path
// needs a working directory that can no longer be read (it was removed).
platform::URL& executableURL();
// The process arguments after the program path, and their split, computed once.
const std::vector<std::string>& arguments();
const ParsedArguments& parsedArguments();
const std::vector<std::string>& positionalArguments();
const std::map<std::string, OptionValue>& options();
// The last path component of the program path.
const std::string& name();
bool hasOption(std::string_view option);

// The working directory, read anew on each call.
platform::URL currentDirectoryURL();

// Standard input is read through one buffer: what `readLine` read beyond its line is what
// the next read gets first. A new handle put in place of `standardInput()` starts afresh.
//
// What standard input has now (waiting for some, empty at its end).
platform::Data standardInputData();
// The same as UTF-8 text without one trailing line break; nothing when it is not UTF-8.
std::optional<std::string> standardInputString();
// The next line: nothing at the end of input; its line break ("\n" or "\r\n") removed when
// asked. The last line may end without one.
std::optional<std::string> readLine(bool strippingNewline = true);

// One value as printing writes it: texts bare, numbers and truth values in their
// shortest form.
struct PrintItem {
    PrintItem(std::string_view text) : text(text) {}
    PrintItem(const char* text) : text(text) {}
    PrintItem(const std::string& text) : text(text) {}
    PrintItem(bool value) : text(value ? "true" : "false") {}
    PrintItem(int value) : text(std::to_string(value)) {}
    PrintItem(long value) : text(std::to_string(value)) {}
    PrintItem(long long value) : text(std::to_string(value)) {}
    PrintItem(unsigned value) : text(std::to_string(value)) {}
    PrintItem(unsigned long value) : text(std::to_string(value)) {}
    PrintItem(unsigned long long value) : text(std::to_string(value)) {}
    PrintItem(double value) : text(platform::describeDouble(value)) {}
    std::string text;
};

// The items joined by `separator`, then `terminator`, written to `standardError()`.
void printError(const std::vector<PrintItem>& items, std::string_view separator = " ",
                std::string_view terminator = "\n");

// Writes the text's UTF-8 bytes. A failed write is handed to the error reporter and
// goes no further: output trouble never stops a tool, not even a pipe whose reader has gone
// (the write fails with EPIPE instead of the signal ending the process).
void write(platform::NSFileHandle& handle, std::string_view text);

// The system calls that giving up root makes; tests put recorders in their place.
struct PrivilegeCalls {
    std::function<std::optional<std::string>(const char* name)> environmentValue;
    // The primary group of a user, from the user database.
    std::function<std::optional<std::uint32_t>(std::uint32_t uid)> primaryGroup;
    // Each answers 0 or -1 with errno set, as the system calls do.
    std::function<int()> dropSupplementaryGroups;
    std::function<int(std::uint32_t gid)> setgid;
    std::function<int(std::uint32_t uid)> setuid;

    static PrivilegeCalls system();
};

// "SUDO_UID" (and "SUDO_GID", else the user's primary group) as an unsigned 32-bit number.
std::optional<std::uint32_t> parseUserIdentifier(std::string_view text);

// After sudo, gives up root for the invoking user: drops the supplementary groups, then
// sets the group, then the user, checking each call. Answers true when the process now
// runs as that user, false when there is no (valid) "SUDO_UID" and nothing was done, and
// false after reporting the failure when a call failed: it never stays root silently.
[[nodiscard]] bool dropPrivilegesToSudoUser(const PrivilegeCalls& calls = PrivilegeCalls::system());

namespace detail {
// The file URL and the name of a program path; a relative one is read against the working
// directory. What `executableURL()` and `name()` compute from the first process argument.
platform::URL programURL(std::string_view path);
std::string programName(std::string_view path);
} // namespace detail

// A terminal a tool talks to.
class Terminal {
public:
    explicit Terminal(std::shared_ptr<platform::NSFileHandle> fileHandle)
        : fileHandle(std::move(fileHandle)) {}
    std::shared_ptr<platform::NSFileHandle> fileHandle;
};

} // namespace zestrel::CLI

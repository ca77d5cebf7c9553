#pragma once

#include "foundation/RegexRanges.h"
#include "platform/data/RegularExpression.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zestrel {

// A regular expression as a value: compared and hashed by its pattern and options, with
// matches that carry their text, where they lie and their capture groups. Every search runs
// over the whole text.
class QVRegex {
public:
    struct Match {
        struct Group {
            std::string value;
            StringRange range;
            bool operator==(const Group&) const = default;
            std::size_t hashValue() const;
        };

        // The whole text that was searched, shared by every match of one search rather than
        // copied into each.
        const std::string& originalString() const { return text_->utf8(); }
        platform::NSTextCheckingResult checkingResult;
        std::string value;
        // Widened to whole composed characters.
        StringRange range;
        // Only the groups that matched some text, in group-number order: a position in
        // this list is not a group number.
        std::vector<Group> groups;

        // The group of that name, or nothing when it is unknown or matched no text.
        std::optional<Group> group(std::string_view name) const;

        friend bool operator==(const Match& a, const Match& b);
        std::size_t hashValue() const;

    private:
        friend class QVRegex;
        explicit Match(std::shared_ptr<const platform::UTF16Text> text) : text_(std::move(text)) {}

        std::shared_ptr<const platform::UTF16Text> text_;
    };

    // A pattern written into the program, with the file and line where it was written: the
    // default arguments take the caller's (the builtins behind `std::source_location`, which
    // clang 14 cannot compile from libstdc++). Only literals convert to it.
    struct Literal {
        template <std::size_t N>
        Literal(const char (&text)[N], const char* file = __builtin_FILE(),
                int line = __builtin_LINE())
            : pattern(text, N - 1), file(file), line(line) {}
        std::string_view pattern;
        const char* file;
        int line;
    };

    // Throws the engine's error when the pattern does not compile.
    explicit QVRegex(std::string_view pattern, std::uint32_t options = 0);
    // A pattern written into the program: one that does not compile is a programming error
    // that stops the process, naming the file and line of the pattern.
    static QVRegex literal(Literal pattern, std::uint32_t options = 0);

    const std::string& pattern() const { return nsRegex_->pattern(); }
    std::uint32_t options() const { return nsRegex_->options(); }
    const platform::NSRegularExpression& nsRegex() const { return *nsRegex_; }

    static std::string escapedPattern(std::string_view text);

    bool isMatched(std::string_view text) const;
    std::optional<Match> firstMatch(std::string_view text) const;
    std::vector<Match> allMatches(std::string_view text) const;

    friend bool operator==(const QVRegex& a, const QVRegex& b) {
        return *a.nsRegex_ == *b.nsRegex_;
    }
    std::size_t hashValue() const { return nsRegex_->hash(); }

private:
    explicit QVRegex(std::shared_ptr<const platform::NSRegularExpression> regex)
        : nsRegex_(std::move(regex)) {}
    Match makeMatch(platform::NSTextCheckingResult result, TextRanges& ranges) const;

    std::shared_ptr<const platform::NSRegularExpression> nsRegex_;
};

bool isMatched(std::string_view text, const QVRegex& regex);
// The text with its first match replaced by the template's expansion ("$1" and the like);
// unchanged when nothing matches.
std::string replacingFirstMatch(std::string_view text, const QVRegex& regex,
                                std::string_view templ);
// Every match replaced, under the platform's matching options.
std::string replacingAllMatches(std::string_view text, const QVRegex& regex, std::string_view templ,
                                std::uint32_t options = 0);
// The same with a pattern written into the program (`QVRegex::literal`).
std::string replacingFirstMatch(std::string_view text, const QVRegex::Literal& pattern,
                                std::string_view templ);
std::string replacingAllMatches(std::string_view text, const QVRegex::Literal& pattern,
                                std::string_view templ, std::uint32_t options = 0);

} // namespace zestrel

template <> struct std::hash<zestrel::QVRegex> {
    std::size_t operator()(const zestrel::QVRegex& regex) const { return regex.hashValue(); }
};
template <> struct std::hash<zestrel::QVRegex::Match::Group> {
    std::size_t operator()(const zestrel::QVRegex::Match::Group& group) const {
        return group.hashValue();
    }
};
template <> struct std::hash<zestrel::QVRegex::Match> {
    std::size_t operator()(const zestrel::QVRegex::Match& match) const { return match.hashValue(); }
};

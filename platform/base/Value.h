#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zestrel::platform {

class Error;
class ErrorBody;
class Value;

// A point in time: seconds since 2001-01-01 00:00:00 UTC, as the platform counts.
struct Date {
    double timeIntervalSinceReferenceDate = 0;

    static constexpr double kSecondsFrom1970To2001 = 978307200.0;
    static Date fromTimeIntervalSince1970(double seconds) {
        return Date{seconds - kSecondsFrom1970To2001};
    }
    double timeIntervalSince1970() const {
        return timeIntervalSinceReferenceDate + kSecondsFrom1970To2001;
    }
    Date addingTimeInterval(double seconds) const {
        return Date{timeIntervalSinceReferenceDate + seconds};
    }
    // "2026-12-06 21:13:14 +0000": the platform's default description, always in UTC.
    std::string description() const;

    auto operator<=>(const Date&) const = default;
};

using Data = std::vector<std::uint8_t>;

// An absolute URL kept as its text; file URLs are made from paths.
class URL {
public:
    URL() = default;
    // Returns nothing when the text has no scheme (the platform accepts relative
    // references, but every URL this program keeps is absolute).
    static std::optional<URL> parse(std::string_view text);
    static URL fileURL(std::string_view path, bool isDirectory = false);

    const std::string& absoluteString() const { return text_; }
    std::string scheme() const;
    bool isFileURL() const { return scheme() == "file"; }
    // The percent-decoded path ("/Users/x/a b.txt" for "file:///Users/x/a%20b.txt").
    std::string path() const;
    std::string lastPathComponent() const;
    std::string pathExtension() const;
    URL appendingPathComponent(std::string_view component, bool isDirectory = false) const;
    URL deletingLastPathComponent() const;

    bool operator==(const URL&) const = default;
    auto operator<=>(const URL&) const = default;

private:
    explicit URL(std::string text) : text_(std::move(text)) {}
    std::string text_;
};

// Percent-encodes every byte that is not an RFC 3986 unreserved character
// (letters, digits, "-", ".", "_", "~"), with upper-case hex.
std::string percentEncode(std::string_view text);
std::string percentEncodePath(std::string_view path); // keeps "/"
std::string percentDecode(std::string_view text);

struct UUID {
    std::array<std::uint8_t, 16> bytes{};

    static UUID random();
    // The 36-character 8-4-4-4-12 hexadecimal form, in either case; nothing for anything else.
    static std::optional<UUID> parse(std::string_view text);
    // Upper-case 8-4-4-4-12 text.
    std::string uuidString() const;
    bool operator==(const UUID&) const = default;
    auto operator<=>(const UUID&) const = default;
};

namespace detail {
// Where the runtime keeps an object's associated objects (AssociatedObjects.h): made on
// the first association, released with the object, never copied with it.
struct AssociationSlot {
    AssociationSlot() = default;
    AssociationSlot(const AssociationSlot&) {}
    AssociationSlot& operator=(const AssociationSlot&) { return *this; }
    // Emptied before the values are released, so none of them finds a half-released table.
    ~AssociationSlot() { std::shared_ptr<void> released = std::move(table); }
    std::shared_ptr<void> table;
};
struct AssociationAccess;
} // namespace detail

// Base of platform objects held by reference (`NSObject`). `Any` values that are
// objects are kept in a `Value` through this base.
class NSObject : public std::enable_shared_from_this<NSObject> {
public:
    virtual ~NSObject();
    virtual std::string className() const { return "NSObject"; }
    // `String(describing:)` of the object.
    virtual std::string describe() const;
    virtual bool isEqual(const NSObject& other) const { return this == &other; }
    // Objects that are `isEqual` must answer the same hash.
    virtual std::size_t hash() const { return std::hash<const void*>{}(this); }

private:
    friend struct detail::AssociationAccess;
    mutable detail::AssociationSlot associations_;
};

// A dynamically typed value: what `Any`, property lists and user-info dictionaries
// hold. Bool is kept apart from the integers, as the platform's number objects do.
class Value {
public:
    using Array = std::vector<Value>;
    using Dictionary = std::map<std::string, Value>;

    enum class Kind {
        absent, // `nil`
        null,   // NSNull
        boolean,
        integer,
        unsignedInteger,
        real,
        string,
        data,
        date,
        array,
        dictionary,
        url,
        uuid,
        error,
        object,
        optional, // a present optional: `Optional(x)`
    };

    Value() = default; // absent
    Value(std::nullptr_t) {}
    Value(bool v) : storage_(v) {}
    Value(int v) : storage_(std::int64_t{v}) {}
    Value(long v) : storage_(std::int64_t{v}) {}
    Value(long long v) : storage_(static_cast<std::int64_t>(v)) {}
    Value(unsigned v) : storage_(std::uint64_t{v}) {}
    Value(unsigned long v) : storage_(std::uint64_t{v}) {}
    Value(unsigned long long v) : storage_(static_cast<std::uint64_t>(v)) {}
    Value(double v) : storage_(v) {}
    Value(float v) : storage_(double{v}) {}
    Value(const char* v) : storage_(std::string(v)) {}
    Value(std::string_view v) : storage_(std::string(v)) {}
    Value(std::string v) : storage_(std::move(v)) {}
    Value(Data v) : storage_(std::move(v)) {}
    Value(Date v) : storage_(v) {}
    Value(Array v) : storage_(std::make_shared<const Array>(std::move(v))) {}
    Value(Dictionary v) : storage_(std::make_shared<const Dictionary>(std::move(v))) {}
    Value(URL v) : storage_(std::move(v)) {}
    Value(UUID v) : storage_(v) {}
    Value(const Error& v);
    Value(std::shared_ptr<NSObject> v);
    template <class T>
    requires std::is_base_of_v<NSObject, T> Value(std::shared_ptr<T> v)
        : Value(std::static_pointer_cast<NSObject>(std::move(v))) {}
    template <class T> Value(const std::optional<T>& v) : Value(v ? some(Value(*v)) : Value()) {}

    static Value null() { return Value(NullTag{}); }
    // A present optional around `inner`: printed as `Optional(inner)`.
    static Value some(Value inner);

    Kind kind() const;
    bool isAbsent() const { return kind() == Kind::absent; }
    bool isNull() const { return kind() == Kind::null; }
    bool isNumber() const; // integer, unsigned, real (not boolean)

    // Typed access; nothing when the kind differs (no conversion, except that
    // asInt64/asUInt64/asDouble accept any number that fits exactly).
    std::optional<bool> asBool() const;
    std::optional<std::int64_t> asInt64() const;
    std::optional<std::uint64_t> asUInt64() const;
    std::optional<double> asDouble() const;
    const std::string* asString() const;
    const Data* asData() const;
    std::optional<Date> asDate() const;
    const Array* asArray() const;
    const Dictionary* asDictionary() const;
    const URL* asURL() const;
    std::optional<UUID> asUUID() const;
    std::optional<Error> asError() const;
    std::shared_ptr<NSObject> asObject() const;
    template <class T> std::shared_ptr<T> asObject() const {
        return std::dynamic_pointer_cast<T>(asObject());
    }
    // The value inside a present optional, or nothing for any other kind.
    const Value* unwrapped() const;
    // Strips every optional layer; an absent value stays absent.
    const Value& flattened() const;

    // `String(describing:)`: strings bare, optionals as `Optional(...)`, collections
    // with debug-described elements.
    std::string describe() const;
    // `String(reflecting:)`: strings quoted and escaped.
    std::string debugDescribe() const;
    // Name of the dynamic type as Swift prints it ("String", "Int", "Optional<Int>", ...).
    std::string typeName() const;

    // Structural equality; numbers compare by value across integer kinds and doubles.
    friend bool operator==(const Value& a, const Value& b);

private:
    struct NullTag {
        bool operator==(const NullTag&) const = default;
    };
    struct OptionalBox {
        std::shared_ptr<const Value> inner;
        bool operator==(const OptionalBox&) const = default;
    };
    struct ErrorBox {
        std::shared_ptr<const ErrorBody> body;
        bool operator==(const ErrorBox&) const = default;
    };
    explicit Value(NullTag t) : storage_(t) {}

    std::variant<std::monostate, NullTag, bool, std::int64_t, std::uint64_t, double, std::string,
                 Data, Date, std::shared_ptr<const Array>, std::shared_ptr<const Dictionary>, URL,
                 UUID, ErrorBox, std::shared_ptr<NSObject>, OptionalBox>
        storage_;
};

// Swift's `String.debugDescription`: quoted, with \" \\ \' \0 \t \n \r escaped and other
// control characters as \u{hex}; non-ASCII text is kept as it is.
std::string debugQuoted(std::string_view text);
// Swift's shortest round-trip form of a double ("1.0", "0.1", "1e-05", "1e+16", "inf", "nan").
std::string describeDouble(double value);

} // namespace zestrel::platform

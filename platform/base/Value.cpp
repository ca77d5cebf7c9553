#include "platform/base/Value.h"

#include "platform/base/Error.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fmt/format.h>
#include <pthread.h>
#include <random>
#include <uuid/uuid.h>

namespace zestrel::platform {

// MARK: Date

std::string Date::description() const {
    // Beyond about a billion years the year no longer fits the calendar's fields (nor the
    // seconds a time_t), so such dates show the nearest one that does; NaN shows the
    // reference date.
    constexpr double kLimit = 36028797018963968.0; // 2^55 seconds
    const double interval = std::isnan(timeIntervalSinceReferenceDate)
                                ? kSecondsFrom1970To2001
                                : std::clamp(timeIntervalSince1970(), -kLimit, kLimit);
    const auto seconds = static_cast<std::time_t>(std::floor(interval));
    // Every log line shows the date: lines of the same second share the text, and the
    // calendar's conversion, which takes the C library's time-zone lock, runs once a second.
    thread_local std::optional<std::time_t> lastSeconds;
    thread_local std::string lastText;
    if (lastSeconds != seconds) {
        std::tm parts{};
        gmtime_r(&seconds, &parts);
        lastText =
            fmt::format("{:04}-{:02}-{:02} {:02}:{:02}:{:02} +0000", parts.tm_year + 1900,
                        parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec);
        lastSeconds = seconds;
    }
    return lastText;
}

// MARK: Percent encoding

namespace {

bool isUnreserved(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

std::string encodeKeeping(std::string_view text, std::string_view alsoKept) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (isUnreserved(c) || alsoKept.find(ch) != std::string_view::npos) {
            out.push_back(ch);
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
        }
    }
    return out;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string percentEncode(std::string_view text) {
    return encodeKeeping(text, "");
}

std::string percentEncodePath(std::string_view path) {
    return encodeKeeping(path, "/!$&'()*+,;=:@");
}

std::string percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            const int high = hexValue(text[i + 1]);
            const int low = hexValue(text[i + 2]);
            if (high >= 0 && low >= 0) {
                out.push_back(static_cast<char>(high * 16 + low));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// MARK: URL

namespace {

// Length of a valid scheme at the start of `text` (followed by ':'), or 0.
std::size_t schemeLength(std::string_view text) {
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text[0]))) {
        return 0;
    }
    for (std::size_t i = 1; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == ':') {
            return i;
        }
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.') {
            return 0;
        }
    }
    return 0;
}

// The range of the path inside an absolute URL text: after the scheme and the authority,
// up to the query or fragment.
std::pair<std::size_t, std::size_t> pathRange(std::string_view text) {
    std::size_t start = schemeLength(text) + 1;
    if (text.substr(start, 2) == "//") {
        start = text.find('/', start + 2);
        if (start == std::string_view::npos) {
            start = text.find_first_of("?#", 0);
            return {start == std::string_view::npos ? text.size() : start, 0};
        }
    }
    std::size_t end = text.find_first_of("?#", start);
    if (end == std::string_view::npos) {
        end = text.size();
    }
    return {start, end - start};
}

} // namespace

std::optional<URL> URL::parse(std::string_view text) {
    if (schemeLength(text) == 0) {
        return std::nullopt;
    }
    for (const char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c <= 0x20 || c == 0x7F) {
            return std::nullopt;
        }
    }
    return URL(std::string(text));
}

URL URL::fileURL(std::string_view path, bool isDirectory) {
    std::string absolute(path);
    if (absolute.empty() || absolute.front() != '/') {
        absolute = (std::filesystem::current_path() / std::filesystem::path(absolute)).string();
    }
    if (isDirectory && absolute.back() != '/') {
        absolute.push_back('/');
    }
    return URL("file://" + percentEncodePath(absolute));
}

std::string URL::scheme() const {
    std::string scheme = text_.substr(0, schemeLength(text_));
    for (char& c : scheme) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return scheme;
}

std::string URL::path() const {
    const auto [start, length] = pathRange(text_);
    std::string decoded = percentDecode(std::string_view(text_).substr(start, length));
    if (decoded.size() > 1 && decoded.back() == '/') {
        decoded.pop_back();
    }
    return decoded;
}

std::string URL::lastPathComponent() const {
    const std::string full = path();
    if (full == "/") {
        return full;
    }
    const auto slash = full.rfind('/');
    return slash == std::string::npos ? full : full.substr(slash + 1);
}

std::string URL::pathExtension() const {
    const std::string last = lastPathComponent();
    const auto dot = last.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == last.size()) {
        return "";
    }
    return last.substr(dot + 1);
}

URL URL::appendingPathComponent(std::string_view component, bool isDirectory) const {
    const auto [start, length] = pathRange(text_);
    std::string pathText = text_.substr(start, length);
    if (pathText.empty() || pathText.back() != '/') {
        pathText.push_back('/');
    }
    pathText += percentEncodePath(component);
    if (isDirectory && pathText.back() != '/') {
        pathText.push_back('/');
    }
    return URL(text_.substr(0, start) + pathText + text_.substr(start + length));
}

URL URL::deletingLastPathComponent() const {
    const auto [start, length] = pathRange(text_);
    std::string pathText = text_.substr(start, length);
    if (pathText.size() > 1 && pathText.back() == '/') {
        pathText.pop_back();
    }
    const auto slash = pathText.rfind('/');
    pathText = slash == std::string::npos ? "" : pathText.substr(0, slash + 1);
    return URL(text_.substr(0, start) + pathText + text_.substr(start + length));
}

// MARK: UUID

namespace {

// A forked child counts one more generation, so it does not repeat its parent's sequence.
std::atomic<std::uint64_t> forkGeneration{0};

// Seeded once from the kernel's entropy; the C library's generator behind libuuid was
// reseeded from the clock, the process and the user on every call.
struct UUIDGenerator {
    std::mt19937_64 engine;
    std::uint64_t generation = ~std::uint64_t{0};

    std::mt19937_64& current() {
        static const bool registered = [] {
            pthread_atfork(nullptr, nullptr, [] { forkGeneration.fetch_add(1); });
            return true;
        }();
        (void)registered;
        const auto now = forkGeneration.load(std::memory_order_relaxed);
        if (generation != now) {
            std::random_device device;
            std::seed_seq seed{device(), device(), device(), device(),
                               device(), device(), device(), device()};
            engine.seed(seed);
            generation = now;
        }
        return engine;
    }
};

} // namespace

UUID UUID::random() {
    thread_local UUIDGenerator generator;
    auto& engine = generator.current();
    UUID uuid;
    for (std::size_t i = 0; i < uuid.bytes.size(); i += 8) {
        const std::uint64_t word = engine();
        std::memcpy(uuid.bytes.data() + i, &word, 8);
    }
    uuid.bytes[6] = static_cast<std::uint8_t>((uuid.bytes[6] & 0x0F) | 0x40); // version 4
    uuid.bytes[8] = static_cast<std::uint8_t>((uuid.bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    return uuid;
}

std::string UUID::uuidString() const {
    char text[37];
    uuid_unparse_upper(bytes.data(), text);
    return text;
}

std::optional<UUID> UUID::parse(std::string_view text) {
    if (text.size() != 36) {
        return std::nullopt;
    }
    UUID uuid;
    std::size_t byte = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (text[i] != '-') {
                return std::nullopt;
            }
            ++i;
            continue;
        }
        const int high = hexValue(text[i]);
        const int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        uuid.bytes[byte++] = static_cast<std::uint8_t>(high << 4 | low);
        i += 2;
    }
    return uuid;
}

// MARK: NSObject

NSObject::~NSObject() = default;

std::string NSObject::describe() const {
    return fmt::format("<{}: {}>", className(), static_cast<const void*>(this));
}

// MARK: Value

Value::Value(const Error& v) : storage_(ErrorBox{v.bodyPointer()}) {}

Value::Value(std::shared_ptr<NSObject> v) {
    if (v) {
        storage_ = std::move(v);
    }
}

Value Value::some(Value inner) {
    Value wrapped;
    wrapped.storage_ = OptionalBox{std::make_shared<const Value>(std::move(inner))};
    return wrapped;
}

Value::Kind Value::kind() const {
    static constexpr Kind kKinds[] = {
        Kind::absent, Kind::null,  Kind::boolean, Kind::integer,  Kind::unsignedInteger, Kind::real,
        Kind::string, Kind::data,  Kind::date,    Kind::array,    Kind::dictionary,      Kind::url,
        Kind::uuid,   Kind::error, Kind::object,  Kind::optional,
    };
    return kKinds[storage_.index()];
}

bool Value::isNumber() const {
    const Kind k = kind();
    return k == Kind::integer || k == Kind::unsignedInteger || k == Kind::real;
}

std::optional<bool> Value::asBool() const {
    if (const bool* b = std::get_if<bool>(&storage_)) {
        return *b;
    }
    return std::nullopt;
}

std::optional<std::int64_t> Value::asInt64() const {
    if (const auto* i = std::get_if<std::int64_t>(&storage_)) {
        return *i;
    }
    if (const auto* u = std::get_if<std::uint64_t>(&storage_)) {
        if (*u <= static_cast<std::uint64_t>(INT64_MAX)) {
            return static_cast<std::int64_t>(*u);
        }
        return std::nullopt;
    }
    if (const auto* d = std::get_if<double>(&storage_)) {
        // Exactly representable only: -2^63 <= d < 2^63 and integral.
        if (std::trunc(*d) == *d && *d >= -9223372036854775808.0 && *d < 9223372036854775808.0) {
            return static_cast<std::int64_t>(*d);
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> Value::asUInt64() const {
    if (const auto* u = std::get_if<std::uint64_t>(&storage_)) {
        return *u;
    }
    if (const auto* i = std::get_if<std::int64_t>(&storage_)) {
        if (*i >= 0) {
            return static_cast<std::uint64_t>(*i);
        }
        return std::nullopt;
    }
    if (const auto* d = std::get_if<double>(&storage_)) {
        if (std::trunc(*d) == *d && *d >= 0 && *d < 18446744073709551616.0) {
            return static_cast<std::uint64_t>(*d);
        }
    }
    return std::nullopt;
}

std::optional<double> Value::asDouble() const {
    if (const auto* d = std::get_if<double>(&storage_)) {
        return *d;
    }
    if (const auto* i = std::get_if<std::int64_t>(&storage_)) {
        return static_cast<double>(*i);
    }
    if (const auto* u = std::get_if<std::uint64_t>(&storage_)) {
        return static_cast<double>(*u);
    }
    return std::nullopt;
}

const std::string* Value::asString() const {
    return std::get_if<std::string>(&storage_);
}
const Data* Value::asData() const {
    return std::get_if<Data>(&storage_);
}

std::optional<Date> Value::asDate() const {
    if (const auto* d = std::get_if<Date>(&storage_)) {
        return *d;
    }
    return std::nullopt;
}

const Value::Array* Value::asArray() const {
    const auto* p = std::get_if<std::shared_ptr<const Array>>(&storage_);
    return p ? p->get() : nullptr;
}

const Value::Dictionary* Value::asDictionary() const {
    const auto* p = std::get_if<std::shared_ptr<const Dictionary>>(&storage_);
    return p ? p->get() : nullptr;
}

const URL* Value::asURL() const {
    return std::get_if<URL>(&storage_);
}

std::optional<UUID> Value::asUUID() const {
    if (const auto* u = std::get_if<UUID>(&storage_)) {
        return *u;
    }
    return std::nullopt;
}

std::optional<Error> Value::asError() const {
    if (const auto* e = std::get_if<ErrorBox>(&storage_)) {
        return Error(e->body);
    }
    return std::nullopt;
}

std::shared_ptr<NSObject> Value::asObject() const {
    if (const auto* o = std::get_if<std::shared_ptr<NSObject>>(&storage_)) {
        return *o;
    }
    return nullptr;
}

const Value* Value::unwrapped() const {
    if (const auto* o = std::get_if<OptionalBox>(&storage_)) {
        return o->inner.get();
    }
    return nullptr;
}

const Value& Value::flattened() const {
    const Value* current = this;
    while (const Value* inner = current->unwrapped()) {
        current = inner;
    }
    return *current;
}

namespace {

std::string joinElements(const Value::Array& array) {
    std::string out = "[";
    bool first = true;
    for (const Value& element : array) {
        if (!first)
            out += ", ";
        first = false;
        out += element.debugDescribe();
    }
    return out + "]";
}

std::string joinEntries(const Value::Dictionary& dictionary) {
    if (dictionary.empty()) {
        return "[:]";
    }
    std::string out = "[";
    bool first = true;
    for (const auto& [key, value] : dictionary) {
        if (!first)
            out += ", ";
        first = false;
        out += debugQuoted(key) + ": " + value.debugDescribe();
    }
    return out + "]";
}

} // namespace

std::string Value::describe() const {
    struct Visitor {
        std::string operator()(std::monostate) const { return "nil"; }
        std::string operator()(NullTag) const { return "<null>"; }
        std::string operator()(bool b) const { return b ? "true" : "false"; }
        std::string operator()(std::int64_t i) const { return std::to_string(i); }
        std::string operator()(std::uint64_t u) const { return std::to_string(u); }
        std::string operator()(double d) const { return describeDouble(d); }
        std::string operator()(const std::string& s) const { return s; }
        std::string operator()(const Data& d) const { return fmt::format("{} bytes", d.size()); }
        std::string operator()(Date d) const { return d.description(); }
        std::string operator()(const std::shared_ptr<const Array>& a) const {
            return joinElements(*a);
        }
        std::string operator()(const std::shared_ptr<const Dictionary>& d) const {
            return joinEntries(*d);
        }
        std::string operator()(const URL& u) const { return u.absoluteString(); }
        std::string operator()(const UUID& u) const { return u.uuidString(); }
        std::string operator()(const ErrorBox& e) const { return e.body->describe(); }
        std::string operator()(const std::shared_ptr<NSObject>& o) const { return o->describe(); }
        std::string operator()(const OptionalBox& o) const {
            return "Optional(" + o.inner->debugDescribe() + ")";
        }
    };
    return std::visit(Visitor{}, storage_);
}

std::string Value::debugDescribe() const {
    if (const auto* s = asString()) {
        return debugQuoted(*s);
    }
    if (const auto* e = std::get_if<ErrorBox>(&storage_)) {
        return e->body->debugDescribe();
    }
    return describe();
}

std::string Value::typeName() const {
    switch (kind()) {
    case Kind::absent:
        return "Optional<Any>";
    case Kind::null:
        return "NSNull";
    case Kind::boolean:
        return "Bool";
    case Kind::integer:
        return "Int";
    case Kind::unsignedInteger:
        return "UInt";
    case Kind::real:
        return "Double";
    case Kind::string:
        return "String";
    case Kind::data:
        return "Data";
    case Kind::date:
        return "Date";
    case Kind::array:
        return "Array<Any>";
    case Kind::dictionary:
        return "Dictionary<String, Any>";
    case Kind::url:
        return "URL";
    case Kind::uuid:
        return "UUID";
    case Kind::error:
        return std::get<ErrorBox>(storage_).body->typeName();
    case Kind::object:
        return asObject()->className();
    case Kind::optional:
        return "Optional<" + unwrapped()->typeName() + ">";
    }
    return "Any";
}

bool operator==(const Value& a, const Value& b) {
    if (a.isNumber() && b.isNumber()) {
        if (const auto ai = a.asInt64(), bi = b.asInt64(); ai && bi) {
            return *ai == *bi;
        }
        if (const auto au = a.asUInt64(), bu = b.asUInt64(); au && bu) {
            return *au == *bu;
        }
        if (a.kind() == Value::Kind::real || b.kind() == Value::Kind::real) {
            return *a.asDouble() == *b.asDouble();
        }
        return false;
    }
    if (a.kind() != b.kind()) {
        return false;
    }
    switch (a.kind()) {
    case Value::Kind::absent:
    case Value::Kind::null:
        return true;
    case Value::Kind::array:
        return *a.asArray() == *b.asArray();
    case Value::Kind::dictionary:
        return *a.asDictionary() == *b.asDictionary();
    case Value::Kind::error:
        return a.asError()->isSameObject(*b.asError());
    case Value::Kind::object: {
        const auto ao = a.asObject();
        const auto bo = b.asObject();
        return ao == bo || ao->isEqual(*bo);
    }
    case Value::Kind::optional:
        return *a.unwrapped() == *b.unwrapped();
    default:
        return a.storage_ == b.storage_;
    }
}

// MARK: Printed forms

std::string debugQuoted(std::string_view text) {
    std::string out = "\"";
    out.reserve(text.size() + 2);
    for (const char ch : text) {
        switch (ch) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\'':
            out += "\\'";
            break;
        case '\0':
            out += "\\0";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default: {
            const auto c = static_cast<unsigned char>(ch);
            if (c < 0x20 || c == 0x7F) {
                out += fmt::format("\\u{{{:x}}}", c);
            } else {
                out.push_back(ch);
            }
        }
        }
    }
    out += "\"";
    return out;
}

std::string describeDouble(double value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    if (value == 0) {
        return std::signbit(value) ? "-0.0" : "0.0";
    }
    // Shortest round-trip digits, then laid out as Swift does: positional for exponents
    // from -4 to 15, otherwise d.ddde±XX.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific);
    const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
    const auto ePos = scientific.find('e');
    std::string_view mantissa = scientific.substr(0, ePos);
    const int exponent = std::stoi(std::string(scientific.substr(ePos + 1)));
    const bool negative = mantissa.front() == '-';
    if (negative) {
        mantissa.remove_prefix(1);
    }
    std::string digits;
    for (const char c : mantissa) {
        if (c != '.')
            digits.push_back(c);
    }
    std::string out = negative ? "-" : "";
    // Appended piece by piece: g++ 12 warns falsely (-Wrestrict) on chained string sums here.
    if (exponent < -4 || exponent >= 16) {
        out.append(digits, 0, 1);
        if (digits.size() > 1) {
            out.push_back('.');
            out.append(digits, 1);
        }
        out += fmt::format("e{}{:02}", exponent < 0 ? '-' : '+', std::abs(exponent));
        return out;
    }
    if (exponent < 0) {
        out.append("0.");
        out.append(static_cast<std::size_t>(-exponent - 1), '0');
        out.append(digits);
        return out;
    }
    const auto integerDigits = static_cast<std::size_t>(exponent + 1);
    if (digits.size() <= integerDigits) {
        out.append(digits);
        out.append(integerDigits - digits.size(), '0');
        out.append(".0");
    } else {
        out.append(digits, 0, integerDigits);
        out.push_back('.');
        out.append(digits, integerDigits);
    }
    return out;
}

} // namespace zestrel::platform

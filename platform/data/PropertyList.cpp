#include "platform/data/PropertyList.h"

#include "platform/base/CocoaError.h"
#include "platform/base/Error.h"
#include "platform/base/UTF8.h"

#include <plist/plist.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zestrel::platform {
namespace {

struct NodeDeleter {
    void operator()(void* node) const { plist_free(node); }
};
using Node = std::unique_ptr<void, NodeDeleter>;

struct BufferDeleter {
    void operator()(char* buffer) const { std::free(buffer); }
};
using Buffer = std::unique_ptr<char, BufferDeleter>;

// The binary format's marker of an 8-byte real date, and where the only object of a
// one-object binary list starts (right after the "bplist00" header).
constexpr unsigned char kDateMarker = 0x33;
constexpr std::size_t kFirstObjectOffset = 8;

[[noreturn]] void throwWriteInvalid(const Value& value) {
    throw NSError::make(NSCocoaErrorDomain, NSPropertyListWriteInvalidError,
                        {{NSDebugDescriptionErrorKey,
                          "Property list invalid for format: 200 (property lists cannot contain "
                          "objects of type '" +
                              value.typeName() + "')"}});
}

[[noreturn]] void throwCorrupt(std::string_view reason) {
    throw NSError::make(NSCocoaErrorDomain, NSPropertyListReadCorruptError,
                        {{NSDebugDescriptionErrorKey, std::string(reason)}});
}

Data toBinary(void* node) {
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(node, &bytes, &length);
    const Buffer owned(bytes);
    if (bytes == nullptr) {
        return {};
    }
    return Data(bytes, bytes + length);
}

// libplist keeps a date as the format's double but only hands out whole microseconds,
// truncated; its seconds-and-microseconds constructor rounds too. A one-object binary
// list carries the exact double in and out.
Node makeDate(Date date) {
    std::array<unsigned char, 50> bytes{};
    std::memcpy(bytes.data(), "bplist00", 8);
    bytes[kFirstObjectOffset] = kDateMarker;
    const auto bits = std::bit_cast<std::uint64_t>(date.timeIntervalSinceReferenceDate);
    for (int i = 0; i < 8; ++i) {
        bytes[kFirstObjectOffset + 1 + i] = static_cast<unsigned char>(bits >> (56 - 8 * i));
    }
    bytes[17] = kFirstObjectOffset; // offset table: one entry
    unsigned char* trailer = &bytes[18];
    trailer[6] = 1;   // offset size
    trailer[7] = 1;   // object reference size
    trailer[15] = 1;  // object count
    trailer[31] = 17; // offset table's offset
    plist_t node = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(bytes.data()), bytes.size(), &node);
    if (node == nullptr) {
        fatal("The property list library rejected a date.");
    }
    return Node(node);
}

Date readDate(void* node) {
    const Node copy(plist_copy(node));
    const Data bytes = toBinary(copy.get());
    if (bytes.size() >= kFirstObjectOffset + 9 && bytes[kFirstObjectOffset] == kDateMarker) {
        std::uint64_t bits = 0;
        for (int i = 0; i < 8; ++i) {
            bits = (bits << 8) | bytes[kFirstObjectOffset + 1 + i];
        }
        return Date{std::bit_cast<double>(bits)};
    }
    std::int32_t seconds = 0;
    std::int32_t microseconds = 0;
    plist_get_date_val(node, &seconds, &microseconds);
    return Date{seconds + microseconds / 1e6};
}

// libplist writes an integer made from a number as a signed 8-byte one; only one read
// from text keeps the format's wider form for values above the signed range.
Node makeUnsigned(std::uint64_t value) {
    if (value <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return Node(plist_new_uint(value));
    }
    const std::string text = "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\">"
                             "<integer>" +
                             std::to_string(value) + "</integer></plist>";
    plist_t node = nullptr;
    plist_from_xml(text.data(), static_cast<std::uint32_t>(text.size()), &node);
    if (node == nullptr) {
        fatal("The property list library rejected an unsigned integer.");
    }
    return Node(node);
}

Value readInteger(void* node) {
    std::uint64_t raw = 0;
    plist_get_uint_val(node, &raw);
    if (raw <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        return Value(static_cast<std::int64_t>(raw));
    }
    // Above the signed range the library's own text tells a negative number from a wide one.
    const Node copy(plist_copy(node));
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(copy.get(), &xml, &length);
    const Buffer owned(xml);
    const bool negative = xml != nullptr && std::string_view(xml, length).find("<integer>-") !=
                                                std::string_view::npos;
    if (negative) {
        return Value(static_cast<std::int64_t>(raw));
    }
    return Value(raw);
}

// Text that a list keeps as it is: valid UTF-8 without NUL characters (the library cuts
// text at a NUL, and writes other invalid text garbled).
bool isKeepableText(std::string_view text) {
    return text.find('\0') == std::string_view::npos && isValidUTF8(text);
}

[[noreturn]] void throwTextInvalid() {
    throw NSError::make(NSCocoaErrorDomain, NSPropertyListWriteInvalidError,
                        {{NSDebugDescriptionErrorKey,
                          "Property list invalid for format: 200 (property lists cannot contain "
                          "text that is not valid UTF-8 or that holds a NUL character)"}});
}

Node encode(const Value& input) {
    const Value& value = input.flattened();
    switch (value.kind()) {
    case Value::Kind::boolean:
        return Node(plist_new_bool(*value.asBool() ? 1 : 0));
    case Value::Kind::integer:
        return Node(plist_new_uint(static_cast<std::uint64_t>(*value.asInt64())));
    case Value::Kind::unsignedInteger:
        return makeUnsigned(*value.asUInt64());
    case Value::Kind::real:
        return Node(plist_new_real(*value.asDouble()));
    case Value::Kind::string:
        if (!isKeepableText(*value.asString())) {
            throwTextInvalid();
        }
        return Node(plist_new_string(value.asString()->c_str()));
    case Value::Kind::data: {
        const Data& data = *value.asData();
        return Node(plist_new_data(reinterpret_cast<const char*>(data.data()), data.size()));
    }
    case Value::Kind::date:
        return makeDate(*value.asDate());
    case Value::Kind::array: {
        Node array(plist_new_array());
        for (const Value& element : *value.asArray()) {
            plist_array_append_item(array.get(), encode(element).release());
        }
        return array;
    }
    case Value::Kind::dictionary: {
        Node dictionary(plist_new_dict());
        for (const auto& [key, element] : *value.asDictionary()) {
            if (!isKeepableText(key)) {
                throwTextInvalid();
            }
            plist_dict_set_item(dictionary.get(), key.c_str(), encode(element).release());
        }
        return dictionary;
    }
    default:
        throwWriteInvalid(value);
    }
}

Value decodeNode(void* node) {
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t flag = 0;
        plist_get_bool_val(node, &flag);
        return Value(flag != 0);
    }
    case PLIST_UINT:
        return readInteger(node);
    case PLIST_REAL: {
        double real = 0;
        plist_get_real_val(node, &real);
        return Value(real);
    }
    case PLIST_STRING: {
        // By pointer and length: the library aborts when asked to copy text holding a NUL.
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        std::string string = text ? std::string(text, length) : std::string();
        if (!isKeepableText(string)) {
            throwCorrupt("The property list holds a string that is not valid text.");
        }
        return Value(std::move(string));
    }
    case PLIST_DATA: {
        std::uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes);
        return Value(bytes ? Data(begin, begin + length) : Data{});
    }
    case PLIST_DATE:
        return Value(readDate(node));
    case PLIST_ARRAY: {
        Value::Array array;
        const std::uint32_t count = plist_array_get_size(node);
        array.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            array.push_back(decodeNode(plist_array_get_item(node, i)));
        }
        return Value(std::move(array));
    }
    case PLIST_DICT: {
        Value::Dictionary dictionary;
        plist_dict_iter rawIterator = nullptr;
        plist_dict_new_iter(node, &rawIterator);
        const std::unique_ptr<void, void (*)(void*)> iterator(rawIterator, std::free);
        for (;;) {
            char* key = nullptr;
            plist_t element = nullptr;
            plist_dict_next_item(node, iterator.get(), &key, &element);
            const Buffer ownedKey(key);
            if (element == nullptr) {
                break;
            }
            if (key != nullptr && !isValidUTF8(key)) {
                throwCorrupt("The property list holds a dictionary key that is not valid text.");
            }
            dictionary.insert_or_assign(key ? key : "", decodeNode(element));
        }
        return Value(std::move(dictionary));
    }
    default:
        throwCorrupt("The property list holds an object of an unsupported type.");
    }
}

} // namespace

bool detail::binaryPropertyListHasTextWithNUL(const Data& bytes) {
    constexpr std::size_t kTrailerSize = 32;
    const std::size_t size = bytes.size();
    if (size < 8 + kTrailerSize || size > std::numeric_limits<std::uint32_t>::max() ||
        std::memcmp(bytes.data(), "bplist", 6) != 0) {
        return false;
    }
    // A big-endian unsigned number of `width` bytes at `offset`; nothing when out of bounds.
    const auto number = [&](std::uint64_t offset,
                            std::size_t width) -> std::optional<std::uint64_t> {
        if (width == 0 || width > 8 || offset > size || size - offset < width) {
            return std::nullopt;
        }
        std::uint64_t value = 0;
        for (std::size_t k = 0; k < width; ++k) {
            value = (value << 8) | bytes[offset + k];
        }
        return value;
    };
    const std::size_t trailer = size - kTrailerSize;
    const std::size_t offsetSize = bytes[trailer + 6];
    const std::uint64_t objectCount = *number(trailer + 8, 8);
    const std::uint64_t tableOffset = *number(trailer + 24, 8);
    if (offsetSize == 0 || offsetSize > 8 || tableOffset >= trailer ||
        objectCount > (trailer - tableOffset) / offsetSize) {
        return false; // not a list the library reads either
    }
    // Objects may overlap, and a crafted list makes every one of them a long string over the
    // same bytes: counts of NUL bytes and of NUL UTF-16 units before each position answer for
    // any string at once, so the whole scan stays linear in the size of the list.
    std::vector<std::uint32_t> zeroBytes(trailer + 1, 0); // NUL bytes in [0, i)
    std::vector<std::uint32_t> zeroUnits(trailer + 2, 0); // NUL pairs at i - 2, i - 4, ...
    for (std::size_t i = 0; i < trailer; ++i) {
        zeroBytes[i + 1] = zeroBytes[i] + (bytes[i] == 0 ? 1 : 0);
        const bool unit = i + 1 < trailer && bytes[i] == 0 && bytes[i + 1] == 0;
        zeroUnits[i + 2] = zeroUnits[i] + (unit ? 1 : 0);
    }
    for (std::uint64_t index = 0; index < objectCount; ++index) {
        const auto offset = number(tableOffset + index * offsetSize, offsetSize);
        if (!offset || *offset >= trailer) {
            continue;
        }
        const unsigned type = bytes[*offset] >> 4;
        if (type != 0x5 && type != 0x6 && type != 0x7) { // ASCII, UTF-16 or UTF-8 text
            continue;
        }
        // The length: a low nibble of 15 means it follows as an integer object.
        std::uint64_t count = bytes[*offset] & 0x0F;
        std::uint64_t start = *offset + 1;
        if (count == 0x0F) {
            if (start >= trailer || (bytes[start] & 0xF0) != 0x10) {
                continue;
            }
            const std::size_t width = std::size_t{1} << (bytes[start] & 0x0F);
            const auto length = number(start + 1, width);
            if (!length) {
                continue;
            }
            count = *length;
            start += 1 + width;
        }
        if (start >= trailer) {
            continue;
        }
        const std::uint64_t unit = type == 0x6 ? 2 : 1;
        const std::uint64_t units = std::min(count, (trailer - start) / unit);
        const std::uint64_t end = start + units * unit;
        const bool holdsNUL =
            unit == 1 ? zeroBytes[end] != zeroBytes[start] : zeroUnits[end] != zeroUnits[start];
        if (holdsNUL) {
            return true;
        }
    }
    return false;
}

bool PropertyList::isValid(const Value& input) {
    const Value& value = input.flattened();
    switch (value.kind()) {
    case Value::Kind::boolean:
    case Value::Kind::integer:
    case Value::Kind::unsignedInteger:
    case Value::Kind::real:
    case Value::Kind::data:
    case Value::Kind::date:
        return true;
    case Value::Kind::string:
        return isKeepableText(*value.asString());
    case Value::Kind::array:
        for (const Value& element : *value.asArray()) {
            if (!isValid(element)) {
                return false;
            }
        }
        return true;
    case Value::Kind::dictionary:
        for (const auto& [key, element] : *value.asDictionary()) {
            if (!isKeepableText(key) || !isValid(element)) {
                return false;
            }
        }
        return true;
    default:
        return false;
    }
}

Data PropertyList::encodeBinary(const Value& value) {
    const Node root = encode(value);
    Data bytes = toBinary(root.get());
    if (bytes.empty()) {
        throwWriteInvalid(value);
    }
    return bytes;
}

Value PropertyList::decode(const Data& bytes) {
    if (bytes.empty()) {
        throwCorrupt("Cannot parse a NULL or zero-length data");
    }
    if (bytes.size() > std::numeric_limits<std::uint32_t>::max()) {
        throwCorrupt("The property list is too large.");
    }
    if (detail::binaryPropertyListHasTextWithNUL(bytes)) {
        throwCorrupt("The property list holds text with a NUL character.");
    }
    plist_t root = nullptr;
    plist_from_memory(reinterpret_cast<const char*>(bytes.data()),
                      static_cast<std::uint32_t>(bytes.size()), &root);
    if (root == nullptr) {
        throwCorrupt("The data is not a property list.");
    }
    const Node owned(root);
    return decodeNode(root);
}

} // namespace zestrel::platform

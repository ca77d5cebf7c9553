#include "platform/data/KeyedArchive.h"
#include "platform/data/PropertyList.h"

#include "platform/base/CocoaError.h"
#include "platform/base/Error.h"
#include "platform/base/UTF8.h"

#include <cstdlib>
#include <fmt/format.h>
#include <limits>
#include <plist/plist.h>

namespace zestrel::platform {

namespace {

constexpr int kMaximumDepth = 512;
constexpr const char* kClassKey = "$class";

Error readError(std::string debugDescription) {
    return dataReadCorruptError(NSCoderReadCorruptError, std::move(debugDescription));
}

// The property-list library garbles text that is not UTF-8 and cuts keys at a NUL, so such
// text is refused both ways rather than read back as something else.
bool isPlainText(std::string_view text) {
    return text.find('\0') == std::string_view::npos && isValidUTF8(text);
}

struct PlistDeleter {
    void operator()(void* node) const { plist_free(node); }
};
using Plist = std::unique_ptr<void, PlistDeleter>;

// Adding to a container hands the node over to it.
void setItem(const Plist& dictionary, const std::string& key, Plist item) {
    plist_dict_set_item(dictionary.get(), key.c_str(), item.release());
}

Plist classNode(const char* className) {
    Plist node(plist_new_dict());
    setItem(node, kClassKey, Plist(plist_new_string(className)));
    return node;
}

// MARK: Archiving

class Archiver {
public:
    explicit Archiver(bool requiringSecureCoding) : requiringSecureCoding_(requiringSecureCoding) {}

    Plist node(const Value& value) {
        switch (value.kind()) {
        case Value::Kind::string: {
            const std::string& text = *value.asString();
            if (!isValidUTF8(text)) {
                throw dataWriteInvalidError("Cannot archive text that is not valid UTF-8.");
            }
            if (text.find('\0') == std::string::npos) {
                return Plist(plist_new_string(text.c_str()));
            }
            Plist node = classNode("NSString");
            setItem(node, "NS.bytes", Plist(plist_new_data(text.data(), text.size())));
            return node;
        }
        case Value::Kind::boolean:
            return Plist(plist_new_bool(*value.asBool() ? 1 : 0));
        case Value::Kind::integer:
            // Integers are kept as their 64-bit pattern and read back as signed.
            return Plist(plist_new_uint(static_cast<std::uint64_t>(*value.asInt64())));
        case Value::Kind::unsignedInteger: {
            const std::uint64_t number = *value.asUInt64();
            if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                return Plist(plist_new_uint(number));
            }
            Plist node = classNode("NSNumber");
            setItem(node, "NS.unsigned", Plist(plist_new_uint(number)));
            return node;
        }
        case Value::Kind::real:
            return Plist(plist_new_real(*value.asDouble()));
        case Value::Kind::data: {
            const Data& data = *value.asData();
            return Plist(plist_new_data(reinterpret_cast<const char*>(data.data()), data.size()));
        }
        case Value::Kind::date: {
            Plist node = classNode("NSDate");
            setItem(node, "NS.time",
                    Plist(plist_new_real(value.asDate()->timeIntervalSinceReferenceDate)));
            return node;
        }
        case Value::Kind::null:
            return classNode("NSNull");
        case Value::Kind::array: {
            Plist objects(plist_new_array());
            for (const Value& element : *value.asArray()) {
                plist_array_append_item(objects.get(), node(element).release());
            }
            Plist node = classNode("NSArray");
            setItem(node, "NS.objects", std::move(objects));
            return node;
        }
        case Value::Kind::dictionary: {
            Plist node = classNode("NSDictionary");
            setItem(node, "NS.entries", entries(*value.asDictionary()));
            return node;
        }
        case Value::Kind::uuid: {
            const UUID uuid = *value.asUUID();
            Plist node = classNode("NSUUID");
            setItem(node, "NS.uuidbytes",
                    Plist(plist_new_data(reinterpret_cast<const char*>(uuid.bytes.data()),
                                         uuid.bytes.size())));
            return node;
        }
        case Value::Kind::url: {
            const std::string text = value.asURL()->absoluteString();
            if (!isPlainText(text)) {
                throw dataWriteInvalidError("Cannot archive a URL whose text is not valid "
                                            "UTF-8 or that holds a NUL character.");
            }
            Plist node = classNode("NSURL");
            setItem(node, "NS.relative", Plist(plist_new_string(text.c_str())));
            return node;
        }
        case Value::Kind::object:
            return objectNode(*value.asObject());
        case Value::Kind::optional:
            return node(*value.unwrapped());
        default:
            throw dataWriteInvalidError(
                fmt::format("Cannot archive a value of type {}.", value.typeName()));
        }
    }

private:
    Plist entries(const Value::Dictionary& dictionary) {
        Plist entries(plist_new_dict());
        for (const auto& [key, element] : dictionary) {
            if (!isPlainText(key)) {
                throw dataWriteInvalidError("Cannot archive a dictionary key that is not valid "
                                            "UTF-8 or that holds a NUL character.");
            }
            setItem(entries, key, node(element));
        }
        return entries;
    }

    Plist objectNode(const NSObject& object) {
        const auto* coding = dynamic_cast<const NSCoding*>(&object);
        if (coding == nullptr) {
            throw dataWriteInvalidError(
                fmt::format("Class '{}' does not adopt NSCoding.", object.className()));
        }
        if (requiringSecureCoding_ && !coding->supportsSecureCoding()) {
            throw dataWriteInvalidError(
                fmt::format("This coder requires that encoded objects conform to "
                            "NSSecureCoding. Class '{}' does not adopt it.",
                            object.className()));
        }
        Plist node = classNode(object.className().c_str());
        setItem(node, "NS.fields", entries(coding->encodedFields()));
        return node;
    }

    bool requiringSecureCoding_;
};

// MARK: Unarchiving

class Unarchiver {
public:
    explicit Unarchiver(const std::vector<ArchivableClass>& classes) : classes_(classes) {}

    Value value(plist_t node, const char* key, int depth) {
        if (depth > kMaximumDepth) {
            throw readError("The archive is nested too deeply.");
        }
        switch (plist_get_node_type(node)) {
        case PLIST_STRING: {
            allow("NSString", key);
            std::uint64_t length = 0;
            const char* text = plist_get_string_ptr(node, &length);
            std::string string(text, length);
            if (!isPlainText(string)) {
                throw readError(fmt::format("The text for key '{}' is not valid UTF-8.", key));
            }
            return Value(std::move(string));
        }
        case PLIST_BOOLEAN: {
            allow("NSNumber", key);
            std::uint8_t flag = 0;
            plist_get_bool_val(node, &flag);
            return Value(flag != 0);
        }
        case PLIST_UINT: {
            allow("NSNumber", key);
            std::uint64_t number = 0;
            plist_get_uint_val(node, &number);
            return Value(static_cast<std::int64_t>(number));
        }
        case PLIST_REAL: {
            allow("NSNumber", key);
            double number = 0;
            plist_get_real_val(node, &number);
            return Value(number);
        }
        case PLIST_DATA: {
            allow("NSData", key);
            const Data bytes = dataOf(node);
            return Value(bytes);
        }
        case PLIST_DICT:
            return classed(node, key, depth);
        default:
            throw readError(fmt::format("The value for key '{}' is not an archived object.", key));
        }
    }

private:
    Value classed(plist_t node, const char* key, int depth) {
        const std::string className = stringOf(plist_dict_get_item(node, kClassKey), key);
        const ArchivableClass& cls = allow(className, key);
        if (className == "NSString") {
            const Data bytes = dataOf(member(node, "NS.bytes", PLIST_DATA));
            std::string text(bytes.begin(), bytes.end());
            if (!isValidUTF8(text)) {
                throw readError(fmt::format("The text for key '{}' is not valid UTF-8.", key));
            }
            return Value(std::move(text));
        }
        if (className == "NSNumber") {
            std::uint64_t number = 0;
            plist_get_uint_val(member(node, "NS.unsigned", PLIST_UINT), &number);
            // Within the signed range a number is a signed one, as the archiver writes it.
            if (number <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
                return Value(static_cast<std::int64_t>(number));
            }
            return Value(number);
        }
        if (className == "NSDate") {
            double seconds = 0;
            plist_get_real_val(member(node, "NS.time", PLIST_REAL), &seconds);
            return Value(Date{seconds});
        }
        if (className == "NSNull") {
            return Value::null();
        }
        if (className == "NSArray") {
            plist_t objects = member(node, "NS.objects", PLIST_ARRAY);
            Value::Array array;
            const std::uint32_t count = plist_array_get_size(objects);
            array.reserve(count);
            for (std::uint32_t i = 0; i < count; ++i) {
                array.push_back(value(plist_array_get_item(objects, i), "NS.objects", depth + 1));
            }
            return Value(std::move(array));
        }
        if (className == "NSDictionary") {
            return Value(entries(member(node, "NS.entries", PLIST_DICT), "NS.entries", depth));
        }
        if (className == "NSUUID") {
            const Data bytes = dataOf(member(node, "NS.uuidbytes", PLIST_DATA));
            UUID uuid;
            if (bytes.size() != uuid.bytes.size()) {
                throw readError("An archived UUID does not have 16 bytes.");
            }
            std::copy(bytes.begin(), bytes.end(), uuid.bytes.begin());
            return Value(uuid);
        }
        if (className == "NSURL") {
            const std::string text = stringOf(member(node, "NS.relative", PLIST_STRING), key);
            if (auto url = URL::parse(text)) {
                return Value(*url);
            }
            throw readError(fmt::format("'{}' is not an absolute URL.", text));
        }
        if (!cls.make) {
            throw readError(fmt::format("Cannot decode an object of class '{}'.", className));
        }
        const Value::Dictionary fields =
            entries(member(node, "NS.fields", PLIST_DICT), "NS.fields", depth);
        std::shared_ptr<NSObject> object = cls.make(fields);
        if (!object) {
            throw readError(fmt::format("Cannot decode an object of class '{}'.", className));
        }
        return Value(std::move(object));
    }

    Value::Dictionary entries(plist_t node, const char* key, int depth) {
        Value::Dictionary dictionary;
        plist_dict_iter iterator = nullptr;
        plist_dict_new_iter(node, &iterator);
        const std::unique_ptr<void, decltype(&std::free)> iteratorOwner(iterator, &std::free);
        while (true) {
            char* rawKey = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iterator, &rawKey, &item);
            if (rawKey == nullptr) {
                break;
            }
            const std::unique_ptr<char, decltype(&std::free)> keyOwner(rawKey, &std::free);
            if (item == nullptr) {
                break;
            }
            if (!isValidUTF8(rawKey)) {
                throw readError(fmt::format("A key in '{}' is not valid UTF-8.", key));
            }
            dictionary.insert_or_assign(rawKey, value(item, key, depth + 1));
        }
        return dictionary;
    }

    const ArchivableClass& allow(const std::string& className, const char* key) const {
        for (const ArchivableClass& cls : classes_) {
            if (cls.name == className) {
                return cls;
            }
        }
        std::string allowed;
        for (const ArchivableClass& cls : classes_) {
            allowed += (allowed.empty() ? "" : ", ") + cls.name;
        }
        throw readError(fmt::format("value for key '{}' was of unexpected class '{}'. Allowed "
                                    "classes are '{{({})}}'.",
                                    key, className, allowed));
    }

    static plist_t member(plist_t node, const char* key, plist_type type) {
        plist_t item = plist_dict_get_item(node, key);
        if (item == nullptr || plist_get_node_type(item) != type) {
            throw readError(fmt::format("The archived object has no valid '{}'.", key));
        }
        return item;
    }

    static std::string stringOf(plist_t node, const char* key) {
        if (node == nullptr || plist_get_node_type(node) != PLIST_STRING) {
            throw readError(fmt::format("The value for key '{}' has no class.", key));
        }
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        std::string string(text, length);
        if (!isPlainText(string)) {
            throw readError(fmt::format("The text for key '{}' is not valid UTF-8.", key));
        }
        return string;
    }

    static Data dataOf(plist_t node) {
        std::uint64_t length = 0;
        const char* bytes = plist_get_data_ptr(node, &length);
        const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes);
        return bytes == nullptr ? Data{} : Data(begin, begin + length);
    }

    const std::vector<ArchivableClass>& classes_;
};

plist_t stringMember(plist_t dictionary, const char* key) {
    plist_t item = plist_dict_get_item(dictionary, key);
    return item != nullptr && plist_get_node_type(item) == PLIST_STRING ? item : nullptr;
}

} // namespace

Data NSKeyedArchiver::archivedData(const Value& rootObject, bool requiringSecureCoding) {
    Plist top(plist_new_dict());
    if (!rootObject.flattened().isAbsent()) {
        setItem(top, "root", Archiver(requiringSecureCoding).node(rootObject));
    }
    Plist archive(plist_new_dict());
    setItem(archive, "$archiver", Plist(plist_new_string("NSKeyedArchiver")));
    setItem(archive, "$version", Plist(plist_new_uint(100000)));
    setItem(archive, "$top", std::move(top));

    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(archive.get(), &bytes, &length);
    const std::unique_ptr<char, decltype(&plist_to_bin_free)> owner(bytes, &plist_to_bin_free);
    if (bytes == nullptr) {
        throw dataWriteInvalidError("The archive could not be written.");
    }
    const auto* begin = reinterpret_cast<const std::uint8_t*>(bytes);
    return Data(begin, begin + length);
}

Value NSKeyedUnarchiver::unarchivedObject(const std::vector<ArchivableClass>& classes,
                                          const Data& data) {
    plist_t parsed = nullptr;
    if (data.size() <= std::numeric_limits<std::uint32_t>::max() &&
        !detail::binaryPropertyListHasTextWithNUL(data)) {
        plist_from_bin(reinterpret_cast<const char*>(data.data()),
                       static_cast<std::uint32_t>(data.size()), &parsed);
    }
    const Plist archive(parsed);
    if (!archive || plist_get_node_type(archive.get()) != PLIST_DICT) {
        throw readError("incomprehensible archive");
    }
    plist_t archiver = stringMember(archive.get(), "$archiver");
    plist_t top = plist_dict_get_item(archive.get(), "$top");
    std::uint64_t length = 0;
    if (archiver == nullptr ||
        std::string_view(plist_get_string_ptr(archiver, &length)) != "NSKeyedArchiver" ||
        top == nullptr || plist_get_node_type(top) != PLIST_DICT) {
        throw readError("incomprehensible archive");
    }
    plist_t root = plist_dict_get_item(top, "root");
    if (root == nullptr) {
        return Value();
    }
    return Unarchiver(classes).value(root, "root", 1);
}

Value NSKeyedUnarchiver::unarchivedObjectIfValid(const std::vector<ArchivableClass>& classes,
                                                 const Data& data) {
    try {
        return unarchivedObject(classes, data);
    } catch (const Error&) {
        return Value();
    }
}

} // namespace zestrel::platform

#pragma once

#include "platform/base/Value.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace zestrel::platform {

// An object that can be kept in a keyed archive (the platform's NSCoding and
// NSSecureCoding): it gives its fields, and its `ArchivableClass` makes it again from
// them. Only objects that are also `NSObject`s are archived; the class name is the
// object's `className()`.
class NSCoding {
public:
    virtual ~NSCoding() = default;
    // Field values are any archivable values, other archivable objects included.
    virtual Value::Dictionary encodedFields() const = 0;
    virtual bool supportsSecureCoding() const { return true; }
};

// A class an unarchiver may create. The platform's value classes need only their name
// ("NSString", "NSNumber", "NSData", "NSDate", "NSArray", "NSDictionary", "NSNull",
// "NSUUID", "NSURL"); an object class also says how to make an object from its decoded
// fields (answering null when they do not make one).
struct ArchivableClass {
    std::string name;
    std::function<std::shared_ptr<NSObject>(const Value::Dictionary& fields)> make;
};

// Keyed archives of values and objects, as the preference store keeps them.
//
// An archive is a binary property list:
//   { "$archiver": "NSKeyedArchiver", "$version": 100000, "$top": { "root": node } }
// with no "root" when the root object is absent. A node is, by value:
//   string → string; Boolean → Boolean; integer → integer; double → real; data → data;
//   unsigned integer beyond the signed range → { "$class": "NSNumber", "NS.unsigned": n };
//   date → { "$class": "NSDate", "NS.time": seconds since 2001 };
//   null → { "$class": "NSNull" };
//   array → { "$class": "NSArray", "NS.objects": [node, ...] };
//   dictionary → { "$class": "NSDictionary", "NS.entries": { key: node, ... } };
//   UUID → { "$class": "NSUUID", "NS.uuidbytes": 16 bytes };
//   URL → { "$class": "NSURL", "NS.relative": absolute text };
//   object → { "$class": class name, "NS.fields": { field: node, ... } }.
// A string that holds a NUL character is kept as { "$class": "NSString", "NS.bytes": data }.
// Text must be valid UTF-8, and dictionary keys and field names hold no NUL character.
class NSKeyedArchiver {
public:
    // Throws an error object in NSCocoaErrorDomain, code 4866, for what cannot be archived:
    // an error value, an absent value inside a collection, an object that does not adopt
    // `NSCoding`, (when secure coding is required) one that does not support it, or text
    // that is not valid UTF-8 or a key holding a NUL character.
    static Data archivedData(const Value& rootObject, bool requiringSecureCoding);
};

class NSKeyedUnarchiver {
public:
    // The root object (absent when the archive holds none). Every class met on the way,
    // the root's and those inside it, must be among `classes`. Data that is not such an
    // archive, a class not allowed, or an object whose class does not make it throws an
    // error object in NSCocoaErrorDomain, code 4864, as does text that is not valid UTF-8.
    // Nesting deeper than 512 levels is refused.
    static Value unarchivedObject(const std::vector<ArchivableClass>& classes, const Data& data);
    static Value unarchivedObject(const ArchivableClass& cls, const Data& data) {
        return unarchivedObject(std::vector<ArchivableClass>{cls}, data);
    }
    // The same, but any failure reads as absent.
    static Value unarchivedObjectIfValid(const std::vector<ArchivableClass>& classes,
                                         const Data& data);
};

} // namespace zestrel::platform

// The keyed unarchiver on arbitrary bytes, allowing every value class and the one object
// class the preferences keep (colours). What it reads archives again and reads back the same.
#include "fuzz/FuzzInput.h"
#include "fuzz/SameValue.h"
#include "platform/appkit/NSColor.h"
#include "platform/base/Error.h"
#include "platform/data/KeyedArchive.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace zestrel;
using platform::ArchivableClass;
using platform::NSKeyedArchiver;
using platform::NSKeyedUnarchiver;

namespace {

// Objects show their fields.
std::string describe(const platform::Value& value) {
    if (const auto* coding = dynamic_cast<const platform::NSCoding*>(value.asObject().get())) {
        return platform::Value(coding->encodedFields()).debugDescribe();
    }
    return value.debugDescribe();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<ArchivableClass> classes{
        {"NSString", nullptr}, {"NSNumber", nullptr},
        {"NSData", nullptr},   {"NSDate", nullptr},
        {"NSArray", nullptr},  {"NSDictionary", nullptr},
        {"NSNull", nullptr},   {"NSUUID", nullptr},
        {"NSURL", nullptr},    platform::NSColor::archivableClass()};
    const platform::Data archive = fuzz::bytes(data, size);
    platform::Value value;
    try {
        value = NSKeyedUnarchiver::unarchivedObject(classes, archive);
    } catch (const platform::Error&) {
    }
    if (value.kind() != platform::Value::Kind::absent) {
        // Whatever was read is archivable as it is.
        const platform::Value again = NSKeyedUnarchiver::unarchivedObject(
            classes, NSKeyedArchiver::archivedData(value, true));
        if (!fuzz::sameValue(value, again)) {
            std::fprintf(stderr, "read       %s\nread again %s\n", describe(value).c_str(),
                         describe(again).c_str());
            std::abort();
        }
    }
    // Only the colour class: whatever else the archive names must be refused, not crash.
    NSKeyedUnarchiver::unarchivedObjectIfValid({platform::NSColor::archivableClass()}, archive);
    return 0;
}

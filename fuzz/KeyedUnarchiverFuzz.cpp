// The keyed unarchiver on arbitrary bytes, allowing every value class and the one object
// class the preferences keep (colours).
#include "fuzz/FuzzInput.h"
#include "platform/appkit/NSColor.h"
#include "platform/base/Error.h"
#include "platform/data/KeyedArchive.h"

#include <vector>

using namespace zestrel;
using platform::ArchivableClass;
using platform::NSKeyedUnarchiver;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::vector<ArchivableClass> classes{
        {"NSString", nullptr}, {"NSNumber", nullptr},
        {"NSData", nullptr},   {"NSDate", nullptr},
        {"NSArray", nullptr},  {"NSDictionary", nullptr},
        {"NSNull", nullptr},   {"NSUUID", nullptr},
        {"NSURL", nullptr},    platform::NSColor::archivableClass()};
    const platform::Data archive = fuzz::bytes(data, size);
    try {
        NSKeyedUnarchiver::unarchivedObject(classes, archive);
    } catch (const platform::Error&) {
    }
    // Only the colour class: whatever else the archive names must be refused, not crash.
    NSKeyedUnarchiver::unarchivedObjectIfValid({platform::NSColor::archivableClass()}, archive);
    return 0;
}

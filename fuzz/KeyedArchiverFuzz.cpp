// The keyed archiver on values built from arbitrary bytes: what it archives unarchives as the
// same value (text that cannot be kept must be refused when archiving, never cut).
#include "fuzz/SameValue.h"
#include "platform/base/Error.h"
#include "platform/data/KeyedArchive.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

using namespace zestrel;
using platform::Value;

namespace {

Value makeValue(FuzzedDataProvider& input, int depth) {
    const int kinds = depth < 4 ? 12 : 10;
    switch (input.ConsumeIntegralInRange(0, kinds - 1)) {
    case 0:
        return Value(input.ConsumeRandomLengthString(64));
    case 1:
        return Value(input.ConsumeBool());
    case 2:
        return Value(input.ConsumeIntegral<std::int64_t>());
    case 3: // smaller ones are kept as signed integers, as the platform does
        return Value(input.ConsumeIntegralInRange<std::uint64_t>(
            std::uint64_t{std::numeric_limits<std::int64_t>::max()} + 1,
            std::numeric_limits<std::uint64_t>::max()));
    case 4:
        return Value(input.ConsumeFloatingPoint<double>());
    case 5: {
        const auto bytes = input.ConsumeBytes<std::uint8_t>(input.ConsumeIntegralInRange(0, 32));
        return Value(platform::Data(bytes.begin(), bytes.end()));
    }
    case 6:
        return Value(platform::Date{input.ConsumeFloatingPoint<double>()});
    case 7:
        return Value::null();
    case 8: {
        platform::UUID uuid;
        for (auto& byte : uuid.bytes) {
            byte = input.ConsumeIntegral<std::uint8_t>();
        }
        return Value(uuid);
    }
    case 9:
        if (auto url = platform::URL::parse(input.ConsumeRandomLengthString(64))) {
            return Value(*url);
        }
        return Value("");
    case 10: {
        Value::Array array;
        const int count = input.ConsumeIntegralInRange(0, 6);
        for (int i = 0; i < count; ++i) {
            array.push_back(makeValue(input, depth + 1));
        }
        return Value(std::move(array));
    }
    default: {
        Value::Dictionary dictionary;
        const int count = input.ConsumeIntegralInRange(0, 6);
        for (int i = 0; i < count; ++i) {
            std::string key = input.ConsumeRandomLengthString(16);
            dictionary.insert_or_assign(std::move(key), makeValue(input, depth + 1));
        }
        return Value(std::move(dictionary));
    }
    }
}

const std::vector<platform::ArchivableClass>& valueClasses() {
    static const std::vector<platform::ArchivableClass> classes{
        {"NSString", nullptr}, {"NSNumber", nullptr}, {"NSData", nullptr},
        {"NSDate", nullptr},   {"NSArray", nullptr},  {"NSDictionary", nullptr},
        {"NSNull", nullptr},   {"NSUUID", nullptr},   {"NSURL", nullptr}};
    return classes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    const Value value = makeValue(input, 0);
    platform::Data archive;
    try {
        archive = platform::NSKeyedArchiver::archivedData(value, true);
    } catch (const platform::Error&) {
        return 0;
    }
    // An archive this system wrote must read back, and as the value it was made from.
    const Value read = platform::NSKeyedUnarchiver::unarchivedObject(valueClasses(), archive);
    if (!fuzz::sameValue(value, read)) {
        std::fprintf(stderr, "archived %s\nread     %s\n", value.debugDescribe().c_str(),
                     read.debugDescribe().c_str());
        std::abort();
    }
    return 0;
}

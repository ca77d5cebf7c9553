#include "platform/data/KeyedArchive.h"

#include "platform/base/Error.h"
#include "platform/testing/TestEnvironment.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <plist/plist.h>

namespace zestrel::platform {
namespace {

class TestSwatch final : public NSObject, public NSCoding {
public:
    TestSwatch(double red, std::string name, Value inner = Value())
        : red(red), name(std::move(name)), inner(std::move(inner)) {}

    std::string className() const override { return "TestSwatch"; }
    bool isEqual(const NSObject& other) const override {
        const auto* swatch = dynamic_cast<const TestSwatch*>(&other);
        return swatch != nullptr && swatch->red == red && swatch->name == name &&
               swatch->inner == inner;
    }
    Value::Dictionary encodedFields() const override {
        Value::Dictionary fields{{"red", Value(red)}, {"name", Value(name)}};
        if (!inner.isAbsent()) {
            fields.emplace("inner", inner);
        }
        return fields;
    }

    static std::shared_ptr<NSObject> make(const Value::Dictionary& fields) {
        const auto red = fields.find("red");
        const auto name = fields.find("name");
        if (red == fields.end() || name == fields.end() || !red->second.asDouble() ||
            !name->second.asString()) {
            return nullptr;
        }
        const auto inner = fields.find("inner");
        return std::make_shared<TestSwatch>(*red->second.asDouble(), *name->second.asString(),
                                            inner == fields.end() ? Value() : inner->second);
    }

    double red;
    std::string name;
    Value inner;
};

class InsecureThing final : public NSObject, public NSCoding {
public:
    std::string className() const override { return "InsecureThing"; }
    Value::Dictionary encodedFields() const override { return {}; }
    bool supportsSecureCoding() const override { return false; }
};

const ArchivableClass kSwatchClass{"TestSwatch", &TestSwatch::make};

std::vector<ArchivableClass> valueClasses() {
    std::vector<ArchivableClass> classes;
    for (const char* name : {"NSString", "NSNumber", "NSData", "NSDate", "NSArray", "NSDictionary",
                             "NSNull", "NSUUID", "NSURL"}) {
        classes.push_back({name, nullptr});
    }
    return classes;
}

class KeyedArchiveTest : public ::testing::Test {
protected:
    testing::TestEnvironment environment;
};

Error unarchiveFailure(const std::vector<ArchivableClass>& classes, const Data& data) {
    try {
        NSKeyedUnarchiver::unarchivedObject(classes, data);
    } catch (const Error& error) {
        EXPECT_TRUE(NSKeyedUnarchiver::unarchivedObjectIfValid(classes, data).isAbsent());
        return error;
    }
    ADD_FAILURE() << "unarchiving succeeded";
    return NSError::make("none", 0);
}

std::string debugDescription(const Error& error) {
    const auto& userInfo = error.nsError()->userInfo();
    const auto it = userInfo.find(NSDebugDescriptionErrorKey);
    return it == userInfo.end() ? "" : *it->second.asString();
}

TEST_F(KeyedArchiveTest, ValuesRoundTrip) {
    const Value values[] = {
        Value("text"),
        Value(""),
        Value("é ✓ 😀"),
        Value(std::string("a\0b", 3)),
        Value(true),
        Value(false),
        Value(0),
        Value(-1),
        Value(INT64_MIN),
        Value(INT64_MAX),
        Value(UINT64_MAX),
        Value(0.1),
        Value(-1e300),
        Value(Data{}),
        Value(Data{0, 1, 255}),
        Value(Date{-1234.5}),
        Value::null(),
        Value(UUID::random()),
        Value(*URL::parse("https://example.com/a%20b?q=1")),
        Value(Value::Array{}),
        Value(Value::Array{Value(1), Value("x"), Value(Value::Array{Value::null()})}),
        Value(Value::Dictionary{}),
        Value(Value::Dictionary{{"k", Value(Value::Dictionary{{"n", Value(2.5)}})},
                                {"$class", Value("not a class")}}),
    };
    for (const Value& value : values) {
        const Data archive = NSKeyedArchiver::archivedData(value, true);
        const Value read = NSKeyedUnarchiver::unarchivedObject(valueClasses(), archive);
        EXPECT_EQ(read, value) << value.debugDescribe();
        EXPECT_EQ(read.kind(), value.kind()) << value.debugDescribe();
    }
}

TEST_F(KeyedArchiveTest, ArchiveIsABinaryPropertyListWithTheArchiverHeader) {
    const Data archive = NSKeyedArchiver::archivedData(Value("x"), true);
    ASSERT_GE(archive.size(), 8u);
    EXPECT_EQ(std::string(archive.begin(), archive.begin() + 8), "bplist00");
    plist_t parsed = nullptr;
    plist_from_bin(reinterpret_cast<const char*>(archive.data()),
                   static_cast<std::uint32_t>(archive.size()), &parsed);
    ASSERT_NE(parsed, nullptr);
    char* archiver = nullptr;
    plist_get_string_val(plist_dict_get_item(parsed, "$archiver"), &archiver);
    EXPECT_STREQ(archiver, "NSKeyedArchiver");
    free(archiver);
    plist_free(parsed);
}

TEST_F(KeyedArchiveTest, ObjectsRoundTripThroughTheirClass) {
    const auto swatch = std::make_shared<TestSwatch>(
        0.25, "sky", Value(std::make_shared<TestSwatch>(1.0, "inner")));
    const Data archive = NSKeyedArchiver::archivedData(Value(swatch), true);
    std::vector<ArchivableClass> classes = valueClasses();
    classes.push_back(kSwatchClass);
    const Value read = NSKeyedUnarchiver::unarchivedObject(classes, archive);
    const auto object = read.asObject<TestSwatch>();
    ASSERT_TRUE(object);
    EXPECT_TRUE(object->isEqual(*swatch));
}

TEST_F(KeyedArchiveTest, AbsentRootReadsAbsent) {
    const Data archive = NSKeyedArchiver::archivedData(Value(), true);
    EXPECT_TRUE(NSKeyedUnarchiver::unarchivedObject(kSwatchClass, archive).isAbsent());
}

TEST_F(KeyedArchiveTest, ClassesNotAllowedAreRefused) {
    const Data swatch =
        NSKeyedArchiver::archivedData(Value(std::make_shared<TestSwatch>(0.5, "x")), true);
    Error error = unarchiveFailure({{"NSString", nullptr}}, swatch);
    EXPECT_EQ(error.domain(), NSCocoaErrorDomain);
    EXPECT_EQ(error.code(), 4864);
    EXPECT_EQ(error.localizedDescription(),
              "The data couldn’t be read because it isn’t in the correct format.");
    EXPECT_EQ(debugDescription(error), "value for key 'root' was of unexpected class "
                                       "'TestSwatch'. Allowed classes are '{(NSString)}'.");

    // Contents are checked as well as the root.
    const Data list = NSKeyedArchiver::archivedData(Value(Value::Array{Value("s")}), true);
    error = unarchiveFailure({{"NSArray", nullptr}}, list);
    EXPECT_EQ(debugDescription(error), "value for key 'NS.objects' was of unexpected class "
                                       "'NSString'. Allowed classes are '{(NSArray)}'.");
    // A class name alone cannot make an object.
    error = unarchiveFailure(
        {{"TestSwatch", nullptr}, {"NSNumber", nullptr}, {"NSString", nullptr}}, swatch);
    EXPECT_EQ(debugDescription(error), "Cannot decode an object of class 'TestSwatch'.");
}

TEST_F(KeyedArchiveTest, ObjectsWhoseFieldsDoNotMakeOneAreRefused) {
    const ArchivableClass refusing{
        "TestSwatch", [](const Value::Dictionary&) { return std::shared_ptr<NSObject>(); }};
    const Data swatch =
        NSKeyedArchiver::archivedData(Value(std::make_shared<TestSwatch>(0.5, "x")), true);
    EXPECT_EQ(
        unarchiveFailure({refusing, {"NSNumber", nullptr}, {"NSString", nullptr}}, swatch).code(),
        4864);
}

TEST_F(KeyedArchiveTest, GarbageIsRefused) {
    const std::string notArchive[] = {
        "",
        "garbage",
        "bplist00",
        "{\"$archiver\":\"NSKeyedArchiver\"}",
        std::string("bplist00\xff\xff\xff\xff\xff\xff\xff\xff", 16),
    };
    std::vector<ArchivableClass> classes = valueClasses();
    for (const std::string& text : notArchive) {
        const Error error = unarchiveFailure(classes, Data(text.begin(), text.end()));
        EXPECT_EQ(error.code(), 4864) << text;
    }
    // A valid property list that is not a keyed archive.
    plist_t dictionary = plist_new_dict();
    plist_dict_set_item(dictionary, "root", plist_new_string("x"));
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(dictionary, &bytes, &length);
    const Data plain(bytes, bytes + length);
    plist_to_bin_free(bytes);
    plist_free(dictionary);
    EXPECT_EQ(debugDescription(unarchiveFailure(classes, plain)), "incomprehensible archive");
    // Found by fuzzing: a dictionary key holding a NUL aborted inside the library.
    const Data keyWithNUL{'b', 'p', 'l',  'i', 's', 't', '0', '0', 0xD1, 1, 2, 0x53, 'a',
                          0,   'b', 0x10, 1,   8,   11,  15,  0,   0,    0, 0, 0,    0,
                          1,   1,   0,    0,   0,   0,   0,   0,   0,    3, 0, 0,    0,
                          0,   0,   0,    0,   0,   0,   0,   0,   0,    0, 0, 0,    17};
    EXPECT_EQ(unarchiveFailure(classes, keyWithNUL).code(), 4864);
    // A truncated archive.
    Data truncated = NSKeyedArchiver::archivedData(Value(Value::Array{Value("x")}), true);
    truncated.resize(truncated.size() / 2);
    EXPECT_EQ(unarchiveFailure(classes, truncated).code(), 4864);
}

// An archive of `value` with the text `from` of one string object replaced by `to`, byte for
// byte: the library would not write such text itself.
Data patchedArchive(const Value& value, const std::string& from, const std::string& to) {
    Data archive = NSKeyedArchiver::archivedData(value, true);
    const Data pattern(from.begin(), from.end());
    const auto found = std::search(archive.begin(), archive.end(), pattern.begin(), pattern.end());
    if (found == archive.end()) {
        ADD_FAILURE() << "no " << Value(from).debugDescribe() << " in the archive";
        return archive;
    }
    std::copy(to.begin(), to.end(), found);
    return archive;
}

TEST_F(KeyedArchiveTest, TextThatIsNotUTF8IsRefusedBothWays) {
    const std::vector<ArchivableClass> classes = valueClasses();
    const Data archives[] = {
        patchedArchive(Value("XY"), "XY", "\xC3\x28"),
        patchedArchive(Value(Value::Dictionary{{"KQ", 1}}), "KQ", "\xED\xA0"),
        patchedArchive(Value(std::string("a\0\xC3\xA9", 4)), "\xC3\xA9", "\xC0\xA9"),
    };
    for (const Data& archive : archives) {
        EXPECT_EQ(unarchiveFailure(classes, archive).code(), 4864);
    }

    const std::string notUTF8 = "caf\xE9";
    const auto url = URL::parse("u:%\xFFNS"); // found by fuzzing: the URL text is kept as it is
    ASSERT_TRUE(url);
    for (const Value& value :
         {Value(notUTF8), Value(Value::Dictionary{{notUTF8, 1}}), Value(*url),
          Value(Value::Dictionary{{std::string("k\0a", 3), 1}, {std::string("k\0b", 3), 2}})}) {
        try {
            NSKeyedArchiver::archivedData(value, true);
            ADD_FAILURE() << "archived " << value.debugDescribe();
        } catch (const Error& error) {
            EXPECT_EQ(error.code(), 4866);
        }
    }
}

// Found by fuzzing: an unsigned number within the signed range read as unsigned, and archived
// again as a signed one.
TEST_F(KeyedArchiveTest, ASmallUnsignedNumberReadsAsTheSignedOneItArchivesAs) {
    const Data archive = patchedArchive(Value(UINT64_MAX), std::string(8, '\xFF'),
                                        std::string("\0\0\0\0\0\0\0\5", 8));
    const Value read = NSKeyedUnarchiver::unarchivedObject(valueClasses(), archive);
    EXPECT_EQ(read.kind(), Value::Kind::integer);
    EXPECT_EQ(read, Value(5));
}

TEST_F(KeyedArchiveTest, WhatCannotBeArchivedThrows) {
    const auto expectWriteError = [](const Value& value, bool secure, const std::string& text) {
        try {
            NSKeyedArchiver::archivedData(value, secure);
            ADD_FAILURE() << "archived " << value.debugDescribe();
        } catch (const Error& error) {
            EXPECT_EQ(error.domain(), NSCocoaErrorDomain);
            EXPECT_EQ(error.code(), 4866);
            EXPECT_EQ(debugDescription(error), text);
        }
    };
    expectWriteError(Value(std::make_shared<NSObject>()), true,
                     "Class 'NSObject' does not adopt NSCoding.");
    expectWriteError(Value(std::make_shared<InsecureThing>()), true,
                     "This coder requires that encoded objects conform to NSSecureCoding. Class "
                     "'InsecureThing' does not adopt it.");
    expectWriteError(Value(Value::Array{Value()}), true,
                     "Cannot archive a value of type " + Value().typeName() + ".");
    expectWriteError(Value(NSError::make("D", 1)), true,
                     "Cannot archive a value of type " + Value(NSError::make("D", 1)).typeName() +
                         ".");
    EXPECT_NO_THROW(NSKeyedArchiver::archivedData(Value(std::make_shared<InsecureThing>()), false));
}

} // namespace
} // namespace zestrel::platform

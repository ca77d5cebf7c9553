#pragma once

#include "platform/base/Value.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string_view>

namespace zestrel::platform {

using FourCharCode = std::uint32_t;
using AEKeyword = FourCharCode;
using DescType = FourCharCode;

constexpr FourCharCode fourCharCode(std::string_view code) {
    FourCharCode value = 0;
    for (char c : code) {
        value = (value << 8) | static_cast<unsigned char>(c);
    }
    return value;
}

inline constexpr FourCharCode kCoreEventClass = fourCharCode("aevt");
inline constexpr FourCharCode kAEOpenApplication = fourCharCode("oapp");
inline constexpr AEKeyword keySenderPIDAttr = fourCharCode("spid");
inline constexpr AEKeyword keyAddressAttr = fourCharCode("addr");
inline constexpr AEKeyword keyAEPropData = fourCharCode("prdt");
inline constexpr FourCharCode keyAELaunchedAsLogInItem = fourCharCode("lgit");
inline constexpr DescType typeKernelProcessID = fourCharCode("kpid");
inline constexpr DescType typeSInt32 = fourCharCode("long");
inline constexpr DescType typeEnumerated = fourCharCode("enum");
inline constexpr DescType typeAppleEvent = fourCharCode("aevt");

// An Apple event or one of its parts: a type and its bytes, and for an event its class,
// identifier, attributes and parameters.
class NSAppleEventDescriptor final : public NSObject {
public:
    NSAppleEventDescriptor(DescType type, Data data);
    static std::shared_ptr<NSAppleEventDescriptor> descriptorWithInt32(std::int32_t value);
    static std::shared_ptr<NSAppleEventDescriptor> descriptorWithEnumCode(FourCharCode code);
    static std::shared_ptr<NSAppleEventDescriptor> appleEventWithEventClass(FourCharCode eventClass,
                                                                            FourCharCode eventID);

    DescType descriptorType() const { return type_; }
    const Data& data() const { return data_; }
    FourCharCode eventClass() const { return eventClass_; }
    FourCharCode eventID() const { return eventID_; }
    // The bytes read as a signed 32-bit number; 0 when they are not four bytes.
    std::int32_t int32Value() const;
    FourCharCode enumCodeValue() const;

    void setAttributeDescriptor(std::shared_ptr<NSAppleEventDescriptor> descriptor,
                                AEKeyword keyword);
    void setParamDescriptor(std::shared_ptr<NSAppleEventDescriptor> descriptor, AEKeyword keyword);
    std::shared_ptr<NSAppleEventDescriptor> attributeDescriptorForKeyword(AEKeyword keyword) const;
    std::shared_ptr<NSAppleEventDescriptor> paramDescriptorForKeyword(AEKeyword keyword) const;
    // The same bytes under another type when they can stand for it (a process
    // identifier as a kernel process identifier); nothing otherwise.
    std::shared_ptr<NSAppleEventDescriptor> coerceToDescriptorType(DescType type) const;

    std::string className() const override { return "NSAppleEventDescriptor"; }

private:
    DescType type_;
    Data data_;
    FourCharCode eventClass_ = 0;
    FourCharCode eventID_ = 0;
    std::map<AEKeyword, std::shared_ptr<NSAppleEventDescriptor>> attributes_;
    std::map<AEKeyword, std::shared_ptr<NSAppleEventDescriptor>> parameters_;
};

// The event being handled now. This program's launch event stays current for the life of
// its process: the desktop made it when it launched the program.
class NSAppleEventManager {
public:
    static NSAppleEventManager& sharedAppleEventManager();
    std::shared_ptr<NSAppleEventDescriptor> currentAppleEvent() const;
};

} // namespace zestrel::platform

#include "platform/desktop/AppleEvent.h"

#include "platform/desktop/Desktop.h"

#include <cstring>

namespace zestrel::platform {

namespace {

Data bytesOf(std::uint32_t value) {
    Data data(sizeof value);
    std::memcpy(data.data(), &value, sizeof value);
    return data;
}

} // namespace

NSAppleEventDescriptor::NSAppleEventDescriptor(DescType type, Data data)
    : type_(type), data_(std::move(data)) {}

std::shared_ptr<NSAppleEventDescriptor>
NSAppleEventDescriptor::descriptorWithInt32(std::int32_t value) {
    return std::make_shared<NSAppleEventDescriptor>(typeSInt32,
                                                    bytesOf(static_cast<std::uint32_t>(value)));
}

std::shared_ptr<NSAppleEventDescriptor>
NSAppleEventDescriptor::descriptorWithEnumCode(FourCharCode code) {
    return std::make_shared<NSAppleEventDescriptor>(typeEnumerated, bytesOf(code));
}

std::shared_ptr<NSAppleEventDescriptor>
NSAppleEventDescriptor::appleEventWithEventClass(FourCharCode eventClass, FourCharCode eventID) {
    auto event = std::make_shared<NSAppleEventDescriptor>(typeAppleEvent, Data{});
    event->eventClass_ = eventClass;
    event->eventID_ = eventID;
    return event;
}

std::int32_t NSAppleEventDescriptor::int32Value() const {
    std::int32_t value = 0;
    if (data_.size() == sizeof value) {
        std::memcpy(&value, data_.data(), sizeof value);
    }
    return value;
}

FourCharCode NSAppleEventDescriptor::enumCodeValue() const {
    return static_cast<FourCharCode>(int32Value());
}

void NSAppleEventDescriptor::setAttributeDescriptor(
    std::shared_ptr<NSAppleEventDescriptor> descriptor, AEKeyword keyword) {
    attributes_[keyword] = std::move(descriptor);
}

void NSAppleEventDescriptor::setParamDescriptor(std::shared_ptr<NSAppleEventDescriptor> descriptor,
                                                AEKeyword keyword) {
    parameters_[keyword] = std::move(descriptor);
}

std::shared_ptr<NSAppleEventDescriptor>
NSAppleEventDescriptor::attributeDescriptorForKeyword(AEKeyword keyword) const {
    auto it = attributes_.find(keyword);
    return it == attributes_.end() ? nullptr : it->second;
}

std::shared_ptr<NSAppleEventDescriptor>
NSAppleEventDescriptor::paramDescriptorForKeyword(AEKeyword keyword) const {
    auto it = parameters_.find(keyword);
    return it == parameters_.end() ? nullptr : it->second;
}

std::shared_ptr<NSAppleEventDescriptor>
NSAppleEventDescriptor::coerceToDescriptorType(DescType type) const {
    const bool processNumber = type_ == typeSInt32 || type_ == typeKernelProcessID;
    if (type == type_ || (type == typeKernelProcessID && processNumber) ||
        (type == typeSInt32 && processNumber)) {
        return std::make_shared<NSAppleEventDescriptor>(type, data_);
    }
    return nullptr;
}

NSAppleEventManager& NSAppleEventManager::sharedAppleEventManager() {
    static NSAppleEventManager manager; // stateless: the event lives on the desktop
    return manager;
}

std::shared_ptr<NSAppleEventDescriptor> NSAppleEventManager::currentAppleEvent() const {
    return Desktop::current()->ownLaunchEvent();
}

} // namespace zestrel::platform

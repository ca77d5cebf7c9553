#include "platform/desktop/CodeSigning.h"

#include "platform/base/Bundle.h"
#include "platform/desktop/Desktop.h"

namespace zestrel::platform {

OSStatus SecCodeCopyGuestWithAttributes(const SecCodeRef& /*host*/,
                                        const Value::Dictionary& attributes, SecCSFlags /*flags*/,
                                        SecCodeRef& guest) {
    guest = nullptr;
    auto pidEntry = attributes.find(kSecGuestAttributePid);
    auto pid = pidEntry == attributes.end() ? std::nullopt : pidEntry->second.asInt64();
    if (!pid) {
        return errSecCSNoSuchCode;
    }
    // Any process that exists has code, an application or not (a daemon, a helper).
    const auto desktop = Desktop::current();
    const int processIdentifier = static_cast<int>(*pid);
    if (*pid != processIdentifier || !desktop->processGroupIdentifier(processIdentifier)) {
        return errSecCSNoSuchCode;
    }
    const auto running = desktop->runningApplication(processIdentifier);
    guest = std::make_shared<SecCode>(
        SecCode{processIdentifier, running ? running->bundleURL().value_or(URL()) : URL()});
    return errSecSuccess;
}

OSStatus SecCodeCopyStaticCode(const SecCodeRef& code, SecCSFlags /*flags*/,
                               SecStaticCodeRef& staticCode) {
    staticCode = nullptr;
    if (!code) {
        return errSecCSNoSuchCode;
    }
    staticCode =
        std::make_shared<SecStaticCode>(SecStaticCode{code->bundleURL, code->processIdentifier});
    return errSecSuccess;
}

OSStatus SecStaticCodeCreateWithPath(const URL& path, SecCSFlags /*flags*/,
                                     SecStaticCodeRef& staticCode) {
    staticCode = nullptr;
    auto desktop = Desktop::current();
    if (!desktop->installedApplicationAt(path) && !desktop->signingInformation(path)) {
        return errSecCSStaticCodeNotFound;
    }
    staticCode = std::make_shared<SecStaticCode>(SecStaticCode{path, std::nullopt});
    return errSecSuccess;
}

OSStatus SecCodeCopySigningInformation(const SecStaticCodeRef& code, SecCSFlags /*flags*/,
                                       Value& information) {
    information = Value();
    if (!code) {
        return errSecCSStaticCodeNotFound;
    }
    auto desktop = Desktop::current();
    auto signing = code->processIdentifier ? desktop->signingInformation(*code->processIdentifier)
                                           : desktop->signingInformation(code->bundleURL);
    if (!signing) {
        return errSecCSUnsigned;
    }
    information = Value(*signing);
    return errSecSuccess;
}

std::optional<std::string> SecCopyErrorMessageString(OSStatus status) {
    switch (status) {
    case errSecSuccess:
        return "No error.";
    case errSecCSUnsigned:
        return "code object is not signed at all";
    case errSecCSNoSuchCode:
        return "code entity not found";
    case errSecCSStaticCodeNotFound:
        return "cannot find code object on disk";
    default:
        return std::nullopt;
    }
}

void signOwnApplication(const OwnSignature& signature) {
    Value::Dictionary entitlements = signature.entitlements;
    if (signature.sandboxed) {
        entitlements["com.apple.security.app-sandbox"] = Value(true);
    }
    const auto bundle = Bundle::main();
    Value::Dictionary information{
        {kSecCodeInfoIdentifier, Value(bundle->bundleIdentifier().value_or(""))},
        {kSecCodeInfoFlags, Value(signature.hardenedRuntime ? 0x10000u : 0u)},
        {kSecCodeInfoEntitlementsDict, Value(std::move(entitlements))},
    };
    auto desktop = Desktop::current();
    desktop->setSigningInformation(bundle->bundleURL(), information);
    if (const auto own = desktop->ownApplication()) {
        desktop->setSigningInformation(own->processIdentifier(), std::move(information));
    }
}

SecTaskRef SecTaskCreateFromSelf() {
    auto own = Desktop::current()->ownApplication();
    return own ? std::make_shared<SecTask>(SecTask{own->processIdentifier()}) : nullptr;
}

Value SecTaskCopyValueForEntitlement(const SecTaskRef& task, const std::string& entitlement) {
    if (!task) {
        return Value();
    }
    auto signing = Desktop::current()->signingInformation(task->processIdentifier);
    if (!signing) {
        return Value();
    }
    auto entitlements = signing->find(kSecCodeInfoEntitlementsDict);
    if (entitlements == signing->end() || !entitlements->second.asDictionary()) {
        return Value();
    }
    const auto& dictionary = *entitlements->second.asDictionary();
    auto value = dictionary.find(entitlement);
    return value == dictionary.end() ? Value() : value->second;
}

} // namespace zestrel::platform

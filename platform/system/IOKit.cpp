#include "platform/system/IOKit.h"

#include "platform/base/Mutex.h"
#include "platform/base/ProcessLocal.h"

#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <sys/utsname.h>

namespace zestrel::platform {
namespace {

constexpr io_registry_entry_t kRootEntry = 1;
constexpr io_service_t kPlatformExpertEntry = 2;
constexpr const char* kRootName = "IORegistryRoot";
constexpr const char* kPlatformExpertName = "IOPlatformExpertDevice";

std::optional<std::string> firstLine(const char* path) {
    std::ifstream stream(path);
    std::string line;
    if (!stream || !std::getline(stream, line)) {
        return std::nullopt;
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) {
        line.pop_back();
    }
    return line;
}

std::optional<std::string> kernelRelease() {
    if (auto release = firstLine("/proc/sys/kernel/osrelease")) {
        return release;
    }
    utsname names{};
    if (uname(&names) == 0) {
        return std::string(names.release);
    }
    return std::nullopt;
}

struct Registry {
    Mutex mutex;
    std::map<std::string, Value::Dictionary, std::less<>> entries GUARDED_BY(mutex);

    Registry() {
        if (auto release = kernelRelease()) {
            entries[kRootName]["OS Build Version"] = Value(*release);
        }
        auto& expert = entries[kPlatformExpertName];
        if (auto product = firstLine("/sys/class/dmi/id/product_name");
            product && !product->empty()) {
            Data model(product->begin(), product->end());
            model.push_back(0);
            expert["model"] = Value(std::move(model));
        }
    }
};

ProcessLocal<Registry>& registry() {
    static auto* const instance = new ProcessLocal<Registry>();
    return *instance;
}

const char* entryName(io_registry_entry_t entry) {
    switch (entry) {
    case kRootEntry:
        return kRootName;
    case kPlatformExpertEntry:
        return kPlatformExpertName;
    default:
        return nullptr;
    }
}

} // namespace

io_registry_entry_t IORegistryGetRootEntry(mach_port_t /*mainPort*/) {
    return kRootEntry;
}

Value::Dictionary IOServiceMatching(std::string_view className) {
    return {{"IOProviderClass", Value(className)}};
}

io_service_t IOServiceGetMatchingService(mach_port_t /*mainPort*/,
                                         const Value::Dictionary& matching) {
    const auto found = matching.find("IOProviderClass");
    if (found != matching.end() && found->second.asString() != nullptr &&
        *found->second.asString() == kPlatformExpertName) {
        return kPlatformExpertEntry;
    }
    return IO_OBJECT_NULL;
}

Value IORegistryEntryCreateCFProperty(io_registry_entry_t entry, std::string_view key) {
    const char* name = entryName(entry);
    if (name == nullptr) {
        return {};
    }
    auto& state = *registry();
    MutexLock lock(state.mutex);
    const auto& properties = state.entries[name];
    const auto found = properties.find(std::string(key));
    return found == properties.end() ? Value() : found->second;
}

void IOObjectRelease(io_object_t /*object*/) {}

void IORegistrySetPropertyForTesting(std::string_view entry, std::string_view key, Value value) {
    auto& state = *registry();
    MutexLock lock(state.mutex);
    auto& properties = state.entries[std::string(entry)];
    if (value.isAbsent()) {
        properties.erase(std::string(key));
    } else {
        properties[std::string(key)] = std::move(value);
    }
}

} // namespace zestrel::platform

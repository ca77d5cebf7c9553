#include "platform/data/UTType.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace zestrel::platform {
namespace {

struct KnownType {
    const char* identifier;
    const char* filenameExtension; // preferred first
    const char* otherExtension;
};

constexpr std::array<KnownType, 12> kKnownTypes{{
    {"public.data", nullptr, nullptr},
    {"public.plain-text", "txt", "text"},
    {"public.utf8-plain-text", "txt", nullptr},
    {"public.json", "json", nullptr},
    {"public.xml", "xml", nullptr},
    {"com.apple.property-list", "plist", nullptr},
    {"com.microsoft.waveform-audio", "wav", "wave"},
    {"public.aiff-audio", "aiff", "aif"},
    {"public.aifc-audio", "aifc", nullptr},
    {"com.apple.coreaudio-format", "caf", nullptr},
    {"public.mp3", "mp3", nullptr},
    {"public.png", "png", nullptr},
}};

UTType make(const KnownType& known) {
    UTType type{known.identifier, std::nullopt};
    if (known.filenameExtension != nullptr) {
        type.preferredFilenameExtension = known.filenameExtension;
    }
    return type;
}

std::string lowercased(std::string_view text) {
    std::string result(text);
    std::transform(result.begin(), result.end(), result.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return result;
}

} // namespace

std::optional<UTType> UTType::withIdentifier(std::string_view identifier) {
    for (const auto& known : kKnownTypes) {
        if (identifier == known.identifier) {
            return make(known);
        }
    }
    return std::nullopt;
}

std::optional<UTType> UTType::withFilenameExtension(std::string_view filenameExtension) {
    const std::string wanted = lowercased(filenameExtension);
    // The first type claiming the extension is its main one ("txt" is plain text).
    for (const auto& known : kKnownTypes) {
        if ((known.filenameExtension != nullptr && wanted == known.filenameExtension) ||
            (known.otherExtension != nullptr && wanted == known.otherExtension)) {
            return make(known);
        }
    }
    return std::nullopt;
}

UTType UTType::data() {
    return *withIdentifier("public.data");
}
UTType UTType::plainText() {
    return *withIdentifier("public.plain-text");
}
UTType UTType::json() {
    return *withIdentifier("public.json");
}
UTType UTType::wav() {
    return *withIdentifier("com.microsoft.waveform-audio");
}
UTType UTType::aiff() {
    return *withIdentifier("public.aiff-audio");
}

URL appendingPathComponent(const URL& directory, std::string_view component, const UTType& type) {
    std::string name(component);
    if (type.preferredFilenameExtension) {
        const std::string suffix = "." + *type.preferredFilenameExtension;
        const bool hasIt = name.size() > suffix.size() &&
                           lowercased(name.substr(name.size() - suffix.size())) == suffix;
        if (!hasIt) {
            name += suffix;
        }
    }
    return directory.appendingPathComponent(name);
}

} // namespace zestrel::platform

#pragma once

#include "platform/base/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace zestrel::platform {

// A uniform type identifier, as far as the program names file types: the identifier and
// the filename extension the type prefers. Only the types this system knows exist.
struct UTType {
    std::string identifier;
    std::optional<std::string> preferredFilenameExtension;

    static std::optional<UTType> withIdentifier(std::string_view identifier);
    // The type a filename extension names (case-insensitive); nothing for an unknown one.
    static std::optional<UTType> withFilenameExtension(std::string_view filenameExtension);

    static UTType data();      // "public.data", no extension
    static UTType plainText(); // "public.plain-text", "txt"
    static UTType json();      // "public.json", "json"
    static UTType wav();       // "com.microsoft.waveform-audio", "wav"
    static UTType aiff();      // "public.aiff-audio", "aiff"

    bool operator==(const UTType&) const = default;
};

// `appendingPathComponent(_:conformingTo:)`: the component with the type's preferred
// extension added, unless it already ends with it.
URL appendingPathComponent(const URL& directory, std::string_view component, const UTType& type);

} // namespace zestrel::platform

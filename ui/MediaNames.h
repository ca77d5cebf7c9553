#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace zestrel {

// Video codecs by name, with the text a person reads and the four-character code of the
// format (padded with blanks as the format defines it).
enum class AVFormat {
    hevc,
    h264,
    av1,
    vp9,
    appleProResRAWHQ,
    appleProResRAW,
    appleProRes4444XQ,
    appleProRes4444,
    appleProRes422HQ,
    appleProRes422,
    appleProRes422LT,
    appleProRes422Proxy,
    appleAnimation,
    hap1,
    hap5,
    hapY,
    hapM,
    hapA,
    hap7,
    cineFormHD,
    quickTimeGraphics,
    avidDNxHD,
};

std::span<const AVFormat> allAVFormats();
// The case name ("appleProRes422HQ"), and the case of a name.
std::string_view rawValue(AVFormat format);
std::optional<AVFormat> avFormatFromRawValue(std::string_view raw);
std::string_view description(AVFormat format);
std::string_view fourCharacterCode(AVFormat format);
// "Apple ProRes 422 HQ (apch)": the code without its padding.
std::string debugDescription(AVFormat format);

// A media type's name for people ("Audio", "Closed-caption content", ...), from the type's
// string value; "Unknown" for any other.
std::string_view mediaTypeName(std::string_view mediaType);

enum class PixelFormat { argb, rgba, bgra, abgr };
// "CGImage.PixelFormat(ARGB)".
std::string debugDescription(PixelFormat format);

} // namespace zestrel

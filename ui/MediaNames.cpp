#include "ui/MediaNames.h"

#include <array>

namespace zestrel {
namespace {

struct FormatInfo {
    AVFormat format;
    std::string_view raw;
    std::string_view description;
    std::string_view code;
};

constexpr std::array<FormatInfo, 22> kFormats = {{
    {AVFormat::hevc, "hevc", "HEVC", "hvc1"},
    {AVFormat::h264, "h264", "H264", "avc1"},
    {AVFormat::av1, "av1", "AV1", "av01"},
    {AVFormat::vp9, "vp9", "VP9", "vp09"},
    {AVFormat::appleProResRAWHQ, "appleProResRAWHQ", "Apple ProRes RAW HQ", "aprh"},
    {AVFormat::appleProResRAW, "appleProResRAW", "Apple ProRes RAW", "aprn"},
    {AVFormat::appleProRes4444XQ, "appleProRes4444XQ", "Apple ProRes 4444 XQ", "ap4x"},
    {AVFormat::appleProRes4444, "appleProRes4444", "Apple ProRes 4444", "ap4h"},
    {AVFormat::appleProRes422HQ, "appleProRes422HQ", "Apple ProRes 422 HQ", "apch"},
    {AVFormat::appleProRes422, "appleProRes422", "Apple ProRes 422", "apcn"},
    {AVFormat::appleProRes422LT, "appleProRes422LT", "Apple ProRes 422 LT", "apcs"},
    {AVFormat::appleProRes422Proxy, "appleProRes422Proxy", "Apple ProRes 422 Proxy", "apco"},
    {AVFormat::appleAnimation, "appleAnimation", "Apple Animation", "rle "},
    {AVFormat::hap1, "hap1", "Vidvox Hap", "Hap1"},
    {AVFormat::hap5, "hap5", "Vidvox Hap Alpha", "Hap5"},
    {AVFormat::hapY, "hapY", "Vidvox Hap Q", "HapY"},
    {AVFormat::hapM, "hapM", "Vidvox Hap Q Alpha", "HapM"},
    {AVFormat::hapA, "hapA", "Vidvox Hap Alpha-Only", "HapA"},
    {AVFormat::hap7, "hap7", "Vidvox Hap", "Hap7"},
    {AVFormat::cineFormHD, "cineFormHD", "CineForm HD", "CFHD"},
    {AVFormat::quickTimeGraphics, "quickTimeGraphics", "QuickTime Graphics", "smc"},
    {AVFormat::avidDNxHD, "avidDNxHD", "Avid DNxHD", "AVdh"},
}};

constexpr std::array<AVFormat, 22> kAllFormats = [] {
    std::array<AVFormat, 22> all{};
    for (std::size_t i = 0; i < kFormats.size(); ++i) {
        all[i] = kFormats[i].format;
    }
    return all;
}();

const FormatInfo& info(AVFormat format) {
    return kFormats[static_cast<std::size_t>(format)];
}

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\n");
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(" \t\n");
    return text.substr(first, last - first + 1);
}

} // namespace

std::span<const AVFormat> allAVFormats() {
    return kAllFormats;
}

std::string_view rawValue(AVFormat format) {
    return info(format).raw;
}

std::optional<AVFormat> avFormatFromRawValue(std::string_view raw) {
    for (const auto& entry : kFormats) {
        if (entry.raw == raw) {
            return entry.format;
        }
    }
    return std::nullopt;
}

std::string_view description(AVFormat format) {
    return info(format).description;
}

std::string_view fourCharacterCode(AVFormat format) {
    return info(format).code;
}

std::string debugDescription(AVFormat format) {
    return std::string(description(format)) + " (" + std::string(trimmed(info(format).code)) + ")";
}

std::string_view mediaTypeName(std::string_view mediaType) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 9> kNames = {{
        {"soun", "Audio"},
        {"clcp", "Closed-caption content"},
        {"dpth", "Depth data"},
        {"meta", "Metadata"},
        {"muxx", "Muxed media"},
        {"sbtl", "Subtitles"},
        {"text", "Text"},
        {"tmcd", "Time code"},
        {"vide", "Video"},
    }};
    for (const auto& [type, name] : kNames) {
        if (type == mediaType) {
            return name;
        }
    }
    return "Unknown";
}

std::string debugDescription(PixelFormat format) {
    static constexpr std::array<std::string_view, 4> kNames = {"ARGB", "RGBA", "BGRA", "ABGR"};
    return "CGImage.PixelFormat(" + std::string(kNames[static_cast<std::size_t>(format)]) + ")";
}

} // namespace zestrel

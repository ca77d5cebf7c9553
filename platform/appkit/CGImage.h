#pragma once

#include "platform/base/Value.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace zestrel::platform {

// A bitmap: RGBA pixels, 8 bits a channel, not premultiplied, rows from the top.
struct CGImage {
    using Pixel = std::array<std::uint8_t, 4>;

    std::size_t width = 0;
    std::size_t height = 0;
    std::vector<std::uint8_t> rgba; // width × height × 4 bytes

    CGImage() = default;
    // Every pixel `fill`.
    CGImage(std::size_t width, std::size_t height, Pixel fill = {0, 0, 0, 0});

    Pixel pixel(std::size_t x, std::size_t y) const;
    void setPixel(std::size_t x, std::size_t y, Pixel pixel);
    bool operator==(const CGImage&) const = default;
};

// The bitmap as a PNG file (through libpng); nothing for an empty bitmap or when the
// encoder fails.
std::optional<Data> pngData(const CGImage& image);
// A PNG file read back; nothing when the data is not a PNG.
std::optional<CGImage> imageFromPNG(const Data& data);
// The bitmap as an uncompressed TIFF file (one strip, RGBA with unassociated alpha);
// nothing for an empty bitmap.
std::optional<Data> tiffData(const CGImage& image);

} // namespace zestrel::platform

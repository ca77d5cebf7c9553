#include "platform/appkit/CGImage.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace zestrel::platform {

CGImage::CGImage(std::size_t width, std::size_t height, Pixel fill)
    : width(width), height(height), rgba(width * height * 4) {
    for (std::size_t i = 0; i < width * height; ++i) {
        std::memcpy(&rgba[i * 4], fill.data(), 4);
    }
}

CGImage::Pixel CGImage::pixel(std::size_t x, std::size_t y) const {
    Pixel result{};
    std::memcpy(result.data(), &rgba[(y * width + x) * 4], 4);
    return result;
}

void CGImage::setPixel(std::size_t x, std::size_t y, Pixel pixel) {
    std::memcpy(&rgba[(y * width + x) * 4], pixel.data(), 4);
}

namespace {

void appendToData(png_structp png, png_bytep bytes, png_size_t length) {
    auto* out = static_cast<Data*>(png_get_io_ptr(png));
    out->insert(out->end(), bytes, bytes + length);
}

void flushNothing(png_structp) {}

struct PNGReader {
    const Data* data;
    std::size_t offset = 0;
};

void readFromData(png_structp png, png_bytep bytes, png_size_t length) {
    auto* reader = static_cast<PNGReader*>(png_get_io_ptr(png));
    if (reader->offset + length > reader->data->size()) {
        png_error(png, "truncated");
    }
    std::memcpy(bytes, reader->data->data() + reader->offset, length);
    reader->offset += length;
}

// libpng reports failures by a long jump back to the setjmp in the same function, so
// nothing with a destructor may live between them: the work is done on plain pointers.
bool encodePNG(const CGImage* image, Data* out) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, appendToData, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image->width),
                 static_cast<png_uint_32>(image->height), 8, PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (std::size_t y = 0; y < image->height; ++y) {
        png_write_row(png, const_cast<png_bytep>(&image->rgba[y * image->width * 4]));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool decodePNG(PNGReader* reader, CGImage* image) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png) {
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_set_read_fn(png, reader, readFromData);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const png_uint_32 width = png_get_image_width(png, info);
    const png_uint_32 height = png_get_image_height(png, info);
    if (png_get_rowbytes(png, info) != static_cast<png_size_t>(width) * 4) {
        png_error(png, "unexpected layout");
    }
    image->width = width;
    image->height = height;
    image->rgba.assign(static_cast<std::size_t>(width) * height * 4, 0);
    for (png_uint_32 y = 0; y < height; ++y) {
        png_read_row(png, &image->rgba[static_cast<std::size_t>(y) * width * 4], nullptr);
    }
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

void put16(Data& out, std::uint16_t value) {
    out.push_back(static_cast<std::uint8_t>(value & 0xff));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void put32(Data& out, std::uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8) {
        out.push_back(static_cast<std::uint8_t>((value >> shift) & 0xff));
    }
}

} // namespace

std::optional<Data> pngData(const CGImage& image) {
    if (image.width == 0 || image.height == 0 ||
        image.rgba.size() != image.width * image.height * 4) {
        return std::nullopt;
    }
    Data out;
    if (!encodePNG(&image, &out)) {
        return std::nullopt;
    }
    return out;
}

std::optional<CGImage> imageFromPNG(const Data& data) {
    PNGReader reader{&data};
    CGImage image;
    if (!decodePNG(&reader, &image)) {
        return std::nullopt;
    }
    return image;
}

std::optional<Data> tiffData(const CGImage& image) {
    if (image.width == 0 || image.height == 0 ||
        image.rgba.size() != image.width * image.height * 4 || image.rgba.size() > 0xffff0000u) {
        return std::nullopt;
    }
    // Little-endian header, the pixels, then one directory of tags in ascending order.
    constexpr std::uint32_t kPixelsOffset = 8;
    const auto pixelBytes = static_cast<std::uint32_t>(image.rgba.size());
    const std::uint32_t bitsOffset = kPixelsOffset + pixelBytes;
    const std::uint32_t directoryOffset = bitsOffset + 8;
    Data out = {'I', 'I', 42, 0};
    put32(out, directoryOffset);
    out.insert(out.end(), image.rgba.begin(), image.rgba.end());
    for (int i = 0; i < 4; ++i) {
        put16(out, 8); // bits per sample
    }
    struct Tag {
        std::uint16_t id;
        std::uint16_t type; // 3 short, 4 long
        std::uint32_t count;
        std::uint32_t value;
    };
    const Tag tags[] = {
        {256, 4, 1, static_cast<std::uint32_t>(image.width)},  // width
        {257, 4, 1, static_cast<std::uint32_t>(image.height)}, // length
        {258, 3, 4, bitsOffset},                               // bits per sample
        {259, 3, 1, 1},                                        // no compression
        {262, 3, 1, 2},                                        // RGB
        {273, 4, 1, kPixelsOffset},                            // strip offset
        {277, 3, 1, 4},                                        // samples per pixel
        {278, 4, 1, static_cast<std::uint32_t>(image.height)}, // rows per strip
        {279, 4, 1, pixelBytes},                               // strip byte count
        {284, 3, 1, 1},                                        // chunky
        {338, 3, 1, 2},                                        // unassociated alpha
    };
    put16(out, static_cast<std::uint16_t>(std::size(tags)));
    for (const Tag& tag : tags) {
        put16(out, tag.id);
        put16(out, tag.type);
        put32(out, tag.count);
        if (tag.type == 3 && tag.count == 1) {
            put16(out, static_cast<std::uint16_t>(tag.value));
            put16(out, 0);
        } else {
            put32(out, tag.value);
        }
    }
    put32(out, 0); // no further directory
    return out;
}

} // namespace zestrel::platform

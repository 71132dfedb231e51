// Image files made on the spot for the decoder and texture tests: PNGs of every colour
// type through libpng, JPEGs through the engine's encoder.
#pragma once

#include <png.h>

#include <csetjmp>
#include <cstdint>
#include <string>
#include <vector>

#include "gpu/image_write.h"

namespace kve::test {

struct PngRecipe {
    int width = 0, height = 0;
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    std::vector<uint8_t> rows; // packed as libpng expects, top row first
    std::vector<png_color> palette;
    std::vector<uint8_t> transparency; // tRNS: palette alphas
    bool interlaced = false;

    PngRecipe(int w, int h, int type, int depth, std::vector<uint8_t> data)
        : width(w), height(h), colorType(type), bitDepth(depth), rows(std::move(data))
    {
    }
};

inline void appendTo(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::string*>(png_get_io_ptr(png));
    out->append(reinterpret_cast<const char*>(data), length);
}

inline std::string pngFile(const PngRecipe& recipe)
{
    std::string out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    const size_t rowBytes = recipe.rows.size() / static_cast<size_t>(recipe.height);
    std::vector<png_bytep> rows(static_cast<size_t>(recipe.height));
    for (int y = 0; y < recipe.height; ++y)
        rows[static_cast<size_t>(y)] = const_cast<png_bytep>(recipe.rows.data() + rowBytes * static_cast<size_t>(y));
    if (setjmp(png_jmpbuf(png)) == 0) {
        png_set_write_fn(png, &out, appendTo, nullptr);
        png_set_IHDR(png, info, static_cast<png_uint_32>(recipe.width), static_cast<png_uint_32>(recipe.height),
                     recipe.bitDepth, recipe.colorType, recipe.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                     PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        if (!recipe.palette.empty())
            png_set_PLTE(png, info, recipe.palette.data(), static_cast<int>(recipe.palette.size()));
        if (!recipe.transparency.empty())
            png_set_tRNS(png, info, recipe.transparency.data(), static_cast<int>(recipe.transparency.size()), nullptr);
        png_write_info(png, info);
        png_write_image(png, rows.data());
        png_write_end(png, nullptr);
    } else {
        out.clear();
    }
    png_destroy_write_struct(&png, &info);
    return out;
}

// 8-bit RGBA or RGB PNG from packed pixels, top row first.
inline std::string pngOf(int width, int height, int channels, const std::vector<uint8_t>& pixels)
{
    const auto bytes = gpu::encodePng(width, height, channels, pixels.data());
    return std::string(bytes.begin(), bytes.end());
}

inline std::string jpegOf(int width, int height, const std::vector<uint8_t>& rgb, int quality = 95)
{
    const auto bytes = gpu::encodeJpeg(width, height, rgb.data(), quality);
    return std::string(bytes.begin(), bytes.end());
}

// A w x h RGB(A) image whose pixel (x, y) is (x * 40, y * 40, 100 [, 200]) so that rows
// and columns can be told apart after any transfer.
inline std::vector<uint8_t> rampPixels(int width, int height, int channels)
{
    std::vector<uint8_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            pixels.push_back(static_cast<uint8_t>(x * 40));
            pixels.push_back(static_cast<uint8_t>(y * 40));
            pixels.push_back(100);
            if (channels == 4)
                pixels.push_back(200);
        }
    return pixels;
}

} // namespace kve::test

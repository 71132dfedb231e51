#include "gpu/image_write.h"

#include <jpeglib.h>
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

namespace kve::gpu {
namespace {

void appendPng(png_structp png, png_bytep data, png_size_t length)
{
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void flushNothing(png_structp) {}

// Runs inside the setjmp frame: nothing with a destructor lives here.
void pngEncode(png_structp png, png_infop info, int width, int height, int channels, png_bytepp rows,
               std::vector<uint8_t>* out)
{
    png_set_write_fn(png, out, appendPng, flushNothing);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 channels == 4 ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
}

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void jpegFail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->jump, 1);
}

// Runs inside the setjmp frame (see pngEncode).
void jpegEncode(jpeg_compress_struct* info, int width, int height, const uint8_t* pixels, int quality,
                unsigned char** buffer, unsigned long* size)
{
    jpeg_mem_dest(info, buffer, size);
    info->image_width = static_cast<JDIMENSION>(width);
    info->image_height = static_cast<JDIMENSION>(height);
    info->input_components = 3;
    info->in_color_space = JCS_RGB;
    jpeg_set_defaults(info);
    jpeg_set_quality(info, quality, TRUE);
    jpeg_start_compress(info, TRUE);
    while (info->next_scanline < info->image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(pixels + static_cast<size_t>(info->next_scanline) * width * 3);
        jpeg_write_scanlines(info, &row, 1);
    }
    jpeg_finish_compress(info);
}

} // namespace

std::vector<uint8_t> encodePng(int width, int height, int channels, const uint8_t* pixels)
{
    std::vector<uint8_t> out;
    if (width <= 0 || height <= 0 || (channels != 3 && channels != 4) || !pixels)
        return out;
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[static_cast<size_t>(y)] =
            const_cast<png_bytep>(pixels + static_cast<size_t>(y) * static_cast<size_t>(width) * channels);
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    volatile bool encoded = false;
    if (info && setjmp(png_jmpbuf(png)) == 0) {
        pngEncode(png, info, width, height, channels, rows.data(), &out);
        encoded = true;
    }
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!encoded)
        out.clear();
    return out;
}

std::vector<uint8_t> encodeJpeg(int width, int height, const uint8_t* pixels, int quality)
{
    std::vector<uint8_t> out;
    if (width <= 0 || height <= 0 || !pixels)
        return out;
    jpeg_compress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFail;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.jump) == 0) {
        jpeg_create_compress(&info);
        jpegEncode(&info, width, height, pixels, quality, &buffer, &size);
        out.assign(buffer, buffer + size);
    }
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

bool writeBytes(const std::string& path, const std::vector<uint8_t>& bytes)
{
    if (bytes.empty())
        return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
}

} // namespace kve::gpu

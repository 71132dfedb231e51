// PNG decoding through libpng and JPEG decoding through libjpeg, both from memory, with
// the libraries' errors caught by setjmp/longjmp. Every size a file states is checked
// against the limits and the bytes actually present before it is trusted.
#include "gpu/image.h"

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>

#include "core/registry_kinds.h"
#include "defs/definition_node.h"
#include "gpu/image_write.h"
#include "kve.h"

namespace kve::gpu {
namespace {

bool sizeAcceptable(int64_t width, int64_t height)
{
    return width > 0 && height > 0 && width <= kMaxImageSide && height <= kMaxImageSide &&
           width * height <= kMaxImagePixels;
}

// --- PNG -----------------------------------------------------------------------------

struct PngJob {
    const uint8_t* data = nullptr;
    size_t size = 0;
    size_t position = 0;
    std::string error;
    Image image;
    std::vector<png_bytep> rows;
};

void pngRead(png_structp png, png_bytep target, png_size_t count)
{
    auto* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (count > job->size - job->position)
        png_error(png, "PNG data ends early");
    std::memcpy(target, job->data + job->position, count);
    job->position += count;
}

[[noreturn]] void pngFail(png_structp png, png_const_charp message)
{
    static_cast<PngJob*>(png_get_error_ptr(png))->error = std::string("PNG: ") + message;
    png_longjmp(png, 1);
}

void pngWarn(png_structp, png_const_charp) {}

// libpng's and zlib's memory comes from the same allocator as the rest of the engine, so
// one hook sees everything a load takes.
png_voidp pngAllocate(png_structp, png_alloc_size_t size)
{
    return ::operator new(size, std::nothrow);
}

void pngRelease(png_structp, png_voidp block)
{
    ::operator delete(block);
}

uint32_t bigEndian(const uint8_t* at)
{
    return static_cast<uint32_t>(at[0]) << 24 | static_cast<uint32_t>(at[1]) << 16 |
           static_cast<uint32_t>(at[2]) << 8 | static_cast<uint32_t>(at[3]);
}

// Deflate turns one byte into at most 1032; image data shorter than the rows it must
// inflate to cannot be a whole image.
constexpr uint64_t kMaxInflateRatio = 1032;

// Walks the chunk headers after the signature before libpng sees the data: libpng
// allocates a chunk's stated length before it finds that the bytes are not there. Every
// chunk must lie inside the data up to IEND, the first one must be a 13-byte IHDR with an
// acceptable size, and the IDAT chunks together must be able to hold its rows.
std::string checkPngChunks(const uint8_t* data, size_t size)
{
    size_t at = 8;
    uint64_t imageDataBytes = 0;
    uint64_t rowBytes = 0; // filtered rows of the non-interlaced image: a lower bound
    for (bool first = true;; first = false) {
        if (size - at < 12)
            return "PNG: the data ends inside a chunk header at byte " + std::to_string(at);
        const uint32_t length = bigEndian(data + at);
        const std::string type(reinterpret_cast<const char*>(data + at + 4), 4);
        if (length > 0x7FFFFFFFu || length > size - at - 12)
            return "PNG: chunk " + type + " at byte " + std::to_string(at) + " claims " + std::to_string(length) +
                   " bytes, the data holds " + std::to_string(size - at - 12);
        const uint8_t* body = data + at + 8;
        if (first) {
            if (type != "IHDR" || length != 13)
                return "PNG: the first chunk is not a 13-byte IHDR";
            const uint32_t width = bigEndian(body), height = bigEndian(body + 4);
            if (!sizeAcceptable(width, height))
                return "PNG: image size " + std::to_string(width) + " x " + std::to_string(height) + " out of range";
            static constexpr int kSamples[7] = {1, 0, 3, 1, 2, 0, 4}; // per colour type
            const int samples = body[9] < 7 ? kSamples[body[9]] : 0;
            const uint64_t bitsPerPixel = static_cast<uint64_t>(samples) * body[8];
            rowBytes = uint64_t{height} * (1 + (uint64_t{width} * bitsPerPixel + 7) / 8);
        }
        if (type == "IDAT")
            imageDataBytes += length;
        at += 12 + size_t{length};
        if (type == "IEND")
            break;
    }
    if ((imageDataBytes + 1) * kMaxInflateRatio < rowBytes)
        return "PNG: " + std::to_string(imageDataBytes) + " bytes of image data cannot hold the " +
               std::to_string(rowBytes) + " bytes of its rows";
    return {};
}

// Chunks the decoder has no use for; libpng skips them without reading them into memory
// (text and profiles can be large or inflate to much more than they take in the file).
constexpr png_byte kIgnoredChunks[] = "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0"
                                      "sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";

// Runs inside the setjmp frame: no object with a destructor may live here, since a libpng
// error jumps over this frame. The job's members are owned by the caller.
void pngDecode(png_structp png, png_infop info, PngJob* job)
{
    png_set_user_limits(png, kMaxImageSide, kMaxImageSide);
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, static_cast<int>(sizeof kIgnoredChunks / 5));
    png_set_read_fn(png, job, pngRead);
    png_read_info(png, info);
    const int colorType = png_get_color_type(png, info);
    const int depth = png_get_bit_depth(png, info);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY && depth < 8)
        png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(png);
    if (depth == 16)
        png_set_scale_16(png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);

    const int64_t width = png_get_image_width(png, info);
    const int64_t height = png_get_image_height(png, info);
    const int channels = png_get_channels(png, info);
    if (!sizeAcceptable(width, height))
        png_error(png, "image size out of range");
    if (channels != 3 && channels != 4)
        png_error(png, "unexpected channel count");
    Image& image = job->image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.bitDepth = channels * 8;
    image.channels = channels == 4 ? ChannelOrder::Rgba : ChannelOrder::Rgb;
    image.rowOrder = RowOrder::TopDown;
    image.pitch = png_get_rowbytes(png, info);
    if (image.pitch < static_cast<size_t>(width) * channels)
        png_error(png, "row size out of range");
    image.pixels.resize(image.pitch * static_cast<size_t>(height));
    job->rows.resize(static_cast<size_t>(height));
    for (int y = 0; y < image.height; ++y)
        job->rows[static_cast<size_t>(y)] = image.row(y);
    png_read_image(png, job->rows.data());
    png_read_end(png, nullptr);
}

Decoded decodePng(const uint8_t* data, size_t size)
{
    if (std::string error = checkPngChunks(data, size); !error.empty())
        return {std::nullopt, error};
    PngJob job;
    job.data = data;
    job.size = size;
    png_structp png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &job, pngFail, pngWarn, nullptr, pngAllocate,
                                               pngRelease);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return {std::nullopt, "PNG: out of memory"};
    }
    volatile bool decoded = false;
    if (setjmp(png_jmpbuf(png)) == 0) {
        pngDecode(png, info, &job);
        decoded = true;
    }
    png_destroy_read_struct(&png, &info, nullptr);
    if (!decoded)
        return {std::nullopt, job.error};
    return {std::move(job.image), {}};
}

// --- JPEG ----------------------------------------------------------------------------

struct JpegErrors {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void jpegFail(j_common_ptr info)
{
    auto* errors = reinterpret_cast<JpegErrors*>(info->err);
    errors->manager.format_message(info, errors->message);
    std::longjmp(errors->jump, 1);
}

// libjpeg only warns about data that ends early and pads the image with grey; a
// truncated file is a failure here, other warnings are not.
void jpegMessage(j_common_ptr info, int level)
{
    if (level == -1 && info->err->msg_code == JWRN_JPEG_EOF)
        jpegFail(info);
}

struct JpegJob {
    Image image;
    std::vector<JSAMPROW> rows;
    bool tooLarge = false; // the header claims more pixels than the data can code
};

constexpr uint64_t kMaxPixelsPerJpegByte = 8 * 64;

// Runs inside the setjmp frame (see pngDecode).
void jpegDecode(jpeg_decompress_struct* info, const uint8_t* data, size_t size, JpegJob* job)
{
    jpeg_mem_src(info, data, static_cast<unsigned long>(size));
    jpeg_read_header(info, TRUE);
    if (!sizeAcceptable(info->image_width, info->image_height)) {
        info->err->msg_code = JERR_IMAGE_TOO_BIG;
        info->err->msg_parm.i[0] = static_cast<int>(kMaxImageSide);
        info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    }
    // Huffman coding spends at least one bit on every 8 x 8 block of the full-resolution
    // component, so n bytes code at most 512 n pixels; a header claiming more is a lie
    // that would cost the whole image's memory before the data runs out.
    const uint64_t pixels = uint64_t{info->image_width} * info->image_height;
    if (!info->arith_code && pixels > (uint64_t{size} + 64) * kMaxPixelsPerJpegByte) {
        job->tooLarge = true;
        info->err->error_exit(reinterpret_cast<j_common_ptr>(info));
    }
    info->out_color_space = JCS_RGB;
    jpeg_start_decompress(info);
    Image& image = job->image;
    image = makeImage(static_cast<int>(info->output_width), static_cast<int>(info->output_height),
                      ChannelOrder::Rgb, RowOrder::TopDown);
    job->rows.resize(static_cast<size_t>(image.height));
    for (int y = 0; y < image.height; ++y)
        job->rows[static_cast<size_t>(y)] = image.row(y);
    while (info->output_scanline < info->output_height)
        jpeg_read_scanlines(info, job->rows.data() + info->output_scanline, info->output_height - info->output_scanline);
    jpeg_finish_decompress(info);
}

Decoded decodeJpeg(const uint8_t* data, size_t size)
{
    jpeg_decompress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = jpegFail;
    errors.manager.emit_message = jpegMessage;
    JpegJob job;
    volatile bool decoded = false;
    if (setjmp(errors.jump) == 0) {
        jpeg_create_decompress(&info);
        jpegDecode(&info, data, size, &job);
        decoded = true;
    }
    const std::string claimed = std::to_string(info.image_width) + " x " + std::to_string(info.image_height);
    jpeg_destroy_decompress(&info);
    if (job.tooLarge)
        return {std::nullopt, "JPEG: " + std::to_string(size) + " bytes cannot code " + claimed + " pixels"};
    if (!decoded)
        return {std::nullopt, std::string("JPEG: ") + errors.message};
    return {std::move(job.image), {}};
}

} // namespace

uint32_t Image::packedPixel(int x, int y) const
{
    const uint8_t* p = row(y) + static_cast<size_t>(x) * bytesPerPixel();
    const bool bgr = channels == ChannelOrder::Bgr || channels == ChannelOrder::Bgra;
    const uint32_t red = bgr ? p[2] : p[0], green = p[1], blue = bgr ? p[0] : p[2];
    const uint32_t alpha = hasAlpha() ? p[3] : 255;
    return red | green << 8 | blue << 16 | alpha << 24;
}

Image makeImage(int width, int height, ChannelOrder channels, RowOrder rowOrder, size_t pitch)
{
    Image image;
    image.width = width;
    image.height = height;
    image.channels = channels;
    image.rowOrder = rowOrder;
    image.bitDepth = channels == ChannelOrder::Rgb || channels == ChannelOrder::Bgr ? 24 : 32;
    image.pitch = std::max(pitch, static_cast<size_t>(width) * image.bytesPerPixel());
    image.pixels.assign(image.pitch * static_cast<size_t>(height), 0);
    return image;
}

Decoded decodeImage(const uint8_t* data, size_t size)
{
    static constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (data && size >= 8 && std::memcmp(data, kPngSignature, 8) == 0)
        return decodePng(data, size);
    if (data && size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return decodeJpeg(data, size);
    return {std::nullopt, "Image: neither PNG nor JPEG data"};
}

std::optional<std::vector<uint8_t>> readWholeFile(const std::string& name)
{
    const std::string path = defs::nativePath(name);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error))
        return std::nullopt;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return std::nullopt;
    const std::streamoff length = in.tellg();
    if (length < 0)
        return std::nullopt;
    std::vector<uint8_t> bytes(static_cast<size_t>(length));
    in.seekg(0);
    if (length > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), length))
        return std::nullopt;
    return bytes;
}

Decoded decodeRawTexture(const uint8_t* data, size_t size)
{
    constexpr size_t kHeader = 12;
    if (!data || size < kHeader)
        return {std::nullopt, "Raw texture: the 12-byte header is incomplete"};
    const auto little = [data](size_t at) {
        return static_cast<int32_t>(static_cast<uint32_t>(data[at]) | static_cast<uint32_t>(data[at + 1]) << 8 |
                                    static_cast<uint32_t>(data[at + 2]) << 16 | static_cast<uint32_t>(data[at + 3]) << 24);
    };
    const int32_t width = little(0), height = little(4);
    const std::string claimed = std::to_string(width) + " x " + std::to_string(height);
    if (!sizeAcceptable(width, height))
        return {std::nullopt, "Raw texture: size " + claimed + " out of range"};
    const size_t needed = static_cast<size_t>(width) * static_cast<size_t>(height) * 3;
    if (size - kHeader < needed)
        return {std::nullopt, "Raw texture: the header claims " + claimed + " pixels, the file holds " +
                                  std::to_string(size - kHeader) + " bytes of pixels"};
    Image image = makeImage(width, height, ChannelOrder::Rgb, RowOrder::TopDown);
    std::memcpy(image.pixels.data(), data + kHeader, needed);
    return {std::move(image), {}};
}

namespace {

Decoded decodeFile(const std::string& path, Decoded (*decode)(const uint8_t*, size_t))
{
    const auto bytes = readWholeFile(path);
    if (!bytes)
        return {std::nullopt, defs::unreadableReason(path)};
    return decode(bytes->data(), bytes->size());
}

} // namespace

Decoded decodeImageFile(const std::string& path)
{
    return decodeFile(path, decodeImage);
}

Decoded decodeRawTextureFile(const std::string& path)
{
    return decodeFile(path, decodeRawTexture);
}

core::Registry<KVE_IMAGE>& images()
{
    static core::Registry<KVE_IMAGE> registry(core::kinds::kSilent);
    return registry;
}

KVE_IMAGE* findImage(int image)
{
    return images().find(image);
}

} // namespace kve::gpu

using kve::gpu::findImage;
namespace gpu = kve::gpu;

namespace {

KVE_IMAGE* registerImage(int id, gpu::Decoded decoded, const char* procedure)
{
    if (!decoded.image) {
        kve::log::fail("Fail: Image not found! " + decoded.error, procedure);
        return nullptr;
    }
    KVE_IMAGE* image = gpu::images().create(&id);
    if (image)
        image->image = std::move(*decoded.image);
    return image;
}

} // namespace

extern "C" {

KVE_IMAGE* KVE_LoadImage(int id, const char* fileName)
{
    return registerImage(id, gpu::decodeImageFile(fileName ? fileName : ""), "KVE_LoadImage");
}

KVE_IMAGE* KVE_CatchImage(int id, const void* data, int size)
{
    return registerImage(id, gpu::decodeImage(static_cast<const uint8_t*>(data), size > 0 ? static_cast<size_t>(size) : 0),
                         "KVE_CatchImage");
}

int KVE_GetImageNumber(const KVE_IMAGE* image)
{
    return image ? image->number : -1;
}

int KVE_GetImageWidth(int image)
{
    const KVE_IMAGE* record = findImage(image);
    return record ? record->image.width : 0;
}

int KVE_GetImageHeight(int image)
{
    const KVE_IMAGE* record = findImage(image);
    return record ? record->image.height : 0;
}

int KVE_GetImagePoint(int image, int x, int y)
{
    const KVE_IMAGE* record = findImage(image);
    if (!record || x < 0 || y < 0 || x >= record->image.width || y >= record->image.height)
        return 0;
    return static_cast<int>(record->image.packedPixel(x, y));
}

int KVE_SaveImage(int image, const char* fileName)
{
    const KVE_IMAGE* record = findImage(image);
    if (!record || !fileName)
        return 0;
    const gpu::Image& source = record->image;
    std::vector<uint8_t> rgba(static_cast<size_t>(source.width) * static_cast<size_t>(source.height) * 4);
    uint8_t* out = rgba.data();
    for (int y = 0; y < source.height; ++y)
        for (int x = 0; x < source.width; ++x, out += 4) {
            const uint32_t pixel = source.packedPixel(x, y);
            for (int c = 0; c < 4; ++c)
                out[c] = static_cast<uint8_t>(pixel >> (8 * c));
        }
    return gpu::writeBytes(fileName, gpu::encodePng(source.width, source.height, 4, rgba.data())) ? 1 : 0;
}

void KVE_FreeImage(int image)
{
    gpu::images().release(findImage(image));
}

} // extern "C"

// Decoded images: PNG (libpng) and JPEG (libjpeg) files or memory blocks turned into
// 8-bit RGB or RGBA pixel buffers that know their row pitch, row order and channel order,
// and the image registry behind the public KVE_ image operations.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/registry.h"

namespace kve::gpu {

enum class ChannelOrder { Rgb, Bgr, Rgba, Bgra };
enum class RowOrder { TopDown, BottomUp };

// Largest side and pixel count a decoder accepts: a header that claims more is refused
// before anything is allocated (GL drivers top out at 16384 texels per side).
constexpr int kMaxImageSide = 16384;
constexpr int64_t kMaxImagePixels = int64_t{64} << 20;

struct Image {
    int width = 0, height = 0;
    int bitDepth = 0;     // bits per pixel: 24 or 32
    size_t pitch = 0;     // bytes from one stored row to the next (may exceed width * bytes)
    RowOrder rowOrder = RowOrder::TopDown;
    ChannelOrder channels = ChannelOrder::Rgba;
    std::vector<uint8_t> pixels;

    int bytesPerPixel() const { return bitDepth / 8; }
    bool hasAlpha() const { return channels == ChannelOrder::Rgba || channels == ChannelOrder::Bgra; }
    // Row y counted from the image's top, whatever the storage order.
    const uint8_t* row(int y) const { return pixels.data() + storedRow(y) * pitch; }
    uint8_t* row(int y) { return pixels.data() + storedRow(y) * pitch; }
    // The pixel at (x, y) from the top-left as 0xAABBGGRR; alpha 255 without an alpha channel.
    uint32_t packedPixel(int x, int y) const;

private:
    size_t storedRow(int y) const
    {
        return static_cast<size_t>(rowOrder == RowOrder::TopDown ? y : height - 1 - y);
    }
};

// An empty image of the given size and layout, rows padded to `pitch` (0: tight).
Image makeImage(int width, int height, ChannelOrder channels, RowOrder rowOrder, size_t pitch = 0);

// Decoding outcome: the image, or why there is none.
struct Decoded {
    std::optional<Image> image;
    std::string error;
};

// PNG and JPEG are told apart by their signatures. Grey, palette, 16-bit and tRNS
// transparency are expanded to 8-bit RGB or RGBA; the result is top-down.
Decoded decodeImage(const uint8_t* data, size_t size);
Decoded decodeImageFile(const std::string& path);

// The engine's raw texture: width, height and an unused integer (32-bit little-endian),
// then width * height RGB pixels, top row first. The pixels must all be there.
Decoded decodeRawTexture(const uint8_t* data, size_t size);
Decoded decodeRawTextureFile(const std::string& path);

// Whole file as bytes ('\' in the name read as a directory separator); nullopt when it
// cannot be read.
std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path);

} // namespace kve::gpu

// The image registry's record (numbers as for every kind; no names, no messages).
struct KVE_IMAGE {
    int number = 0;
    const char* name = "";
    kve::gpu::Image image;
};

namespace kve::gpu {

core::Registry<KVE_IMAGE>& images();
// The image record of a number; null when there is none.
KVE_IMAGE* findImage(int image);

} // namespace kve::gpu

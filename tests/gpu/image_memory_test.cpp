// Peak memory of one PNG decode, measured by replacing the global allocator of this test
// program: the decoder hands libpng's and zlib's allocations to it as well.
#include <gtest/gtest.h>
#include <zlib.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>

#include "gpu/image.h"
#include "gpu/image_samples.h"

namespace {

std::atomic<size_t> liveBytes{0}, peakBytes{0};

// Each block carries its size in front, so that freeing it can be counted.
constexpr size_t kHeader = alignof(std::max_align_t);

// Kept out of line: inlined into the replaced operators, the compiler would see free()
// given the result of new[] and warn.
[[gnu::noinline]] void* countedAllocate(size_t size)
{
    auto* block = static_cast<char*>(std::malloc(size + kHeader));
    if (!block)
        return nullptr;
    *reinterpret_cast<size_t*>(block) = size;
    const size_t now = liveBytes += size;
    for (size_t peak = peakBytes; now > peak && !peakBytes.compare_exchange_weak(peak, now);) {
    }
    return block + kHeader;
}

[[gnu::noinline]] void countedRelease(void* pointer)
{
    if (!pointer)
        return;
    char* block = static_cast<char*>(pointer) - kHeader;
    liveBytes -= *reinterpret_cast<size_t*>(block);
    std::free(block);
}

} // namespace

void* operator new(size_t size)
{
    if (void* block = countedAllocate(size))
        return block;
    throw std::bad_alloc();
}
void* operator new[](size_t size) { return operator new(size); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return countedAllocate(size); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return countedAllocate(size); }
void operator delete(void* pointer) noexcept { countedRelease(pointer); }
void operator delete[](void* pointer) noexcept { countedRelease(pointer); }
void operator delete(void* pointer, size_t) noexcept { countedRelease(pointer); }
void operator delete[](void* pointer, size_t) noexcept { countedRelease(pointer); }
void operator delete(void* pointer, const std::nothrow_t&) noexcept { countedRelease(pointer); }
void operator delete[](void* pointer, const std::nothrow_t&) noexcept { countedRelease(pointer); }

namespace {

struct Measured {
    bool decoded = false;
    std::string error;
    size_t imageBytes = 0; // the decoded pixel buffer
    size_t peak = 0;       // most bytes held at once beyond those held before the decode
};

Measured measureDecode(const std::string& file)
{
    Measured result;
    const size_t before = liveBytes;
    peakBytes = before;
    {
        const kve::gpu::Decoded decoded = kve::gpu::decodeImage(reinterpret_cast<const uint8_t*>(file.data()), file.size());
        result.peak = peakBytes - before;
        result.decoded = decoded.image.has_value();
        result.error = decoded.error;
        if (decoded.image)
            result.imageBytes = decoded.image->pixels.size();
    }
    return result;
}

// What a decode may take beside the pixels: libpng's and zlib's state and window, two
// row buffers of at most 8 bytes per pixel, the table of row addresses.
size_t smallBound(int width, int height)
{
    return 192 * 1024 + 2 * 8 * static_cast<size_t>(width) + 8 * static_cast<size_t>(height);
}

std::string chunk(const std::string& type, const std::string& body, uint32_t statedLength)
{
    std::string out;
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>(statedLength >> shift);
    const std::string typed = type + body;
    out += typed;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>(crc >> shift);
    return out;
}

std::string chunk(const std::string& type, const std::string& body)
{
    return chunk(type, body, static_cast<uint32_t>(body.size()));
}

// A valid PNG with `extra` spliced in after its IHDR chunk (8 + 25 bytes).
std::string withChunkAfterHeader(const std::string& png, const std::string& extra)
{
    return png.substr(0, 33) + extra + png.substr(33);
}

TEST(PngMemory, ValidImagesTakeTheirPixelsAndASmallBound)
{
    struct Case {
        int width, height, channels;
    };
    for (const Case c : {Case{1, 1, 3}, Case{300, 200, 4}, Case{1024, 8, 3}, Case{2, 3000, 4}}) {
        const std::string png =
            kve::test::pngOf(c.width, c.height, c.channels, kve::test::rampPixels(c.width, c.height, c.channels));
        const Measured m = measureDecode(png);
        ASSERT_TRUE(m.decoded) << m.error;
        EXPECT_LE(m.peak, m.imageBytes + smallBound(c.width, c.height)) << c.width << " x " << c.height;
    }
    kve::test::PngRecipe interlaced{64, 64, PNG_COLOR_TYPE_RGB_ALPHA, 16, std::vector<uint8_t>(64 * 64 * 8, 7)};
    interlaced.interlaced = true;
    const Measured m = measureDecode(kve::test::pngFile(interlaced));
    ASSERT_TRUE(m.decoded) << m.error;
    EXPECT_LE(m.peak, m.imageBytes + smallBound(64, 64));
}

TEST(PngMemory, ChunksClaimingMoreThanTheDataAreRefusedBeforeLibpngSeesThem)
{
    // 57 bytes: signature, IHDR, then a text chunk whose length field says 2 GiB.
    const std::string png = kve::test::pngOf(1, 1, 3, {1, 2, 3});
    const std::string bomb = png.substr(0, 33) + chunk("tEXt", "", 0x7FFFFFF0u) + "abcdefghijkl";
    ASSERT_EQ(bomb.size(), 57u);
    Measured m = measureDecode(bomb);
    EXPECT_FALSE(m.decoded);
    EXPECT_NE(m.error.find("tEXt"), std::string::npos) << m.error;
    EXPECT_LT(m.peak, 4096u);

    // Any chunk, even one libpng reads itself, and a length past the 31-bit limit.
    for (const std::string type : {"IDAT", "PLTE", "zzzz"}) {
        m = measureDecode(withChunkAfterHeader(png, chunk(type, "x", 1000)));
        EXPECT_FALSE(m.decoded) << type;
        EXPECT_NE(m.error.find(type), std::string::npos) << m.error;
    }
    EXPECT_FALSE(measureDecode(withChunkAfterHeader(png, chunk("tEXt", "", 0x80000000u))).decoded);
    // A file cut off inside a chunk header.
    EXPECT_FALSE(measureDecode(png.substr(0, 36)).decoded);
}

TEST(PngMemory, TextThatInflatesToMegabytesIsSkippedUnread)
{
    // A zTXt chunk of about 8 KiB that inflates to 8 MB: the image still loads, and the
    // text is never inflated.
    const std::string zeros(8'000'000, '\0');
    std::string packedText(compressBound(static_cast<uLong>(zeros.size())), '\0');
    uLongf packedSize = static_cast<uLongf>(packedText.size());
    ASSERT_EQ(compress(reinterpret_cast<Bytef*>(packedText.data()), &packedSize,
                       reinterpret_cast<const Bytef*>(zeros.data()), static_cast<uLong>(zeros.size())),
              Z_OK);
    packedText.resize(packedSize);
    const std::string png = kve::test::pngOf(4, 4, 3, kve::test::rampPixels(4, 4, 3));
    const std::string body = std::string("Comment") + '\0' + '\0' + packedText;
    const Measured m = measureDecode(withChunkAfterHeader(png, chunk("zTXt", body)));
    ASSERT_TRUE(m.decoded) << m.error;
    EXPECT_LE(m.peak, m.imageBytes + smallBound(4, 4));
}

TEST(PngMemory, ImageDataTooShortForItsRowsFailsBeforeThePixelsAreAllocated)
{
    // An 8000 x 8000 RGBA header (256 MB of pixels) over the few bytes of a 1 x 1 image.
    const std::string png = kve::test::pngOf(1, 1, 4, {1, 2, 3, 4});
    std::string header;
    for (uint32_t value : {8000u, 8000u})
        for (int shift = 24; shift >= 0; shift -= 8)
            header += static_cast<char>(value >> shift);
    header += std::string("\x08\x06\x00\x00\x00", 5);
    const std::string liar = png.substr(0, 8) + chunk("IHDR", header) + png.substr(33);
    const Measured m = measureDecode(liar);
    EXPECT_FALSE(m.decoded);
    EXPECT_NE(m.error.find("cannot hold"), std::string::npos) << m.error;
    EXPECT_LT(m.peak, 4096u);
}

} // namespace

namespace {

TEST(JpegMemory, AHeaderClaimingMorePixelsThanTheDataCanCodeIsRefusedUnallocated)
{
    // Every 8 x 8 block costs at least one bit of Huffman-coded data, so a file of n bytes
    // holds at most 512 n pixels. A small JPEG whose frame header claims 8000 x 8000:
    std::vector<uint8_t> rgb(16 * 16 * 3, 90);
    std::string jpeg = kve::test::jpegOf(16, 16, rgb);
    const size_t frame = jpeg.find("\xFF\xC0");
    ASSERT_NE(frame, std::string::npos);
    const Measured fine = measureDecode(jpeg);
    ASSERT_TRUE(fine.decoded) << fine.error;
    EXPECT_LE(fine.peak, fine.imageBytes + smallBound(16, 16));
    for (size_t at : {frame + 5, frame + 7}) {
        jpeg[at] = static_cast<char>(8000 >> 8);
        jpeg[at + 1] = static_cast<char>(8000 & 0xFF);
    }
    const Measured m = measureDecode(jpeg);
    EXPECT_FALSE(m.decoded);
    EXPECT_NE(m.error.find("8000 x 8000"), std::string::npos) << m.error;
    EXPECT_LT(m.peak, 1u << 20);
}

} // namespace

#include <gtest/gtest.h>
#include <zlib.h>

#include "gpu/image.h"
#include "gpu/image_samples.h"
#include "kve.h"
#include "support/test_files.h"

namespace {

using kve::gpu::ChannelOrder;
using kve::gpu::decodeImage;
using kve::gpu::Decoded;
using kve::gpu::RowOrder;
using kve::test::PngRecipe;

Decoded decode(const std::string& bytes)
{
    return decodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

uint32_t packed(int r, int g, int b, int a)
{
    return static_cast<uint32_t>(r) | static_cast<uint32_t>(g) << 8 | static_cast<uint32_t>(b) << 16 |
           static_cast<uint32_t>(a) << 24;
}

TEST(ImageDecoding, RgbAndRgbaPngKeepEveryPixelTopRowFirst)
{
    for (int channels : {3, 4}) {
        const auto pixels = kve::test::rampPixels(5, 3, channels);
        const Decoded decoded = decode(kve::test::pngOf(5, 3, channels, pixels));
        ASSERT_TRUE(decoded.image) << decoded.error;
        const auto& image = *decoded.image;
        EXPECT_EQ(image.width, 5);
        EXPECT_EQ(image.height, 3);
        EXPECT_EQ(image.bitDepth, channels * 8);
        EXPECT_EQ(image.channels, channels == 4 ? ChannelOrder::Rgba : ChannelOrder::Rgb);
        EXPECT_EQ(image.rowOrder, RowOrder::TopDown);
        EXPECT_GE(image.pitch, 5u * channels);
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 5; ++x)
                EXPECT_EQ(image.packedPixel(x, y), packed(x * 40, y * 40, 100, channels == 4 ? 200 : 255));
    }
}

TEST(ImageDecoding, GreyPaletteSixteenBitAndInterlacedPngAreExpandedToEightBitRgb)
{
    // 8-bit grey, 1-bit grey, grey + alpha.
    PngRecipe grey{2, 1, PNG_COLOR_TYPE_GRAY, 8, {10, 250}};
    Decoded decoded = decode(kve::test::pngFile(grey));
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(decoded.image->channels, ChannelOrder::Rgb);
    EXPECT_EQ(decoded.image->packedPixel(0, 0), packed(10, 10, 10, 255));
    EXPECT_EQ(decoded.image->packedPixel(1, 0), packed(250, 250, 250, 255));

    PngRecipe bits{8, 1, PNG_COLOR_TYPE_GRAY, 1, {0b10100000}};
    decoded = decode(kve::test::pngFile(bits));
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(decoded.image->packedPixel(0, 0), packed(255, 255, 255, 255));
    EXPECT_EQ(decoded.image->packedPixel(1, 0), packed(0, 0, 0, 255));
    EXPECT_EQ(decoded.image->packedPixel(2, 0), packed(255, 255, 255, 255));

    PngRecipe greyAlpha{1, 1, PNG_COLOR_TYPE_GRAY_ALPHA, 8, {77, 33}};
    decoded = decode(kve::test::pngFile(greyAlpha));
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(decoded.image->channels, ChannelOrder::Rgba);
    EXPECT_EQ(decoded.image->packedPixel(0, 0), packed(77, 77, 77, 33));

    // Palette with tRNS: entry 1 is half transparent, entry 0 (no tRNS value) opaque... the
    // tRNS list covers entry 0 only here, so entry 1 stays opaque.
    PngRecipe palette{2, 2, PNG_COLOR_TYPE_PALETTE, 8, {0, 1, 1, 0}};
    palette.palette = {{255, 0, 0}, {0, 0, 255}};
    palette.transparency = {128};
    decoded = decode(kve::test::pngFile(palette));
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(decoded.image->channels, ChannelOrder::Rgba);
    EXPECT_EQ(decoded.image->packedPixel(0, 0), packed(255, 0, 0, 128));
    EXPECT_EQ(decoded.image->packedPixel(1, 0), packed(0, 0, 255, 255));
    EXPECT_EQ(decoded.image->packedPixel(0, 1), packed(0, 0, 255, 255));

    palette.transparency.clear();
    decoded = decode(kve::test::pngFile(palette));
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(decoded.image->channels, ChannelOrder::Rgb);
    EXPECT_EQ(decoded.image->packedPixel(1, 1), packed(255, 0, 0, 255));

    // 16-bit RGB: big-endian samples scaled to 8 bits.
    PngRecipe deep{1, 1, PNG_COLOR_TYPE_RGB, 16, {0xFF, 0xFF, 0x80, 0x00, 0x00, 0x00}};
    decoded = decode(kve::test::pngFile(deep));
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(decoded.image->bitDepth, 24);
    EXPECT_EQ(decoded.image->packedPixel(0, 0), packed(255, 128, 0, 255));

    // Interlacing is undone.
    PngRecipe interlaced{5, 3, PNG_COLOR_TYPE_RGB, 8, kve::test::rampPixels(5, 3, 3)};
    interlaced.interlaced = true;
    decoded = decode(kve::test::pngFile(interlaced));
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(decoded.image->packedPixel(4, 2), packed(160, 80, 100, 255));
}

TEST(ImageDecoding, JpegDecodesToRgbWithinCompressionError)
{
    std::vector<uint8_t> rgb;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            const bool left = x < 8;
            rgb.insert(rgb.end(), {static_cast<uint8_t>(left ? 220 : 20), 40, static_cast<uint8_t>(left ? 30 : 200)});
        }
    const Decoded decoded = decode(kve::test::jpegOf(16, 16, rgb));
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(decoded.image->width, 16);
    EXPECT_EQ(decoded.image->channels, ChannelOrder::Rgb);
    const uint32_t left = decoded.image->packedPixel(2, 8), right = decoded.image->packedPixel(13, 8);
    EXPECT_NEAR(static_cast<int>(left & 0xFF), 220, 12);
    EXPECT_NEAR(static_cast<int>(right >> 16 & 0xFF), 200, 12);
}

TEST(ImageDecoding, DamagedAndHostileFilesFailWithAReason)
{
    const std::string png = kve::test::pngOf(16, 16, 4, kve::test::rampPixels(16, 16, 4));
    std::vector<uint8_t> rgb(64 * 64 * 3, 90);
    const std::string jpeg = kve::test::jpegOf(64, 64, rgb);
    const std::vector<std::string> bad = {
        "",
        "plain text, not an image",
        png.substr(0, 8),
        png.substr(0, png.size() / 2),
        png.substr(0, png.size() - 12), // IEND missing
        jpeg.substr(0, 3),
        jpeg.substr(0, jpeg.size() / 2),
    };
    for (const std::string& bytes : bad) {
        const Decoded decoded = decode(bytes);
        EXPECT_FALSE(decoded.image) << bytes.size();
        EXPECT_FALSE(decoded.error.empty());
    }
    // A header claiming 100000 x 100000 pixels is refused before anything is allocated.
    std::string huge = png;
    const uint8_t side[4] = {0x00, 0x01, 0x86, 0xA0};
    huge.replace(16, 4, reinterpret_cast<const char*>(side), 4);
    huge.replace(20, 4, reinterpret_cast<const char*>(side), 4);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(huge.data() + 12), 17);
    for (int i = 0; i < 4; ++i)
        huge[29 + i] = static_cast<char>(crc >> (24 - 8 * i));
    const Decoded refused = decode(huge);
    EXPECT_FALSE(refused.image);
    EXPECT_EQ(refused.error.find("CRC"), std::string::npos) << refused.error;
    // A flipped bit inside the compressed data fails the chunk's CRC.
    std::string flipped = png;
    flipped[flipped.size() / 2] ^= 0x10;
    EXPECT_FALSE(decode(flipped).image);
    EXPECT_FALSE(kve::gpu::decodeImageFile("no such file.png").image);
    EXPECT_FALSE(kve::gpu::decodeImageFile(".").image);
}

TEST(RawTextures, HeaderSizeMustMatchThePixelsPresent)
{
    auto raw = [](int32_t width, int32_t height, const std::string& pixels) {
        std::string bytes;
        for (int32_t value : {width, height, 7})
            for (int i = 0; i < 4; ++i)
                bytes += static_cast<char>(static_cast<uint32_t>(value) >> (8 * i));
        return bytes + pixels;
    };
    auto decodeRaw = [](const std::string& bytes) {
        return kve::gpu::decodeRawTexture(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    };
    const std::string twoByOne = raw(2, 1, "\x10\x20\x30\x40\x50\x60");
    ASSERT_EQ(twoByOne.size(), 18u);
    const Decoded decoded = decodeRaw(twoByOne);
    ASSERT_TRUE(decoded.image) << decoded.error;
    EXPECT_EQ(decoded.image->channels, ChannelOrder::Rgb);
    EXPECT_EQ(decoded.image->packedPixel(0, 0), packed(0x10, 0x20, 0x30, 255));
    EXPECT_EQ(decoded.image->packedPixel(1, 0), packed(0x40, 0x50, 0x60, 255));

    const Decoded lying = decodeRaw(raw(4, 4, std::string(6, 'x')));
    EXPECT_FALSE(lying.image);
    EXPECT_NE(lying.error.find("4 x 4"), std::string::npos) << lying.error;
    EXPECT_FALSE(decodeRaw(raw(-2, 1, std::string(6, 'x'))).image);
    EXPECT_FALSE(decodeRaw(raw(0x7FFFFFFF, 0x7FFFFFFF, "")).image);
    EXPECT_FALSE(decodeRaw(twoByOne.substr(0, 11)).image);
    EXPECT_FALSE(kve::gpu::decodeRawTextureFile("missing.kvt").image);
}

TEST(ImageRecords, PaddedAndBottomUpBuffersAddressRowsFromTheTop)
{
    auto image = kve::gpu::makeImage(3, 2, ChannelOrder::Bgra, RowOrder::BottomUp, 16);
    EXPECT_EQ(image.pitch, 16u);
    EXPECT_EQ(image.pixels.size(), 32u);
    uint8_t* top = image.row(0);
    top[0] = 1, top[1] = 2, top[2] = 3, top[3] = 4; // B G R A
    EXPECT_EQ(top, image.pixels.data() + 16);        // stored last
    EXPECT_EQ(image.packedPixel(0, 0), packed(3, 2, 1, 4));
}

TEST(ImageRecords, PublicImagesLoadSaveAndFree)
{
    kve::test::TempDir dir("images");
    const std::string file = (dir / "ramp.png").string();
    kve::test::writeFile(file, kve::test::pngOf(4, 2, 4, kve::test::rampPixels(4, 2, 4)));
    KVE_IMAGE* image = KVE_LoadImage(-1, file.c_str());
    ASSERT_NE(image, nullptr);
    const int number = KVE_GetImageNumber(image);
    EXPECT_GE(number, 0x10000);
    EXPECT_EQ(KVE_GetImageWidth(number), 4);
    EXPECT_EQ(static_cast<uint32_t>(KVE_GetImagePoint(number, 3, 1)), packed(120, 40, 100, 200));
    EXPECT_EQ(KVE_GetImagePoint(number, 4, 0), 0);

    const std::string copy = (dir / "copy.png").string();
    ASSERT_EQ(KVE_SaveImage(number, copy.c_str()), 1);
    ASSERT_NE(KVE_LoadImage(7, copy.c_str()), nullptr);
    EXPECT_EQ(KVE_GetImagePoint(7, 3, 1), KVE_GetImagePoint(number, 3, 1));
    KVE_FreeImage(number);
    KVE_FreeImage(7);
    EXPECT_EQ(KVE_GetImageWidth(number), 0);
    EXPECT_EQ(KVE_LoadImage(-1, (dir / "missing.png").string().c_str()), nullptr);
}

} // namespace

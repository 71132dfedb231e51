#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "gpu/image_samples.h"
#include "core/engine.h"
#include "gpu/texture.h"
#include "kve.h"
#include "platform/gl.h"
#include "support/test_files.h"

namespace {

using kve::gpu::ChannelOrder;
using kve::gpu::RowOrder;
using kve::test::countOccurrences;
using kve::test::readLog;

GLint parameter(GLenum target, GLenum name)
{
    GLint value = 0;
    glGetTexParameteriv(target, name, &value);
    return value;
}

// Level 0 of the bound target as RGBA rows in GL's order (row 0 is t = 0).
std::vector<uint8_t> readBack(GLenum target, int width, int height)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(target, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

std::string writeSample(const kve::test::TempDir& dir, const std::string& name, const std::string& bytes)
{
    const std::string path = (dir / name).string();
    kve::test::writeFile(path, bytes);
    return path;
}

// A 3 x 2 image whose top row is red-ish and bottom row blue-ish, in any stored layout.
kve::gpu::Image twoRowImage(ChannelOrder channels, RowOrder order, size_t pitch)
{
    auto image = kve::gpu::makeImage(3, 2, channels, order, pitch);
    const bool bgr = channels == ChannelOrder::Bgr || channels == ChannelOrder::Bgra;
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x) {
            uint8_t* p = image.row(y) + x * image.bytesPerPixel();
            const uint8_t red = y == 0 ? 200 : 10, blue = y == 0 ? 20 : 210;
            p[0] = bgr ? blue : red;
            p[1] = static_cast<uint8_t>(x * 50);
            p[2] = bgr ? red : blue;
            if (image.hasAlpha())
                p[3] = 77;
        }
    return image;
}

TEST(TextureUpload, EveryLayoutArrivesWithTheImagesTopRowAtTZero)
{
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    for (ChannelOrder channels : {ChannelOrder::Rgb, ChannelOrder::Bgr, ChannelOrder::Rgba, ChannelOrder::Bgra})
        for (RowOrder order : {RowOrder::TopDown, RowOrder::BottomUp})
            for (size_t pitch : {size_t{0}, size_t{20}}) {
                kve::gpu::uploadImage(twoRowImage(channels, order, pitch), 0, KVE_DEFAULT);
                const auto pixels = readBack(GL_TEXTURE_2D, 3, 2);
                SCOPED_TRACE(static_cast<int>(channels) * 100 + static_cast<int>(order) * 10 + static_cast<int>(pitch));
                for (int x = 0; x < 3; ++x) {
                    EXPECT_EQ(pixels[x * 4 + 0], 200);
                    EXPECT_EQ(pixels[x * 4 + 1], x * 50);
                    EXPECT_EQ(pixels[x * 4 + 2], 20);
                    EXPECT_EQ(pixels[x * 4 + 3], channels == ChannelOrder::Rgba || channels == ChannelOrder::Bgra ? 77 : 255);
                    EXPECT_EQ(pixels[12 + x * 4 + 0], 10);
                    EXPECT_EQ(pixels[12 + x * 4 + 2], 210);
                }
            }
    glDeleteTextures(1, &texture);
}

TEST(TextureFiles, LoadSetsSamplingStateNameAndSize)
{
    kve::test::TempDir dir("texture_files");
    const std::string path = writeSample(dir, "ramp.png", kve::test::pngOf(6, 4, 4, kve::test::rampPixels(6, 4, 4)));

    ASSERT_EQ(KVE_GetTextureFilter(), GL_LINEAR);
    KVE_TEXTURE* plain = KVE_LoadTextureFile(-1, path.c_str(), KVE_DEFAULT, 0, "");
    ASSERT_NE(plain, nullptr);
    const int number = KVE_GetTextureNumber(plain);
    EXPECT_STREQ(KVE_GetTextureName(number), "ramp.png");
    EXPECT_EQ(KVE_GetTextureWidth(number), 6);
    EXPECT_EQ(KVE_GetTextureHeight(number), 4);
    EXPECT_EQ(plain->target, static_cast<unsigned>(GL_TEXTURE_2D));
    EXPECT_EQ(plain->rectangle[2], 6);
    EXPECT_EQ(plain->rectangle[3], 4);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T), GL_REPEAT);
    // llvmpipe lists GL_EXT_texture_filter_anisotropic with a limit of 16, but its
    // anisotropic sampler can stall for seconds: textures keep the default there...
    GLfloat anisotropy = 0;
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
    EXPECT_EQ(anisotropy, 1.0f);
    // ...unless it is asked for: then 8, within the driver's limit.
    setenv("KVE_SOFTWARE_ANISOTROPY", "1", 1);
    kve::gpu::resetTextureState();
    KVE_TEXTURE* filtered = KVE_LoadTextureFile(-1, path.c_str(), KVE_DEFAULT, 0, "filtered");
    unsetenv("KVE_SOFTWARE_ANISOTROPY");
    kve::gpu::resetTextureState();
    ASSERT_NE(filtered, nullptr);
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
    EXPECT_EQ(anisotropy, 8.0f);
    glBindTexture(GL_TEXTURE_2D, plain->texture);
    const auto pixels = readBack(GL_TEXTURE_2D, 6, 4);
    EXPECT_EQ(pixels[(3 * 6 + 5) * 4 + 0], 200); // x = 5
    EXPECT_EQ(pixels[(3 * 6 + 5) * 4 + 1], 120); // y = 3

    // A changed default filter and an explicit one; mipmaps override both.
    KVE_SetTextureFilter(GL_NEAREST);
    ASSERT_NE(KVE_LoadTextureFile(-1, path.c_str(), KVE_DEFAULT, 0, "nearest"), nullptr);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    KVE_SetTextureFilter(GL_LINEAR);
    KVE_TEXTURE* mipmapped = KVE_LoadTextureFile(-1, path.c_str(), GL_NEAREST, 4, "mipmapped");
    ASSERT_NE(mipmapped, nullptr);
    EXPECT_EQ(mipmapped->mipmaps, 4);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL), 4);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL), 0);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER), GL_LINEAR);
    GLint level1 = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 1, GL_TEXTURE_WIDTH, &level1);
    EXPECT_EQ(level1, 3);

    KVE_ReleaseTexture(number);
    KVE_ReleaseTexture(KVE_GetTextureNumber(mipmapped));
    KVE_ReleaseTexture(kve::gpu::textures().findByName("nearest")->number);
}

TEST(TextureFiles, ReloadReplacesByNameAndBadFilesKeepWhatWasLoaded)
{
    kve::test::TempDir dir("texture_reload");
    const std::string good = writeSample(dir, "same.png", kve::test::pngOf(2, 2, 3, kve::test::rampPixels(2, 2, 3)));
    KVE_TEXTURE* first = KVE_LoadTextureFile(-1, good.c_str(), KVE_DEFAULT, 0, "");
    ASSERT_NE(first, nullptr);
    const unsigned firstObject = first->texture;
    const int firstNumber = first->number;
    const std::string before = readLog();
    KVE_TEXTURE* second = KVE_LoadTextureFile(-1, good.c_str(), KVE_DEFAULT, 0, "");
    ASSERT_NE(second, nullptr);
    std::string added = readLog().substr(before.size());
    EXPECT_EQ(countOccurrences(added, "Loaded double: First Texture has been released!"), 1);
    EXPECT_EQ(KVE_GetTexture(firstNumber), nullptr);
    EXPECT_FALSE(glIsTexture(firstObject));
    EXPECT_EQ(kve::gpu::textures().findByName("same.png"), second);

    // Truncated PNG, truncated JPEG and a missing file under the same name: all refused
    // with the failure entry; the texture already loaded stays.
    const std::string png = kve::test::pngOf(8, 8, 4, kve::test::rampPixels(8, 8, 4));
    std::vector<uint8_t> rgb(32 * 32 * 3, 50);
    const std::string jpeg = kve::test::jpegOf(32, 32, rgb);
    const std::string truncatedPng = writeSample(dir, "cut.png", png.substr(0, png.size() - 30));
    const std::string truncatedJpeg = writeSample(dir, "cut.jpg", jpeg.substr(0, jpeg.size() / 2));
    const size_t textures = kve::gpu::textures().size();
    for (const std::string& bad : {truncatedPng, truncatedJpeg, (dir / "missing.png").string()}) {
        const std::string mark = readLog();
        EXPECT_EQ(KVE_LoadTextureFile(-1, bad.c_str(), KVE_DEFAULT, 0, "same.png"), nullptr);
        added = readLog().substr(mark.size());
        EXPECT_NE(added.find("Load Texture: " + bad), std::string::npos);
        EXPECT_EQ(countOccurrences(added, "Fail: Image not found!"), 1) << added;
        EXPECT_EQ(countOccurrences(added, "Loaded double"), 0);
    }
    EXPECT_EQ(kve::gpu::textures().size(), textures);
    EXPECT_EQ(kve::gpu::textures().findByName("same.png"), second);
    EXPECT_TRUE(glIsTexture(second->texture));

    // Numbers: an explicit number is reused silently, 65536 is refused.
    ASSERT_NE(KVE_LoadTextureFile(5, good.c_str(), KVE_DEFAULT, 0, "five"), nullptr);
    ASSERT_NE(KVE_LoadTextureFile(5, good.c_str(), KVE_DEFAULT, 0, "five again"), nullptr);
    EXPECT_STREQ(KVE_GetTextureName(5), "five again");
    EXPECT_EQ(kve::gpu::textures().findByName("five"), nullptr);
    const std::string mark = readLog();
    EXPECT_EQ(KVE_LoadTextureFile(65536, good.c_str(), KVE_DEFAULT, 0, "refused"), nullptr);
    EXPECT_NE(readLog().find("Fail: This ID is not available!", mark.size()), std::string::npos);
    KVE_ReleaseTexture(5);
    KVE_ReleaseTexture(second->number);
}

TEST(TextureMemory, CaughtImagesAreOpaqueWithoutAnAlphaChannelAndUseNoMipmaps)
{
    const std::string rgb = kve::test::pngOf(2, 2, 3, kve::test::rampPixels(2, 2, 3));
    const std::string before = readLog();
    KVE_TEXTURE* texture = KVE_CatchTexture(-1, rgb.data(), static_cast<int>(rgb.size()), GL_NEAREST, "caught");
    ASSERT_NE(texture, nullptr);
    EXPECT_EQ(readLog(), before); // nothing logged on success
    EXPECT_EQ(parameter(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER), GL_NEAREST);
    GLfloat anisotropy = 0;
    glGetTexParameterfv(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropy);
    glGetError();
    EXPECT_LE(anisotropy, 1.0f);
    unsigned char* pixels = KVE_CopyTexturePixels(texture->number);
    ASSERT_NE(pixels, nullptr);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(pixels[i * 4 + 3], 255);
    EXPECT_EQ(pixels[1 * 4 + 0], 40); // (1, 0)
    EXPECT_EQ(pixels[2 * 4 + 1], 40); // (0, 1)
    std::free(pixels);

    EXPECT_EQ(KVE_CatchTexture(-1, rgb.data(), 20, KVE_DEFAULT, "short"), nullptr);
    EXPECT_EQ(KVE_CatchTexture(-1, nullptr, 0, KVE_DEFAULT, "none"), nullptr);
    EXPECT_EQ(kve::gpu::textures().findByName("short"), nullptr);
    KVE_ReleaseTexture(texture->number);
}

TEST(TextureMemory, CubeMapTakesSixFacesInOrderAndFailsWholeOnABadFace)
{
    std::vector<std::string> files;
    for (int face = 0; face < 6; ++face)
        files.push_back(kve::test::pngOf(4, 4, 3, std::vector<uint8_t>(48, static_cast<uint8_t>(face * 40))));
    const void* faces[6];
    int sizes[6];
    for (int face = 0; face < 6; ++face) {
        faces[face] = files[static_cast<size_t>(face)].data();
        sizes[face] = static_cast<int>(files[static_cast<size_t>(face)].size());
    }
    KVE_TEXTURE* cube = KVE_CatchCubeMapTexture(-1, faces, sizes, GL_LINEAR, 0, "cube");
    ASSERT_NE(cube, nullptr);
    EXPECT_EQ(cube->target, static_cast<unsigned>(GL_TEXTURE_CUBE_MAP));
    EXPECT_EQ(cube->width, 4);
    EXPECT_EQ(parameter(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_R), GL_CLAMP_TO_EDGE);
    EXPECT_EQ(parameter(GL_TEXTURE_CUBE_MAP, GL_TEXTURE_WRAP_S), GL_CLAMP_TO_EDGE);
    for (int face = 0; face < 6; ++face)
        EXPECT_EQ(readBack(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 4, 4)[0], face * 40) << face;

    const size_t textures = kve::gpu::textures().size();
    const std::string damaged = files[3].substr(0, files[3].size() - 20);
    faces[3] = damaged.data();
    sizes[3] = static_cast<int>(damaged.size());
    const std::string before = readLog();
    EXPECT_EQ(KVE_CatchCubeMapTexture(-1, faces, sizes, GL_LINEAR, 0, "cube"), nullptr);
    EXPECT_EQ(countOccurrences(readLog().substr(before.size()), "Fail: Image not found!"), 1);
    EXPECT_EQ(kve::gpu::textures().size(), textures);
    EXPECT_EQ(kve::gpu::textures().findByName("cube"), cube);

    const std::string wide = kve::test::pngOf(8, 4, 3, std::vector<uint8_t>(96, 9));
    faces[3] = wide.data();
    sizes[3] = static_cast<int>(wide.size());
    EXPECT_EQ(KVE_CatchCubeMapTexture(-1, faces, sizes, GL_LINEAR, 0, "odd"), nullptr);
    KVE_ReleaseTexture(cube->number);
}

TEST(TextureReadBack, ImagesFollowTheTextureAndFlipOnRequest)
{
    const std::string png = kve::test::pngOf(3, 2, 4, kve::test::rampPixels(3, 2, 4));
    KVE_TEXTURE* texture = KVE_CatchTexture(40, png.data(), static_cast<int>(png.size()), KVE_DEFAULT, "");
    ASSERT_NE(texture, nullptr);
    KVE_IMAGE* upright = KVE_GetTextureImage(40, -1, 0);
    ASSERT_NE(upright, nullptr);
    const int image = KVE_GetImageNumber(upright);
    EXPECT_EQ(KVE_GetImageWidth(image), 3);
    EXPECT_EQ(static_cast<uint32_t>(KVE_GetImagePoint(image, 2, 0)), 80u | 0u << 8 | 100u << 16 | 200u << 24);
    ASSERT_NE(KVE_GetTextureImage(40, 12, 1), nullptr);
    EXPECT_EQ(KVE_GetImagePoint(12, 2, 0), KVE_GetImagePoint(image, 2, 1));
    EXPECT_EQ(KVE_GetImagePoint(12, 0, 1), KVE_GetImagePoint(image, 0, 0));

    KVE_SetTextureRectangle(40, 1, 1, -1, 5);
    EXPECT_EQ(texture->rectangle[0], 1);
    EXPECT_EQ(texture->rectangle[2], 3);
    EXPECT_EQ(texture->rectangle[3], 5);

    const unsigned object = KVE_GetTextureObject(40);
    EXPECT_EQ(KVE_ReleaseTexture(40), 0);
    EXPECT_EQ(KVE_GetTexture(40), nullptr);
    EXPECT_FALSE(glIsTexture(object));
    EXPECT_EQ(KVE_GetTextureImage(40, -1, 0), nullptr);
    EXPECT_EQ(KVE_CopyTexturePixels(40), nullptr);
    KVE_FreeImage(image);
    KVE_FreeImage(12);
}

TEST(TextureDefaults, StartUpMadeTheLogoCheckersAndSkyCube)
{
    const auto& engine = kve::engine::state();
    const KVE_TEXTURE* logo = KVE_GetTexture(engine.logoTexture);
    ASSERT_NE(logo, nullptr);
    EXPECT_EQ(logo->width, 512);
    EXPECT_EQ(logo->height, 512);
    unsigned char* pixels = KVE_CopyTexturePixels(engine.logoTexture);
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[3], 0);                           // transparent corner
    EXPECT_EQ(pixels[(256 * 512 + 256) * 4 + 3], 255); // opaque badge
    std::free(pixels);
    for (int number : engine.defaultTextures) {
        ASSERT_NE(KVE_GetTexture(number), nullptr);
        EXPECT_EQ(KVE_GetTextureWidth(number), 256);
        EXPECT_EQ(KVE_GetTextureHeight(number), 256);
    }
    const KVE_TEXTURE* sky = KVE_GetTexture(engine.defaultCubeMap);
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(sky->target, static_cast<unsigned>(GL_TEXTURE_CUBE_MAP));
    // Above the horizon the +Y face is sky blue, the -Y face below it is darker ground.
    glBindTexture(GL_TEXTURE_CUBE_MAP, sky->texture);
    const auto up = readBack(GL_TEXTURE_CUBE_MAP_POSITIVE_Y, sky->width, sky->height);
    const auto down = readBack(GL_TEXTURE_CUBE_MAP_NEGATIVE_Y, sky->width, sky->height);
    const size_t centre = (static_cast<size_t>(sky->width) * sky->height / 2 + sky->width / 2) * 4;
    EXPECT_GT(up[centre + 2], up[centre]);
    EXPECT_LT(down[centre + 2], up[centre + 2]);
}

} // namespace

// Texture loading from image files, memory and six cube faces; read-back; release.
// Loaders decode first and register afterwards, so a file that cannot be decoded never
// replaces a texture already loaded under its name or number.
#include "gpu/texture.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/engine.h"
#include "core/log.h"
#include "core/registry_kinds.h"
#include "core/resource_sources.h"
#include "defs/definition_node.h"
#include "gpu/material.h"
#include "kve.h"
#include "platform/gl.h"

namespace kve::gpu {
namespace {

// Largest anisotropy the driver offers through the anisotropic filtering extension; 0
// when it lists neither form of it; -1 until asked in this context.
float anisotropyLimit = -1.0f;

// Mesa's software rasteriser (llvmpipe, 22.x) can spend many seconds on the few pixels
// of a mipmapped face seen nearly edge-on when anisotropic filtering is on: one 160x90
// frame of the demonstration with a plank lying so took 17 s, and minutes at 1600x900.
// There textures keep trilinear filtering, unless KVE_SOFTWARE_ANISOTROPY=1 asks for it.
bool anisotropyStallsHere()
{
    const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const char* forced = std::getenv("KVE_SOFTWARE_ANISOTROPY");
    return renderer && std::strstr(renderer, "llvmpipe") && !(forced && std::strcmp(forced, "1") == 0);
}

float driverAnisotropy()
{
    if (anisotropyLimit >= 0.0f)
        return anisotropyLimit;
    anisotropyLimit = 0.0f;
    if (anisotropyStallsHere())
        return anisotropyLimit;
    GLint count = 0;
    glGetIntegerv(GL_NUM_EXTENSIONS, &count);
    for (GLint i = 0; i < count; ++i) {
        const auto* name = reinterpret_cast<const char*>(glGetStringi(GL_EXTENSIONS, static_cast<GLuint>(i)));
        if (name && (std::strcmp(name, "GL_EXT_texture_filter_anisotropic") == 0 ||
                     std::strcmp(name, "GL_ARB_texture_filter_anisotropic") == 0)) {
            glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY_EXT, &anisotropyLimit);
            break;
        }
    }
    return anisotropyLimit;
}

constexpr float kAnisotropy = 8.0f;

// Generates the texture object, binds it and sets the sampling state before the upload.
void beginTexture(TextureRecord& texture, GLenum target, int filter, int mipmaps, bool anisotropic)
{
    texture.target = target;
    texture.mipmaps = mipmaps;
    glGenTextures(1, &texture.texture);
    glBindTexture(target, texture.texture);
    if (mipmaps) {
        glTexParameteri(target, GL_TEXTURE_BASE_LEVEL, 0);
        glTexParameteri(target, GL_TEXTURE_MAX_LEVEL, mipmaps);
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    } else {
        glTexParameteri(target, GL_TEXTURE_MIN_FILTER, filter);
        glTexParameteri(target, GL_TEXTURE_MAG_FILTER, filter);
    }
    const GLint wrap = target == GL_TEXTURE_CUBE_MAP ? GL_CLAMP_TO_EDGE : GL_REPEAT;
    glTexParameteri(target, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, wrap);
    if (target == GL_TEXTURE_CUBE_MAP)
        glTexParameteri(target, GL_TEXTURE_WRAP_R, wrap);
    if (anisotropic && driverAnisotropy() > 0.0f)
        glTexParameterf(target, GL_TEXTURE_MAX_ANISOTROPY_EXT, std::min(kAnisotropy, anisotropyLimit));
}

void finishTexture(TextureRecord& texture, int width, int height)
{
    texture.width = width;
    texture.height = height;
    texture.rectangle[0] = 0;
    texture.rectangle[1] = 0;
    texture.rectangle[2] = width;
    texture.rectangle[3] = height;
    if (texture.mipmaps)
        glGenerateMipmap(texture.target);
}

// Registers a 2D texture of a decoded image with the sampling state of its loader.
TextureRecord* createTexture2D(int id, std::string_view name, const Image& image, int filter, int mipmaps,
                               bool anisotropic)
{
    TextureRecord* texture = textures().create(&id, name);
    if (!texture)
        return nullptr;
    beginTexture(*texture, GL_TEXTURE_2D, filter, mipmaps, anisotropic);
    uploadImage(image, 0, KVE_DEFAULT);
    finishTexture(*texture, image.width, image.height);
    return texture;
}

void logDecodeFailure(std::string_view file, const std::string& reason, const char* procedure)
{
    log::fail("Fail: Image not found!", procedure, kTexturesUnit);
    log::failFile(file, reason.empty() ? "cannot be decoded" : reason, procedure);
}

// Reads level 0 back into `pixels` (width * height * 4 bytes) in `format`; false when the
// GL texture's level 0 is not the size the record says (nothing is then written).
bool readLevel0(const TextureRecord& texture, GLenum format, uint8_t* pixels)
{
    const GLenum target = texture.target == GL_TEXTURE_CUBE_MAP ? GL_TEXTURE_CUBE_MAP_POSITIVE_X : texture.target;
    glBindTexture(texture.target, texture.texture);
    GLint width = 0, height = 0;
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_WIDTH, &width);
    glGetTexLevelParameteriv(target, 0, GL_TEXTURE_HEIGHT, &height);
    if (width != texture.width || height != texture.height || width <= 0 || height <= 0)
        return false;
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(target, 0, format, GL_UNSIGNED_BYTE, pixels);
    return true;
}

void releaseTextureObject(TextureRecord& texture)
{
    if (texture.texture)
        glDeleteTextures(1, &texture.texture);
    texture.texture = 0;
}

} // namespace

core::Registry<TextureRecord>& textures()
{
    static core::Registry<TextureRecord> registry(core::kinds::kTexture, releaseTextureObject);
    return registry;
}

TextureRecord* findTexture(int texture)
{
    return textures().find(texture);
}

int resolveTextureFilter(int filter)
{
    return filter == KVE_DEFAULT ? static_cast<int>(engine::state().textureFilter) : filter;
}

namespace {
uint64_t imageUploads = 0;
}

uint64_t textureUploadCount()
{
    return imageUploads;
}

void uploadImage(const Image& image, unsigned target, int layer)
{
    if (image.width <= 0 || image.height <= 0 || image.pixels.empty())
        return;
    ++imageUploads;
    static constexpr GLenum kFormats[] = {GL_RGB, GL_BGR, GL_RGBA, GL_BGRA};
    const GLenum format = kFormats[static_cast<int>(image.channels)];
    const size_t rowBytes = static_cast<size_t>(image.width) * image.bytesPerPixel();
    // A tight top-down buffer is already in GL's order; anything else is repacked.
    std::vector<uint8_t> packed;
    const uint8_t* block = image.pixels.data();
    if (image.rowOrder != RowOrder::TopDown || image.pitch != rowBytes) {
        packed.resize(rowBytes * static_cast<size_t>(image.height));
        for (int y = 0; y < image.height; ++y)
            std::memcpy(packed.data() + rowBytes * static_cast<size_t>(y), image.row(y), rowBytes);
        block = packed.data();
    }
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (target == 0 && layer == KVE_DEFAULT)
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, image.width, image.height, 0, format, GL_UNSIGNED_BYTE, block);
    else if (target == 0)
        glTexSubImage3D(GL_TEXTURE_2D_ARRAY, 0, 0, 0, layer, image.width, image.height, 1, format, GL_UNSIGNED_BYTE,
                        block);
    else
        glTexImage2D(target, 0, GL_RGBA, image.width, image.height, 0, format, GL_UNSIGNED_BYTE, block);
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
}

TextureRecord* makeTexture(int id, const Image& image, int filter, std::string_view name)
{
    return createTexture2D(id, name, image, resolveTextureFilter(filter), 0, false);
}

TextureRecord* makeSampledTexture(int id, const Image& image, const TextureSampling& sampling, std::string_view name)
{
    const bool mipmapped = sampling.minFilter >= GL_NEAREST_MIPMAP_NEAREST && sampling.minFilter <= GL_LINEAR_MIPMAP_LINEAR;
    int levels = 0;
    for (int side = std::max(image.width, image.height); side > 1; side /= 2)
        ++levels;
    GLint minFilter = sampling.minFilter;
    if (mipmapped && levels == 0)
        minFilter = sampling.minFilter == GL_NEAREST_MIPMAP_NEAREST || sampling.minFilter == GL_NEAREST_MIPMAP_LINEAR
                        ? GL_NEAREST
                        : GL_LINEAR;
    TextureRecord* texture =
        createTexture2D(id, name, image, sampling.magFilter, mipmapped ? levels : 0, true);
    if (!texture)
        return nullptr;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, minFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, sampling.magFilter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, sampling.wrapS);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, sampling.wrapT);
    return texture;
}

TextureRecord* catchTexture(int id, const uint8_t* data, size_t size, int filter, std::string_view name,
                            std::string_view procedure)
{
    const Decoded decoded = decodeImage(data, size);
    if (!decoded.image) {
        logDecodeFailure("image in memory", decoded.error, std::string(procedure).c_str());
        return nullptr;
    }
    return makeTexture(id, *decoded.image, filter, name);
}

TextureRecord* loadTextureBlock(int id, DefinitionNode* block, std::string* imagePath)
{
    constexpr const char* kProcedure = kTextureDefinitionProcedure;
    const std::string textureName = block->value;
    log::progress("Texture: " + textureName, kProcedure, kTexturesUnit);
    std::string filter = KVE_GetDefinitionString(KVE_FindDefinitionNode(block, "\\Filter", nullptr, 0), "");
    for (char& c : filter)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const int mipmaps = std::max(0, KVE_GetDefinitionInteger(KVE_FindDefinitionNode(block, "\\Mipmaps", nullptr, 0), 0));
    const std::string path = std::string(KVE_GetDefinitionDirectory(block)) +
                             KVE_GetDefinitionString(KVE_FindDefinitionNode(block, "\\File", nullptr, 0), "");
    if (imagePath)
        *imagePath = path;
    Decoded decoded;
    if (std::filesystem::path(defs::nativePath(path)).extension() == ".kvt") {
        decoded = decodeRawTextureFile(path);
    } else {
        decoded = decodeImageFile(path);
        log::entry("File: " + path, static_cast<int>(0xFF000000), kProcedure);
    }
    if (!decoded.image) {
        logDecodeFailure(path, decoded.error, kProcedure);
        return nullptr;
    }
    TextureRecord* texture =
        createTexture2D(id, textureName, *decoded.image, filter == "LINEAR" ? GL_LINEAR : GL_NEAREST, mipmaps, true);
    if (texture)
        log::ok(kProcedure, kTexturesUnit);
    return texture;
}

void adoptReloadedTexture(TextureRecord& live, TextureRecord& staged)
{
    core::swapRecordContents(live, staged);
    textures().release(&staged);
}

void resetTextureState()
{
    anisotropyLimit = -1.0f;
}

} // namespace kve::gpu

using kve::gpu::findTexture;
using kve::gpu::TextureRecord;
namespace gpu = kve::gpu;
namespace log = kve::log;

extern "C" {

KVE_TEXTURE* KVE_CreateTextureListEntry(int* id, const char* name)
{
    return gpu::textures().create(id, name ? name : "");
}

KVE_TEXTURE* KVE_LoadTextureFile(int id, const char* fileName, int filter, int mipmaps, const char* name)
{
    constexpr const char* kProcedure = "KVE_LoadTextureFile";
    const std::string file = fileName ? fileName : "";
    log::progress("Load Texture: " + file, kProcedure, gpu::kTexturesUnit);
    const std::string textureName = name && *name ? std::string(name) : std::string(kve::defs::filePart(file));
    const gpu::Decoded decoded = gpu::decodeImageFile(file);
    if (!decoded.image) {
        gpu::logDecodeFailure(file, decoded.error, kProcedure);
        return nullptr;
    }
    const int resolved = gpu::resolveTextureFilter(filter);
    TextureRecord* texture =
        gpu::createTexture2D(id, textureName, *decoded.image, resolved, std::max(mipmaps, 0), true);
    if (texture) {
        log::ok(kProcedure, gpu::kTexturesUnit);
        kve::core::recordResourceSource(kve::core::ResourceLoader::TextureFile, texture->number, file, {}, {},
                                        resolved, mipmaps);
    }
    return texture;
}

KVE_TEXTURE* KVE_LoadTextureDefinition(int id, DefinitionNode* node, const char* name)
{
    const std::string wanted = name ? name : "";
    DefinitionNode* block = KVE_FindDefinitionNode(node, "Texture", wanted.c_str(), 1);
    if (!block) {
        log::progress("Texture: " + wanted, gpu::kTextureDefinitionProcedure, gpu::kTexturesUnit);
        log::fail("FAIL: Texture Node not found!", gpu::kTextureDefinitionProcedure, gpu::kTexturesUnit);
        return nullptr;
    }
    std::string path;
    TextureRecord* texture = gpu::loadTextureBlock(id, block, &path);
    if (texture)
        kve::core::recordResourceSource(kve::core::ResourceLoader::TextureDefinition, texture->number,
                                        kve::defs::sourceFileOf(block), texture->name, {path});
    return texture;
}

KVE_TEXTURE* KVE_CatchTexture(int id, const void* data, int size, int filter, const char* name)
{
    return gpu::catchTexture(id, static_cast<const uint8_t*>(data), size > 0 ? static_cast<size_t>(size) : 0, filter,
                             name ? name : "", "KVE_CatchTexture");
}

KVE_TEXTURE* KVE_CatchCubeMapTexture(int id, const void* const faces[6], const int sizes[6], int filter, int mipmaps,
                                     const char* name)
{
    constexpr const char* kProcedure = "KVE_CatchCubeMapTexture";
    std::vector<gpu::Image> decoded;
    for (int face = 0; face < 6; ++face) {
        const auto* data = faces ? static_cast<const uint8_t*>(faces[face]) : nullptr;
        const size_t size = sizes && sizes[face] > 0 ? static_cast<size_t>(sizes[face]) : 0;
        gpu::Decoded image = gpu::decodeImage(data, size);
        if (image.image && (image.image->width != image.image->height ||
                            (!decoded.empty() && image.image->width != decoded.front().width))) {
            image.error = "not square or not the size of the first face";
            image.image.reset();
        }
        if (!image.image) {
            gpu::logDecodeFailure("cube face " + std::to_string(face) + " in memory", image.error, kProcedure);
            return nullptr;
        }
        decoded.push_back(std::move(*image.image));
    }
    TextureRecord* texture = gpu::textures().create(&id, name ? name : "");
    if (!texture)
        return nullptr;
    const int width = decoded.front().width, height = decoded.front().height;
    gpu::beginTexture(*texture, GL_TEXTURE_CUBE_MAP, gpu::resolveTextureFilter(filter), std::max(mipmaps, 0), true);
    for (unsigned face = 0; face < 6; ++face) {
        gpu::uploadImage(decoded[face], GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, KVE_DEFAULT);
        decoded[face] = gpu::Image{};
    }
    gpu::finishTexture(*texture, width, height);
    log::ok(kProcedure, gpu::kTexturesUnit);
    return texture;
}

void KVE_UploadTextureImage(int image, int target, int layer)
{
    if (const KVE_IMAGE* record = gpu::findImage(image))
        gpu::uploadImage(record->image, static_cast<unsigned>(target), layer);
}

KVE_TEXTURE* KVE_GetTexture(int texture)
{
    return findTexture(texture);
}

int KVE_GetTextureNumber(const KVE_TEXTURE* texture)
{
    return texture ? texture->number : -1;
}

int KVE_ReleaseTexture(int texture)
{
    TextureRecord* record = findTexture(texture);
    if (!record)
        return 0;
    const int number = record->number;
    gpu::textures().release(record);
    gpu::forgetTextureInMaterials(number);
    return 0;
}

KVE_IMAGE* KVE_GetTextureImage(int texture, int image, int flip)
{
    const TextureRecord* record = findTexture(texture);
    if (!record || record->width <= 0 || record->height <= 0)
        return nullptr;
    std::vector<uint8_t> pixels(static_cast<size_t>(record->width) * static_cast<size_t>(record->height) * 4);
    if (!gpu::readLevel0(*record, GL_BGRA, pixels.data()))
        return nullptr;
    KVE_IMAGE* target = gpu::images().create(&image);
    if (!target)
        return nullptr;
    target->image = gpu::makeImage(record->width, record->height, gpu::ChannelOrder::Bgra, gpu::RowOrder::TopDown);
    const size_t rowBytes = static_cast<size_t>(record->width) * 4;
    for (int y = 0; y < record->height; ++y) {
        const int source = flip ? record->height - 1 - y : y;
        std::memcpy(target->image.row(y), pixels.data() + rowBytes * static_cast<size_t>(source), rowBytes);
    }
    return target;
}

void KVE_SetTextureFilter(int filter)
{
    kve::engine::state().textureFilter = static_cast<unsigned>(filter);
}

int KVE_GetTextureFilter(void)
{
    return static_cast<int>(kve::engine::state().textureFilter);
}

const char* KVE_GetTextureName(int texture)
{
    const TextureRecord* record = findTexture(texture);
    return record ? record->name : "";
}

int KVE_GetTextureWidth(int texture)
{
    const TextureRecord* record = findTexture(texture);
    return record ? record->width : 0;
}

int KVE_GetTextureHeight(int texture)
{
    const TextureRecord* record = findTexture(texture);
    return record ? record->height : 0;
}

unsigned KVE_GetTextureObject(int texture)
{
    const TextureRecord* record = findTexture(texture);
    return record ? record->texture : 0;
}

void KVE_SetTextureRectangle(int texture, int x, int y, int width, int height)
{
    TextureRecord* record = findTexture(texture);
    if (!record)
        return;
    record->rectangle[0] = x;
    record->rectangle[1] = y;
    record->rectangle[2] = width == -1 ? record->width : width;
    record->rectangle[3] = height == -1 ? record->height : height;
}

unsigned char* KVE_CopyTexturePixels(int texture)
{
    const TextureRecord* record = findTexture(texture);
    if (!record || record->width <= 0 || record->height <= 0)
        return nullptr;
    const size_t size = static_cast<size_t>(record->width) * static_cast<size_t>(record->height) * 4;
    auto* pixels = static_cast<unsigned char*>(std::malloc(size));
    if (pixels && !gpu::readLevel0(*record, GL_RGBA, pixels)) {
        std::free(pixels);
        pixels = nullptr;
    }
    return pixels;
}

} // extern "C"

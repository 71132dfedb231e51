// Textures: GL texture objects in the texture registry, the sampling state every loader
// sets, and the upload of decoded images (top row first, so t = 0 is the image's top).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/registry.h"
#include "gpu/image.h"

struct DefinitionNode;

// The texture registry's record.
struct KVE_TEXTURE {
    int number = 0;
    const char* name = "";
    unsigned target = 0;  // GL_TEXTURE_2D or GL_TEXTURE_CUBE_MAP
    unsigned texture = 0; // the GL texture object
    int mipmaps = 0;      // 0: none; otherwise the highest mipmap level
    int width = 0, height = 0;
    int rectangle[4] = {0, 0, 0, 0}; // x, y, width, height: the part to draw
};

namespace kve::gpu {

using TextureRecord = KVE_TEXTURE;

inline constexpr const char* kTexturesUnit = "KVE Textures";

core::Registry<TextureRecord>& textures();
// The texture of a number (explicit or automatic); null when there is none.
TextureRecord* findTexture(int texture);

// The filter argument of the loaders: the default marker means the engine's default.
int resolveTextureFilter(int filter);

// Uploads a decoded image to the texture bound by the caller: target 0 is GL_TEXTURE_2D
// (or, with a layer other than the default marker, that layer of the bound
// GL_TEXTURE_2D_ARRAY); any other target is a cube face. Internal format GL_RGBA.
void uploadImage(const Image& image, unsigned target, int layer);

// Counts the image uploads so far: results drawn with texture content (cut-out shadow
// casters) are stale once it moves.
uint64_t textureUploadCount();

// A 2D texture from an image already decoded (no mipmaps, no anisotropy).
TextureRecord* makeTexture(int id, const Image& image, int filter, std::string_view name);

// Sampling chosen by the image's user rather than by a loader: GL wrap modes and filters.
// A minification filter that reads mipmaps makes the whole chain (or falls back to its
// level-0 filter for a 1x1 image).
struct TextureSampling {
    int wrapS = 0x2901, wrapT = 0x2901;         // GL_REPEAT
    int minFilter = 0x2703, magFilter = 0x2601; // GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR
};
TextureRecord* makeSampledTexture(int id, const Image& image, const TextureSampling& sampling, std::string_view name);

// KVE_CatchTexture's work: decode an image file held in memory into a new 2D texture.
TextureRecord* catchTexture(int id, const uint8_t* data, size_t size, int filter, std::string_view name,
                            std::string_view procedure);

inline constexpr const char* kTextureDefinitionProcedure = "KVE_LoadTextureDefinition";

// KVE_LoadTextureDefinition's work on a Texture block already found, without recording
// the block as a source of its own (a texture written inline in a material block reloads
// with its material). `imagePath` receives the image file the block names.
TextureRecord* loadTextureBlock(int id, DefinitionNode* block, std::string* imagePath);

// A reload's last step: the staged texture's GL object, size and settings move into the
// live record, which keeps its number and name, and the staged record is released with
// the old object.
void adoptReloadedTexture(TextureRecord& live, TextureRecord& staged);

// Forgets the per-context state (the anisotropy probe) once every texture is released.
void resetTextureState();

} // namespace kve::gpu

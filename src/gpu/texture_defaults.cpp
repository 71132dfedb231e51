// The engine's default textures, made at start-up from the images embedded in the
// library: the logo, a colour checker with its normal map, a grey checker and a sky cube.
#include "gpu/texture_defaults.h"

#include "core/engine.h"
#include "data.h"
#include "gpu/texture.h"
#include "kve.h"
#include "platform/gl.h"

namespace kve::gpu {
namespace {

int caught(const unsigned char* data, size_t size)
{
    const TextureRecord* texture = catchTexture(-1, data, size, GL_LINEAR, "", "KVE_Init");
    return texture ? texture->number : -1;
}

} // namespace

void createLogoTexture()
{
    engine::state().logoTexture = caught(data::kLogo, data::kLogoSize);
}

void createDefaultTextures()
{
    auto& engine = engine::state();
    engine.defaultTextures[0] = caught(data::kColorChecker, data::kColorCheckerSize);
    engine.defaultTextures[1] = caught(data::kColorCheckerNormal, data::kColorCheckerNormalSize);
    engine.defaultTextures[2] = caught(data::kGreyChecker, data::kGreyCheckerSize);
    const void* faces[6] = {data::kSkyPx, data::kSkyNx, data::kSkyPy, data::kSkyNy, data::kSkyPz, data::kSkyNz};
    const int sizes[6] = {static_cast<int>(data::kSkyPxSize), static_cast<int>(data::kSkyNxSize),
                          static_cast<int>(data::kSkyPySize), static_cast<int>(data::kSkyNySize),
                          static_cast<int>(data::kSkyPzSize), static_cast<int>(data::kSkyNzSize)};
    const KVE_TEXTURE* cube = KVE_CatchCubeMapTexture(-1, faces, sizes, GL_LINEAR, 0, "");
    engine.defaultCubeMap = cube ? KVE_GetTextureNumber(cube) : -1;
}

void releaseAllTextures()
{
    textures().releaseAll();
    resetTextureState();
}

} // namespace kve::gpu

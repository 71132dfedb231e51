// Sprites: textured rectangles in screen pixels drawn with the sprite programs (kinds 24
// and 25), each with its own four-vertex buffer and 2D model matrix; and the binding of a
// sprite material that sprites and text share.
#pragma once

#include "core/registry.h"
#include "gpu/material.h"
#include "kve.h"

namespace kve::render {

// 32 bytes: position at attribute 0, first texture coordinate at 2, second at 3.
struct SpriteVertex {
    float x, y, z, w;
    float u0, v0;
    float u1, v1;
};
static_assert(sizeof(SpriteVertex) == 32);

} // namespace kve::render

struct KVE_SPRITE {
    int number = 0;
    const char* name = "";
    int material = -1;
    float width = 0.0f, height = 0.0f;
    KVE_Vector scale{1, 1, 1, 0};
    float angle = 0.0f; // degrees, clockwise on the screen
    KVE_Vector position{0, 0, 0, 1};
    KVE_Matrix transform{};
    kve::render::SpriteVertex vertices[4]{};
    unsigned vertexArray = 0, vertexBuffer = 0;
};

namespace kve::render {

core::Registry<KVE_SPRITE>& sprites();
KVE_SPRITE* findSprite(int sprite);

// Makes the material's program current with its textures, colour and the 2D model
// matrix. False (nothing bound) unless the material's program is a sprite program.
bool bindSpriteMaterial(const gpu::MaterialRecord& material, const KVE_Matrix& model);

// Saves the depth-test and face-culling switches, turns both off for 2D drawing and puts
// them back when it goes out of scope.
class Overlay2DState {
public:
    Overlay2DState();
    ~Overlay2DState();
    Overlay2DState(const Overlay2DState&) = delete;
    Overlay2DState& operator=(const Overlay2DState&) = delete;

private:
    bool depthTest_, cullFace_;
};

// Releases every font and sprite (engine shutdown).
void releaseFontsAndSprites();

// The logo, its material and its 102 x 102 sprite, from the logo texture (start-up).
void createLogoSprite();
// The logo badge at the bottom-right corner when the engine's logo switch is on.
void drawLogoBadge();

} // namespace kve::render

// View culling: the planes of a render's view volume taken from its clip matrix, the
// test that leaves out an object whose mesh box lies wholly outside them, and the counts
// of objects each frame drew and left out.
#pragma once

#include "kve.h"
#include "render/shadow_casters.h"

namespace kve::render {

// The six clip planes of `viewProjection` (world to clip space) as world half-spaces,
// each normalised so that its slack is in world units. No planes (nothing is left out)
// when the matrix is degenerate or not finite.
ShadowVolume viewVolume(const KVE_Matrix& viewProjection);

// Whether a program of `kind` places vertices only through the model-view and projection
// matrices, so that the mesh box bounds what it draws. Kinds that push vertices along
// their normals or the wind are never left out.
bool keepsMeshBox(int kind);

// Whether the object's mesh box, placed by `world`, lies wholly outside one plane of
// `volume`. False without a box, with a projective world matrix or non-finite values.
bool outsideVolume(const KVE_OBJECT& object, const KVE_Matrix& world, const ShadowVolume& volume);

// Objects drawn and left out since the frame began; the last frame's are kept when the
// next begins.
struct DrawCounts {
    int drawn = 0, culled = 0;               // camera passes (G-buffer, forward, over-image)
    int castersDrawn = 0, castersCulled = 0; // shadow map renders (every face counts)
};
DrawCounts& frameDrawCounts();
void beginDrawCounts();
void endDrawCounts();

bool viewCullingEnabled();

} // namespace kve::render

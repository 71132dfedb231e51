// Shadow maps: the shared 2D map of the directional light and the shared cube map of
// shadowed point lights, the framebuffer they are rendered through, and the depth-only
// passes that fill them from queues 0 and 1.
#pragma once

#include "kve.h"
#include "render/frame_passes.h"
#include "render/shadow_casters.h"

namespace kve::render {

struct ShadowTargets {
    int size2D = 0, sizeCube = 0;
    unsigned map2D = 0, cubeMap = 0, renderbuffer = 0, framebuffer = 0;
    KVE_Matrix faces[6]{};         // look-at matrices of the cube faces, in face order
    KVE_Matrix lightProjection{};  // of the shadow being rendered
    KVE_Matrix lightMatrix{};      // the directional light's camera
    KVE_Matrix worldToLightView{}; // inverse of the light's camera (last face for cubes)
    KVE_Matrix shadowTextureMatrix{};
};

ShadowTargets& shadowTargets();

// Shadow map faces (the directional map counts as one) drawn and kept since start-up.
struct ShadowFaceCounts {
    long long drawn = 0, kept = 0;
    long long partial = 0; // of the drawn: only the changed rectangles
};
const ShadowFaceCounts& shadowFaceCounts();
void deleteShadowTargets();

// Ortho projection, 2D map attached: the directional light's shadow of queues 0 and 1.
// Leaves the G-buffer framebuffer bound and the camera projection restored.
void renderDirectionalShadowMap();
// The six faces of `cubeTexture` seen from the light's world position, drawing the
// objects `filter` accepts; leaves `framebuffer` bound and the camera projection restored.
// With `faces` (what each face holds) only the casters meeting a face are drawn, a face
// whose signature is unchanged is kept, and a face where few casters changed is redrawn
// only around them; without, every face is drawn from all.
void renderCubeShadowMap(const KVE_LIGHT& light, unsigned cubeTexture, ObjectFilter filter, unsigned framebuffer,
                         ShadowFaceRecord* faces);

// The cube map a shadowed point light renders into this frame, with the records of its
// faces: its own while few lights cast shadows, else the shared one. Lights no longer
// listed give their maps up.
struct LightCube {
    unsigned texture = 0;
    ShadowFaceRecord* faces = nullptr; // null: the map is redrawn whole every time
};
LightCube lightCubeMap(const KVE_LIGHT& light);
void releaseUnlistedLightCubes();

} // namespace kve::render

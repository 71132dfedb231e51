// Shadow maps: the shared 2D map of the directional light and the shared cube map of
// shadowed point lights, the framebuffer they are rendered through, and the depth-only
// passes that fill them from queues 0 and 1.
#pragma once

#include "kve.h"
#include "render/frame_passes.h"

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
void deleteShadowTargets();

// Ortho projection, 2D map attached: the directional light's shadow of queues 0 and 1.
// Leaves the G-buffer framebuffer bound and the camera projection restored.
void renderDirectionalShadowMap();
// The six faces of `cubeTexture` seen from the light's world position, drawing the
// objects `filter` accepts; leaves `framebuffer` bound and the camera projection restored.
void renderCubeShadowMap(const KVE_LIGHT& light, unsigned cubeTexture, ObjectFilter filter, unsigned framebuffer);

} // namespace kve::render

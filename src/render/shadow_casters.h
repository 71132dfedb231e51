// Which shadow casters a shadow view can see, and a record of what a shadow map face
// was last drawn from, so that a face whose casters and light are unchanged is kept.
#pragma once

#include <cstdint>
#include <vector>

#include "kve.h"
#include "render/frame_passes.h"

namespace kve::render {

// World-space half-spaces n.x + d >= 0 bounding what one shadow render can rasterise.
// With no planes every caster counts as inside.
struct ShadowVolume {
    KVE_Vector planes[6]{}; // x, y, z: normal; w: d
    int count = 0;
};

// Face `face` (cube-map order) of a cube shadow render from `position`, near to far.
ShadowVolume cubeFaceVolume(const KVE_Vector& position, int face, float near, float far);
// The box of an orthographic render seen through `lightMatrix` (a rigid camera matrix).
ShadowVolume orthographicVolume(const KVE_Matrix& lightMatrix, float halfWidth, float near, float far);

// Whether the object's mesh box, placed by its world matrix, meets the volume; true when
// it has no bounds.
bool meetsVolume(const KVE_OBJECT& object, const ShadowVolume& volume);

// Whether a shadow render draws the object of a program of `kind`: it passes the filter
// and, with a volume, meets it.
bool castsInto(const KVE_OBJECT& object, int kind, ObjectFilter filter, const ShadowVolume* volume);

// The inputs of one shadow render (projection, light view, and per drawn caster its
// program kind, material state, mesh data and world matrix); equal signatures draw
// equal depth maps.
struct ShadowSignature {
    std::vector<uint32_t> words;
    bool empty = true; // no caster drawn: the face is only cleared
};

void buildShadowSignature(ShadowSignature& out, const KVE_Matrix& projection, const KVE_Matrix& worldToLightView,
                          ObjectFilter filter, const ShadowVolume& volume);

// What a shadow map (or one cube face) holds.
struct ShadowFaceRecord {
    bool valid = false;
    ShadowSignature drawn;
};

} // namespace kve::render

// Which shadow casters a shadow view can see, and a record of what a shadow map face
// was last drawn from, so that a face whose casters and light are unchanged is kept.
#pragma once

#include <cstdint>
#include <vector>

#include "kve.h"
#include "render/frame_passes.h"

namespace kve::render {

// Pixels [x0, x1) x [y0, y1) of a shadow map.
struct ShadowRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;
    bool empty() const { return x1 <= x0 || y1 <= y0; }
    long long area() const { return empty() ? 0 : static_cast<long long>(x1 - x0) * (y1 - y0); }
};

// World-space half-spaces n.x + d >= 0 bounding what one shadow render can rasterise.
// With no planes every caster counts as inside.
//
// With `clips` (a partial redraw) only casters whose projected box meets one of those
// rectangles count, split by the size of that box: with `clip` negative the small
// ones (at most `largeArea` pixels, drawn whole), else the large ones meeting rectangle
// `clip` (drawn scissored to it, so that a ground under a moving ball is not
// rasterised over the whole map).
struct ShadowVolume {
    KVE_Vector planes[6]{}; // x, y, z: normal; w: d
    int count = 0;
    const std::vector<ShadowRect>* clips = nullptr;
    int clip = -1;
    long long largeArea = 0;
    KVE_Matrix viewProjection{}; // world to clip space of the render, for the rectangles
    int size = 0;                // of the map, in pixels
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

// The pixels a caster can touch in a map: its projected box, widened by rounding
// margins; the whole map when that cannot be bounded (no box, behind the eye, wind).
ShadowRect casterRect(const KVE_OBJECT& object, int kind, const KVE_Matrix& viewProjection, int size);

// One drawn caster of a signature: its material's words and its own (mesh data and
// world matrix), and the pixels it covers.
struct ShadowCaster {
    uint32_t material = 0, materialEnd = 0, begin = 0, end = 0; // word ranges
    uint64_t hash = 0;
    ShadowRect rect;
};

// The inputs of one shadow render (projection, light view, and per drawn caster its
// program kind, material state, mesh data and world matrix); equal signatures draw
// equal depth maps.
struct ShadowSignature {
    std::vector<uint32_t> words;
    std::vector<ShadowCaster> casters;
    uint32_t header = 0; // words of the projection and view
    bool empty = true;   // no caster drawn: the face is only cleared
};

// The casters' rectangles come from `volume.viewProjection` and `volume.size`.
void buildShadowSignature(ShadowSignature& out, const KVE_Matrix& projection, const KVE_Matrix& worldToLightView,
                          ObjectFilter filter, const ShadowVolume& volume);

// The rectangles where a map drawn from `before` differs from one drawn from `now`:
// those of the casters found in only one of them (a depth test keeps the nearest
// depth, so the order of drawing does not matter), merged to a few. False when the
// whole map should be drawn instead (another view, no casters on either side, or the
// changes cover much of the map).
bool changedRects(const ShadowSignature& before, const ShadowSignature& now, int size,
                  std::vector<ShadowRect>& rects);

// What a shadow map (or one cube face) holds.
struct ShadowFaceRecord {
    bool valid = false;
    ShadowSignature drawn;
};

} // namespace kve::render

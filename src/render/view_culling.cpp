// View volumes from clip matrices and the box test against them. A box is left out only
// when it lies wholly on the outer side of a plane the rasteriser clips at (no depth
// clamp is used), widened for the rounding of the GPU's own transform, so leaving it
// out changes no pixel.
#include "render/view_culling.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "geometry/mesh.h"
#include "render/frame_settings.h"

namespace kve::render {
namespace {

// Widening of every plane: relative to the box's reach and to the magnitudes the plane
// distance is computed from, plus an absolute part in world units.
constexpr float kRelativeSlack = 1e-3f;
constexpr float kMagnitudeSlack = 1e-4f;
constexpr float kAbsoluteSlack = 1e-3f;

DrawCounts running, last;

float dot3(const KVE_Vector& a, const KVE_Vector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

float row(const KVE_Matrix& m, int column, int r)
{
    return (&m.c[column].x)[r];
}

} // namespace

ShadowVolume viewVolume(const KVE_Matrix& viewProjection)
{
    ShadowVolume volume;
    // Gribb-Hartmann: inside is -w <= x, y, z <= w, i.e. (row 3 +- row i) . p >= 0.
    for (int axis = 0; axis < 3; ++axis)
        for (const float sign : {1.0f, -1.0f}) {
            KVE_Vector plane;
            for (int column = 0; column < 4; ++column)
                (&plane.x)[column] = row(viewProjection, column, 3) + sign * row(viewProjection, column, axis);
            const float length = std::sqrt(dot3(plane, plane));
            if (!(length > 0.0f) || !std::isfinite(length + plane.w))
                return {};
            volume.planes[volume.count++] = {plane.x / length, plane.y / length, plane.z / length, plane.w / length};
        }
    return volume;
}

bool keepsMeshBox(int kind)
{
    switch (kind) {
    case KVE_SHADER_DEFAULT:
    case KVE_SHADER_DRAWING:
    case KVE_SHADER_DRAW_MESH:
    case KVE_SHADER_TEXTURES:
    case KVE_SHADER_NORMAL_MAPPING:
    case KVE_SHADER_REFLECTION_NORMAL_MAPPING:
    case KVE_SHADER_SPECULAR_NORMAL_MAPPING:
    case KVE_SHADER_TEXTURE_ARRAY:
    case KVE_SHADER_PARALLAX_MAPPING:
    case KVE_SHADER_SPECULAR_PARALLAX_MAPPING:
    case KVE_SHADER_WATER:
    case KVE_SHADER_MASK_REFRACTION:
        return true;
    default:
        return false; // silhouette, grass, mesh glow and programs of no fixed kind
    }
}

bool outsideVolume(const KVE_OBJECT& object, const KVE_Matrix& world, const ShadowVolume& volume)
{
    const auto* mesh = static_cast<const geometry::MeshRecord*>(object.mesh);
    if (volume.count == 0 || !mesh || !mesh->bounded)
        return false;
    if (world.c[0].w != 0.0f || world.c[1].w != 0.0f || world.c[2].w != 0.0f || world.c[3].w != 1.0f)
        return false;
    // The mesh box becomes an oriented box: its centre and its half-edges along the
    // world matrix's columns. Its reach along a plane normal n is sum |n . edge|.
    KVE_Vector centre{0, 0, 0, 1};
    KVE_Vector edges[3];
    for (int axis = 0; axis < 3; ++axis) {
        (&centre.x)[axis] = 0.5f * (mesh->boundsLow[axis] + mesh->boundsHigh[axis]);
        const float half = 0.5f * (mesh->boundsHigh[axis] - mesh->boundsLow[axis]);
        edges[axis] = {world.c[axis].x * half, world.c[axis].y * half, world.c[axis].z * half, 0.0f};
    }
    KVE_TransformVector(&centre, &world);
    for (int i = 0; i < volume.count; ++i) {
        const KVE_Vector& p = volume.planes[i];
        const float reach = std::fabs(dot3(p, edges[0])) + std::fabs(dot3(p, edges[1])) + std::fabs(dot3(p, edges[2]));
        const float along = dot3(p, centre);
        const float slack =
            reach * kRelativeSlack + (std::fabs(along) + std::fabs(p.w)) * kMagnitudeSlack + kAbsoluteSlack;
        const float distance = along + p.w + reach + slack;
        if (std::isfinite(distance) && distance < 0.0f)
            return true;
    }
    return false;
}

DrawCounts& frameDrawCounts()
{
    return running;
}

void beginDrawCounts()
{
    running = DrawCounts{};
}

void endDrawCounts()
{
    last = running;
}

bool viewCullingEnabled()
{
    return frameSettings().viewCulling != 0;
}

} // namespace kve::render

extern "C" {

int KVE_SetViewCulling(int on)
{
    auto& culling = kve::render::frameSettings().viewCulling;
    const int before = culling;
    culling = on ? 1 : 0;
    return before;
}

int KVE_GetFrameStatistics(KVE_FRAME_STATISTICS* out, int size)
{
    if (!out || size <= 0)
        return 0;
    const kve::render::DrawCounts& counts = kve::render::last;
    KVE_FRAME_STATISTICS statistics{};
    statistics.objectsDrawn = counts.drawn;
    statistics.objectsCulled = counts.culled;
    statistics.shadowCastersDrawn = counts.castersDrawn;
    statistics.shadowCastersCulled = counts.castersCulled;
    const size_t bytes = std::min(static_cast<size_t>(size), sizeof statistics);
    std::memcpy(out, &statistics, bytes);
    return static_cast<int>(bytes);
}

} // extern "C"

// Fixed geometry of the lighting passes: the full-screen quad of the directional light
// and the unit icosphere that bounds a point light, with its per-instance stream of light
// records for drawing every unshadowed point light in one instanced call.
#pragma once

#include <array>
#include <cstdint>

#include "kve.h"

namespace kve::render {

inline constexpr int kIcosphereVertexCount = 43; // the unreferenced origin, then 42 on the sphere
inline constexpr int kIcosphereTriangleCount = 80;
inline constexpr int kIcosphereIndexCount = 3 * kIcosphereTriangleCount;
inline constexpr int kPointLightInstances = 768;

struct Icosphere {
    std::array<KVE_Vector, kIcosphereVertexCount> vertices;
    std::array<uint32_t, kIcosphereIndexCount> indices; // counter-clockwise seen from outside
};

// An icosahedron with its poles on the y axis, each face split into four at the edge
// midpoints, which are pushed out to radius 1.
const Icosphere& unitIcosphere();

// One point light as the instanced program reads it (attributes 7 to 14).
struct PointLightInstance {
    KVE_Matrix modelView; // the unit volume to view space
    float position[3];    // view space
    float range;
    float color[3];
    float intensity;
};
static_assert(sizeof(PointLightInstance) == 96);

struct LightVolumes {
    unsigned quadArray = 0, quadBuffer = 0;
    unsigned sphereArray = 0, sphereBuffer = 0, sphereIndices = 0, instanceBuffer = 0;
};

const LightVolumes& lightVolumes();
void buildDirectLightQuad();
// Rewrites the direct-light quad for the current screen size.
void fillDirectLightQuad();
void buildPointLightVolume();
void deleteLightVolumes();

void drawDirectLightQuad();
// Uploads up to kPointLightInstances records and draws the icosphere once per record.
void drawPointLightInstances(const PointLightInstance* instances, int count);
// The icosphere alone, placed by the Model block.
void drawPointLightVolume();

} // namespace kve::render

// The directional light and ambient settings and their operations.
#include "scene/lighting.h"

#include <cmath>

#include "kve.h"

namespace kve::scene {

LightingSettings& lighting()
{
    static LightingSettings settings;
    return settings;
}

void resetLighting()
{
    lighting() = LightingSettings{};
}

} // namespace kve::scene

namespace {

using kve::scene::lighting;

// A packed colour as four floats with the alpha forced opaque.
void setOpaqueColor(float (&target)[4], int color)
{
    KVE_Vector value;
    KVE_ColorToVector(&value, color);
    target[0] = value.x;
    target[1] = value.y;
    target[2] = value.z;
    target[3] = 1.0f;
}

} // namespace

extern "C" {

void KVE_SetDirectLightEnabled(int enabled)
{
    lighting().directEnabled = enabled;
}

void KVE_SetDirectLightDirection(float x, float y, float z)
{
    const float length = std::sqrt(x * x + y * y + z * z);
    if (!(length > 0.0f) || !std::isfinite(length))
        return;
    float* direction = lighting().direction;
    direction[0] = x / length;
    direction[1] = y / length;
    direction[2] = z / length;
    direction[3] = 0.0f;
}

void KVE_SetDirectLightColor(int color)
{
    setOpaqueColor(lighting().color, color);
}

void KVE_SetDirectLightIntensity(float intensity)
{
    if (std::isfinite(intensity))
        lighting().intensity = intensity;
}

void KVE_SetAmbientColor(int color)
{
    setOpaqueColor(lighting().ambient, color);
}

void KVE_SetShadows(int enabled)
{
    lighting().shadowsEnabled = enabled;
}

void KVE_SetShadowCentre(float x, float y, float z)
{
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
        return;
    float* centre = lighting().shadowCentre;
    centre[0] = x;
    centre[1] = y;
    centre[2] = z;
}

} // extern "C"

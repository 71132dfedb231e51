#include "scene/lighting.h"

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

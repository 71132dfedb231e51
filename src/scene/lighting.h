// The global lighting settings: one directional light and the ambient colour.
#pragma once

namespace kve::scene {

struct LightingSettings {
    int directEnabled = 0;
    float direction[4] = {0.0f, -1.0f, 0.0f, 0.0f}; // unit vector from the scene toward the light
    float color[4] = {1.0f, 1.0f, 1.0f, 1.0f};
    float intensity = 1.0f;
    float ambient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    int shadowsEnabled = 0;
    float shadowCentre[3] = {0.0f, 0.0f, 0.0f};
};

LightingSettings& lighting();

// The start-up defaults: direction (0, -1, 0), intensity 1, white light, black ambient.
void resetLighting();

} // namespace kve::scene

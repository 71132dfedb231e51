// Local lights: the light registry, the point and spot lists the frame draws from, and
// each light's volume matrix (its placement scaled so the unit light volume covers the
// range).
#pragma once

#include <vector>

#include "kve.h"

struct KVE_LIGHT {
    KVE_ITEM item; // kind KVE_ITEM_LIGHT; full and rigid matrix are `placement`
    int32_t number;
    const char* name; // always ""
    int32_t enabled;
    int32_t castsShadows;
    int32_t isStatic;
    int32_t staticShadowMap; // GL texture name, -1 when none
    KVE_Vector position;     // in the parent's space, w = 1
    KVE_Quaternion orientation;
    KVE_Matrix matrix; // placement with its three axes scaled by range x 1.01
    int32_t type;      // KVE_LIGHT_POINT or KVE_LIGHT_SPOT
    KVE_Vector viewPosition; // set by the frame for enabled lights
    float range;
    KVE_Vector color;
    float intensity;
    KVE_Vector direction; // spot direction, w = 0
    float coneAngle;
    KVE_Matrix placement; // rotation and position: what attached children follow
};

namespace kve::scene {

inline constexpr int kStaticShadowMapSize = 2048;
inline constexpr float kLightVolumeMargin = 1.01f;

KVE_LIGHT* findLight(int number);
const std::vector<KVE_LIGHT*>& pointLights(); // in creation order
const std::vector<KVE_LIGHT*>& spotLights();

// The volume matrix composed with the light's parents.
KVE_Matrix lightWorldMatrix(const KVE_LIGHT& light);

void releaseLights(); // every light, at shutdown

} // namespace kve::scene

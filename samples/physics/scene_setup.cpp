#include "scene_setup.h"

#include "kve.h"

namespace {

constexpr int kCamera = 0;      // there is one camera; its number is not looked at
constexpr int kParentSpace = 0; // move mode: absolute, in the parent's space

} // namespace

void setUpLightingAndView()
{
    // 5. Background; the scene has no directional light.
    KVE_SetBackgroundColor(static_cast<int>(0xFF808080));
    KVE_SetDirectLightEnabled(0);
    // 6. The point light, casting shadows.
    KVE_CreateLight(kDemoLight, 0.0f, 5.0f, 0.0f, KVE_LIGHT_POINT);
    KVE_SetLightColor(kDemoLight, static_cast<int>(0xFFFFFFFF));
    KVE_SetLightShadow(kDemoLight, 1, 0);
    KVE_SetLightIntensity(kDemoLight, 0.5f);
    KVE_SetLightRange(kDemoLight, 100.0f);
    // 7. Ambient colour and shadows.
    KVE_SetAmbientColor(static_cast<int>(0xFF101010));
    KVE_SetShadows(1);
    // 8. Projection.
    KVE_SetProjectionFar(200.0f);
    KVE_SetProjectionNear(0.1f);
    KVE_SetProjectionFOV(60.0f);
    // 9. Camera.
    KVE_MoveCamera(kCamera, 0.0f, 4.0f, 8.0f, kParentSpace);
}

bool placeModel(const std::string& file)
{
    KVE_GLTF_SCENE scene;
    const int root = KVE_LoadGLTFScene(file.c_str(), "Model", &scene);
    if (root < 0)
        return false;
    // Centred over (0, -4) on the ground, the camera starting at (0, 4, 8).
    const float x = (scene.boundsMin.x + scene.boundsMax.x) / 2, z = (scene.boundsMin.z + scene.boundsMax.z) / 2;
    KVE_MoveNode(root, -x, -scene.boundsMin.y, -4.0f - z, kParentSpace);
    return true;
}

// glTF viewer: loads a ".gltf" or ".glb" file, frames its bounds, lights it with the
// directional light and shows what the file held. Drag with the left mouse button to
// orbit, turn the wheel to zoom; Escape or closing the window quits.
//
// Usage: gltf_viewer FILE [shot.png]
// With a screenshot name it draws two frames, saves the last one there and quits.
#include <kve.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

namespace {

constexpr int kCamera = 0;   // there is one camera; its number is not looked at
constexpr int kAbsolute = 0; // move and rotate mode: set, in the parent's space
constexpr float kDegrees = 180.0f / 3.14159265f;
constexpr float kFieldOfView = 45.0f;

struct Orbit {
    KVE_Vector centre{0, 0, 0, 1};
    float distance = 5.0f, yaw = 35.0f, pitch = 25.0f; // degrees, pitch up from level

    // The camera on the sphere round the centre, looking at it.
    void place() const
    {
        const float y = yaw / kDegrees, p = pitch / kDegrees;
        KVE_MoveCamera(kCamera, centre.x + distance * std::cos(p) * std::sin(y), centre.y + distance * std::sin(p),
                       centre.z + distance * std::cos(p) * std::cos(y), kAbsolute);
        KVE_RotateCamera(kCamera, -pitch, yaw, 0.0f, kAbsolute);
        KVE_SetProjectionNear(distance * 0.01f);
        KVE_SetProjectionFar(distance * 10.0f);
    }
};

// Far enough back that the sphere round the scene's box fills the view.
Orbit fit(const KVE_GLTF_SCENE& scene)
{
    Orbit orbit;
    const float dx = scene.boundsMax.x - scene.boundsMin.x, dy = scene.boundsMax.y - scene.boundsMin.y,
                dz = scene.boundsMax.z - scene.boundsMin.z;
    orbit.centre = {(scene.boundsMin.x + scene.boundsMax.x) / 2, (scene.boundsMin.y + scene.boundsMax.y) / 2,
                    (scene.boundsMin.z + scene.boundsMax.z) / 2, 1};
    const float radius = std::max(0.5f * std::sqrt(dx * dx + dy * dy + dz * dz), 0.01f);
    orbit.distance = 1.1f * radius / std::sin(kFieldOfView / 2 / kDegrees);
    return orbit;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: gltf_viewer FILE [shot.png]\n");
        return 2;
    }
    const char* screenshot = argc > 2 ? argv[2] : nullptr;
    const int window = KVE_OpenWindow("Korvane Engine - glTF viewer", 800, 450, screenshot != nullptr);
    int width = 0, height = 0;
    KVE_GetWindowClientSize(window, &width, &height);
    if (!window || !KVE_OpenScreen(window, 0, 0, width, height, 32))
        return 1;

    KVE_GLTF_SCENE scene;
    if (KVE_LoadGLTFScene(argv[1], "", &scene) < 0) {
        std::fprintf(stderr, "gltf_viewer: %s cannot be loaded (see KVE LogFile.html)\n", argv[1]);
        KVE_Shutdown();
        return 1;
    }
    const std::string counts = "Objects: " + std::to_string(scene.objects) + "  Meshes: " +
                               std::to_string(scene.meshes) + "  Materials: " + std::to_string(scene.materials) +
                               "  Textures: " + std::to_string(scene.textures);
    const std::string triangles = "Triangles: " + std::to_string(scene.triangles);
    std::printf("%s\n%s\n", counts.c_str(), triangles.c_str());

    KVE_SetDirectLightEnabled(1);
    KVE_SetDirectLightDirection(0.5f, 1.0f, 0.7f);
    KVE_SetDirectLightIntensity(0.9f);
    KVE_SetAmbientColor(static_cast<int>(0xFF404040));
    KVE_SetBackgroundColor(static_cast<int>(0xFF302820));
    KVE_SetProjectionFOV(kFieldOfView);
    Orbit orbit = fit(scene);
    const int font = KVE_GetDefaultFont(KVE_FONT_DEFAULT);

    bool running = true;
    for (int frame = 1; running; ++frame) {
        KVE_MESSAGE message;
        while (KVE_PeekMessage(&message))
            running = running && message.message != KVE_WM_CLOSE;
        KVE_UpdateKeyboard();
        KVE_UpdateMouse();
        running = running && !KVE_KeyDown(KVE_VK_ESCAPE);
        if (KVE_MouseDown(KVE_MOUSE_LEFT)) {
            orbit.yaw -= 0.4f * static_cast<float>(KVE_MouseDX());
            orbit.pitch = std::clamp(orbit.pitch + 0.4f * static_cast<float>(KVE_MouseDY()), -85.0f, 85.0f);
        }
        orbit.distance *= std::pow(0.9f, static_cast<float>(KVE_MouseWheel()));
        orbit.place();

        KVE_RenderScene(-1);
        KVE_DrawText(font, 10.0f, 10.0f, counts.c_str(), KVE_DEFAULT, KVE_DEFAULT_FLOAT, KVE_DEFAULT_FLOAT);
        KVE_DrawText(font, 10.0f, 30.0f, triangles.c_str(), KVE_DEFAULT, KVE_DEFAULT_FLOAT, KVE_DEFAULT_FLOAT);
        if (screenshot && frame == 2) {
            KVE_SaveScreenshot(screenshot);
            running = false;
        }
        KVE_FlipBuffers();
    }
    KVE_Shutdown();
    return 0;
}

// Lit scene: meshes from files with materials from a definition file, lit by the
// directional light and an orange point light, both casting shadows, while the camera
// flies round on a circle. Escape or closing the window quits. Given a file name, it
// draws 5 frames a quarter second apart, saves the last one there as a PNG and quits
// (its test runs it so: a software renderer draws shadows slowly).
#include <kve.h>

#include <cmath>
#include <filesystem>
#include <string>

namespace {

constexpr int kCamera = 0;   // there is one camera; its number is not looked at
constexpr int kAbsolute = 0; // move and rotate mode: set, in the parent's space
enum Mesh { kGroundMesh = 1, kCubeMesh, kBallMesh, kRocksMesh };
constexpr int kLamp = 1;

// An object of `mesh` in the material named `material`, placed, scaled and turned.
void place(int mesh, const char* material, float x, float y, float z, float scale, float yaw)
{
    const KVE_OBJECT* object = KVE_CreateObject(-1, mesh, KVE_FindMaterial(material), "", 0, 0);
    if (!object)
        return;
    KVE_MoveObject(object->number, x, y, z, kAbsolute);
    KVE_ScaleObject(object->number, scale, scale, scale, kAbsolute);
    KVE_RotateObject(object->number, 0.0f, yaw, 0.0f, kAbsolute);
}

// The camera on a circle of radius 10 at height 4, turned toward the scene's centre.
void flyCamera(float seconds)
{
    const float angle = 0.6f + 0.25f * seconds, radius = 10.0f, height = 4.0f;
    const float x = radius * std::sin(angle), z = radius * std::cos(angle);
    KVE_MoveCamera(kCamera, x, height, z, kAbsolute);
    const float degrees = 180.0f / 3.14159265f;
    KVE_RotateCamera(kCamera, -std::atan2(height - 0.5f, radius) * degrees, angle * degrees, 0.0f, kAbsolute);
}

} // namespace

int main(int argc, char** argv)
{
    const char* screenshot = argc > 1 ? argv[1] : nullptr;
    const int window = KVE_OpenWindow("Korvane Engine - Lit scene", 800, 450, screenshot != nullptr);
    int width = 0, height = 0;
    KVE_GetWindowClientSize(window, &width, &height);
    if (!window || !KVE_OpenScreen(window, 0, 0, width, height, 32))
        return 1;
    if (screenshot)
        KVE_SetFixedFrameTime(0.25f);
    std::error_code ignored;
    std::filesystem::current_path(std::string(KVE_GetExecutableDirectory()) + "Resources", ignored);

    // Textures and materials, then the meshes (normal mapping needs their tangents).
    KVE_ParseDefinitionFiles("LitScene.kvd", KVE_DEFINITION_ALL);
    KVE_LoadMesh(kGroundMesh, "Plane.kvm", "");
    KVE_LoadMesh(kCubeMesh, "Cube.kvm", "");
    KVE_LoadOBJMesh(kBallMesh, "Ball.obj", "");
    KVE_LoadOBJMesh(kRocksMesh, "Rocks.obj", "");
    for (int mesh : {kGroundMesh, kBallMesh, kRocksMesh})
        KVE_CalculateMeshTangents(mesh);

    place(kGroundMesh, "Ground", 0.0f, 0.0f, 0.0f, 10.0f, 0.0f);
    place(kBallMesh, "Ball", 0.0f, 1.0f, 0.0f, 1.0f, 0.0f);
    place(kCubeMesh, "Crate", 2.5f, 0.75f, 1.0f, 1.5f, 30.0f);
    place(kCubeMesh, "Crate", -2.0f, 0.5f, 2.0f, 1.0f, -20.0f);
    place(kCubeMesh, "Crate", -2.0f, 1.5f, 2.0f, 1.0f, 15.0f);
    place(kRocksMesh, "Rock", 0.0f, 0.0f, 0.0f, 1.0f, 0.0f);

    // The sun: the directional light from high on one side, with its shadow map centred
    // on the scene; a dim ambient term fills what it cannot reach.
    KVE_SetDirectLightEnabled(1);
    KVE_SetDirectLightDirection(-0.6f, 1.0f, 0.4f);
    KVE_SetDirectLightColor(static_cast<int>(0xFFE8F4FF));
    KVE_SetDirectLightIntensity(0.8f);
    KVE_SetAmbientColor(static_cast<int>(0xFF403830));
    KVE_SetShadows(1);
    KVE_SetShadowCentre(0.0f, 0.0f, 0.0f);
    // An orange lamp low beside the ball, casting shadows all round.
    KVE_CreateLight(kLamp, 1.5f, 1.2f, 2.5f, KVE_LIGHT_POINT);
    KVE_SetLightColor(kLamp, static_cast<int>(0xFF2080FF));
    KVE_SetLightIntensity(kLamp, 1.5f);
    KVE_SetLightRange(kLamp, 8.0f);
    KVE_SetLightShadow(kLamp, 1, 0);

    KVE_SetBackgroundColor(static_cast<int>(0xFFB08850));
    KVE_SetProjectionFOV(60.0f);
    KVE_SetProjectionNear(0.1f);
    KVE_SetProjectionFar(100.0f);

    float seconds = 0.0f;
    bool running = true;
    for (int frame = 1; running; ++frame) {
        KVE_MESSAGE message;
        while (KVE_PeekMessage(&message))
            running = running && message.message != KVE_WM_CLOSE;
        KVE_UpdateKeyboard();
        running = running && !KVE_KeyDown(KVE_VK_ESCAPE);

        seconds += KVE_GetFrameTime();
        flyCamera(seconds);
        KVE_RenderScene(-1);
        if (screenshot && frame == 5) {
            KVE_SaveScreenshot(screenshot);
            running = false;
        }
        KVE_FlipBuffers();
    }
    KVE_Shutdown();
    return 0;
}

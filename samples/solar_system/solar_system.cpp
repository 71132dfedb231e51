// Scene graph: a sun, two planets and their moons built from nodes and attachments.
// Every orbit is a node turning about its parent; a planet hangs on its orbit node, and
// a moon on an orbit node hanging on its planet, so turning one node carries everything
// below it. Escape or closing the window quits. Given a file name, it runs 40 frames,
// saves the last one there as a PNG, prints where the first planet and its moon are
// and quits (its test does so).
#include <kve.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr int kAbsolute = 0; // move mode: set, in the parent's space
constexpr int kSphere = 1, kSunLight = 1;

struct Body {
    float radius, distance, degreesPerSecond; // size, distance from the parent, orbit speed
    unsigned color;                           // 0xAABBGGRR
};

int colouredMaterial(unsigned color, float emission)
{
    const int material = KVE_GetMaterialNumber(KVE_CreateMaterial(-1, KVE_NO_TEXTURE, KVE_SHADER_DEFAULT, ""));
    KVE_SetMaterialColor(material, static_cast<int>(color));
    KVE_SetMaterialEmission(material, emission);
    return material;
}

// A ball of `body`'s size on a new orbit node under `parent`, `body.distance` out along
// the node's x axis. Returns the ball; the orbit node's number goes to `orbit`.
int addOrbiting(KVE_ITEM* parent, const Body& body, int* orbit)
{
    const KVE_NODE* node = KVE_CreateNode(-1, "");
    KVE_AttachItem(parent, KVE_GetNodeItem(node->number), KVE_ATTACH_RIGID);
    const KVE_OBJECT* ball = KVE_CreateObject(-1, kSphere, colouredMaterial(body.color, 0.0f), "", 0, 0);
    KVE_AttachItem(KVE_GetNodeItem(node->number), KVE_GetObjectItem(ball->number), KVE_ATTACH_RIGID);
    KVE_MoveObject(ball->number, body.distance, 0.0f, 0.0f, kAbsolute); // in the node's space
    KVE_ScaleObject(ball->number, body.radius, body.radius, body.radius, kAbsolute);
    *orbit = node->number;
    return ball->number;
}

} // namespace

int main(int argc, char** argv)
{
    const char* screenshot = argc > 1 ? argv[1] : nullptr;
    const int window = KVE_OpenWindow("Korvane Engine - Scene graph", 800, 450, screenshot != nullptr);
    int width = 0, height = 0;
    KVE_GetWindowClientSize(window, &width, &height);
    if (!window || !KVE_OpenScreen(window, 0, 0, width, height, 32))
        return 1;
    if (screenshot)
        KVE_SetFixedFrameTime(1.0f / 20.0f);

    // One unit sphere for every body; the sun glows and holds the only light.
    KVE_CreateSphere(kSphere, 1.0f, 32, 16, "");
    const KVE_NODE* system = KVE_CreateNode(-1, "System");
    const KVE_OBJECT* sun = KVE_CreateObject(-1, kSphere, colouredMaterial(0xFF30D0FF, 1.0f), "Sun", 0, 0);
    KVE_ScaleObject(sun->number, 1.5f, 1.5f, 1.5f, kAbsolute);
    KVE_AttachItem(KVE_GetNodeItem(system->number), KVE_GetObjectItem(sun->number), KVE_ATTACH_FULL);
    KVE_CreateLight(kSunLight, 0.0f, 0.0f, 0.0f, KVE_LIGHT_POINT);
    KVE_SetLightRange(kSunLight, 40.0f);
    KVE_SetLightIntensity(kSunLight, 1.5f);
    KVE_SetDirectLightEnabled(0);
    KVE_SetAmbientColor(static_cast<int>(0xFF202020));

    // Planets on orbits under the system node, moons on orbits under their planets.
    const Body planets[2] = {{0.6f, 4.5f, 40.0f, 0xFFE08040}, {0.8f, 8.0f, 25.0f, 0xFF3050D0}};
    const Body moons[2] = {{0.2f, 1.2f, 120.0f, 0xFFC0C0C0}, {0.25f, 1.6f, -90.0f, 0xFF80E0A0}};
    int planetOrbits[2], moonOrbits[2], planet[2], moon[2];
    for (int i = 0; i < 2; ++i) {
        planet[i] = addOrbiting(KVE_GetNodeItem(system->number), planets[i], &planetOrbits[i]);
        moon[i] = addOrbiting(KVE_GetObjectItem(planet[i]), moons[i], &moonOrbits[i]);
    }
    // The outer planet starts a quarter turn further on.
    KVE_RotateNode(planetOrbits[1], 0.0f, 100.0f, 0.0f, kAbsolute);

    KVE_SetBackgroundColor(static_cast<int>(0xFF100808));
    KVE_MoveCamera(0, 0.0f, 8.0f, 14.0f, kAbsolute);
    KVE_RotateCamera(0, -30.0f, 0.0f, 0.0f, kAbsolute);

    bool running = true;
    for (int frame = 1; running; ++frame) {
        KVE_MESSAGE message;
        while (KVE_PeekMessage(&message))
            running = running && message.message != KVE_WM_CLOSE;
        KVE_UpdateKeyboard();
        running = running && !KVE_KeyDown(KVE_VK_ESCAPE);

        // Turning an orbit node carries its planet, the planet's moon orbit and the moon.
        const float dt = KVE_GetFrameTime();
        for (int i = 0; i < 2; ++i) {
            KVE_RotateNode(planetOrbits[i], 0.0f, planets[i].degreesPerSecond * dt, 0.0f, KVE_RELATIVE);
            KVE_RotateNode(moonOrbits[i], 0.0f, moons[i].degreesPerSecond * dt, 0.0f, KVE_RELATIVE);
        }
        KVE_RotateObject(sun->number, 0.0f, 10.0f * dt, 0.0f, KVE_RELATIVE);

        KVE_RenderScene(-1);
        if (screenshot && frame == 40) {
            KVE_SaveScreenshot(screenshot);
            running = false;
        }
        KVE_FlipBuffers();
    }
    // World positions come from the whole chain of parents.
    KVE_Matrix world;
    KVE_GetItemWorldMatrix(KVE_GetObjectItem(planet[0]), &world);
    std::printf("Planet: %.3f %.3f %.3f\n", world.c[3].x, world.c[3].y, world.c[3].z);
    KVE_GetItemWorldMatrix(KVE_GetObjectItem(moon[0]), &world);
    std::printf("Moon: %.3f %.3f %.3f\n", world.c[3].x, world.c[3].y, world.c[3].z);
    KVE_Shutdown();
    return 0;
}

// Physics: a pyramid of ten boxes on the ground, a chain of spheres hanging from a fixed
// anchor by springs, and a heavy ball rolled into the pyramid. Escape or closing the
// window quits. Given a file name, it simulates 2 seconds in 60 frames, saves the
// last one there as a PNG, prints how many boxes moved and quits (its test does so).
#include <kve.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

constexpr int kAbsolute = 0; // move mode: set, in the parent's space
enum Mesh { kGroundMesh = 1, kCubeMesh, kBallMesh, kLinkMesh };
enum Body { kGroundBody = 1, kLinkBody };

// An object of `mesh` in `material` at (x, y, z) with a body (a body number or KVE_BODY_*)
// and a mass (0: static, it never moves).
int create(int mesh, int material, float x, float y, float z, int body, float mass)
{
    const KVE_OBJECT* object = KVE_CreateObject(-1, mesh, material, "", 0, 0);
    if (!object)
        return -1;
    KVE_MoveObject(object->number, x, y, z, kAbsolute);
    KVE_SetObjectBody(object->number, body, 1.0f);
    KVE_SetObjectMass(object->number, mass);
    return object->number;
}

int colouredMaterial(unsigned color)
{
    const KVE_MATERIAL* material = KVE_CreateMaterial(-1, KVE_NO_TEXTURE, KVE_SHADER_DEFAULT, "");
    KVE_SetMaterialColor(KVE_GetMaterialNumber(material), static_cast<int>(color));
    return KVE_GetMaterialNumber(material);
}

} // namespace

int main(int argc, char** argv)
{
    const char* screenshot = argc > 1 ? argv[1] : nullptr;
    const int window = KVE_OpenWindow("Korvane Engine - Pyramid, chain and ball", 800, 450, screenshot != nullptr);
    int width = 0, height = 0;
    KVE_GetWindowClientSize(window, &width, &height);
    if (!window || !KVE_OpenScreen(window, 0, 0, width, height, 32))
        return 1;
    KVE_SetFixedFrameTime(1.0f / 30.0f); // steady steps: the physics step lasts one frame
    std::error_code ignored;
    std::filesystem::current_path(std::string(KVE_GetExecutableDirectory()) + "Resources", ignored);

    // Materials "Plane" and "Ball" from the demonstration's definition file; meshes; the
    // ground's triangle-mesh body from its body file; one sphere body for every link.
    KVE_ParseDefinitionFiles("Materials.kvd", KVE_DEFINITION_ALL);
    KVE_LoadMesh(kGroundMesh, "Plane.kvm", "");
    KVE_LoadMesh(kCubeMesh, "Cube.kvm", "");
    KVE_LoadOBJMesh(kBallMesh, "Ball.obj", "");
    KVE_CreateSphere(kLinkMesh, 0.3f, 16, 8, "");
    for (int mesh : {kGroundMesh, kBallMesh})
        KVE_CalculateMeshTangents(mesh);
    KVE_LoadBody(kGroundBody, "Plane.kvb", "");
    KVE_CreateSphereBody(kLinkBody, 0.3f, "");
    KVE_SetGravity(0.0f, -9.81f, 0.0f);

    const int ground = create(kGroundMesh, KVE_FindMaterial("Plane"), 0.0f, 0.0f, 0.0f, kGroundBody, 0.0f);
    KVE_ScaleObject(ground, 10.0f, 10.0f, 10.0f, kAbsolute);

    // The pyramid: rows of 4, 3, 2 and 1 unit boxes, each box a body from its own mesh.
    const int orange = colouredMaterial(0xFF2A8CF0), teal = colouredMaterial(0xFFA0A020);
    std::vector<int> boxes;
    for (int row = 0; row < 4; ++row)
        for (int i = 0; i < 4 - row; ++i)
            boxes.push_back(create(kCubeMesh, row % 2 ? teal : orange, (i - (3 - row) / 2.0f) * 1.02f,
                                   0.5f + row * 1.001f, 0.0f, KVE_BODY_BOX, 1.0f));

    // The chain: six spheres laid out sideways from a fixed anchor, each held to it by a
    // spring of its own length (a joint pulls between a moving and a static object), so
    // they swing down together and fan out like pendulums of growing length.
    const int yellow = colouredMaterial(0xFF20D0F0);
    const int anchor = create(kLinkMesh, yellow, -4.0f, 5.5f, -3.0f, kLinkBody, 0.0f);
    int last = anchor;
    for (int i = 1; i <= 6; ++i) {
        last = create(kLinkMesh, yellow, -4.0f + 0.6f * i, 5.5f, -3.0f, kLinkBody, 0.5f);
        KVE_CreateJoint(-1, anchor, 0.0f, 0.0f, 0.0f, last, 0.0f, 0.0f, 0.0f, 400.0f);
    }

    // The ball: ten times a box's mass, rolled from the right into the pyramid.
    const int ball = create(kBallMesh, KVE_FindMaterial("Ball"), 8.0f, 1.0f, 0.0f, KVE_BODY_SPHERE, 10.0f);
    KVE_SetObjectVelocity(ball, nullptr, -9.0f, 0.0f, 0.0f, kAbsolute);

    // The sun from the upper left, with shadows; the camera in front, looking down a little.
    KVE_SetDirectLightEnabled(1);
    KVE_SetDirectLightDirection(-0.5f, 1.0f, 0.6f);
    KVE_SetDirectLightIntensity(0.9f);
    KVE_SetAmbientColor(static_cast<int>(0xFF404040));
    KVE_SetShadows(1);
    KVE_SetBackgroundColor(static_cast<int>(0xFFC09060));
    KVE_MoveCamera(0, 0.0f, 4.0f, 15.0f, kAbsolute);
    KVE_RotateCamera(0, -7.0f, 0.0f, 0.0f, kAbsolute);

    bool running = true;
    for (int frame = 1; running; ++frame) {
        KVE_MESSAGE message;
        while (KVE_PeekMessage(&message))
            running = running && message.message != KVE_WM_CLOSE;
        KVE_UpdateKeyboard();
        running = running && !KVE_KeyDown(KVE_VK_ESCAPE);

        KVE_UpdatePhysics(0); // one step over the last frame's time
        KVE_RenderScene(-1);
        if (screenshot && frame == 60) {
            KVE_SaveScreenshot(screenshot);
            running = false;
        }
        KVE_FlipBuffers();
    }
    // How far the boxes were thrown: those that left their place by more than half a unit.
    int moved = 0;
    for (size_t i = 0; i < boxes.size(); ++i) {
        KVE_Vector p;
        KVE_GetObjectPosition(boxes[i], &p);
        const int row = i < 4 ? 0 : i < 7 ? 1 : i < 9 ? 2 : 3;
        moved += std::fabs(p.y - (0.5f + row)) > 0.5f || std::fabs(p.z) > 0.5f ? 1 : 0;
    }
    KVE_Vector end;
    KVE_GetObjectPosition(last, &end);
    std::printf("Boxes moved: %d of %zu\nChain end: %.2f %.2f %.2f\n", moved, boxes.size(), end.x, end.y, end.z);
    KVE_Shutdown();
    return 0;
}

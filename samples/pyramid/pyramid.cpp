// Physics: a pyramid of ten boxes on the ground, a chain of spheres jointed to each
// other and hanging from a fixed anchor, and a heavy ball rolled into the pyramid. Escape
// or closing the window quits. Given a file name, it simulates 2 seconds in 60 frames,
// saves the last one there as a PNG, prints how many boxes moved and where the chain is,
// and quits (its test does so).
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
constexpr float kAnchorX = -4.0f, kAnchorY = 5.5f, kAnchorZ = -3.0f, kLinkSpacing = 0.65f;
constexpr int kLinks = 6;

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
    KVE_SetPhysicsSolver(KVE_SOLVER_ITERATIVE); // contacts solved together: the pyramid stands
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
    std::vector<KVE_Vector> starts;
    for (int row = 0; row < 4; ++row)
        for (int i = 0; i < 4 - row; ++i) {
            boxes.push_back(create(kCubeMesh, row % 2 ? teal : orange, (i - (3 - row) / 2.0f) * 1.02f,
                                   0.5f + row * 1.001f, 0.0f, KVE_BODY_BOX, 1.0f));
            KVE_GetObjectPosition(boxes.back(), &starts.emplace_back());
        }

    // The chain: six spheres laid out sideways from a fixed anchor, each held to the one
    // before it by a spring between their centres (the first to the anchor), so that the
    // chain swings down as one, folding and whipping at its free end. The links sit a
    // little apart so that they touch only when the chain folds. The iterative solver
    // solves the springs between links with the contacts, stable at any stiffness; the
    // first, to the fixed anchor, is a force, which the 1/30 s step carries with room to
    // spare at this stiffness: k h^2 / m = 1/3.
    const int yellow = colouredMaterial(0xFF20D0F0);
    const int anchor = create(kLinkMesh, yellow, kAnchorX, kAnchorY, kAnchorZ, kLinkBody, 0.0f);
    std::vector<int> chain{anchor};
    for (int i = 1; i <= kLinks; ++i) {
        chain.push_back(create(kLinkMesh, yellow, kAnchorX + kLinkSpacing * i, kAnchorY, kAnchorZ, kLinkBody, 0.5f));
        KVE_CreateJoint(-1, chain[chain.size() - 2], 0.0f, 0.0f, 0.0f, chain.back(), 0.0f, 0.0f, 0.0f, 150.0f);
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
        KVE_SubVector(&p, &p, &starts[i]);
        moved += KVE_DotVector(&p, nullptr) > 0.25f ? 1 : 0;
    }
    // The chain: how far apart its neighbours are, and where its links are on average.
    std::printf("Boxes moved: %d of %zu\nChain links:", moved, boxes.size());
    KVE_Vector previous, centre{0, 0, 0, 0};
    KVE_GetObjectPosition(anchor, &previous);
    for (size_t i = 1; i < chain.size(); ++i) {
        KVE_Vector p;
        KVE_GetObjectPosition(chain[i], &p);
        std::printf(" %.3f", std::sqrt((p.x - previous.x) * (p.x - previous.x) + (p.y - previous.y) * (p.y - previous.y) +
                                       (p.z - previous.z) * (p.z - previous.z)));
        KVE_AddScaledVector(&centre, &p, 1.0f / kLinks);
        previous = p;
    }
    std::printf("\nChain centre: %.2f %.2f %.2f\nChain end: %.2f %.2f %.2f\n", centre.x, centre.y, centre.z, previous.x,
                previous.y, previous.z);
    KVE_Shutdown();
    return 0;
}

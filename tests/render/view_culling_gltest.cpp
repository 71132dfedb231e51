// View culling and batched draws must not change a pixel: a scene with objects on, inside
// and outside every plane of the camera's view volume and of the directional shadow map's
// box is rendered with each switch on and off in turn, frame after frame while it
// changes, and the pictures and shadow maps compared byte for byte. The frame statistics
// count what was left out.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "kve.h"
#include "render/render_scene.h"
#include "render/screen_pixels.h"
#include "render/shadow.h"
#include "render/view_culling.h"

namespace {

using kve::test::kScreenHeight;
using kve::test::kScreenWidth;

constexpr int kShadowSize = 256; // small maps keep the software rasteriser quick
constexpr int kLight = 930, kSphereMesh = 931, kOwnSphereMesh = 932, kCubeMesh = 933, kNode = 934;

// Camera at (0, 0, 10) looking down -z, 60 degrees high, near 0.5, far 30. At z = 0 the
// view reaches x = +-10.264 and y = +-5.774.
constexpr float kHalfWidthAtZ0 = 10.264f, kHalfHeightAtZ0 = 5.774f;

class CullingScene {
public:
    CullingScene()
    {
        KVE_SetProjectionFOV(60.0f);
        KVE_SetProjectionNear(0.5f);
        KVE_SetProjectionFar(30.0f);
        KVE_MoveCamera(0, 0.0f, 0.0f, 10.0f, 0);
        KVE_RotateCamera(0, 0.0f, 0.0f, 0.0f, 0);
        KVE_SetBackgroundColor(static_cast<int>(0xFF302010));
        KVE_SetAmbientColor(static_cast<int>(0xFF202020));
        KVE_SetDirectLightEnabled(1);
        KVE_SetDirectLightDirection(0.3f, 1.0f, 0.2f);
        KVE_SetDirectLightIntensity(0.5f);
        KVE_SetShadowCentre(0.0f, 0.0f, 0.0f);
        white_ = kve::test::solidTexture(255, 255, 255);
        flatNormal_ = kve::test::solidTexture(128, 128, 255);
        ground_ = kve::test::groundMesh(17.5f, false);
        panel_ = kve::test::groundMesh(1.0f, false);
        KVE_CreateSphere(kSphereMesh, 0.5f, 16, 12, "");
        KVE_CreateSphere(kOwnSphereMesh, 0.5f, 16, 12, "");
        sphere_ = kSphereMesh;
        ownSphere_ = kOwnSphereMesh;
        for (int mesh : {sphere_, ownSphere_})
            KVE_CalculateMeshTangents(mesh);
        lit_ = material(KVE_SHADER_NORMAL_MAPPING, 0xFF4080FF);
        groundMaterial_ = material(KVE_SHADER_NORMAL_MAPPING, 0xFFFFFFFF);
        unlit_ = material(KVE_SHADER_DEFAULT, 0xFF40FF40);
        refraction_ = kve::test::tintedMaterial(KVE_SHADER_MASK_REFRACTION, flatNormal_, white_, 0xFF80FFFF);

        object(ground_, groundMaterial_, 0.0f, -1.0f, -7.5f);
        // Straddling each plane: left and right (the right one in the forward queue), top
        // (over the composed image), bottom, near (in the top right corner) and far.
        object(sphere_, lit_, -kHalfWidthAtZ0, 0.0f, 0.0f);
        object(sphere_, unlit_, kHalfWidthAtZ0, 1.0f, 0.0f);
        object(sphere_, refraction_, 0.0f, kHalfHeightAtZ0, 0.0f);
        object(sphere_, lit_, 2.0f, -kHalfHeightAtZ0, 0.0f);
        object(sphere_, lit_, 0.5f, 0.25f, 9.5f);
        KVE_ScaleObject(object(sphere_, lit_, 0.0f, 0.0f, -20.0f), 2.0f, 2.0f, 2.0f, 0);
        // Wholly outside one plane each, by more than their boxes reach.
        outsideLeft_ = object(sphere_, lit_, -12.0f, 0.0f, 0.0f);
        object(sphere_, lit_, 12.0f, 0.0f, 0.0f);
        overTop_ = object(sphere_, lit_, 0.0f, 7.5f, 0.0f); // its shadow falls into view
        object(sphere_, lit_, 0.0f, -7.5f, 0.0f);
        behind_ = object(ownSphere_, lit_, 0.0f, 0.0f, 11.0f);
        beyondFar_ = object(sphere_, lit_, 0.0f, 0.0f, -21.5f);
        // Centres outside, extents reaching in: a scaled ball and a long panel stood up
        // and turned.
        KVE_ScaleObject(object(sphere_, lit_, -12.3f, 0.0f, 0.0f), 3.0f, 3.0f, 3.0f, 0);
        const int panel = object(panel_, lit_, -13.0f, -2.0f, -2.0f);
        KVE_ScaleObject(panel, 8.0f, 1.0f, 0.3f, 0);
        KVE_RotateObject(panel, 90.0f, 30.0f, 0.0f, 0);
        // Inside the camera's view but outside the directional shadow box.
        object(sphere_, lit_, 11.0f, -0.5f, -8.0f);
        // A parent outside the view with children inside it: one takes its scale, one not.
        parent_ = object(sphere_, lit_, 20.0f, 0.0f, 0.0f);
        KVE_ScaleObject(parent_, 2.0f, 2.0f, 2.0f, 0);
        attach(object(sphere_, lit_, -10.0f, 1.0f, 0.0f), KVE_ATTACH_FULL);
        attach(object(sphere_, lit_, -10.0f, -0.5f, -2.0f), KVE_ATTACH_RIGID);
        // A node far to the left, turned a quarter about y, holding a ball whose own
        // position lies behind the camera: the turn brings it to (-1, 2.5, -3).
        KVE_CreateNode(kNode, "");
        KVE_MoveNode(kNode, -40.0f, 0.0f, -4.0f, 0);
        KVE_RotateNode(kNode, 0.0f, 90.0f, 0.0f, 0);
        KVE_AttachItem(KVE_GetNodeItem(kNode), KVE_GetObjectItem(object(sphere_, lit_, -1.0f, 2.5f, 39.0f)),
                       KVE_ATTACH_FULL);

        KVE_CreateLight(kLight, 0.0f, 4.0f, 0.0f, KVE_LIGHT_POINT);
        KVE_SetLightIntensity(kLight, 0.6f);
        KVE_SetLightRange(kLight, 30.0f);
        KVE_SetLightShadow(kLight, 1, 0);
        KVE_SetShadows(1);
        KVE_SetShadowMapReuse(0); // every shadow face drawn through the culled path
    }
    ~CullingScene()
    {
        KVE_FreeLight(kLight);
        for (auto it = objects_.rbegin(); it != objects_.rend(); ++it)
            KVE_ReleaseObject(*it);
        KVE_ReleaseNode(kNode);
        for (int material : {lit_, groundMaterial_, unlit_, refraction_})
            KVE_ReleaseMaterial(material);
        for (int mesh : {ground_, panel_, sphere_, ownSphere_})
            KVE_ReleaseMesh(mesh);
        KVE_ReleaseTexture(white_);
        KVE_ReleaseTexture(flatNormal_);
        KVE_SetShadowMapReuse(1);
        KVE_SetShadows(0);
        KVE_SetViewCulling(1);
        KVE_SetDirectLightEnabled(0);
        KVE_SetDirectLightDirection(0.0f, -1.0f, 0.0f);
        KVE_SetDirectLightIntensity(1.0f);
        KVE_SetAmbientColor(static_cast<int>(0xFF000000));
        KVE_MoveCamera(0, 0.0f, 0.0f, 0.0f, 0);
        KVE_RotateCamera(0, 0.0f, 0.0f, 0.0f, 0);
        KVE_SetProjectionFOV(45.0f);
        KVE_SetProjectionNear(0.1f);
        KVE_SetProjectionFar(128.0f);
    }

    int material(int kind, unsigned color) { return kve::test::tintedMaterial(kind, white_, flatNormal_, color); }
    int object(int mesh, int material, float x, float y, float z)
    {
        objects_.push_back(kve::test::placedObject(mesh, material, x, y, z));
        return objects_.back();
    }
    void attach(int child, int mode) { KVE_AttachItem(KVE_GetObjectItem(parent_), KVE_GetObjectItem(child), mode); }

    int white_ = -1, flatNormal_ = -1, ground_ = -1, panel_ = -1, sphere_ = -1, ownSphere_ = -1;
    int lit_ = -1, groundMaterial_ = -1, unlit_ = -1, refraction_ = -1;
    int outsideLeft_ = -1, overTop_ = -1, behind_ = -1, beyondFar_ = -1, parent_ = -1;
    std::vector<int> objects_;
};

struct Step {
    const char* what;
    std::function<void(CullingScene&)> change;
};

const std::vector<Step>& steps()
{
    static const std::vector<Step> list = {
        {"first frame", [](CullingScene&) {}},
        {"ball moves into view",
         [](CullingScene& s) { KVE_MoveObject(s.outsideLeft_, 2.5f, 0.0f, 0.0f, KVE_RELATIVE); }},
        {"ball beyond the far plane grows into it",
         [](CullingScene& s) { KVE_ScaleObject(s.beyondFar_, 4.0f, 4.0f, 4.0f, 0); }},
        {"mesh behind the camera stretched into view",
         [](CullingScene& s) { KVE_ScaleMesh(s.ownSphere_, 1.0f, 1.0f, 9.0f); }},
        {"parent carries its children out",
         [](CullingScene& s) { KVE_MoveObject(s.parent_, 30.0f, 0.0f, 0.0f, KVE_RELATIVE); }},
        {"parent turns them back in",
         [](CullingScene& s) {
             KVE_MoveObject(s.parent_, -30.0f, 0.0f, 0.0f, KVE_RELATIVE);
             KVE_RotateObject(s.parent_, 0.0f, 25.0f, 0.0f, KVE_RELATIVE);
         }},
        {"node turns its child away", [](CullingScene&) { KVE_RotateNode(kNode, 0.0f, 90.0f, 0.0f, KVE_RELATIVE); }},
        {"camera turns", [](CullingScene&) { KVE_RotateCamera(0, 10.0f, 30.0f, 0.0f, KVE_RELATIVE); }},
        {"orthographic view", [](CullingScene&) { KVE_SetProjectionMode(KVE_PROJECTION_ORTHOGRAPHIC); }},
        {"perspective again", [](CullingScene&) { KVE_SetProjectionMode(KVE_PROJECTION_PERSPECTIVE); }},
    };
    return list;
}

std::vector<uint16_t> directionalDepths()
{
    std::vector<uint16_t> depth(static_cast<size_t>(kShadowSize) * kShadowSize);
    glBindTexture(GL_TEXTURE_2D, kve::render::shadowTargets().map2D);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, depth.data());
    glBindTexture(GL_TEXTURE_2D, 0);
    return depth;
}

struct Frame {
    std::vector<uint8_t> pixels;
    std::vector<uint16_t> shadow;
    KVE_FRAME_STATISTICS statistics{};
};

Frame render(bool culling, bool batching = true)
{
    KVE_SetViewCulling(culling ? 1 : 0);
    KVE_SetDrawBatching(batching ? 1 : 0);
    KVE_RenderScene(-1);
    Frame frame{kve::test::Pixels(kScreenWidth, kScreenHeight).bytes(), directionalDepths(), {}};
    EXPECT_EQ(KVE_GetFrameStatistics(&frame.statistics, sizeof frame.statistics),
              static_cast<int>(sizeof frame.statistics));
    return frame;
}

size_t differingPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    size_t count = 0;
    for (size_t i = 0; i + 3 < a.size() && i + 3 < b.size(); i += 4)
        count += std::memcmp(&a[i], &b[i], 4) != 0;
    return count;
}

class ViewCullingTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(KVE_InitShadowTargets(kShadowSize), 1); }
    static void TearDownTestSuite() { KVE_InitShadowTargets(2048); }
};

TEST_F(ViewCullingTest, CulledFramesMatchUnculledOnesByteForByte)
{
    CullingScene scene;
    std::vector<Frame> culled;
    for (const Step& step : steps()) {
        step.change(scene);
        Frame on = render(true);
        const Frame off = render(false);
        EXPECT_EQ(differingPixels(on.pixels, off.pixels), 0u) << step.what;
        EXPECT_TRUE(on.shadow == off.shadow) << "directional shadow map: " << step.what;
        // Off, nothing is left out; on, what is left out is what was drawn before.
        EXPECT_EQ(off.statistics.objectsCulled, 0) << step.what;
        EXPECT_EQ(off.statistics.shadowCastersCulled, 0) << step.what;
        EXPECT_EQ(on.statistics.objectsDrawn + on.statistics.objectsCulled, off.statistics.objectsDrawn) << step.what;
        EXPECT_EQ(on.statistics.shadowCastersDrawn + on.statistics.shadowCastersCulled,
                  off.statistics.shadowCastersDrawn)
            << step.what;
        culled.push_back(std::move(on));
    }
    // All 20 objects are visible. In the first frame the six balls outside one plane each
    // and the children's parent are left out; in the second the left one has come in.
    EXPECT_EQ(culled[0].statistics.objectsDrawn + culled[0].statistics.objectsCulled, 20);
    EXPECT_EQ(culled[0].statistics.objectsCulled, 7);
    EXPECT_EQ(culled[1].statistics.objectsCulled, 6);
    EXPECT_EQ(culled[2].statistics.objectsCulled, 5); // the far ball reaches in
    EXPECT_EQ(culled[3].statistics.objectsCulled, 4); // so does the stretched one
    EXPECT_EQ(culled[4].statistics.objectsCulled, 6); // the two children left with the parent
    // The node's child turned away.
    EXPECT_EQ(culled[6].statistics.objectsCulled, culled[5].statistics.objectsCulled + 1);
    // Seven shadow renders (the directional map and six cube faces) leave casters out;
    // the directional map leaves out at least the ball beyond its box.
    EXPECT_GT(culled[0].statistics.shadowCastersCulled, 0);
    // The frames show something: the ball that came in, the parent's children leaving.
    EXPECT_GT(differingPixels(culled[1].pixels, culled[0].pixels), 100u);
    EXPECT_GT(differingPixels(culled[4].pixels, culled[3].pixels), 100u);
}

// Objects of one material drawn as a batch (one upload of all their Model blocks) give
// the same pictures and shadow maps as objects uploading their blocks one by one.
TEST_F(ViewCullingTest, BatchedDrawsMatchOneByOneDrawsByteForByte)
{
    CullingScene scene;
    for (const Step& step : steps()) {
        step.change(scene);
        const Frame batched = render(true, true);
        const Frame single = render(true, false);
        EXPECT_EQ(differingPixels(batched.pixels, single.pixels), 0u) << step.what;
        EXPECT_TRUE(batched.shadow == single.shadow) << "directional shadow map: " << step.what;
        EXPECT_EQ(batched.statistics.objectsDrawn, single.statistics.objectsDrawn) << step.what;
    }
    KVE_SetDrawBatching(1);
}

TEST(ViewCullingSwitch, ReportsThePreviousSettingAndTheStatisticsCopyHonoursTheSize)
{
    EXPECT_EQ(KVE_SetViewCulling(0), 1); // on by default
    EXPECT_EQ(KVE_SetViewCulling(7), 0);
    EXPECT_EQ(KVE_SetViewCulling(1), 1);
    EXPECT_EQ(KVE_SetDrawBatching(0), 1); // on by default
    EXPECT_EQ(KVE_SetDrawBatching(1), 0);
    EXPECT_EQ(KVE_GetFrameStatistics(nullptr, 16), 0);
    KVE_FRAME_STATISTICS statistics{};
    EXPECT_EQ(KVE_GetFrameStatistics(&statistics, 0), 0);
    // An older, shorter record gets only its own fields.
    int shorter[3] = {-1, -1, -1};
    EXPECT_EQ(KVE_GetFrameStatistics(reinterpret_cast<KVE_FRAME_STATISTICS*>(shorter), 2 * sizeof(int)),
              static_cast<int>(2 * sizeof(int)));
    EXPECT_EQ(shorter[2], -1);
}

// The view volume of a clip matrix, checked against hand-computed planes: an
// orthographic box from -1 to 1 in x and y and from near 1 to far 3 along -z.
TEST(ViewVolume, OrthographicPlanesAndTheBoxTest)
{
    KVE_Matrix ortho{};
    ortho.c[0].x = 1.0f;
    ortho.c[1].y = 1.0f;
    ortho.c[2].z = -1.0f; // z_clip = -(z_eye) - 2: near -1 -> -1, far -3 -> 1
    ortho.c[3].z = -2.0f;
    ortho.c[3].w = 1.0f;
    const kve::render::ShadowVolume volume = kve::render::viewVolume(ortho);
    ASSERT_EQ(volume.count, 6);
    // x >= -1, x <= 1, y >= -1, y <= 1, z <= -1, z >= -3 as (n, d) with n.p + d >= 0.
    const float expected[6][4] = {{1, 0, 0, 1},  {-1, 0, 0, 1},  {0, 1, 0, 1},
                                  {0, -1, 0, 1}, {0, 0, -1, -1}, {0, 0, 1, 3}};
    for (int i = 0; i < 6; ++i) {
        EXPECT_FLOAT_EQ(volume.planes[i].x, expected[i][0]) << i;
        EXPECT_FLOAT_EQ(volume.planes[i].y, expected[i][1]) << i;
        EXPECT_FLOAT_EQ(volume.planes[i].z, expected[i][2]) << i;
        EXPECT_FLOAT_EQ(volume.planes[i].w, expected[i][3]) << i;
    }
    KVE_Matrix singular{};
    EXPECT_EQ(kve::render::viewVolume(singular).count, 0);

    // A unit cube (half-edge 0.5) at x = 1.6 is outside by 0.1; at 1.49 it touches.
    KVE_CreateSphere(kCubeMesh, 0.5f, 8, 6, "");
    const int mesh = kCubeMesh;
    KVE_OBJECT* cube = KVE_CreateObject(-1, mesh, -1, "", 0, 0);
    ASSERT_NE(cube, nullptr);
    KVE_Matrix world{};
    KVE_IdentityMatrix(&world);
    world.c[3] = {1.6f, 0.0f, -2.0f, 1.0f};
    EXPECT_TRUE(kve::render::outsideVolume(*cube, world, volume));
    world.c[3].x = 1.49f;
    EXPECT_FALSE(kve::render::outsideVolume(*cube, world, volume));
    // Turned 45 degrees about z its box reaches 0.707 along x: at 1.6 it still touches.
    const float c = std::sqrt(0.5f);
    world.c[0] = {c, c, 0, 0};
    world.c[1] = {-c, c, 0, 0};
    world.c[3].x = 1.6f;
    EXPECT_FALSE(kve::render::outsideVolume(*cube, world, volume));
    world.c[3].x = 1.75f;
    EXPECT_TRUE(kve::render::outsideVolume(*cube, world, volume));
    // A projective or non-finite placement is never left out.
    world.c[0].w = 0.5f;
    EXPECT_FALSE(kve::render::outsideVolume(*cube, world, volume));
    KVE_ReleaseObject(cube->number);
    KVE_ReleaseMesh(mesh);
}

} // namespace

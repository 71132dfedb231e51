// Shadow maps kept between frames must draw the same picture as shadow maps redrawn
// from every caster each frame: the same frame sequences are rendered both ways and
// compared pixel for pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "gpu/material.h"
#include "gpu/texture.h"
#include "kve.h"
#include "render/render_scene.h"
#include "render/screen_pixels.h"
#include "render/shadow.h"
#include "scene/light.h"

namespace {

using kve::test::kScreenHeight;
using kve::test::kScreenWidth;

constexpr int kMainLight = 910, kBombLight = 911, kSphereMesh = 912;
constexpr int kShadowSize = 256; // small maps keep the software rasteriser quick

// A ground square, three spheres resting on it and a low box, lit by a shadowed point
// light and a shadowed directional light, seen from above at an angle. Every run builds
// it afresh with the same numbers, so both runs see the same scene.
class ShadowScene {
public:
    ShadowScene()
    {
        KVE_MoveCamera(0, 0.0f, 9.0f, 7.0f, 0);
        KVE_RotateCamera(0, -50.0f, 0.0f, 0.0f, 0);
        KVE_SetBackgroundColor(static_cast<int>(0xFF302010));
        KVE_SetAmbientColor(static_cast<int>(0xFF181818));
        KVE_SetGlow(0);
        KVE_SetDirectLightEnabled(1);
        KVE_SetDirectLightDirection(0.3f, 1.0f, 0.2f);
        KVE_SetDirectLightIntensity(0.3f);
        white_ = kve::test::solidTexture(255, 255, 255);
        flatNormal_ = kve::test::solidTexture(128, 128, 255);
        ground_ = kve::test::groundMesh(6.0f, false);
        box_ = kve::test::groundMesh(0.6f, false);
        KVE_CreateSphere(kSphereMesh, 0.5f, 16, 12, "");
        sphere_ = kSphereMesh;
        KVE_CalculateMeshTangents(sphere_);
        groundMaterial_ = material(0xFFFFFFFF);
        ballMaterial_ = material(0xFF4080FF);
        otherMaterial_ = material(0xFF40FF40);
        KVE_SetMaterialBackFaceCulling(otherMaterial_, 0);
        object(ground_, groundMaterial_, 0, 0, 0);
        for (int i = 0; i < 3; ++i)
            balls_.push_back(object(sphere_, ballMaterial_, -2.0f + 2.0f * static_cast<float>(i), 0.5f, 0.5f));
        boxObject_ = object(box_, ballMaterial_, 1.5f, 1.2f, -1.5f);
        KVE_CreateLight(kMainLight, 0.5f, 4.0f, 0.0f, KVE_LIGHT_POINT);
        KVE_SetLightIntensity(kMainLight, 0.8f);
        KVE_SetLightRange(kMainLight, 30.0f);
        KVE_SetLightShadow(kMainLight, 1, 0);
        KVE_SetShadows(1);
    }
    ~ShadowScene()
    {
        KVE_FreeLight(kMainLight);
        KVE_FreeLight(kBombLight);
        for (int object : objects_)
            KVE_ReleaseObject(object);
        for (int material : {groundMaterial_, ballMaterial_, otherMaterial_})
            KVE_ReleaseMaterial(material);
        for (int mesh : {ground_, box_, sphere_})
            KVE_ReleaseMesh(mesh);
        KVE_ReleaseTexture(white_);
        KVE_ReleaseTexture(flatNormal_);
        KVE_SetShadows(0);
        KVE_SetDirectLightEnabled(0);
        KVE_SetDirectLightDirection(0.0f, -1.0f, 0.0f);
        KVE_SetDirectLightIntensity(1.0f);
        KVE_SetGlow(1);
        KVE_SetAmbientColor(static_cast<int>(0xFF000000));
        KVE_MoveCamera(0, 0.0f, 0.0f, 0.0f, 0);
        KVE_RotateCamera(0, 0.0f, 0.0f, 0.0f, 0);
    }

    int material(unsigned color)
    {
        return kve::test::tintedMaterial(KVE_SHADER_NORMAL_MAPPING, white_, flatNormal_, color);
    }
    int object(int mesh, int material, float x, float y, float z)
    {
        objects_.push_back(kve::test::placedObject(mesh, material, x, y, z));
        return objects_.back();
    }

    int white_ = -1, flatNormal_ = -1, ground_ = -1, box_ = -1, sphere_ = -1;
    int groundMaterial_ = -1, ballMaterial_ = -1, otherMaterial_ = -1, boxObject_ = -1;
    std::vector<int> balls_, objects_;
};

// One named change of the scene before a frame is drawn.
struct Step {
    const char* what;
    std::function<void(ShadowScene&)> change;
};

const std::vector<Step>& steps()
{
    static const std::vector<Step> list = {
        {"first frame", [](ShadowScene&) {}},
        {"still", [](ShadowScene&) {}},
        {"still again", [](ShadowScene&) {}},
        {"ball rolls", [](ShadowScene& s) {
             KVE_MoveObject(s.balls_[0], 0.3f, 0.0f, 0.0f, KVE_RELATIVE);
             KVE_RotateObject(s.balls_[0], 0.0f, 0.0f, -30.0f, KVE_RELATIVE);
         }},
        {"ball rolls a little", [](ShadowScene& s) { KVE_MoveObject(s.balls_[0], 0.05f, 0.0f, 0.0f, KVE_RELATIVE); }},
        {"balls roll", [](ShadowScene& s) {
             for (int ball : s.balls_)
                 KVE_MoveObject(ball, 0.0f, 0.0f, -0.4f, KVE_RELATIVE);
         }},
        {"ball thrown in", [](ShadowScene& s) {
             s.balls_.push_back(s.object(s.sphere_, s.ballMaterial_, 0.0f, 2.0f, 1.5f));
         }},
        {"ball flies past the light", [](ShadowScene& s) { KVE_MoveObject(s.balls_[3], 2.5f, 4.2f, 0.3f, 0); }},
        {"ball flies on", [](ShadowScene& s) { KVE_MoveObject(s.balls_[3], 0.8f, 0.2f, -0.3f, KVE_RELATIVE); }},
        {"first ball released", [](ShadowScene& s) {
             KVE_ReleaseObject(s.balls_[0]);
             s.objects_.erase(std::find(s.objects_.begin(), s.objects_.end(), s.balls_[0]));
             s.balls_.erase(s.balls_.begin());
         }},
        {"bomb light appears", [](ShadowScene&) {
             KVE_CreateLight(kBombLight, -2.0f, 1.2f, 0.5f, KVE_LIGHT_POINT);
             KVE_SetLightColor(kBombLight, static_cast<int>(0xFF40A0FF));
             KVE_SetLightRange(kBombLight, 6.0f);
             KVE_SetLightShadow(kBombLight, 1, 0);
         }},
        {"bomb light flies", [](ShadowScene&) { KVE_MoveLight(kBombLight, 0.7f, 0.3f, -0.2f, KVE_RELATIVE); }},
        {"bomb light flies on", [](ShadowScene&) { KVE_MoveLight(kBombLight, 0.7f, -0.2f, -0.2f, KVE_RELATIVE); }},
        {"object released", [](ShadowScene& s) {
             KVE_ReleaseObject(s.balls_[1]);
             s.objects_.erase(std::find(s.objects_.begin(), s.objects_.end(), s.balls_[1]));
             s.balls_.erase(s.balls_.begin() + 1);
         }},
        {"material swapped", [](ShadowScene& s) { KVE_SetObjectMaterial(s.boxObject_, s.otherMaterial_); }},
        {"box turned over", [](ShadowScene& s) { KVE_RotateObject(s.boxObject_, 180.0f, 0.0f, 0.0f, KVE_RELATIVE); }},
        {"mesh changed", [](ShadowScene& s) { KVE_ScaleMesh(s.box_, 1.5f, 1.0f, 1.5f); }},
        {"light moved", [](ShadowScene&) { KVE_MoveLight(kMainLight, -1.0f, 0.5f, 0.5f, KVE_RELATIVE); }},
        {"light range changed", [](ShadowScene&) { KVE_SetLightRange(kMainLight, 20.0f); }},
        {"light off", [](ShadowScene&) { KVE_SetLightEnabled(kMainLight, 0); }},
        {"light on", [](ShadowScene&) { KVE_SetLightEnabled(kMainLight, 1); }},
        {"object hidden", [](ShadowScene& s) { KVE_GetObject(s.balls_[0])->visible = 0; }},
        {"object shown", [](ShadowScene& s) { KVE_GetObject(s.balls_[0])->visible = 1; }},
        {"shadows off", [](ShadowScene&) { KVE_SetShadows(0); }},
        {"ball moves unseen", [](ShadowScene& s) { KVE_MoveObject(s.balls_[0], 0.0f, 0.5f, 0.0f, KVE_RELATIVE); }},
        {"shadows on", [](ShadowScene&) { KVE_SetShadows(1); }},
        {"sun turns", [](ShadowScene&) { KVE_SetDirectLightDirection(-0.4f, 1.0f, 0.1f); }},
        {"bomb light gone", [](ShadowScene&) { KVE_FreeLight(kBombLight); }},
        {"still at the end", [](ShadowScene&) {}},
    };
    return list;
}

std::vector<uint16_t> depthImage(unsigned texture, GLenum target, GLenum image)
{
    std::vector<uint16_t> depth(static_cast<size_t>(kShadowSize) * kShadowSize);
    glBindTexture(target, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(image, 0, GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, depth.data());
    glBindTexture(target, 0);
    return depth;
}

// The depth values the main light's cube faces and the directional map hold, while the
// main light is the only shadowed point light (redrawn, the lights share one cube).
std::vector<uint16_t> shadowDepths(bool reuse)
{
    const auto& targets = kve::render::shadowTargets();
    std::vector<uint16_t> all = depthImage(targets.map2D, GL_TEXTURE_2D, GL_TEXTURE_2D);
    const unsigned cube =
        reuse ? kve::render::lightCubeMap(*kve::scene::findLight(kMainLight)).texture : targets.cubeMap;
    for (int face = 0; face < 6; ++face) {
        const std::vector<uint16_t> image =
            depthImage(cube, GL_TEXTURE_CUBE_MAP, static_cast<GLenum>(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face));
        all.insert(all.end(), image.begin(), image.end());
    }
    return all;
}

size_t stepIndex(const char* what);

struct FrameRun {
    std::vector<std::vector<uint8_t>> frames;
    std::vector<std::vector<uint16_t>> depths; // per frame before the bomb light
    std::vector<long long> facesDrawn, facesPartial; // per frame
};

FrameRun render(bool reuse)
{
    KVE_SetShadowMapReuse(reuse ? 1 : 0);
    FrameRun run;
    ShadowScene scene;
    const auto& counts = kve::render::shadowFaceCounts();
    for (const Step& step : steps()) {
        step.change(scene);
        const long long drawn = counts.drawn, partial = counts.partial;
        KVE_RenderScene(-1);
        run.frames.push_back(kve::test::Pixels(kScreenWidth, kScreenHeight).bytes());
        run.facesDrawn.push_back(counts.drawn - drawn);
        run.facesPartial.push_back(counts.partial - partial);
        if (run.frames.size() <= stepIndex("bomb light appears"))
            run.depths.push_back(shadowDepths(reuse));
    }
    KVE_SetShadowMapReuse(1);
    return run;
}

size_t differingPixels(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b)
{
    size_t count = 0;
    for (size_t i = 0; i < a.size(); i += 4)
        count += std::memcmp(&a[i], &b[i], 4) != 0;
    return count;
}

class ShadowReuseTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(KVE_InitShadowTargets(kShadowSize), 1); }
    static void TearDownTestSuite() { KVE_InitShadowTargets(2048); }
};

size_t stepIndex(const char* what)
{
    for (size_t i = 0; i < steps().size(); ++i)
        if (std::string(steps()[i].what) == what)
            return i;
    ADD_FAILURE() << "no step " << what;
    return 0;
}

TEST_F(ShadowReuseTest, KeptShadowMapsDrawEveryFrameExactlyAsRedrawnOnes)
{
    const FrameRun kept = render(true);
    const FrameRun redrawn = render(false);
    ASSERT_EQ(kept.frames.size(), redrawn.frames.size());
    for (size_t i = 0; i < kept.frames.size(); ++i)
        EXPECT_EQ(differingPixels(kept.frames[i], redrawn.frames[i]), 0u) << "frame " << i << ": " << steps()[i].what;
    // The maps themselves hold the same depths, whether kept, partly or wholly redrawn.
    ASSERT_EQ(kept.depths.size(), redrawn.depths.size());
    for (size_t i = 0; i < kept.depths.size(); ++i)
        EXPECT_TRUE(kept.depths[i] == redrawn.depths[i]) << "frame " << i << ": " << steps()[i].what;

    // The sequence shows something: changes move shadows, and shadows darken the ground.
    EXPECT_GT(differingPixels(kept.frames[stepIndex("ball rolls")], kept.frames[stepIndex("still again")]), 100u);
    EXPECT_GT(differingPixels(kept.frames[stepIndex("mesh changed")], kept.frames[stepIndex("box turned over")]),
              100u);
    EXPECT_GT(differingPixels(kept.frames[stepIndex("shadows off")], kept.frames[stepIndex("light on")]), 1000u);

    // Forced off, every face of both maps is drawn every frame with shadows on: the main
    // light's six and the directional map, and six more while the bomb light lives.
    EXPECT_EQ(redrawn.facesDrawn[stepIndex("still")], 7);
    EXPECT_EQ(redrawn.facesDrawn[stepIndex("bomb light flies")], 13);
    // Kept: nothing is drawn while nothing changes, and a move redraws only the faces it touches.
    for (const char* still : {"still", "still again", "light on", "still at the end"})
        EXPECT_EQ(kept.facesDrawn[stepIndex(still)], 0) << still;
    EXPECT_EQ(kept.facesDrawn[stepIndex("shadows off")], 0);
    EXPECT_GE(kept.facesDrawn[stepIndex("ball rolls")], 1);
    EXPECT_LT(kept.facesDrawn[stepIndex("ball rolls")], 7);
    EXPECT_GE(kept.facesDrawn[stepIndex("bomb light flies")], 1);
    EXPECT_LT(kept.facesDrawn[stepIndex("bomb light flies")], 6);
    // Small moves redraw only around the casters that moved; a moved light, all of a face.
    for (const char* small : {"ball rolls", "ball rolls a little", "balls roll", "ball thrown in", "first ball released"})
        EXPECT_GE(kept.facesPartial[stepIndex(small)], 1) << small;
    EXPECT_EQ(kept.facesPartial[stepIndex("light moved")], 0);
    EXPECT_EQ(redrawn.facesPartial[stepIndex("ball rolls")], 0);
}

} // namespace

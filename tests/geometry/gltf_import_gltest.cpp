#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "geometry/mesh.h"
#include "gpu/material.h"
#include "gpu/texture.h"
#include "kve.h"
#include "geometry/mesh_test_util.h"
#include "platform/gl.h"
#include "render/render_scene.h"
#include "scene/object.h"
#include "support/engine_environment.h"
#include "support/log_capture.h"
#include "support/test_files.h"

namespace {

using kve::test::Pixels;

constexpr int kW = kve::test::kScreenWidth, kH = kve::test::kScreenHeight;

std::string sample(const char* file)
{
    const char* binary = std::getenv("KVE_BINARY_DIR");
    return (std::filesystem::path(binary ? binary : ".") / "gltf" / file).string();
}

// Screen pixel of a world point in the plane `depth` units in front of a camera on the z
// axis looking down -z (45 degree vertical field of view).
int screenX(double x, double depth)
{
    return static_cast<int>(std::lround(kW / 2 + x * (kH / 2) / (depth * 0.41421356)));
}
int screenY(double y, double depth)
{
    return static_cast<int>(std::lround(kH / 2 - y * (kH / 2) / (depth * 0.41421356)));
}

KVE_OBJECT* objectNamed(const std::string& name)
{
    KVE_OBJECT* found = nullptr;
    kve::scene::forEachObject([&](KVE_OBJECT& object) {
        if (name == object.name)
            found = &object;
    });
    EXPECT_NE(found, nullptr) << name;
    return found;
}

class GltfScene : public kve::test::LogCaptureTest {
protected:
    void TearDown() override
    {
        // The objects of every scene loaded here leave the queues, so later frames draw
        // only their own.
        std::vector<int> loaded;
        kve::scene::forEachObject([&](KVE_OBJECT& object) {
            if (std::string(object.name).rfind("gltf:", 0) == 0)
                loaded.push_back(object.number);
        });
        for (int object : loaded)
            KVE_ReleaseObject(object);
        KVE_SetDirectLightEnabled(0);
        KVE_SetDirectLightDirection(0.0f, -1.0f, 0.0f);
        KVE_SetAmbientColor(static_cast<int>(0xFF000000));
        KVE_SetGlow(1);
        KVE_MoveCamera(0, 0.0f, 0.0f, 0.0f, 0);
        KVE_RotateCamera(0, 0.0f, 0.0f, 0.0f, 0);
        LogCaptureTest::TearDown();
    }

    // Camera on +z looking at the origin, black background, no glow.
    static void lookFrom(float distance)
    {
        KVE_MoveCamera(0, 0.0f, 0.0f, distance, 0);
        KVE_RotateCamera(0, 0.0f, 0.0f, 0.0f, 0);
        KVE_SetBackgroundColor(static_cast<int>(0xFF000000));
        KVE_SetGlow(0);
    }
    static Pixels frame()
    {
        KVE_RenderScene(-1);
        return Pixels(kW, kH);
    }
};

TEST_F(GltfScene, TexturedCubeRegistersItsRecordsAndReportsThem)
{
    KVE_GLTF_SCENE info;
    const int root = KVE_LoadGLTFScene(sample("cube.gltf").c_str(), "gltf:cube", &info);
    ASSERT_GE(root, 0) << capturedLog();
    EXPECT_EQ(info.node, root);
    EXPECT_STREQ(KVE_GetNode(root)->name, "gltf:cube");
    EXPECT_EQ(info.objects, 1);
    EXPECT_EQ(info.meshes, 1);
    EXPECT_EQ(info.materials, 1);
    EXPECT_EQ(info.textures, 2); // the two-tone image and the flat normal stand-in
    EXPECT_EQ(info.triangles, 12);
    EXPECT_FLOAT_EQ(info.boundsMin.x, -0.5f);
    EXPECT_FLOAT_EQ(info.boundsMax.z, 0.5f);
    const int material = KVE_FindMaterial("gltf:cube/two-tone#0");
    ASSERT_GE(material, 0);
    const KVE_MATERIAL* record = KVE_GetMaterial(material);
    EXPECT_EQ(record->program->kind, KVE_SHADER_NORMAL_MAPPING);
    EXPECT_EQ(KVE_GetTextureWidth(KVE_GetMaterialTexture(material, 0)), 16);
    EXPECT_EQ(KVE_GetTextureWidth(KVE_GetMaterialTexture(material, 1)), 1);
    EXPECT_EQ(record->backFaceCulling, 1);
    EXPECT_TRUE(kve::test::inOrder(capturedLog(),
                                   {logRow("Load glTF Scene: " + sample("cube.gltf"), "#404040", "KVE_LoadGLTFScene"),
                                    logRow("Vertices: 24", "#545454", "KVE_FinishMesh"),
                                    logRow("OK", "#11FF00", "KVE_LoadGLTFScene")}))
        << capturedLog();

    // The GLB with its image in the binary chunk gives the same vertices.
    KVE_GLTF_SCENE binary;
    ASSERT_GE(KVE_LoadGLTFScene(sample("cube.glb").c_str(), "gltf:cube.glb", &binary), 0) << capturedLog();
    EXPECT_EQ(binary.triangles, 12);
    const auto* external = static_cast<const kve::geometry::MeshRecord*>(objectNamed("gltf:cube/cube#0.0")->mesh);
    const auto* embedded = static_cast<const kve::geometry::MeshRecord*>(objectNamed("gltf:cube.glb/cube#0.0")->mesh);
    ASSERT_EQ(external->vertices.size(), embedded->vertices.size());
    EXPECT_EQ(std::memcmp(external->vertices.data(), embedded->vertices.data(),
                          external->vertices.size() * sizeof(kve::geometry::MeshVertex)),
              0);
    EXPECT_EQ(external->indices, embedded->indices);
}

TEST_F(GltfScene, DataUriQuadKeepsItsSamplerDoubleSidednessAndEmission)
{
    KVE_GLTF_SCENE info;
    ASSERT_GE(KVE_LoadGLTFScene(sample("quad.gltf").c_str(), "gltf:quad", &info), 0) << capturedLog();
    const int material = KVE_FindMaterial("gltf:quad/material#0");
    ASSERT_GE(material, 0);
    const KVE_MATERIAL* record = KVE_GetMaterial(material);
    EXPECT_EQ(record->backFaceCulling, 0);
    EXPECT_FLOAT_EQ(record->emission, 0.5f);
    const KVE_TEXTURE* texture = KVE_GetTexture(record->textures[0]);
    ASSERT_NE(texture, nullptr);
    glBindTexture(GL_TEXTURE_2D, texture->texture);
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &value);
    EXPECT_EQ(value, GL_CLAMP_TO_EDGE);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &value);
    EXPECT_EQ(value, GL_MIRRORED_REPEAT);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &value);
    EXPECT_EQ(value, GL_NEAREST);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &value);
    EXPECT_EQ(value, GL_NEAREST);
    // The image's top row (red) is at t = 0, as glTF writes it.
    unsigned char* pixels = KVE_CopyTexturePixels(record->textures[0]);
    ASSERT_NE(pixels, nullptr);
    EXPECT_GT(pixels[0], 200);
    EXPECT_LT(pixels[1], 50);
    std::free(pixels);
}

TEST_F(GltfScene, OneMeshLoadsAloneAndABadIndexFailsNamingTheFile)
{
    KVE_MESH* mesh = KVE_LoadGLTFMesh(310, sample("accessors.gltf").c_str(), 0, nullptr);
    ASSERT_NE(mesh, nullptr) << capturedLog();
    EXPECT_STREQ(mesh->name, "accessors.gltf#0");
    EXPECT_EQ(KVE_GetMeshVertexCount(310), 4);
    EXPECT_EQ(KVE_GetMeshTriangleCount(310), 2);
    // The computed tangents reached the vertex buffer (vertex 1 lies in one triangle only,
    // whose u runs along +x).
    const auto uploaded = kve::test::readVertexBuffer(*static_cast<kve::geometry::MeshRecord*>(mesh));
    ASSERT_EQ(uploaded.size(), 4u);
    EXPECT_NEAR(uploaded[1].tangent[0], 1.0f, 1e-5f);
    EXPECT_EQ(KVE_LoadGLTFMesh(310, sample("accessors.gltf").c_str(), 7, "Seven"), nullptr);
    EXPECT_EQ(KVE_GetMesh(310), mesh); // the mesh loaded before stays
    EXPECT_NE(capturedLog().find(logRow("Fail: " + sample("accessors.gltf") + ": no mesh 7 (the file has 3)",
                                        "#FF0000", "KVE_LoadGLTFMesh")),
              std::string::npos)
        << capturedLog();
    KVE_ReleaseMesh(310);
}

TEST_F(GltfScene, DamagedFilesRegisterNothingAndKeepWhatWasLoaded)
{
    const int kept = KVE_LoadGLTFScene(sample("cube.gltf").c_str(), "gltf:kept", nullptr);
    ASSERT_GE(kept, 0);
    const int keptMaterial = KVE_FindMaterial("gltf:kept/two-tone#0");
    kve::test::TempDir dir("gltf_damaged_gl");
    const std::string glb = kve::test::readFile(sample("cube.glb"));
    kve::test::writeFile(dir / "cut.glb", glb.substr(0, glb.size() / 2));
    std::string text = kve::test::readFile(sample("hierarchy.gltf"));
    text.replace(text.find("\"scene\":0"), 9, "\"extensionsRequired\":[\"EXT_meshopt_compression\"],\"scene\":0");
    kve::test::writeFile(dir / "meshopt.gltf", text);
    const std::string cut = (dir / "cut.glb").string(), meshopt = (dir / "meshopt.gltf").string();
    KVE_GLTF_SCENE info;
    for (const std::string& file : {cut, meshopt}) {
        // The same name as the scene already loaded: a failure must not replace it.
        EXPECT_EQ(KVE_LoadGLTFScene(file.c_str(), "gltf:kept", &info), -1);
        EXPECT_EQ(info.node, -1);
        EXPECT_EQ(info.objects, 0);
    }
    EXPECT_EQ(KVE_LoadGLTFScene("missing.glb", "gltf:kept", nullptr), -1);
    EXPECT_NE(KVE_GetNode(kept), nullptr);
    EXPECT_EQ(KVE_FindMaterial("gltf:kept/two-tone#0"), keptMaterial);
    const std::string log = capturedLog();
    EXPECT_NE(log.find(logRow("Fail: " + cut + ": GLB length field says " + std::to_string(glb.size()) +
                                  " bytes, the file holds " + std::to_string(glb.size() / 2),
                              "#FF0000", "KVE_LoadGLTFScene")),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(logRow("Fail: " + meshopt + ": unsupported required extension EXT_meshopt_compression",
                              "#FF0000", "KVE_LoadGLTFScene")),
              std::string::npos);
    EXPECT_NE(log.find(logRow("Fail: missing.glb: no such file", "#FF0000", "KVE_LoadGLTFScene")), std::string::npos);
    EXPECT_EQ(kve::test::countOccurrences(log, "Load glTF Scene: "), 4);
    EXPECT_EQ(kve::test::countOccurrences(log, "Vertices: "), 1); // only the good scene made a mesh
}

TEST_F(GltfScene, StaticPoseAndSkippedPointsAreEachWarnedOnce)
{
    ASSERT_GE(KVE_LoadGLTFScene(sample("strips.gltf").c_str(), "gltf:strips", nullptr), 0);
    const std::string log = capturedLog();
    const std::string file = sample("strips.gltf");
    EXPECT_EQ(kve::test::countOccurrences(log, "Warning: " + file + ": points and lines are not drawn, skipped"), 1);
    EXPECT_EQ(kve::test::countOccurrences(
                  log, "Warning: " + file + ": skins and animations are not supported, the static pose is loaded"),
              1);
}

// ---------------------------------------------------------------------------------------
// Pictures

TEST_F(GltfScene, LitTexturedCubeShowsItsImageTheRightWayUp)
{
    ASSERT_GE(KVE_LoadGLTFScene(sample("cube.glb").c_str(), "gltf:lit cube", nullptr), 0);
    lookFrom(3.0f); // the front face (z = 0.5) is 2.5 units away
    KVE_SetAmbientColor(static_cast<int>(0xFF202020));
    KVE_SetDirectLightEnabled(0);
    const Pixels dark = frame();
    KVE_SetDirectLightEnabled(1);
    KVE_SetDirectLightDirection(0.0f, 0.0f, 1.0f); // from the camera's side
    const Pixels lit = frame();
    const int x = screenX(0, 2.5), top = screenY(0.25, 2.5), bottom = screenY(-0.25, 2.5);
    // Top half red, bottom half green, as the image's rows run from its top.
    EXPECT_GT(lit.at(x, top, 0), 2 * lit.at(x, top, 1));
    EXPECT_GT(lit.at(x, bottom, 1), 2 * lit.at(x, bottom, 0));
    // Lit well beyond the ambient term, which alone leaves it dim.
    EXPECT_GT(lit.at(x, top, 0), 120);
    EXPECT_LT(dark.at(x, top, 0), 60);
    EXPECT_GT(dark.at(x, top, 0), 5);
    // Outside the face (half a side = 217 pixels) is background.
    EXPECT_EQ(lit.sum(screenX(0.7, 2.5), kH / 2), 0);
    EXPECT_EQ(lit.sum(x, screenY(0.7, 2.5)), 0);
}

TEST_F(GltfScene, HierarchyIsDrawnWhereItsTransformsPutIt)
{
    KVE_GLTF_SCENE info;
    const int root = KVE_LoadGLTFScene(sample("hierarchy.gltf").c_str(), "gltf:hierarchy", &info);
    ASSERT_GE(root, 0);
    EXPECT_EQ(info.objects, 3);
    EXPECT_EQ(info.meshes, 1);
    EXPECT_EQ(info.triangles, 36);
    EXPECT_NEAR(info.boundsMax.x, 2.75f, 1e-5f);
    EXPECT_NEAR(info.boundsMax.y, 1.25f, 1e-5f);
    lookFrom(8.0f);
    KVE_SetAmbientColor(static_cast<int>(0xFF404040));
    KVE_SetDirectLightEnabled(1);
    KVE_SetDirectLightDirection(0.0f, 0.0f, 1.0f);
    const Pixels picture = frame();
    // Front faces lie 7.5 (big cube) and 7.75 units (small ones) from the camera.
    EXPECT_GT(picture.sum(screenX(-1.5, 7.5), screenY(0, 7.5)), 100);   // matrix node
    EXPECT_GT(picture.sum(screenX(1.5, 7.75), screenY(0, 7.75)), 100);  // TRS node
    EXPECT_GT(picture.sum(screenX(2.5, 7.75), screenY(1, 7.75)), 100);  // translation node
    EXPECT_EQ(picture.sum(screenX(0, 7.5), screenY(0, 7.5)), 0);        // between them
    EXPECT_EQ(picture.sum(screenX(1.5, 7.75), screenY(1, 7.75)), 0);    // not unturned
    EXPECT_EQ(picture.sum(screenX(-1.5, 7.5), screenY(0.7, 7.5)), 0);   // above the big cube
    // Moving the root moves everything: the engine nodes are attached to it.
    KVE_MoveNode(root, 0.0f, -1.0f, 0.0f, 0);
    const Pixels moved = frame();
    EXPECT_EQ(moved.sum(screenX(2.5, 7.75), screenY(1, 7.75)), 0);
    EXPECT_GT(moved.sum(screenX(2.5, 7.75), screenY(0, 7.75)), 100);
}

TEST_F(GltfScene, CounterClockwiseFrontsFaceTheViewerAlsoWhenMirrored)
{
    const int root = KVE_LoadGLTFScene(sample("winding.gltf").c_str(), "gltf:winding", nullptr);
    ASSERT_GE(root, 0);
    lookFrom(4.0f);
    KVE_SetAmbientColor(static_cast<int>(0xFF808080));
    const Pixels front = frame();
    EXPECT_GT(front.sum(screenX(-1, 4), kH / 2), 100); // left quad, as written
    EXPECT_GT(front.sum(screenX(1, 4), kH / 2), 100);  // its mirror image
    EXPECT_EQ(front.sum(kW / 2, kH / 2), 0);
    // Seen from behind both are culled (neither is double-sided).
    KVE_RotateNode(root, 0.0f, 180.0f, 0.0f, 0);
    const Pixels back = frame();
    EXPECT_EQ(back.sum(screenX(-1, 4), kH / 2), 0);
    EXPECT_EQ(back.sum(screenX(1, 4), kH / 2), 0);
}

} // namespace

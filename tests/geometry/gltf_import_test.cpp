#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "geometry/gltf_import.h"
#include "geometry/mesh_test_util.h"
#include "support/test_files.h"

namespace {

namespace gltf = kve::geometry::gltf;
using kve::geometry::MeshVertex;

// The files kve_make_gltf wrote at build time.
std::filesystem::path samples()
{
    const char* binary = std::getenv("KVE_BINARY_DIR");
    return std::filesystem::path(binary ? binary : ".") / "gltf";
}

std::string importFile(const std::filesystem::path& path, gltf::ImportedScene& scene)
{
    const std::string bytes = kve::test::readFile(path);
    return gltf::importScene(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(),
                             path.parent_path().string() + "/", scene);
}

std::string importText(const std::string& text, const std::filesystem::path& directory, gltf::ImportedScene& scene)
{
    return gltf::importScene(reinterpret_cast<const uint8_t*>(text.data()), text.size(), directory.string() + "/",
                             scene);
}

void expectVertex(const MeshVertex& v, std::array<float, 3> position, std::array<float, 3> normal)
{
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(v.position[k], position[k], 1e-6f) << k;
        EXPECT_NEAR(v.normal[k], normal[k], 1e-6f) << k;
    }
    EXPECT_EQ(v.position[3], 1.0f);
}

TEST(GltfImport, InterleavedNormalizedSparseAndViewlessAccessorsReadAsWritten)
{
    gltf::ImportedScene scene;
    ASSERT_EQ(importFile(samples() / "accessors.gltf", scene), "");
    ASSERT_EQ(scene.meshes.size(), 3u);
    ASSERT_EQ(scene.objects.size(), 3u);
    ASSERT_EQ(scene.materials.size(), 1u); // the primitives name none: one default material

    // Interleaved, 28-byte stride, 16-bit normalized texture coordinates, 32-bit indices.
    const gltf::ImportedMesh& interleaved = scene.meshes[0];
    ASSERT_EQ(interleaved.vertices.size(), 4u);
    EXPECT_EQ(interleaved.indices, (std::vector<int32_t>{0, 1, 2, 0, 2, 3}));
    expectVertex(interleaved.vertices[2], {1, 1, 0}, {0, 0, 1});
    EXPECT_FLOAT_EQ(interleaved.vertices[1].texCoord[0], 1.0f);
    EXPECT_FLOAT_EQ(interleaved.vertices[1].texCoord[1], 1.0f);
    EXPECT_NEAR(interleaved.vertices[3].texCoord[1], 32768.0 / 65535.0, 1e-6);
    // No tangents in the file and no normal texture to read through them: a unit
    // direction across the normal keeps the lit programs' tangent frame defined.
    for (const MeshVertex& v : interleaved.vertices) {
        EXPECT_NEAR(kve::test::dot3(v.tangent, v.normal), 0.0f, 1e-6f);
        EXPECT_NEAR(kve::test::length3(v.tangent), 1.0f, 1e-6f);
    }

    // The sparse accessor replaced the third position; normals were normalized bytes.
    const gltf::ImportedMesh& sparse = scene.meshes[1];
    ASSERT_EQ(sparse.vertices.size(), 3u);
    expectVertex(sparse.vertices[0], {0, 0, 0}, {0, 0, 1});
    expectVertex(sparse.vertices[2], {0, 1, 0}, {0, 0, -1});
    EXPECT_EQ(sparse.high[0], 1.0f);
    EXPECT_EQ(sparse.high[1], 1.0f); // not the 9 under the substitution
    EXPECT_EQ(sparse.high[2], 0.0f);

    // No buffer view, every position given sparsely, no indices, no normals: one
    // triangle with its face normal.
    const gltf::ImportedMesh& viewless = scene.meshes[2];
    ASSERT_EQ(viewless.vertices.size(), 3u);
    EXPECT_EQ(viewless.indices, (std::vector<int32_t>{0, 1, 2}));
    expectVertex(viewless.vertices[1], {2, 0, 1}, {0, 0, 1});
    EXPECT_EQ(scene.triangles, 2 + 1 + 1);
}

TEST(GltfImport, StripsAndFansBecomeCounterClockwiseListsAndPointsAreSkippedWithOneWarning)
{
    gltf::ImportedScene scene;
    ASSERT_EQ(importFile(samples() / "strips.gltf", scene), "");
    ASSERT_EQ(scene.meshes.size(), 1u);
    const gltf::ImportedMesh& mesh = scene.meshes[0];
    // Strip of 4: two triangles; fan of 5: three; no normals, so each corner is its own.
    ASSERT_EQ(mesh.indices.size(), 15u);
    ASSERT_EQ(mesh.vertices.size(), 15u);
    for (const MeshVertex& v : mesh.vertices)
        EXPECT_NEAR(v.normal[2], 1.0f, 1e-6f); // every triangle faces +z, as written
    // The strip's second triangle is (1, 1), (1, 0), ... turned to keep its front:
    // corners p2, p1, p3.
    expectVertex(mesh.vertices[3], {0, 1, 0}, {0, 0, 1});
    expectVertex(mesh.vertices[4], {1, 0, 0}, {0, 0, 1});
    expectVertex(mesh.vertices[5], {1, 1, 0}, {0, 0, 1});
    // The fan's first triangle is (p1, p2, p0).
    expectVertex(mesh.vertices[8], {0.5f, 0.5f, 0}, {0, 0, 1});
    EXPECT_EQ(scene.warnings,
              (std::vector<std::string>{"skins and animations are not supported, the static pose is loaded",
                                        "points and lines are not drawn, skipped"}));
}

TEST(GltfImport, NodeTreeInAllThreeTransformFormsGivesTheWorldPlacement)
{
    gltf::ImportedScene scene;
    ASSERT_EQ(importFile(samples() / "hierarchy.gltf", scene), "");
    ASSERT_EQ(scene.nodes.size(), 4u);
    ASSERT_EQ(scene.objects.size(), 3u);
    ASSERT_EQ(scene.meshes.size(), 1u); // one mesh shared by three objects
    EXPECT_EQ(scene.triangles, 36);
    // Matrix node at (-1.5, 0, 0); the TRS node 3 units along its x, turned 90 degrees
    // about y and halved; the translation-only node's (0, 2, 2) read in that space.
    const float expected[3][4] = {{-1.5f, 0, 0, 1}, {1.5f, 0, 0, 0.5f}, {2.5f, 1, 0, 0.5f}};
    for (int i = 0; i < 3; ++i) {
        const gltf::ImportedObject& object = scene.objects[static_cast<size_t>(i)];
        for (int k = 0; k < 3; ++k) {
            EXPECT_NEAR(object.world[12 + k], expected[i][k], 1e-5f) << i;
            EXPECT_NEAR(object.scale[k], expected[i][3], 1e-6f) << i;
        }
    }
    // The turned nodes: the child's x axis now points along world -z.
    EXPECT_NEAR(scene.objects[1].world[2], -0.5f, 1e-6f);
    // Engine nodes: the TRS node sits (3, 0, 0) from its parent, turned by (0, s, 0, s);
    // the next is rigidly (1, 1, 0) from it in world terms, so (0, 1, 1) in its axes.
    EXPECT_EQ(scene.nodes[1].parent, 0);
    EXPECT_NEAR(scene.nodes[1].position[0], 3.0f, 1e-5f);
    EXPECT_NEAR(scene.nodes[1].rotation[1], std::sqrt(0.5f), 1e-6f);
    EXPECT_NEAR(scene.nodes[2].position[1], 1.0f, 1e-5f);
    EXPECT_NEAR(scene.nodes[2].position[2], 1.0f, 1e-5f);
    EXPECT_EQ(scene.nodes[3].parent, -1); // the empty second root
    const float low[3] = {-2, -0.5f, -0.5f}, high[3] = {2.75f, 1.25f, 0.5f};
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(scene.boundsMin[k], low[k], 1e-5f) << k;
        EXPECT_NEAR(scene.boundsMax[k], high[k], 1e-5f) << k;
    }
}

TEST(GltfImport, MirroredNodesGetTheirTrianglesTurnedRound)
{
    gltf::ImportedScene scene;
    ASSERT_EQ(importFile(samples() / "winding.gltf", scene), "");
    ASSERT_EQ(scene.objects.size(), 2u);
    const auto& plain = scene.meshes[static_cast<size_t>(scene.objects[0].mesh)];
    const auto& turned = scene.meshes[static_cast<size_t>(scene.objects[1].mesh)];
    EXPECT_EQ(scene.objects[1].scale[0], -1.0f);
    ASSERT_EQ(plain.indices.size(), turned.indices.size());
    EXPECT_EQ(turned.indices[1], plain.indices[2]);
    EXPECT_EQ(turned.indices[2], plain.indices[1]);
}

TEST(GltfImport, MaterialsFollowTheWrittenRuleAndShareTheirTextures)
{
    kve::test::TempDir dir("gltf_materials");
    std::filesystem::copy_file(samples() / "cube.png", dir / "cube.png");
    std::filesystem::copy_file(samples() / "cube.bin", dir / "cube.bin");
    // The cube with three materials on three nodes: two plain ones sharing the texture,
    // one MASK one (its own, baked copy), metallic and rough factors, a BLEND one.
    std::string text = kve::test::readFile(samples() / "cube.gltf");
    const std::string materials = R"("materials":[)";
    text.replace(text.find(materials), materials.size(),
                 materials + R"({"pbrMetallicRoughness":{"baseColorTexture":{"index":0},"metallicFactor":1,
                   "roughnessFactor":0.5,"baseColorFactor":[0.5,1,1,1]}},
                 {"pbrMetallicRoughness":{"baseColorTexture":{"index":0}},"alphaMode":"MASK","alphaCutoff":0.6},
                 {"pbrMetallicRoughness":{"baseColorFactor":[1,1,1,0.5]},"alphaMode":"BLEND"},)");
    const std::string nodes = "\"nodes\":[\n";
    text.replace(text.find(nodes), nodes.size(), nodes + R"({"mesh":1},{"mesh":2},{"mesh":3},)");
    // Three more meshes: the cube's accessors with materials 1, 2 and 3 (the original
    // node, now node 3, still has material 0 through mesh 0).
    const std::string meshes = "\"meshes\":[\n";
    const size_t first = text.find(meshes) + meshes.size();
    const std::string cube = text.substr(first, text.find("}]}", first) + 3 - first);
    std::string more;
    for (int m = 1; m <= 3; ++m) {
        std::string copy = cube;
        copy.replace(copy.find("\"material\":0"), 12, "\"material\":" + std::to_string(m));
        more += "," + copy;
    }
    text.insert(first + cube.size(), more);
    text.replace(text.find(R"("nodes":[0])"), 11, R"("nodes":[0,1,2,3])");

    gltf::ImportedScene scene;
    ASSERT_EQ(importText(text, dir.path(), scene), "");
    ASSERT_EQ(scene.materials.size(), 4u);
    // The new materials come first in the file, the two-tone one is now material 3;
    // they are imported in the order the nodes use them: 1, 2, 3, then 0.
    const gltf::ImportedMaterial& mask = scene.materials[0];
    const gltf::ImportedMaterial& blend = scene.materials[1];
    const gltf::ImportedMaterial& plain = scene.materials[2];
    const gltf::ImportedMaterial& metal = scene.materials[3];
    // shine = (1 - 0.5)(0.25 + 0.75) = 0.5; hardness = 2 / 0.5^4 - 2 = 30; the shine
    // colour is the base colour for a metal.
    EXPECT_FLOAT_EQ(metal.shine, 0.5f);
    EXPECT_FLOAT_EQ(metal.hardness, 30.0f);
    EXPECT_FLOAT_EQ(metal.shineColor[0], 0.5f);
    // The two-tone cube: metallic 0, roughness 0.5: shine 0.125, hardness 30, white.
    EXPECT_FLOAT_EQ(plain.shine, 0.125f);
    EXPECT_FLOAT_EQ(plain.shineColor[0], 1.0f);
    EXPECT_EQ(metal.colorTexture, plain.colorTexture); // loaded once
    EXPECT_NE(mask.colorTexture, plain.colorTexture);
    EXPECT_EQ(scene.textures.size(), 2u);
    // The MASK copy holds only 0 or 255 in alpha (the image has none: all kept).
    const auto& baked = scene.textures[static_cast<size_t>(mask.colorTexture)].image;
    EXPECT_EQ(baked.packedPixel(0, 0) >> 24, 255u);
    EXPECT_EQ(blend.kind, KVE_SHADER_TEXTURES);
    EXPECT_TRUE(blend.blended);
    EXPECT_FLOAT_EQ(blend.color[3], 0.5f);
    EXPECT_EQ(blend.colorTexture, -1);
    EXPECT_TRUE(scene.needsWhite);
    EXPECT_EQ(plain.kind, KVE_SHADER_NORMAL_MAPPING);
}

// ---------------------------------------------------------------------------------------
// Damaged files: each fails with a reason and nothing imported.

class DamagedGltf : public ::testing::Test {
protected:
    DamagedGltf() : dir_("gltf_damaged")
    {
        // Three positions and 16-bit indices in one external buffer.
        std::string bin(36 + 6, '\0');
        const float positions[9] = {0, 0, 0, 1, 0, 0, 0, 1, 0};
        std::memcpy(bin.data(), positions, 36);
        const uint16_t indices[3] = {0, 1, 2};
        std::memcpy(bin.data() + 36, indices, 6);
        kve::test::writeFile(dir_ / "b.bin", bin);
    }

    // A one-triangle file; `edit` replaces the first occurrence of `from` by `to`.
    std::string importEdited(const std::string& from, const std::string& to)
    {
        std::string text = R"({"asset":{"version":"2.0"},"scene":0,"scenes":[{"nodes":[0]}],
            "nodes":[{"mesh":0}],
            "meshes":[{"primitives":[{"attributes":{"POSITION":0},"indices":1}]}],
            "accessors":[{"bufferView":0,"componentType":5126,"count":3,"type":"VEC3"},
                         {"bufferView":1,"componentType":5123,"count":3,"type":"SCALAR"}],
            "bufferViews":[{"buffer":0,"byteOffset":0,"byteLength":36},
                           {"buffer":0,"byteOffset":36,"byteLength":6}],
            "buffers":[{"byteLength":42,"uri":"b.bin"}]})";
        if (!from.empty()) {
            const size_t at = text.find(from);
            EXPECT_NE(at, std::string::npos) << from;
            if (at != std::string::npos)
                text.replace(at, from.size(), to);
        }
        gltf::ImportedScene scene;
        return importText(text, dir_.path(), scene);
    }

    kve::test::TempDir dir_;
};

TEST_F(DamagedGltf, TheUndamagedFileLoads)
{
    EXPECT_EQ(importEdited("", ""), "");
}

TEST_F(DamagedGltf, AccessorsOutsideTheirBuffersAndAbsurdCountsAreRefused)
{
    EXPECT_EQ(importEdited(R"("count":3,"type":"VEC3")", R"("count":4,"type":"VEC3")"),
              "mesh 0 primitive 0: POSITION accessor 0: reaches past the end of buffer view 0");
    EXPECT_EQ(importEdited(R"("byteOffset":36,"byteLength":6)", R"("byteOffset":40,"byteLength":6)"),
              "mesh 0 primitive 0: indices accessor 1: buffer view 1 missing or outside its buffer");
    EXPECT_EQ(importEdited(R"("count":3,"type":"VEC3")", R"("count":4000000000,"type":"VEC3")"),
              "mesh 0 primitive 0: POSITION accessor 0: count 4000000000 is beyond the import limit");
    EXPECT_EQ(importEdited(R"("count":3,"type":"VEC3")", R"("count":3,"type":"VEC3","byteOffset":30)"),
              "mesh 0 primitive 0: POSITION accessor 0: reaches past the end of buffer view 0");
    EXPECT_EQ(importEdited(R"("byteLength":36})", R"("byteLength":36,"byteStride":8})"),
              "mesh 0 primitive 0: POSITION accessor 0: byte stride 8 does not fit its elements");
    EXPECT_EQ(importEdited(R"("componentType":5126)", R"("componentType":5124)"),
              "mesh 0 primitive 0: POSITION accessor 0: unknown component type 5124");
    EXPECT_EQ(importEdited(R"("POSITION":0)", R"("POSITION":7)"), "mesh 0 primitive 0: POSITION no accessor 7");
    // A sparse part naming an element past the accessor.
    EXPECT_EQ(importEdited(R"("type":"VEC3"})",
                           R"("type":"VEC3","sparse":{"count":1,"indices":{"bufferView":0,"componentType":5125,
                               "byteOffset":12},"values":{"bufferView":0}}})"),
              "mesh 0 primitive 0: POSITION accessor 0 sparse index 1065353216 past its 3 elements");
    EXPECT_EQ(importEdited(R"("type":"VEC3"})",
                           R"("type":"VEC3","sparse":{"count":900,"indices":{"bufferView":1,"componentType":5123},
                               "values":{"bufferView":0}}})"),
              "mesh 0 primitive 0: POSITION accessor 0 sparse count 900 is more than its elements");
}

TEST_F(DamagedGltf, IndexValuesPastTheVerticesAndTwoGigabyteClaimsAreRefused)
{
    std::string bin = kve::test::readFile(dir_ / "b.bin");
    bin[40] = 5; // third index
    kve::test::writeFile(dir_ / "b.bin", bin);
    EXPECT_EQ(importEdited("", ""), "mesh 0 primitive 0: index value 5 past the vertex count 3");
    const std::string claim = importEdited(R"("byteLength":42)", R"("byteLength":2147483648)");
    EXPECT_NE(claim.find("b.bin"), std::string::npos) << claim;
}

TEST_F(DamagedGltf, SharedAndCyclicNodeTreesAndMissingNodesAreRefused)
{
    EXPECT_EQ(importEdited(R"("nodes":[{"mesh":0}])", R"("nodes":[{"children":[2]},{"children":[2]},{"mesh":0}])"),
              "node 2 has more than one parent");
    EXPECT_EQ(importEdited(R"("nodes":[{"mesh":0}])", R"("nodes":[{"children":[1]},{"children":[0]}])"),
              "node 0 is its own ancestor");
    EXPECT_EQ(importEdited(R"("nodes":[{"mesh":0}])", R"("nodes":[{"children":[0]}])"),
              "node 0 is its own ancestor");
    EXPECT_EQ(importEdited(R"("nodes":[{"mesh":0}])", R"("nodes":[{"children":[3]}])"),
              "node 0 names child 3, which does not exist");
    EXPECT_EQ(importEdited(R"("scenes":[{"nodes":[0]}])", R"("scenes":[{"nodes":[0,0]}])"),
              "node 0 is used twice in the scene");
    EXPECT_EQ(importEdited(R"("scenes":[{"nodes":[0]}])", R"("scenes":[{"nodes":[4]}])"),
              "scene names node 4, which does not exist");
    EXPECT_EQ(importEdited(R"("nodes":[{"mesh":0}])", R"("nodes":[{"mesh":0,"translation":[1,2]}])"),
              "node 0: transform values of the wrong count or not finite");
    EXPECT_EQ(importEdited(R"("nodes":[{"mesh":0}])", R"("nodes":[{"mesh":3}])"), "node 0: no mesh 3 (the file has 1)");
}

TEST_F(DamagedGltf, RequiredExtensionsAndNonsenseFail)
{
    EXPECT_EQ(importEdited(R"("scene":0)", R"("extensionsRequired":["KHR_draco_mesh_compression"],"scene":0)"),
              "unsupported required extension KHR_draco_mesh_compression");
    EXPECT_NE(importEdited(R"({"asset")", R"([{"asset")"), "");
    EXPECT_NE(importEdited(R"("version":"2.0")", R"("version":"2.0)"), "");
    EXPECT_EQ(importEdited(R"("indices":1})", R"("indices":1,"mode":9})"),
              "mesh 0: unknown primitive mode 9");
    EXPECT_EQ(importEdited(R"("uri":"b.bin")", R"("uri":"missing.bin")").empty(), false);
}

TEST_F(DamagedGltf, ImageViewsOutsideTheirBufferAndFilesOutsideTheDirectoryAreRefused)
{
    // The parser hands an image's view to the image loader without checking it.
    EXPECT_EQ(importEdited(R"("buffers")", R"("images":[{"bufferView":2,"mimeType":"image/png"}],"buffers")")
                  .find("buffer view 2"),
              std::string::npos); // no view 2: the parser itself refuses
    EXPECT_NE(importEdited(R"({"buffer":0,"byteOffset":36,"byteLength":6}])",
                           R"({"buffer":0,"byteOffset":36,"byteLength":6},{"buffer":0,"byteOffset":40,"byteLength":600}],
                              "images":[{"bufferView":2,"mimeType":"image/png"}])")
                  .find("image 0: buffer view outside its buffer"),
              std::string::npos);
    // Buffers are the file's neighbours: absolute paths and ".." read nothing, even where
    // the file exists.
    const std::string here = (dir_ / "b.bin").string();
    EXPECT_NE(importEdited(R"("uri":"b.bin")", "\"uri\":\"" + here + "\""), "");
    const auto outside = dir_.path().parent_path() / "gltf_outside.bin";
    std::filesystem::copy_file(dir_ / "b.bin", outside, std::filesystem::copy_options::overwrite_existing);
    EXPECT_NE(importEdited(R"("uri":"b.bin")", R"("uri":"../gltf_outside.bin")"), "");
    std::filesystem::remove(outside);
    // Climbing out and back in stays inside.
    const std::string back = "../" + dir_.path().filename().string() + "/b.bin";
    EXPECT_EQ(importEdited(R"("uri":"b.bin")", "\"uri\":\"" + back + "\""), "");
}

TEST(DamagedGlb, CutShortOrWithWrongChunkLengthsFailsWithTheReason)
{
    const std::string file = kve::test::readFile(samples() / "cube.glb");
    ASSERT_GT(file.size(), 100u);
    auto import = [](std::string bytes) {
        gltf::ImportedScene scene;
        return gltf::importScene(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), "./", scene);
    };
    auto withU32 = [&](size_t at, uint32_t value) {
        std::string bytes = file;
        std::memcpy(bytes.data() + at, &value, 4);
        return bytes;
    };
    EXPECT_EQ(import(file), "");
    EXPECT_EQ(import(file.substr(0, 12)), "GLB header cut short (12 bytes)");
    EXPECT_EQ(import(file.substr(0, file.size() - 1)),
              "GLB length field says " + std::to_string(file.size()) + " bytes, the file holds " +
                  std::to_string(file.size() - 1));
    uint32_t jsonLength;
    std::memcpy(&jsonLength, file.data() + 12, 4);
    const size_t binHeader = 20 + jsonLength;
    // The length field cut to match a file cut inside the BIN chunk.
    const std::string cut = file.substr(0, binHeader + 20);
    std::string fixed = cut;
    const auto cutSize = static_cast<uint32_t>(cut.size());
    std::memcpy(fixed.data() + 8, &cutSize, 4);
    EXPECT_NE(import(fixed).find("BIN chunk length"), std::string::npos) << import(fixed);
    EXPECT_EQ(import(withU32(12, 0x7FFFFFF0u)), "JSON chunk length 2147483632 runs past the end of the file");
    EXPECT_EQ(import(withU32(16, 0x12345678u)), "first GLB chunk is not JSON");
    EXPECT_EQ(import(withU32(4, 1)), "GLB version 1, only 2 is read");
    // A BIN chunk eight bytes too long: the parser alone would read past the file.
    uint32_t binLength;
    std::memcpy(&binLength, file.data() + binHeader, 4);
    EXPECT_EQ(import(withU32(binHeader, binLength + 8)),
              "BIN chunk length " + std::to_string(binLength + 8) + " runs past the end of the file");
    // Every shorter prefix fails cleanly.
    for (size_t size = 0; size < file.size(); size += 7)
        EXPECT_NE(import(file.substr(0, size)), "") << size;
}

} // namespace

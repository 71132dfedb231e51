// The demonstration's resources, damaged the ways files get damaged (missing, cut short,
// overwritten with garbage, edited into absurd numbers): each load must leave a red entry
// that names the file and says what is wrong, and nothing that would draw as nothing is
// registered as loaded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <string>

#include "kve.h"
#include "support/log_capture.h"
#include "support/test_files.h"

namespace {

namespace fs = std::filesystem;

class DamagedResources : public kve::test::LogCaptureTest {
protected:
    void SetUp() override
    {
        LogCaptureTest::SetUp();
        const char* binary = std::getenv("KVE_BINARY_DIR");
        resources_ = fs::path(binary ? binary : ".") / "samples/physics/Resources";
        if (!fs::exists(resources_ / "Cube.kvm"))
            GTEST_SKIP() << "the demo's resources were not made";
    }

    // The demo's file, as bytes.
    std::string original(const std::string& name) const { return kve::test::readFile(resources_ / name); }

    // Writes `bytes` as `name` in the scratch directory; its path.
    std::string damaged(const std::string& name, const std::string& bytes) const
    {
        kve::test::writeFile(dir_ / name, bytes);
        return (dir_ / name).string();
    }

    // A red entry of `procedure` that names `file` and holds `reason`.
    static bool hasRedEntryNaming(const std::string& log, const std::string& file, const std::string& reason)
    {
        const std::string start = "<i style='color:#FF0000;'>Fail: " + file + ": ";
        for (size_t at = log.find(start); at != std::string::npos; at = log.find(start, at + 1)) {
            const size_t end = log.find("</i>", at);
            if (log.substr(at, end - at).find(reason) != std::string::npos)
                return true;
        }
        return false;
    }

    static std::string garbage(size_t size)
    {
        std::mt19937 random(static_cast<unsigned>(size));
        std::string bytes(size, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() & 0xFF);
        return bytes;
    }

    fs::path resources_;
    kve::test::TempDir dir_{"damaged"};
};

TEST_F(DamagedResources, MaterialsMissingGarbageOrAbsurdAreReported)
{
    const std::string missing = (dir_ / "Materials.kvd").string();
    KVE_ParseDefinitionFiles(missing.c_str(), KVE_DEFINITION_ALL);
    EXPECT_NE(capturedLog().find(logRow("Fail: File not found!", "#FF0000", "KVE_ParseDefinitionFiles")),
              std::string::npos);
    EXPECT_TRUE(hasRedEntryNaming(capturedLog(), missing, "no such file")) << capturedLog();

    const std::string noise = damaged("Noise.kvd", garbage(3000));
    KVE_ParseDefinitionFiles(noise.c_str(), KVE_DEFINITION_ALL);
    EXPECT_TRUE(hasRedEntryNaming(capturedLog(), noise, "no Texture, Material or Sound block")) << capturedLog();

    // The demo's own materials with numbers no lighting survives: each is named, brought
    // back into range, and the material is still made.
    const std::string absurd =
        damaged("Absurd.kvd", "Material: Absurd {\n  Shader: NORMALMAP;\n  Color: 1e30.0, 0.5, nan.0;\n"
                              "  Shine: 1e30;\n  Hardness: -48;\n  Reflection: NaN;\n  Texture[0]: NoSuchTexture;\n}\n");
    KVE_ParseDefinitionFiles(absurd.c_str(), KVE_DEFINITION_ALL);
    const std::string log = capturedLog();
    EXPECT_TRUE(hasRedEntryNaming(log, absurd, "Material Absurd: Shine 1e+30 is out of range, 1000 used")) << log;
    EXPECT_TRUE(hasRedEntryNaming(log, absurd, "Material Absurd: Hardness -48 is out of range, 0 used")) << log;
    EXPECT_TRUE(hasRedEntryNaming(log, absurd, "Material Absurd: Reflection nan is out of range, 0 used")) << log;
    EXPECT_TRUE(hasRedEntryNaming(log, absurd, "Material Absurd: Color[0] 1e+30 is out of range, 64 used")) << log;
    EXPECT_TRUE(hasRedEntryNaming(log, absurd, "Material Absurd: Color[2] nan is out of range, 1 used")) << log;
    EXPECT_TRUE(hasRedEntryNaming(log, absurd, "Material Absurd: no texture named NoSuchTexture is loaded")) << log;
    const int material = KVE_FindMaterial("Absurd");
    ASSERT_GE(material, 0);
    EXPECT_EQ(KVE_GetMaterialShine(material), 1000.0f);
    KVE_ReleaseMaterial(material);

    // The undamaged file gives no red entry at all.
    const size_t before = capturedLog().size();
    const std::string good = damaged("Materials.kvd", original("Materials.kvd"));
    for (const char* image : {"Ground.png", "GroundNormal.png", "Ball.png", "BallNormal.png"})
        damaged(image, original(image));
    KVE_ParseDefinitionFiles(good.c_str(), KVE_DEFINITION_ALL);
    EXPECT_EQ(capturedLog().find("#FF0000", before), std::string::npos) << capturedLog().substr(before);
    for (const char* name : {"Plane", "Ball"})
        KVE_ReleaseMaterial(KVE_FindMaterial(name));
}

TEST_F(DamagedResources, CutMeshesAndBodiesNeverLoadAsNothing)
{
    for (const char* name : {"Plane.kvm", "Cube.kvm"}) {
        const std::string text = original(name);
        // Cut inside the vertices (no faces left), and inside the faces.
        for (const double keep : {0.3, 0.9}) {
            const std::string path = damaged(name, text.substr(0, static_cast<size_t>(text.size() * keep)));
            const KVE_MESH* mesh = KVE_LoadMesh(40, path.c_str(), "");
            const std::string log = capturedLog();
            EXPECT_TRUE(hasRedEntryNaming(log, path, keep < 0.5 ? "no triangles" : " entries, the file holds ")) << log;
            if (keep < 0.5) {
                EXPECT_EQ(mesh, nullptr) << name;
                EXPECT_EQ(log.find(logRow("Triangles: 0", "#545454", "KVE_FinishMesh")), std::string::npos) << log;
            }
            KVE_ReleaseMesh(40);
        }
        const std::string path = damaged(name, garbage(text.size()));
        EXPECT_EQ(KVE_LoadMesh(40, path.c_str(), ""), nullptr);
        EXPECT_TRUE(hasRedEntryNaming(capturedLog(), path, "no Mesh block")) << capturedLog();
    }
    const std::string missing = (dir_ / "Gone.kvb").string();
    EXPECT_EQ(KVE_LoadBody(41, missing.c_str(), ""), nullptr);
    EXPECT_TRUE(hasRedEntryNaming(capturedLog(), missing, "no such file"));
    // A body file keeps what it holds (a body may have no faces), but the cut is named;
    // a face naming a vertex the file lost fails.
    const std::string body = original("Plane.kvb");
    const std::string cut = damaged("Plane.kvb", body.substr(0, body.find("Faces") + 16));
    EXPECT_NE(KVE_LoadBody(41, cut.c_str(), ""), nullptr);
    EXPECT_TRUE(hasRedEntryNaming(capturedLog(), cut, "cut short")) << capturedLog();
    KVE_FreeBody(41);
    const std::string lost = damaged("Lost.kvb", "Body: X { Vertices: { 0,0,0\n 1,0,0 }\n Faces: { 0,1,2 } }");
    EXPECT_EQ(KVE_LoadBody(41, lost.c_str(), ""), nullptr);
    EXPECT_TRUE(hasRedEntryNaming(capturedLog(), lost, "names a vertex the file does not hold")) << capturedLog();
}

TEST_F(DamagedResources, ObjImagesFontsSoundsAndEmittersNameTheFile)
{
    const std::string emptyObj = damaged("Ball.obj", std::string(original("Ball.obj").size() / 2, ' '));
    EXPECT_EQ(KVE_LoadOBJMesh(42, emptyObj.c_str(), ""), nullptr);
    EXPECT_TRUE(hasRedEntryNaming(capturedLog(), emptyObj, "no triangles"));
    // Cut inside a face line: what came before loads, and the cut face is named.
    const std::string ball = original("Ball.obj");
    const std::string cutObj = damaged("Cut.obj", ball.substr(0, ball.rfind("\nf ") + 6));
    EXPECT_NE(KVE_LoadOBJMesh(42, cutObj.c_str(), ""), nullptr);
    EXPECT_TRUE(hasRedEntryNaming(capturedLog(), cutObj, "face with fewer than three corners in line")) << capturedLog();
    KVE_ReleaseMesh(42);
    EXPECT_EQ(KVE_LoadOBJMesh(42, dir_.path().string().c_str(), ""), nullptr);
    EXPECT_TRUE(hasRedEntryNaming(capturedLog(), dir_.path().string(), "a directory, not a file"));

    const std::string png = original("Cross.png");
    const std::string cutPng = damaged("Cross.png", png.substr(0, png.size() / 2));
    EXPECT_EQ(KVE_LoadTextureFile(-1, cutPng.c_str(), KVE_DEFAULT, 0, ""), nullptr);
    EXPECT_NE(capturedLog().find(logRow("Fail: Image not found!", "#FF0000", "KVE_LoadTextureFile")), std::string::npos);
    EXPECT_TRUE(hasRedEntryNaming(capturedLog(), cutPng, "PNG: ")) << capturedLog();

    const std::string font = original("Arial.tf");
    const std::string cutFont = damaged("Arial.tf", font.substr(0, 40));
    EXPECT_EQ(KVE_LoadFont(-1, cutFont.c_str()), nullptr);
    EXPECT_TRUE(hasRedEntryNaming(capturedLog(), cutFont, "")) << capturedLog();

    const std::string noisySound = damaged("Hit.ogg", "OggS" + garbage(2000));
    EXPECT_EQ(KVE_LoadSound(-1, noisySound.c_str(), 0, ""), nullptr);
    EXPECT_TRUE(hasRedEntryNaming(capturedLog(), noisySound, "damaged OGG file")) << capturedLog();

    const std::string missingEmitter = (dir_ / "Particle.kvd").string();
    EXPECT_EQ(KVE_LoadParticleEmitter(-1, missingEmitter.c_str()), nullptr);
    EXPECT_TRUE(hasRedEntryNaming(capturedLog(), missingEmitter, "no such file"));
    const std::string noEmitter = damaged("Other.kvd", "Texture: X { File: x.png; }\n");
    KVE_EMITTER* emitter = KVE_LoadParticleEmitter(-1, noEmitter.c_str());
    EXPECT_TRUE(hasRedEntryNaming(capturedLog(), noEmitter, "no ParticleEmitter block")) << capturedLog();
    if (emitter)
        KVE_FreeParticleEmitter(emitter->number);
}

} // namespace

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

#include "gpu/material.h"
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

    // A red entry that names `file` and holds `reason`: the load failed.
    static bool hasRedEntryNaming(const std::string& log, const std::string& file, const std::string& reason)
    {
        return hasEntryNaming(log, "#FF0000;'>Fail: ", file, reason);
    }
    // An orange entry that names `file` and holds `reason`: the load went on past a defect.
    static bool hasWarningNaming(const std::string& log, const std::string& file, const std::string& reason)
    {
        return hasEntryNaming(log, "#FF8000;'>Warning: ", file, reason);
    }
    static bool hasEntryNaming(const std::string& log, const std::string& kind, const std::string& file,
                               const std::string& reason)
    {
        const std::string start = "<i style='color:" + kind + file + ": ";
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

    // The demo's own materials with numbers no lighting survives: each is named, replaced,
    // and the material is still made. Unusual but finite numbers are kept as written.
    const std::string absurd = damaged(
        "Absurd.kvd", "Material: Absurd {\n  Shader: NORMALMAP;\n  Color: 1e30.0, -0.5, nan.0;\n"
                      "  Shine: 1e30;\n  Hardness: -48;\n  Reflection: NaN;\n  Refraction: -Infinity;\n"
                      "  SurfaceScattering: -3;\n  Texture[0]: NoSuchTexture;\n}\n"
                      "Material: Unusual {\n  Color: -0.25, 2.0, 0.5;\n  Shine: 2000;\n  Hardness: 1e9;\n}\n");
    const size_t start = capturedLog().size();
    KVE_ParseDefinitionFiles(absurd.c_str(), KVE_DEFINITION_ALL);
    const std::string log = capturedLog();
    EXPECT_TRUE(hasWarningNaming(log, absurd, "Material Absurd: Shine 1e+30 would break drawing, 1e+12 used")) << log;
    EXPECT_TRUE(hasWarningNaming(log, absurd, "Material Absurd: Hardness -48 would break drawing, 0 used")) << log;
    EXPECT_TRUE(hasWarningNaming(log, absurd, "Material Absurd: Reflection nan is not a finite number, 0 used"))
        << log;
    EXPECT_TRUE(hasWarningNaming(log, absurd, "Material Absurd: Refraction -inf is not a finite number, 5 used"))
        << log;
    EXPECT_TRUE(hasWarningNaming(log, absurd, "Material Absurd: Color[0] 1e+30 would break drawing, 1e+12 used"))
        << log;
    EXPECT_TRUE(hasWarningNaming(log, absurd, "Material Absurd: Color[2] nan is not a finite number, 1 used")) << log;
    EXPECT_TRUE(hasWarningNaming(log, absurd, "Material Absurd: no texture named NoSuchTexture is loaded")) << log;
    EXPECT_EQ(kve::test::countOccurrences(log.substr(start), "Warning: "), 7) << log.substr(start);
    // The material loaded: the only red entry is the missing texture's own.
    EXPECT_EQ(kve::test::countOccurrences(log.substr(start), "#FF0000"), 1) << log.substr(start);
    EXPECT_NE(log.find("Texture[0] not found: NoSuchTexture", start), std::string::npos);
    const int material = KVE_FindMaterial("Absurd");
    ASSERT_GE(material, 0);
    EXPECT_EQ(KVE_GetMaterialShine(material), 1.0e12f);
    EXPECT_EQ(KVE_GetMaterialHardness(material), 0.0f);
    EXPECT_FLOAT_EQ(KVE_GetMaterialRefraction(material), 5.0f);
    KVE_ReleaseMaterial(material);
    const int unusual = KVE_FindMaterial("Unusual");
    ASSERT_GE(unusual, 0);
    EXPECT_EQ(KVE_GetMaterialShine(unusual), 2000.0f);
    EXPECT_EQ(KVE_GetMaterialHardness(unusual), 1.0e9f);
    const KVE_MATERIAL* record = KVE_GetMaterial(unusual);
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->color[0], -0.25f);
    EXPECT_EQ(record->color[1], 2.0f);
    EXPECT_EQ(log.find("Material Unusual:", start), std::string::npos) << "nothing said about finite values";
    KVE_ReleaseMaterial(unusual);

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
            if (keep < 0.5)
                EXPECT_TRUE(hasRedEntryNaming(log, path, "no triangles")) << log;
            else // loaded with what it holds
                EXPECT_TRUE(hasWarningNaming(log, path, " entries, the file holds ")) << log;
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
    EXPECT_TRUE(hasWarningNaming(capturedLog(), cut, "cut short")) << capturedLog();
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
    EXPECT_TRUE(hasWarningNaming(capturedLog(), cutObj, "face with fewer than three corners in line")) << capturedLog();
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
    // Cut inside its audio: refused, whole or streamed, where it used to load shorter.
    const std::string hit = original("Hit.ogg");
    const std::string cutSound = damaged("Cut.ogg", hit.substr(0, hit.size() * 2 / 3));
    for (const int mode : {0, KVE_SOUND_STREAM}) {
        const size_t before = capturedLog().size();
        EXPECT_EQ(KVE_LoadSound(-1, cutSound.c_str(), mode, ""), nullptr) << mode;
        EXPECT_TRUE(hasRedEntryNaming(capturedLog().substr(before), cutSound, "damaged OGG file")) << capturedLog();
    }

    const std::string missingEmitter = (dir_ / "Particle.kvd").string();
    EXPECT_EQ(KVE_LoadParticleEmitter(-1, missingEmitter.c_str()), nullptr);
    EXPECT_TRUE(hasRedEntryNaming(capturedLog(), missingEmitter, "no such file"));
    const std::string noEmitter = damaged("Other.kvd", "Texture: X { File: x.png; }\n");
    KVE_EMITTER* emitter = KVE_LoadParticleEmitter(-1, noEmitter.c_str());
    EXPECT_TRUE(hasWarningNaming(capturedLog(), noEmitter, "no ParticleEmitter block")) << capturedLog();
    if (emitter)
        KVE_FreeParticleEmitter(emitter->number);
}

} // namespace

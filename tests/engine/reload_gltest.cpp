// Resource reload: files edited on disk while the engine runs come back in place, and a
// broken or half-written file leaves the old resource as it was.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "geometry/mesh.h"
#include "gpu/image_samples.h"
#include "gpu/material.h"
#include "gpu/texture.h"
#include "kve.h"
#include "particles/emitter.h"
#include "platform/gl.h"
#include "platform/audio.h"
#include "platform/file_watch.h"
#include "render/font_samples.h"
#include "render/screen_pixels.h"
#include "sound/sound_files.h"
#include "support/log_capture.h"
#include "support/test_files.h"

namespace {

using kve::test::Screen;
using kve::test::writeFile;

constexpr int kCentreX = kve::test::kScreenWidth / 2, kCentreY = kve::test::kScreenHeight / 2;

std::string solidPng(int size, uint8_t r, uint8_t g, uint8_t b)
{
    std::vector<uint8_t> pixels(static_cast<size_t>(size) * static_cast<size_t>(size) * 3);
    for (size_t i = 0; i < pixels.size(); i += 3) {
        pixels[i] = r;
        pixels[i + 1] = g;
        pixels[i + 2] = b;
    }
    return kve::test::pngOf(size, size, 3, pixels);
}

// A ".kvm" square of half size `half` in the plane y = 0, facing +y.
std::string squareMesh(float half)
{
    const std::string h = std::to_string(half), m = std::to_string(-half);
    return "Mesh: Square {\n Vertices: 4 {\n  " + m + ", 0, " + m + "\n  " + m + ", 0, " + h + "\n  " + h + ", 0, " +
           h + "\n  " + h + ", 0, " + m +
           "\n }\n Normals: 4 {\n  0, 1, 0\n  0, 1, 0\n  0, 1, 0\n  0, 1, 0\n }\n"
           " TextureCoords: 4 {\n  0, 0\n  0, 1\n  1, 1\n  1, 0\n }\n"
           " Faces: 2 {\n  0, 1, 2\n  0, 2, 3\n }\n CalculateMeshTangents: true\n}\n";
}

std::string materials(const std::string& color)
{
    return "Texture: White { File: white.png; }\n"
           "Texture: Flat { File: flat.png; }\n"
           "Material: Floor {\n  Color: " +
           color + ";\n  Shader: NORMALMAP;\n  Texture[0]: White;\n  Texture[1]: Flat;\n}\n";
}

std::string emitterFile(const std::string& frequency, const std::string& color)
{
    return "ParticleEmitter: Smoke {\n  Emission: { Frequency: " + frequency +
           "; MaxParticles: 64; }\n  Particle: { LifeTime: 2; Material: { Shader: PARTICLE; Color: " + color +
           "; } }\n}\n";
}

// Lets the file settle past the debounce, then runs one reload pass.
int reloadAfterQuiet()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    return KVE_ReloadChangedResources();
}

// A 10 x 10 square seen from 10 units up in white ambient light.
class ReloadTest : public kve::test::LogCaptureTest {
protected:
    void SetUp() override
    {
        LogCaptureTest::SetUp();
        writeFile(dir_ / "white.png", solidPng(4, 255, 255, 255));
        writeFile(dir_ / "flat.png", solidPng(4, 128, 128, 255));
        writeFile(dir_ / "square.kvm", squareMesh(5.0f));
        writeFile(dir_ / "scene.kvd", materials("255, 0, 0"));
        KVE_ParseDefinitionFiles(path("scene.kvd").c_str(), KVE_DEFINITION_ALL);
        mesh_ = KVE_LoadMesh(-1, path("square.kvm").c_str(), "")->number;
        material_ = KVE_FindMaterial("Floor");
        object_ = KVE_CreateObject(-1, mesh_, material_, "", 0, 0)->number;
        KVE_MoveCamera(0, 0.0f, 10.0f, 0.0f, 0);
        KVE_RotateCamera(0, -90.0f, 0.0f, 0.0f, 0);
        KVE_SetDirectLightEnabled(0);
        KVE_SetAmbientColor(static_cast<int>(0xFFFFFFFF)); // surfaces show their own colour
        KVE_SetGlow(0);
        KVE_SetResourceWatching(1);
    }
    void TearDown() override
    {
        KVE_SetResourceWatching(0);
        kve::platform::forceFilePolling(false);
        KVE_ReleaseObject(object_);
        KVE_ReleaseMesh(mesh_);
        KVE_ReleaseMaterial(material_);
        KVE_ReleaseTexture(KVE_GetMaterialTexture(material_, 0));
        KVE_SetDirectLightEnabled(1);
        KVE_SetGlow(1);
        KVE_SetAmbientColor(static_cast<int>(0xFF000000));
        KVE_MoveCamera(0, 0.0f, 0.0f, 0.0f, 0);
        KVE_RotateCamera(0, 0.0f, 0.0f, 0.0f, 0);
        LogCaptureTest::TearDown();
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    static Screen render()
    {
        KVE_RenderScene(-1);
        return Screen();
    }

    kve::test::TempDir dir_{"reload"};
    int mesh_ = -1, material_ = -1, object_ = -1;
};

TEST_F(ReloadTest, ChangedMaterialColourShowsInTheNextFrameOnTheSameMaterialAndObject)
{
    const Screen before = render();
    ASSERT_GT(before.at(kCentreX, kCentreY, 0), before.at(kCentreX, kCentreY, 1) + 80);
    const KVE_MATERIAL* record = KVE_GetMaterial(material_);

    writeFile(dir_ / "scene.kvd", materials("0, 255, 0"));
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    KVE_FlipBuffers(); // the frame's reload
    const Screen after = render();

    EXPECT_GT(after.at(kCentreX, kCentreY, 1), after.at(kCentreX, kCentreY, 0) + 80);
    EXPECT_EQ(KVE_GetMaterial(material_), record);
    EXPECT_EQ(KVE_FindMaterial("Floor"), material_);
    EXPECT_EQ(KVE_GetObject(object_)->material, record);
    EXPECT_NE(KVE_GetMaterialTexture(material_, 0), -1);
}

TEST_F(ReloadTest, MaterialCopiedIntoAnotherKeepsTheTargetsObjectsDrawn)
{
    const int green = KVE_CopyMaterial(material_, -1, "")->number;
    KVE_SetMaterialColor(green, static_cast<int>(0xFF00FF00));
    KVE_CopyMaterialInto(green, material_);
    const Screen after = render();
    EXPECT_GT(after.at(kCentreX, kCentreY, 1), after.at(kCentreX, kCentreY, 0) + 80);
    KVE_ReleaseMaterial(green);
}

TEST_F(ReloadTest, BrokenFilesKeepTheOldResourcesWithARedEntry)
{
    const unsigned textureObject = KVE_GetTextureObject(KVE_GetMaterialTexture(material_, 0));
    writeFile(dir_ / "scene.kvd", "Material: Floor {\n  Color: 0, 0, 255;\n");
    EXPECT_EQ(reloadAfterQuiet(), 0);
    EXPECT_EQ(KVE_GetMaterialColor(material_), static_cast<int>(0xFF0000FF));
    EXPECT_NE(capturedLog().find("Fail: Definition file is incomplete: " + path("scene.kvd")), std::string::npos);
    EXPECT_NE(capturedLog().find("Fail: Reload failed, the old resource stays: " + path("scene.kvd")), std::string::npos);

    writeFile(dir_ / "scene.kvd", materials("255, 0, 0"));
    writeFile(dir_ / "white.png", "\x89PNG\r\n\x1a\n broken");
    writeFile(dir_ / "square.kvm", "Mesh: Square { Vertices: 1 { 0, 0");
    // Flat and Floor come back; White (its image broken) and the mesh (cut short) stay.
    EXPECT_EQ(reloadAfterQuiet(), 2);
    EXPECT_EQ(KVE_GetTextureObject(KVE_GetMaterialTexture(material_, 0)), textureObject);
    EXPECT_EQ(KVE_GetTextureWidth(KVE_GetMaterialTexture(material_, 0)), 4);
    EXPECT_EQ(KVE_GetMeshVertexCount(mesh_), 4);
    EXPECT_NE(capturedLog().find("Fail: Reload failed, the old resource stays: " + path("square.kvm")), std::string::npos);
    EXPECT_GT(render().at(kCentreX, kCentreY, 0), 150);
}

TEST_F(ReloadTest, ReplacedImageReachesTheMaterialThroughTheSameTextureNumber)
{
    const int texture = KVE_GetMaterialTexture(material_, 0);
    writeFile(dir_ / "scene.kvd", materials("255, 255, 255"));
    ASSERT_EQ(reloadAfterQuiet(), 3);
    ASSERT_GT(render().at(kCentreX, kCentreY, 1), 150);

    writeFile(dir_ / "white.png", solidPng(8, 0, 0, 255));
    EXPECT_EQ(reloadAfterQuiet(), 1);
    EXPECT_EQ(KVE_GetMaterialTexture(material_, 0), texture);
    EXPECT_EQ(KVE_GetTextureWidth(texture), 8);
    EXPECT_EQ(KVE_GetTextureName(texture), std::string("White"));
    const Screen after = render();
    EXPECT_GT(after.at(kCentreX, kCentreY, 2), after.at(kCentreX, kCentreY, 1) + 80);

    // A texture loaded from its own file follows its file the same way.
    writeFile(dir_ / "single.png", solidPng(2, 9, 9, 9));
    const int single = KVE_LoadTextureFile(-1, path("single.png").c_str(), KVE_DEFAULT, 0, "")->number;
    writeFile(dir_ / "single.png", solidPng(16, 9, 9, 9));
    EXPECT_EQ(reloadAfterQuiet(), 1);
    EXPECT_EQ(KVE_GetTextureWidth(single), 16);
    KVE_ReleaseTexture(single);
}

TEST_F(ReloadTest, ReplacedMeshKeepsItsObjectsAndShowsItsNewShape)
{
    const KVE_MESH* record = KVE_GetMesh(mesh_);
    writeFile(dir_ / "square.kvm", squareMesh(1.0f));
    EXPECT_EQ(reloadAfterQuiet(), 1);
    EXPECT_EQ(KVE_GetMesh(mesh_), record);
    EXPECT_EQ(KVE_GetObject(object_)->mesh, record);
    EXPECT_EQ(KVE_GetMeshName(mesh_), std::string("square.kvm"));
    const Screen small = render();
    EXPECT_GT(small.at(kCentreX, kCentreY, 0), 150);
    EXPECT_LT(small.at(kCentreX + 300, kCentreY, 0), 60); // the edge is now outside the square

    // OBJ meshes and body files come back under their objects too.
    writeFile(dir_ / "tri.obj", "v 0 0 0\nv 1 0 0\nv 0 0 1\nf 1 2 3\n");
    const int obj = KVE_LoadOBJMesh(-1, path("tri.obj").c_str(), "")->number;
    writeFile(dir_ / "box.kvb", "Body: {\n Vertices: {\n  1, 1, 1\n }\n}\n");
    KVE_BODY* body = KVE_LoadBody(-1, path("box.kvb").c_str(), "");
    ASSERT_NE(body, nullptr);
    const int holder = KVE_CreateObject(-1, obj, material_, "", 0, 0)->number;
    KVE_SetObjectBody(holder, body->number, 1.0f);
    KVE_SetObjectMass(holder, 3.0f);
    const float inertiaBefore = KVE_GetObject(holder)->Body.inertia.c[0].x;

    writeFile(dir_ / "tri.obj", "v 0 0 0\nv 1 0 0\nv 0 0 1\nv 1 0 1\nf 1 2 3\nf 2 4 3\n");
    writeFile(dir_ / "box.kvb", "Body: {\n Vertices: {\n  2, 2, 2\n }\n}\n");
    EXPECT_EQ(reloadAfterQuiet(), 2);
    EXPECT_EQ(KVE_GetMeshVertexCount(obj), 6);
    EXPECT_EQ(KVE_GetObject(holder)->Body.body, body);
    EXPECT_EQ(KVE_GetBody(body->number), body);
    // Half-size 1 instead of 0.5 on every axis: the inertia follows, four times larger.
    EXPECT_FLOAT_EQ(KVE_GetObject(holder)->Body.inertia.c[0].x, 4.0f * inertiaBefore);
    KVE_SetObjectBody(holder, KVE_BODY_NONE, 1.0f);
    KVE_ReleaseObject(holder);
    KVE_FreeBody(body->number);
    KVE_ReleaseMesh(obj);
}

TEST_F(ReloadTest, ChangedEmitterRateKeepsItsPlacementParticlesAndMaterial)
{
    writeFile(dir_ / "smoke.kvd", emitterFile("10", "255, 0, 0"));
    KVE_EMITTER* emitter = KVE_LoadParticleEmitter(-1, path("smoke.kvd").c_str());
    ASSERT_NE(emitter, nullptr);
    KVE_MoveParticleEmitter(emitter->number, 3.0f, 4.0f, 5.0f, 0);
    KVE_EmitParticles(emitter->number, 5, 0, 0, 0);
    const int material = emitter->material;
    ASSERT_NE(KVE_GetMaterial(material), nullptr);

    writeFile(dir_ / "smoke.kvd", emitterFile("50", "0, 0, 255"));
    EXPECT_EQ(reloadAfterQuiet(), 2); // the emitter and the material its file defines
    EXPECT_EQ(KVE_GetEmitter(emitter->number), emitter);
    EXPECT_FLOAT_EQ(emitter->frequency, 50.0f);
    EXPECT_EQ(emitter->maxParticles, 64);
    EXPECT_FLOAT_EQ(emitter->position.x, 3.0f);
    EXPECT_EQ(emitter->material, material);
    EXPECT_EQ(KVE_GetMaterialColor(material), static_cast<int>(0xFFFF0000));
    KVE_UpdateParticleEmitters();
    EXPECT_EQ(emitter->visibleCount, 5);
    KVE_FreeParticleEmitter(emitter->number);
    KVE_ReleaseMaterial(material);
}

TEST_F(ReloadTest, FileWrittenInStepsIsReloadedOnceComplete)
{
    const size_t logStart = capturedLog().size();
    const std::string full = materials("0, 0, 255");
    writeFile(dir_ / "scene.kvd", full.substr(0, full.size() / 2));
    EXPECT_EQ(KVE_ReloadChangedResources(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    writeFile(dir_ / "scene.kvd", full);
    EXPECT_EQ(KVE_ReloadChangedResources(), 0);
    EXPECT_EQ(reloadAfterQuiet(), 3);
    EXPECT_EQ(KVE_GetMaterialColor(material_), static_cast<int>(0xFFFF0000));
    EXPECT_EQ(capturedLog().find("Fail: Reload failed", logStart), std::string::npos);
}

TEST_F(ReloadTest, ModificationTimesServeWhereNotificationsAreOffAndWatchingOffReloadsNothing)
{
    KVE_SetResourceWatching(0);
    writeFile(dir_ / "scene.kvd", materials("0, 0, 255"));
    EXPECT_EQ(reloadAfterQuiet(), 0);
    EXPECT_EQ(KVE_GetMaterialColor(material_), static_cast<int>(0xFF0000FF));

    kve::platform::forceFilePolling(true);
    KVE_SetResourceWatching(1);
    EXPECT_FALSE(kve::platform::fileNotificationsActive());
    KVE_ReloadChangedResources(); // takes the first modification times
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    writeFile(dir_ / "scene.kvd", materials("0, 255, 0"));
    int reloaded = 0;
    for (int i = 0; i < 40 && reloaded == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        reloaded = KVE_ReloadChangedResources();
    }
    EXPECT_EQ(reloaded, 3);
    EXPECT_EQ(KVE_GetMaterialColor(material_), static_cast<int>(0xFF00FF00));
}

TEST_F(ReloadTest, FontsAndSoundsFollowTheirFilesUnderTheirNumbers)
{
    const auto fontFile = [](int advance) {
        return kve::test::FontBytes().chunk(1, solidPng(8, 255, 255, 255)).glyphs({{'A', 0, 0, advance, 8, 0, 0, 4, 8}}).chunk(0, "").bytes;
    };
    writeFile(dir_ / "small.tf", fontFile(10));
    KVE_FONT* font = KVE_LoadFont(-1, path("small.tf").c_str());
    ASSERT_NE(font, nullptr);
    KVE_FONT* copy = KVE_CopyFont(font->number, -1);
    writeFile(dir_ / "hiss.wav", kve::test::wavBytes(8000, 1, 16, kve::test::rampSamples(800)));
    writeFile(dir_ / "sounds.kvd", "Sound: Hiss { File: hiss.wav; Volume: 0.5; }\n");
    DefinitionNode* tree = KVE_ReadDefinitionFile(path("sounds.kvd").c_str());
    KVE_SOUND* sound = KVE_LoadSoundDefinition(tree, -1, "");
    KVE_FreeDefinition(tree, 1);
    ASSERT_NE(sound, nullptr);
    const int soundNumber = sound->number;

    writeFile(dir_ / "small.tf", fontFile(20));
    writeFile(dir_ / "hiss.wav", kve::test::wavBytes(22050, 1, 16, kve::test::rampSamples(800)));
    writeFile(dir_ / "sounds.kvd", "Sound: Hiss { File: hiss.wav; Volume: 0.25; }\n");
    EXPECT_EQ(reloadAfterQuiet(), 2);
    EXPECT_EQ(kve::render::findFont(font->number), font);
    EXPECT_EQ(font->glyphs->glyph('A')->advance, 20);
    EXPECT_EQ(copy->glyphs->glyph('A')->advance, 20); // the copy shares the reloaded set
    EXPECT_EQ(KVE_GetSound(soundNumber), sound);
    EXPECT_STREQ(sound->name, "Hiss");
    EXPECT_FLOAT_EQ(sound->baseFrequency, 22050.0f);
    EXPECT_FLOAT_EQ(sound->volume, 0.25f);
    KVE_FreeSound(soundNumber);
    KVE_ReleaseFont(copy->number);
    KVE_ReleaseFont(font->number);
}

TEST_F(ReloadTest, LoopingChannelCopyKeepsItsNumberPointerAndLoopThroughAReload)
{
    namespace audio = kve::platform::audio;
    writeFile(dir_ / "hum.wav", kve::test::wavBytes(8000, 1, 16, kve::test::rampSamples(800)));
    KVE_SOUND* sound = KVE_LoadSound(-1, path("hum.wav").c_str(), KVE_SOUND_LOOP | KVE_SOUND_CHANNEL, "");
    ASSERT_NE(sound, nullptr);
    KVE_SOUND* loop = KVE_PlaySound(sound->number, KVE_DEFAULT, nullptr);
    ASSERT_NE(loop, nullptr);
    const int loopNumber = loop->number;
    EXPECT_GE(loopNumber, 0x10000); // an automatic number, as the application holds it
    KVE_SOUND* shot = KVE_PlaySound(sound->number, KVE_SOUND_CHANNEL, nullptr);
    ASSERT_NE(shot, nullptr);
    const int shotNumber = shot->number;
    const int oldClip = sound->clip;

    writeFile(dir_ / "hum.wav", kve::test::wavBytes(22050, 1, 16, kve::test::rampSamples(800)));
    EXPECT_EQ(reloadAfterQuiet(), 1);
    KVE_UpdateSounds();
    // The loop goes on, on the new clip, under the number and pointer the program holds.
    EXPECT_EQ(KVE_GetSound(loopNumber), loop);
    EXPECT_FLOAT_EQ(sound->baseFrequency, 22050.0f);
    EXPECT_NE(sound->clip, oldClip);
    EXPECT_EQ(loop->clip, sound->clip);
    EXPECT_FLOAT_EQ(loop->baseFrequency, 22050.0f);
    EXPECT_TRUE(audio::isPlaying(loop->clip, loop->channel));
    KVE_SetSoundVolume(loopNumber, 0.5f);
    KVE_UpdateSounds();
    audio::Output output;
    ASSERT_TRUE(audio::readOutput(loop->clip, loop->channel, &output));
    EXPECT_EQ(output.volume, 30); // half volume x 0.6 straight ahead
    EXPECT_EQ(output.frequency, 22050);

    // The one-shot ends on the old clip, which goes with it.
    for (int i = 0; i < 100 && KVE_GetSound(shotNumber); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        KVE_UpdateSounds();
    }
    EXPECT_EQ(KVE_GetSound(shotNumber), nullptr);
    EXPECT_EQ(audio::clipRate(oldClip), 0);
    EXPECT_EQ(KVE_GetSound(loopNumber), loop);
    EXPECT_TRUE(audio::isPlaying(loop->clip, loop->channel));

    // The copy still goes with its sound.
    KVE_FreeSound(sound->number);
    EXPECT_EQ(KVE_GetSound(loopNumber), nullptr);
}

TEST_F(ReloadTest, EveryLoadedFileIsWatchedWhateverRecordOrNumberItGot)
{
    // A mesh released and another loaded, most likely into the freed record.
    writeFile(dir_ / "first.kvm", squareMesh(1.0f));
    writeFile(dir_ / "second.kvm", squareMesh(2.0f));
    const int first = KVE_LoadMesh(-1, path("first.kvm").c_str(), "")->number;
    EXPECT_EQ(KVE_ReloadChangedResources(), 0); // the first file is watched from here
    KVE_ReleaseMesh(first);
    kve::geometry::MeshRecord* second = kve::geometry::findMesh(KVE_LoadMesh(-1, path("second.kvm").c_str(), "")->number);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(KVE_ReloadChangedResources(), 0);
    writeFile(dir_ / "second.kvm", squareMesh(3.0f));
    EXPECT_EQ(reloadAfterQuiet(), 1);
    EXPECT_FLOAT_EQ(second->vertices[0].position[0], -3.0f);

    // The same explicit number given to a texture from another file.
    writeFile(dir_ / "one.png", solidPng(2, 1, 1, 1));
    writeFile(dir_ / "two.png", solidPng(2, 2, 2, 2));
    KVE_LoadTextureFile(7, path("one.png").c_str(), KVE_DEFAULT, 0, "");
    EXPECT_EQ(KVE_ReloadChangedResources(), 0);
    KVE_ReleaseTexture(7);
    KVE_LoadTextureFile(7, path("two.png").c_str(), KVE_DEFAULT, 0, "");
    EXPECT_EQ(KVE_ReloadChangedResources(), 0);
    writeFile(dir_ / "two.png", solidPng(16, 2, 2, 2));
    writeFile(dir_ / "one.png", solidPng(32, 1, 1, 1)); // no longer any resource's file
    EXPECT_EQ(reloadAfterQuiet(), 1);
    EXPECT_EQ(KVE_GetTextureWidth(7), 16);
    KVE_ReleaseTexture(7);
    KVE_ReleaseMesh(second->number);
}

TEST_F(ReloadTest, InlineTextureKeepsItsNumberAndItsImageIsWatched)
{
    const auto materialFile = [](const std::string& color) {
        return "Material: Inline {\n  Color: " + color + ";\n  Shader: TEXTURED;\n  Texture[0]: { File: inline.png; }\n}\n";
    };
    writeFile(dir_ / "inline.png", solidPng(4, 255, 255, 255));
    writeFile(dir_ / "inline.kvd", materialFile("255, 0, 0"));
    KVE_ParseDefinitionFiles(path("inline.kvd").c_str(), KVE_DEFINITION_ALL);
    const int material = KVE_FindMaterial("Inline");
    ASSERT_NE(material, -1);
    const int texture = KVE_GetMaterialTexture(material, 0);
    ASSERT_NE(KVE_GetTexture(texture), nullptr);
    const unsigned object = KVE_GetTextureObject(texture);
    const size_t textures = kve::gpu::textures().size();

    for (const char* color : {"0, 255, 0", "0, 0, 255"}) {
        writeFile(dir_ / "inline.kvd", materialFile(color));
        EXPECT_EQ(reloadAfterQuiet(), 1);
        EXPECT_EQ(KVE_GetMaterialTexture(material, 0), texture);
        EXPECT_EQ(kve::gpu::textures().size(), textures); // no texture made per save
    }
    EXPECT_EQ(KVE_GetMaterialColor(material), static_cast<int>(0xFFFF0000));
    EXPECT_EQ(glIsTexture(object), GL_FALSE); // the old GL texture went with the old version

    writeFile(dir_ / "inline.png", solidPng(8, 255, 255, 255));
    EXPECT_EQ(reloadAfterQuiet(), 1);
    EXPECT_EQ(KVE_GetMaterialTexture(material, 0), texture);
    EXPECT_EQ(KVE_GetTextureWidth(texture), 8);
    EXPECT_EQ(kve::gpu::textures().size(), textures);
    KVE_ReleaseMaterial(material);
    KVE_ReleaseTexture(texture);
}

// What a reload carries: the record reloaded onto an old version equals one loaded fresh
// from the new file in every field but those that belong to the running emitter.
TEST_F(ReloadTest, ReloadedEmitterEqualsAFreshLoadInEveryFieldItsFileDefines)
{
    const std::string before = "ParticleEmitter: Spark {\n  Emission: { Frequency: 5; MaxParticles: 8; Area: Box; "
                               "Size: 1, 2, 3; Direction: 0, 0, 1; Angle: 10; Force: 1; Velocity: 1, 2; Radius: 1, 2; }\n"
                               "  Particle: { LifeTime: 1, 2; Size: 1, 2; Raise: 0, 1; Intensity: 1, 2; FadeIn: 1, 2; "
                               "FadeOut: 1, 2; }\n}\n";
    const std::string after = "ParticleEmitter: Spark {\n  Emission: { Frequency: 7; MaxParticles: 12; Area: Ring; "
                              "Mode: Local; Size: 4, 5, 6; Direction: 1, 0, 0; Angle: 20; Force: 2; Velocity: 3, 4; "
                              "Radius: 3, 4; Position: 1, 2, 3; }\n  Particle: { LifeTime: 3, 4; Size: 3, 4; Raise: 2, 3; "
                              "Intensity: 3, 4; FadeIn: 3, 4; FadeOut: 3, 4; }\n}\n";
    writeFile(dir_ / "spark.kvd", before);
    KVE_EMITTER* reloaded = KVE_LoadParticleEmitter(-1, path("spark.kvd").c_str());
    ASSERT_NE(reloaded, nullptr);
    KVE_MoveParticleEmitter(reloaded->number, 9.0f, 9.0f, 9.0f, 0);
    writeFile(dir_ / "spark.kvd", after);
    EXPECT_EQ(reloadAfterQuiet(), 1);
    writeFile(dir_ / "fresh.kvd", after);
    KVE_EMITTER* fresh = KVE_LoadParticleEmitter(-1, path("fresh.kvd").c_str());
    ASSERT_NE(fresh, nullptr);

    // Every byte compared, with the fields the running emitter keeps blanked in both.
    const auto fileDefined = [](const KVE_EMITTER& emitter) {
        KVE_EMITTER copy;
        std::memcpy(&copy, &emitter, sizeof copy);
        copy.item = {};
        copy.number = 0;
        copy.name = nullptr;
        copy.emitting = 0;
        copy.visibleCount = 0;
        copy.position = {};
        copy.rotation = {};
        copy.matrix = {};
        copy.addedVelocity = {};
        copy.lastEmission = 0;
        copy.material = 0;
        return copy;
    };
    const KVE_EMITTER a = fileDefined(*reloaded), b = fileDefined(*fresh);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof a), 0);
    EXPECT_FLOAT_EQ(reloaded->frequency, 7.0f);
    EXPECT_EQ(reloaded->mode, KVE_EMITTER_LOCAL);
    EXPECT_FLOAT_EQ(reloaded->position.x, 9.0f); // its placement stays
    const auto* liveRecord = static_cast<const EmitterRecord*>(reloaded);
    EXPECT_EQ(liveRecord->instanceSizes.size(), static_cast<const EmitterRecord*>(fresh)->instanceSizes.size());
    KVE_FreeParticleEmitter(fresh->number);
    KVE_FreeParticleEmitter(reloaded->number);
}

TEST_F(ReloadTest, ReloadedFontEqualsAFreshLoadInEveryGlyphKerningAndAtlasField)
{
    const auto fontFile = [](int size, int advance, int kerning) {
        return kve::test::FontBytes()
            .chunk(1, solidPng(size, 255, 255, 255))
            .glyphs({{'A', 1, 2, advance, 8, 2, 1, 5, 6}, {'B', 0, 0, advance + 1, 8, 0, 0, 4, 8}})
            .kerning({{'A', 'B', kerning}})
            .chunk(0, "")
            .bytes;
    };
    writeFile(dir_ / "face.tf", fontFile(8, 10, -1));
    KVE_FONT* font = KVE_LoadFont(-1, path("face.tf").c_str());
    ASSERT_NE(font, nullptr);
    font->settings.size = 3.0f; // the font's own settings stay
    const int atlas = font->glyphs->texture, material = font->glyphs->material;
    writeFile(dir_ / "face.tf", fontFile(16, 20, -3));
    EXPECT_EQ(reloadAfterQuiet(), 1);
    KVE_FONT* fresh = KVE_LoadFont(-1, path("face.tf").c_str());
    ASSERT_NE(fresh, nullptr);

    const kve::render::GlyphSet &a = *font->glyphs, &b = *fresh->glyphs;
    EXPECT_EQ(a.atlasWidth, b.atlasWidth);
    EXPECT_EQ(a.atlasHeight, b.atlasHeight);
    EXPECT_EQ(a.glyphByCode, b.glyphByCode);
    ASSERT_EQ(a.glyphs.size(), b.glyphs.size());
    for (size_t i = 0; i < a.glyphs.size(); ++i)
        EXPECT_EQ(std::memcmp(&a.glyphs[i], &b.glyphs[i], sizeof(kve::render::Glyph)), 0) << i;
    EXPECT_EQ(a.kerning.size(), b.kerning.size());
    EXPECT_EQ(a.kerning.find('A', 'B'), -3);
    EXPECT_EQ(KVE_GetTextureWidth(a.texture), KVE_GetTextureWidth(b.texture));
    // The atlas and material keep their numbers; the settings are the font's own.
    EXPECT_EQ(a.texture, atlas);
    EXPECT_EQ(a.material, material);
    EXPECT_EQ(KVE_GetMaterialTexture(material, 0), atlas);
    EXPECT_FLOAT_EQ(font->settings.size, 3.0f);
    KVE_ReleaseFont(fresh->number);
    KVE_ReleaseFont(font->number);
    EXPECT_EQ(KVE_GetTexture(atlas), nullptr);
}

} // namespace

// Emitters in the running engine: loading and its log, the registry numbers, the engine
// clock driving emission, the instance buffers read back from GL, and the drawn quads.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "core/registry.h"
#include "defs/definition_node.h"
#include "gpu/material.h"
#include "gpu/texture.h"
#include "particles/emitter.h"
#include "platform/gl.h"
#include "render/uniform_blocks.h"
#include "scene/camera.h"
#include "support/engine_environment.h"
#include "support/log_capture.h"
#include "support/test_files.h"

namespace {

namespace particles = kve::particles;
using kve::test::LogCaptureTest;

// Writes an emitter file into the working directory and returns its name.
std::string emitterFile(const std::string& name, const std::string& emission, const std::string& particle = "")
{
    kve::test::writeFile(name, "ParticleEmitter: Test {\n Emission: {" + emission + "}\n Particle: {" + particle +
                                   "}\n}\n");
    return name;
}

class ParticleLoadLog : public LogCaptureTest {};

TEST_F(ParticleLoadLog, AnUnreadableFileLogsFailAndCreatesNothing)
{
    const size_t before = particles::emitters().size();
    EXPECT_EQ(KVE_LoadParticleEmitter(-1, "Missing Emitter.kvd"), nullptr);
    EXPECT_EQ(particles::emitters().size(), before);
    const std::string log = capturedLog();
    EXPECT_NE(log.find(logRow("Load Particle Emitter: Missing Emitter.kvd", "#404040", "KVE_LoadParticleEmitter")),
              std::string::npos)
        << log;
    EXPECT_NE(log.find(logRow("FAIL", "#FF0000", "KVE_LoadParticleEmitter")), std::string::npos) << log;
}

TEST_F(ParticleLoadLog, ARefusedNumberReturnsNothingSilentlyAndFreesTheFile)
{
    const std::string file = emitterFile("Refused.kvd", "Frequency: 5;");
    const size_t trees = kve::defs::definitionTreeCount();
    for (int number : {0x10000, -7}) {
        EXPECT_EQ(KVE_LoadParticleEmitter(number, file.c_str()), nullptr);
        EXPECT_EQ(kve::defs::definitionTreeCount(), trees);
    }
    const std::string log = capturedLog();
    EXPECT_EQ(kve::test::countOccurrences(log, "<tr>"), 2) << log; // the two progress rows
    EXPECT_EQ(log.find("Fail"), std::string::npos);
}

TEST(ParticleLoad, NumbersReplaceAndTheMaterialComesFromTheFile)
{
    const std::string file = emitterFile("Sparks.kvd", "Frequency: 60; MaxParticles: 32;",
                                         "Material: SparkTest { Shader: SOFTPARTICLE; Color: 255, 128, 0; "
                                         "BlendingMode: ONE, ONE; }");
    KVE_EMITTER* first = KVE_LoadParticleEmitter(12, file.c_str());
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->number, 12);
    EXPECT_EQ(first->maxParticles, 32);
    const KVE_MATERIAL* material = KVE_GetMaterial(first->material);
    ASSERT_NE(material, nullptr);
    EXPECT_EQ(material->program->kind, KVE_SHADER_SOFT_PARTICLE);
    EXPECT_EQ(material->blendSource, GL_ONE);
    EXPECT_NEAR(first->color[1], 128.0f / 255.0f, 1e-6f); // the material's colour
    EXPECT_EQ(KVE_GetEmitterItem(12), &first->item);

    const size_t count = particles::emitters().size();
    KVE_EMITTER* replaced = KVE_LoadParticleEmitter(12, file.c_str());
    ASSERT_NE(replaced, nullptr);
    EXPECT_EQ(particles::emitters().size(), count);
    EXPECT_EQ(KVE_GetEmitter(12), replaced);

    // A second load of the file replaces the material by name; the older emitter draws
    // with its successor instead of a released record.
    KVE_EMITTER* automatic = KVE_LoadParticleEmitter(-1, file.c_str());
    ASSERT_NE(automatic, nullptr);
    EXPECT_GE(automatic->number, 0x10000);
    EXPECT_EQ(KVE_GetMaterial(replaced->material), nullptr);
    auto* older = static_cast<EmitterRecord*>(replaced);
    EXPECT_EQ(particles::emitterMaterial(*older), KVE_GetMaterial(automatic->material));

    KVE_FreeParticleEmitter(12);
    KVE_FreeParticleEmitter(automatic->number);
    EXPECT_EQ(KVE_GetEmitter(12), nullptr);
    EXPECT_EQ(particles::emitters().size(), count - 1);
}

// The GL buffer contents of `count` entries of `components` floats.
std::vector<float> readBuffer(unsigned buffer, int count, int components)
{
    std::vector<float> out(static_cast<size_t>(count * components));
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(out.size() * sizeof(float)), out.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return out;
}

TEST(ParticleUpdate, TheFirstMaxParticlesInListOrderReachTheInstanceBuffers)
{
    const std::string file = emitterFile("Crowd.kvd", "Frequency: 0; MaxParticles: 256; Velocity: 0;",
                                         "LifeTime: 100; Size: 0.5; Color: 0.25, 0.5, 0.75, 1.0;");
    KVE_EMITTER* emitter = KVE_LoadParticleEmitter(-1, file.c_str());
    ASSERT_NE(emitter, nullptr);
    for (int k = 0; k < 300; ++k)
        KVE_EmitParticles(emitter->number, 1, static_cast<float>(k), 0, 0);
    KVE_UpdateParticleEmitters();
    EXPECT_EQ(KVE_GetEmitterParticleCount(emitter->number), 300);
    ASSERT_EQ(emitter->visibleCount, 256);
    const auto& gpu = static_cast<EmitterRecord*>(emitter)->gpu;
    const std::vector<float> positions = readBuffer(gpu.positionBuffer, 256, 4);
    const std::vector<float> sizes = readBuffer(gpu.sizeBuffer, 256, 1);
    const std::vector<float> colors = readBuffer(gpu.colorBuffer, 256, 4);
    for (size_t i = 0; i < 256; ++i) {
        ASSERT_EQ(positions[4 * i], static_cast<float>(299 - static_cast<int>(i))) << i;
        ASSERT_EQ(positions[4 * i + 3], 1.0f);
        ASSERT_EQ(sizes[i], 0.5f);
        ASSERT_EQ(colors[4 * i + 2], 0.75f);
    }
    KVE_FreeParticleEmitter(emitter->number);
}

TEST(ParticleUpdate, TheEngineClockEmitsTheFirstParticleAfterOneSecond)
{
    const std::string file = emitterFile("Clock.kvd", "Frequency: 1;", "LifeTime: 100;");
    KVE_EMITTER* emitter = KVE_LoadParticleEmitter(-1, file.c_str());
    ASSERT_NE(emitter, nullptr);
    KVE_SetFixedFrameTime(1.0f / 60.0f);
    KVE_FlipBuffers();
    KVE_UpdateParticleEmitters();
    const int start = KVE_GetMilliseconds();
    int previous = start;
    for (int frame = 0; frame < 200 && KVE_GetEmitterParticleCount(emitter->number) == 0; ++frame) {
        previous = KVE_GetMilliseconds();
        KVE_FlipBuffers();
        KVE_UpdateParticleEmitters();
    }
    const int emittedAt = KVE_GetMilliseconds();
    KVE_SetFixedFrameTime(0);
    EXPECT_EQ(KVE_GetEmitterParticleCount(emitter->number), 1);
    EXPECT_LT(previous - start, 1000);
    EXPECT_GE(emittedAt - start, 1000);
    EXPECT_EQ(emitter->lastEmission, start + 1000);
    KVE_FreeParticleEmitter(emitter->number);
}

// Drawing: white additive quads onto a black screen, seen by the camera at the origin
// looking down -z, with a scene depth of 1 (nothing in front).
class ParticleDrawing : public ::testing::Test {
protected:
    void SetUp() override
    {
        kve::gpu::Image white;
        white.width = white.height = 4;
        white.bitDepth = 32;
        white.pitch = 16;
        white.pixels.assign(64, 255);
        texture = kve::gpu::makeTexture(-1, white, KVE_DEFAULT, "ParticleWhite");
        ASSERT_NE(texture, nullptr);
        glGenTextures(1, &depth);
        glBindTexture(GL_TEXTURE_2D, depth);
        const float one = 1.0f;
        glTexImage2D(GL_TEXTURE_2D, 0, GL_R32F, 1, 1, 0, GL_RED, GL_FLOAT, &one);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        kve::render::MiscBlock misc{};
        std::memcpy(&misc, kve::render::uniformBlock(kve::render::Block::Misc).data, sizeof misc);
        misc.mapSize[0] = kve::test::kScreenWidth;
        misc.mapSize[1] = kve::test::kScreenHeight;
        kve::render::writeMiscBlock(misc);
        KVE_MoveCamera(0, 0, 0, 0, 0);
        KVE_RotateCamera(0, 0, 0, 0, 0);
    }
    void TearDown() override
    {
        glDeleteTextures(1, &depth);
        kve::gpu::textures().release(texture);
    }

    KVE_EMITTER* load(const std::string& file, const std::string& shader, const std::string& mode)
    {
        emitterFile(file, "Frequency: 0; Velocity: 0; Mode: " + mode + ";",
                    "LifeTime: 100; Size: 1; Material: { Shader: " + shader +
                        "; Texture[0]: ParticleWhite; BlendingMode: ONE, ONE; }");
        return KVE_LoadParticleEmitter(-1, file.c_str());
    }

    // Red channel at a pixel counted from the bottom-left corner.
    static int redAt(int x, int y)
    {
        unsigned char pixel[4] = {};
        glReadPixels(x, y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
        return pixel[0];
    }

    static void drawAll(unsigned depthTexture)
    {
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glViewport(0, 0, kve::test::kScreenWidth, kve::test::kScreenHeight);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_CULL_FACE);
        particles::drawParticleEmitters(kve::scene::cameraViewMatrix(), depthTexture, depthTexture);
    }

    KVE_TEXTURE* texture = nullptr;
    GLuint depth = 0;
};

TEST_F(ParticleDrawing, WorldAndLocalEmittersDrawWhereTheirParticlesAre)
{
    for (const char* shader : {"PARTICLE", "SOFTPARTICLE"}) {
        KVE_EMITTER* emitter = load("Drawn.kvd", shader, "World");
        ASSERT_NE(emitter, nullptr);
        KVE_EmitParticles(emitter->number, 1, 0, 0, -5);
        KVE_UpdateParticleEmitters();
        drawAll(depth);
        EXPECT_GT(redAt(800, 450), 200) << shader;
        EXPECT_EQ(redAt(20, 20), 0) << shader;
        KVE_FreeParticleEmitter(emitter->number);
    }
    // Local mode: the particle sits at the emitter's origin and is drawn through the
    // emitter's world matrix, here moved to the right of the view.
    KVE_EMITTER* local = load("Local.kvd", "PARTICLE", "Local");
    ASSERT_NE(local, nullptr);
    KVE_EmitParticles(local->number, 1, 0, 0, 0);
    KVE_MoveEmitter(local->number, 2, 0, -5, 0);
    KVE_UpdateParticleEmitters();
    drawAll(depth);
    EXPECT_EQ(redAt(800, 450), 0);
    int brightest = 0;
    for (int x = 800; x < 1600; x += 10)
        brightest = std::max(brightest, redAt(x, 450));
    EXPECT_GT(brightest, 200);
    KVE_FreeParticleEmitter(local->number);
}

TEST_F(ParticleDrawing, SceneDepthInFrontHidesParticles)
{
    GLuint near = 0;
    glGenTextures(1, &near);
    glBindTexture(GL_TEXTURE_2D, near);
    const float zero = 0.0f;
    glTexImage2D(GL_TEXTURE_2D, 0, GL_R32F, 1, 1, 0, GL_RED, GL_FLOAT, &zero);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    KVE_EMITTER* emitter = load("Hidden.kvd", "PARTICLE", "World");
    ASSERT_NE(emitter, nullptr);
    KVE_EmitParticles(emitter->number, 1, 0, 0, -5);
    KVE_UpdateParticleEmitters();
    drawAll(near);
    EXPECT_EQ(redAt(800, 450), 0);
    KVE_FreeParticleEmitter(emitter->number);
    glDeleteTextures(1, &near);
}

TEST(ParticleDemoData, TheFuseEmitterLoadsWithItsSparkSprite)
{
    const char* binary = std::getenv("KVE_BINARY_DIR");
    const std::string path = std::string(binary ? binary : ".") + "/samples/physics/Resources/Particle.kvd";
    if (!std::filesystem::exists(path))
        GTEST_SKIP() << "the demo's data was not made (target kve_demo_images_and_font)";
    KVE_EMITTER* fuse = KVE_LoadParticleEmitter(-1, path.c_str());
    ASSERT_NE(fuse, nullptr);
    const KVE_MATERIAL* spark = KVE_GetMaterial(fuse->material);
    ASSERT_NE(spark, nullptr);
    EXPECT_EQ(spark->program->kind, KVE_SHADER_SOFT_PARTICLE);
    EXPECT_EQ(spark->blendSource, GL_ONE);
    EXPECT_EQ(spark->blendDestination, GL_ONE);
    const KVE_TEXTURE* sprite = kve::gpu::findTexture(spark->textures[0]);
    ASSERT_NE(sprite, nullptr);
    EXPECT_GT(sprite->width, 0);
    EXPECT_GT(fuse->frequency, 0.0f);
    EXPECT_GT(fuse->angle, 0.0f);
    EXPECT_GT(fuse->direction.y, 0.99f);
    EXPECT_LE(fuse->lifetime[1], 1000.0f);
    KVE_FreeParticleEmitter(fuse->number);
}

} // namespace

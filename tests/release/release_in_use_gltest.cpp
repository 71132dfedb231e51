// Resources released while a running scene still uses them: a material under a thousand
// objects, a mesh under objects, a body whose objects hang on joints, a playing sound and
// the emitter of a flying bomb. Frames go on being simulated and drawn in between; the
// sanitizer build turns any read of a freed record into a failure, and the log must say
// what the release took with it.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "physics/physics.h"
#include "render/shader_queues.h"
#include "sound/sound.h"
#include "sound/sound_files.h"
#include "support/log_capture.h"

namespace kve::test {
namespace {

constexpr int kCrowd = 1000;

// A small particle emitter, as the demo's fuse but with a plain material.
constexpr const char* kEmitter = R"(ParticleEmitter: Sparks {
  Emission: { Direction: 0, 1, 0; Angle: 30; Frequency: 120; Velocity: 1, 2; MaxParticles: 64; }
  Particle: { LifeTime: 0.5; Size: 0.1; Material: SparkMaterial { Shader: PARTICLE; } }
}
)";

class ReleaseInUse : public LogCaptureTest {
protected:
    void SetUp() override
    {
        LogCaptureTest::SetUp();
        KVE_SetFixedFrameTime(1.0f / 30.0f);
        KVE_MoveCamera(0, 0, 8, 30, 0);
        KVE_CreateSphere(ball, 0.3f, 8, 6, "");
        KVE_CreateSphere(other, 0.3f, 8, 6, "");
        ASSERT_NE(KVE_GetMesh(ball), nullptr);
        ASSERT_NE(KVE_GetMesh(other), nullptr);
        const KVE_MATERIAL* shared = KVE_CreateMaterial(-1, -1, KVE_SHADER_DEFAULT, "crowd");
        ASSERT_NE(shared, nullptr);
        material = KVE_GetMaterialNumber(shared);
        const KVE_BODY* sphere = KVE_CreateSphereBody(-1, 0.3f, "crowd body");
        ASSERT_NE(sphere, nullptr);
        body = sphere->number;
        // A block of balls in the air, each with the shared material and body.
        for (int i = 0; i < kCrowd; ++i) {
            const KVE_OBJECT* object = KVE_CreateObject(-1, i % 10 == 0 ? other : ball, material, "", 0, 0);
            ASSERT_NE(object, nullptr);
            crowd.push_back(object->number);
            KVE_MoveObject(object->number, static_cast<float>(i % 10) - 4.5f, 1.0f + static_cast<float>(i / 100),
                           -static_cast<float>((i / 10) % 10), 0);
            KVE_SetObjectBody(object->number, body, 1.0f);
            KVE_SetObjectMass(object->number, 1.0f);
        }
        // Chains of joints through the first ten balls.
        for (int i = 0; i + 1 < 10; ++i)
            ASSERT_NE(KVE_CreateJoint(-1, crowd[i], 0, 0, 0, crowd[i + 1], 0, 0, 0, 5.0f), nullptr);
    }

    void TearDown() override
    {
        for (int object : crowd)
            KVE_ReleaseObject(object);
        KVE_ReleaseMaterial(material);
        KVE_ReleaseMesh(ball);
        KVE_ReleaseMesh(other);
        KVE_FreeBody(body);
        sound::releaseSounds();
        KVE_SetFixedFrameTime(0.0f);
        LogCaptureTest::TearDown();
    }

    // The demo's frame without input: emitters, sounds, the physics step, drawing, flip.
    static void runFrames(int count)
    {
        for (int i = 0; i < count; ++i) {
            KVE_UpdateParticleEmitters();
            KVE_UpdateSounds();
            KVE_UpdatePhysics(0);
            KVE_RenderScene(-1);
            KVE_FlipBuffers();
        }
    }

    // Objects of the crowd that the shader queues still list for drawing.
    int queuedCrowd() const
    {
        int listed = 0;
        for (int queue : {0, 1, 2, 7})
            for (const render::QueueElement& element : render::shaderQueue(queue))
                for (const render::QueuedMaterial& queued : element.materials)
                    for (const KVE_OBJECT* object : queued.objects)
                        listed += std::any_of(crowd.begin(), crowd.end(),
                                              [&](int number) { return KVE_GetObject(number) == object; });
        return listed;
    }

    static bool inPhysics(const KVE_OBJECT* object)
    {
        for (const auto* set : {&physics::world().dynamicSet, &physics::world().staticSet})
            if (std::find(set->begin(), set->end(), object) != set->end())
                return true;
        return false;
    }

    static constexpr int ball = 500, other = 501;
    int material = 0, body = 0;
    std::vector<int> crowd;
    TempDir dir{"release_in_use"};
};

TEST_F(ReleaseInUse, AMaterialUnderAThousandObjects)
{
    runFrames(2);
    ASSERT_EQ(queuedCrowd(), kCrowd);
    KVE_ReleaseMaterial(material);
    EXPECT_NE(capturedLog().find("Material released while in use: 1000 objects are no longer drawn"),
              std::string::npos);
    EXPECT_EQ(queuedCrowd(), 0);
    for (int object : crowd)
        ASSERT_EQ(KVE_GetObject(object)->material, nullptr);
    runFrames(2);

    // A new material, likely where the old one lived, takes none of them by accident;
    // given to one explicitly, it draws that one.
    const KVE_MATERIAL* fresh = KVE_CreateMaterial(-1, -1, KVE_SHADER_DEFAULT, "");
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(KVE_RegisterObject(crowd[5]), 0);
    EXPECT_EQ(queuedCrowd(), 0);
    EXPECT_EQ(KVE_SetObjectMaterial(crowd[5], KVE_GetMaterialNumber(fresh)), 1);
    EXPECT_EQ(queuedCrowd(), 1);
    runFrames(2);
    KVE_ReleaseMaterial(KVE_GetMaterialNumber(fresh));
}

TEST_F(ReleaseInUse, AMeshUnderObjects)
{
    runFrames(2);
    KVE_ReleaseMesh(other);
    EXPECT_NE(capturedLog().find("Mesh released while in use: 100 objects are no longer drawn"), std::string::npos);
    EXPECT_EQ(queuedCrowd(), kCrowd - 100);
    EXPECT_EQ(KVE_GetObject(crowd[0])->mesh, nullptr);
    EXPECT_EQ(KVE_RegisterObject(crowd[0]), 0);
    runFrames(2);
    // Their bodies are their own: they still fall and collide.
    EXPECT_TRUE(inPhysics(KVE_GetObject(crowd[0])));
}

TEST_F(ReleaseInUse, ABodyWhoseObjectsHangOnJoints)
{
    runFrames(2);
    KVE_FreeBody(body);
    EXPECT_NE(capturedLog().find("Body released while in use: 1000 objects left the physics"), std::string::npos);
    for (int object : crowd) {
        ASSERT_EQ(KVE_GetObject(object)->Body.body, nullptr);
        ASSERT_FALSE(inPhysics(KVE_GetObject(object)));
    }
    KVE_Vector before;
    KVE_GetObjectPosition(crowd[3], &before);
    runFrames(3);
    KVE_Vector after;
    KVE_GetObjectPosition(crowd[3], &after);
    EXPECT_EQ(after.y, before.y); // out of the physics, nothing moves it

    // The joints stay with their objects, and go with them.
    EXPECT_EQ(KVE_GetJointCount(), 9);
    KVE_ReleaseObject(crowd[4]);
    EXPECT_EQ(KVE_GetJointCount(), 7);
    runFrames(2);
}

TEST_F(ReleaseInUse, APlayingSoundAndTheEmitterOfAFlyingBomb)
{
    writeFile(dir / "fuse.wav", wavBytes(8000, 1, 16, rampSamples(8000)));
    const KVE_OBJECT* bomb = KVE_CreateObject(-1, ball, material, "", 0, 0);
    ASSERT_NE(bomb, nullptr);
    const int bombNumber = bomb->number;
    KVE_SetObjectBody(bombNumber, KVE_BODY_SPHERE, 1.0f);
    KVE_SetObjectMass(bombNumber, 10.0f);
    KVE_MoveObject(bombNumber, 0, 3, 2, 0);
    KVE_SetObjectVelocity(bombNumber, nullptr, 0, 6, -8, 0);
    KVE_ITEM* carrier = KVE_GetObjectItem(bombNumber);

    writeFile(dir / "sparks.kvd", kEmitter);
    const KVE_EMITTER* emitter = KVE_LoadParticleEmitter(-1, (dir / "sparks.kvd").string().c_str());
    ASSERT_NE(emitter, nullptr);
    const int emitterNumber = emitter->number;
    ASSERT_EQ(KVE_AttachItem(carrier, KVE_GetEmitterItem(emitterNumber), KVE_ATTACH_FULL), 1);
    const KVE_SOUND* fuse = KVE_LoadSound(-1, (dir / "fuse.wav").string().c_str(), KVE_SOUND_PLAY | KVE_SOUND_LOOP, "");
    ASSERT_NE(fuse, nullptr);
    const int fuseNumber = fuse->number;
    ASSERT_EQ(KVE_AttachItem(carrier, KVE_GetSoundItem(fuseNumber), KVE_ATTACH_FULL), 1);
    const int light = KVE_GetLightNumber(KVE_CreateLight(-1, 0, 0.5f, 0, KVE_LIGHT_POINT));
    KVE_SetLightRange(light, 5.0f);
    ASSERT_EQ(KVE_AttachItem(carrier, KVE_GetLightItem(light), KVE_ATTACH_FULL), 1);
    // A copy of the fuse on a channel, as collisions start them.
    sound::playAt(fuseNumber, KVE_Vector{0, 3, 2, 1}, 0.5f);
    runFrames(4);
    EXPECT_GT(KVE_GetEmitter(emitterNumber)->visibleCount, 0);

    KVE_FreeParticleEmitter(emitterNumber);
    EXPECT_EQ(KVE_GetEmitter(emitterNumber), nullptr);
    runFrames(2);
    KVE_FreeSound(fuseNumber);
    EXPECT_EQ(sound::soundCount(), 0u);
    runFrames(2);
    // The bomb goes while its light still hangs on it: the light stays where it was.
    KVE_ReleaseObject(bombNumber);
    EXPECT_EQ(KVE_GetLightItem(light)->parent, nullptr);
    runFrames(2);
    KVE_FreeLight(light);
    runFrames(1);
}

} // namespace
} // namespace kve::test

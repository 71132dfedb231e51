// The particle simulation without GL: emission timing, fading, list order and the drawn
// subset, the keys an emitter reads, the spread cone and areas, world and local space.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "particles/emitter.h"
#include "scene/item.h"
#include "support/log_capture.h"

namespace {

namespace particles = kve::particles;

// An emitter made from definition text, outside the registry and without GL objects.
struct TestEmitter {
    EmitterRecord record{};
    explicit TestEmitter(const std::string& text)
    {
        DefinitionNode* root = KVE_ParseDefinitionText(text.c_str(), "");
        particles::initEmitter(record, root);
        KVE_FreeDefinition(root, 1);
    }
    ~TestEmitter() { kve::scene::releaseItem(record.item); }
    size_t count() const { return record.particles.size(); }
    const particles::Particle& at(size_t i) const { return particles::listedParticle(record, i); }
};

std::string emitterText(const std::string& emission, const std::string& particle = "")
{
    return "ParticleEmitter: Test {\n Emission: {" + emission + "}\n Particle: {" + particle + "}\n}\n";
}

// The clock of frame `frame` at a fixed 60 frames per second, as the flip's millisecond
// counter truncates it.
int clockAt(int start, int frame)
{
    return start + frame * 1000 / 60;
}

TEST(ParticleEmission, FrequencyOneAtSixtyFramesEmitsOncePerSecondWithoutDrift)
{
    TestEmitter emitter(emitterText("Frequency: 1;", "LifeTime: 1000;"));
    const int start = 5000;
    std::vector<int> emissionFrames;
    size_t before = 0;
    for (int frame = 0; frame <= 60 * 10; ++frame) {
        particles::stepEmitter(emitter.record, clockAt(start, frame), 1.0f / 60);
        if (emitter.count() != before) {
            EXPECT_EQ(emitter.count(), before + 1) << "frame " << frame;
            emissionFrames.push_back(frame);
            before = emitter.count();
            EXPECT_EQ(emitter.record.lastEmission, start + 1000 * static_cast<int>(before));
        }
    }
    // The first frame whose clock has reached start + 1000 ms is frame 60, and so on.
    ASSERT_EQ(emissionFrames.size(), 10u);
    for (size_t k = 0; k < emissionFrames.size(); ++k)
        EXPECT_EQ(emissionFrames[k], 60 * static_cast<int>(k + 1));
}

TEST(ParticleEmission, NonPositiveFrequencyEmitsNothingAndABacklogIsCapped)
{
    for (const char* frequency : {"0", "-5"}) {
        TestEmitter emitter(emitterText(std::string("Frequency: ") + frequency + ";"));
        for (int frame = 0; frame < 600; ++frame)
            particles::stepEmitter(emitter.record, clockAt(100, frame), 1.0f / 60);
        EXPECT_EQ(emitter.count(), 0u) << frequency;
    }
    // A billion per second would be millions in one frame: one frame emits at most the
    // drawn capacity and the rest of the backlog is dropped.
    TestEmitter flood(emitterText("Frequency: 1000000000; MaxParticles: 64;", "LifeTime: 1000;"));
    particles::stepEmitter(flood.record, 100, 0);
    particles::stepEmitter(flood.record, 120, 0.02f);
    EXPECT_EQ(flood.count(), 64u);
    EXPECT_EQ(flood.record.lastEmission, 120);
    // A paused emitter lets time pass without a burst when it resumes.
    TestEmitter paused(emitterText("Frequency: 10;", "LifeTime: 1000;"));
    paused.record.emitting = 0;
    particles::stepEmitter(paused.record, 100, 0);
    particles::stepEmitter(paused.record, 2100, 2);
    paused.record.emitting = 1;
    particles::stepEmitter(paused.record, 2200, 0.1f);
    EXPECT_EQ(paused.count(), 1u);
}

TEST(ParticleFading, FadeOutRateDecidesHowLongAParticleOutlivesItsDeath)
{
    TestEmitter sudden(emitterText("Frequency: 0;", "LifeTime: 0.1; FadeOut: 0;"));
    particles::emitParticles(sudden.record, 1, 0, 0, 0, 1000);
    particles::stepEmitter(sudden.record, 1100, 0.1f); // at its death time: still there
    EXPECT_EQ(sudden.count(), 1u);
    particles::stepEmitter(sudden.record, 1101, 0.001f);
    EXPECT_EQ(sudden.count(), 0u);

    TestEmitter fading(emitterText("Frequency: 0;", "LifeTime: 0.1; FadeOut: 2; Color: 1.0, 1.0, 1.0, 0.5;"));
    particles::emitParticles(fading.record, 1, 0, 0, 0, 1000);
    int now = 1100;
    int lastAlive = now;
    while (fading.count() > 0 && now < 3000) {
        now += 10;
        particles::stepEmitter(fading.record, now, 0.01f);
        if (fading.count() > 0) {
            lastAlive = now;
            EXPECT_NEAR(fading.at(0).color[3], 0.5f * fading.at(0).intensity, 1e-6f);
        }
    }
    // Intensity 1 at 2 per second lasts 0.5 s after the death time.
    EXPECT_NEAR(lastAlive - 1100, 500, 10);
}

TEST(ParticleFading, FadeInRisesToTheTargetAndStops)
{
    TestEmitter emitter(emitterText("Frequency: 0;", "LifeTime: 10; FadeIn: 4; Intensity: 0.8;"));
    particles::emitParticles(emitter.record, 1, 0, 0, 0, 1000);
    EXPECT_EQ(emitter.at(0).intensity, 0.0f);
    particles::stepEmitter(emitter.record, 1100, 0.1f);
    EXPECT_NEAR(emitter.at(0).intensity, 0.4f, 1e-6f);
    particles::stepEmitter(emitter.record, 1200, 0.1f);
    particles::stepEmitter(emitter.record, 1300, 0.1f);
    EXPECT_FLOAT_EQ(emitter.at(0).intensity, 0.8f);
}

TEST(ParticleList, TheFirstMaxParticlesInListOrderAreDrawnAndDeathsKeepTheOrder)
{
    TestEmitter emitter(emitterText("Frequency: 0; MaxParticles: 256; Velocity: 0;", "LifeTime: 10; Raise: 0;"));
    // Particle k is emitted at x = k, each at the front: list order is 299, 298, ... 0.
    for (int k = 0; k < 300; ++k)
        particles::emitParticles(emitter.record, 1, static_cast<float>(k), 0, 0, 1000);
    particles::stepEmitter(emitter.record, 1001, 0.0f);
    EXPECT_EQ(emitter.count(), 300u);
    ASSERT_EQ(emitter.record.visibleCount, 256);
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(emitter.record.instancePositions[static_cast<size_t>(i)].x, static_cast<float>(299 - i));

    // Let every particle at an even x die: the survivors keep their relative order.
    for (auto& particle : emitter.record.particles)
        if (static_cast<int>(particle.position.x) % 2 == 0)
            particle.death = 1000;
    particles::stepEmitter(emitter.record, 1002, 0.0f);
    ASSERT_EQ(emitter.count(), 150u);
    EXPECT_EQ(emitter.record.visibleCount, 150);
    for (size_t i = 0; i < 150; ++i)
        ASSERT_EQ(emitter.at(i).position.x, static_cast<float>(299 - 2 * static_cast<int>(i)));
}

TEST(ParticleMotion, VelocityJitterAndGrowthIntegrateOverTheFrameTime)
{
    TestEmitter steady(emitterText("Frequency: 0; Velocity: 2; Direction: 0, 0, 1;", "Size: 1; Raise: 0.5;"));
    particles::emitParticles(steady.record, 1, 1, 2, 3, 1000);
    particles::stepEmitter(steady.record, 1250, 0.25f);
    EXPECT_FLOAT_EQ(steady.at(0).position.x, 1.0f);
    EXPECT_FLOAT_EQ(steady.at(0).position.y, 2.0f);
    EXPECT_FLOAT_EQ(steady.at(0).position.z, 3.5f);
    EXPECT_FLOAT_EQ(steady.at(0).size, 1.125f);

    TestEmitter jittered(emitterText("Frequency: 0; Velocity: 0; Force: 4;"));
    particles::emitParticles(jittered.record, 1, 0, 0, 0, 1000);
    particles::stepEmitter(jittered.record, 1500, 0.5f);
    const KVE_Vector v = jittered.at(0).velocity;
    for (float component : {v.x, v.y, v.z})
        EXPECT_LE(std::abs(component), 2.0f); // force x h
    EXPECT_GT(std::abs(v.x) + std::abs(v.y) + std::abs(v.z), 0.0f);
}

TEST(ParticleKeys, DefaultsAndTheReadRules)
{
    TestEmitter defaults("");
    const EmitterRecord& d = defaults.record;
    EXPECT_EQ(d.item.kind, KVE_ITEM_EMITTER);
    EXPECT_EQ(d.emitting, 1);
    EXPECT_EQ(d.maxParticles, 256);
    EXPECT_EQ(d.mode, KVE_EMITTER_WORLD);
    EXPECT_EQ(d.area, KVE_EMISSION_POINT);
    EXPECT_EQ(d.frequency, 1.0f);
    EXPECT_EQ(d.lifetime[0], 1000.0f);
    EXPECT_EQ(d.lifetime[1], 1000.0f);
    EXPECT_EQ(d.radius[0], 1.0f);
    EXPECT_EQ(d.fadeOut[1], 0.0f);
    EXPECT_EQ(d.material, -1);
    EXPECT_EQ(d.color[3], 1.0f);
    EXPECT_EQ(d.direction.y, 1.0f);
    EXPECT_EQ(d.instanceSizes.size(), 257u);

    TestEmitter read(emitterText("Area: box; Mode: Local; Position: 1, 2, 3; LifeTime: 9;",
                                 "LifeTime: 0.25, 0.5; Size: 2; Color: 255, 0, 0, 128;"));
    const EmitterRecord& r = read.record;
    EXPECT_EQ(r.area, KVE_EMISSION_BOX);
    EXPECT_EQ(r.mode, KVE_EMITTER_LOCAL);
    EXPECT_EQ(r.lifetime[0], 250.0f);
    EXPECT_EQ(r.lifetime[1], 500.0f);
    EXPECT_EQ(r.size[0], 2.0f);
    EXPECT_EQ(r.size[1], 2.0f);
    EXPECT_NEAR(r.color[3], 128.0f / 255.0f, 1e-6f);
    EXPECT_EQ(r.matrix.c[3].y, 2.0f); // the item's matrices follow the position

    EXPECT_EQ(TestEmitter(emitterText("Area: Ring;")).record.area, KVE_EMISSION_RING);
    EXPECT_EQ(TestEmitter(emitterText("Area: Sphere;")).record.area, KVE_EMISSION_POINT);
    EXPECT_EQ(TestEmitter(emitterText("Mode: local;")).record.mode, KVE_EMITTER_WORLD);
}

// Values far beyond any use are held to their documented ranges, each with a warning
// that names the key and both values; values inside their ranges pass untouched.
class ParticleBounds : public kve::test::LogCaptureTest {};

TEST_F(ParticleBounds, AbsurdValuesAreClampedWithAWarning)
{
    TestEmitter absurd(emitterText("Frequency: 1e9; MaxParticles: 100000000; Angle: -30; Velocity: 5, 1e30;",
                                   "Size: 100; LifeTime: 1e7; FadeOut: -2; Raise: nan; Intensity: 0.5, Infinity;"));
    const EmitterRecord& r = absurd.record;
    EXPECT_EQ(r.frequency, 10000.0f);
    EXPECT_EQ(r.maxParticles, particles::kMaxParticlesLimit);
    EXPECT_EQ(r.angle, 0.0f);
    EXPECT_EQ(r.speed[0], 5.0f);
    EXPECT_EQ(r.speed[1], 1000.0f);
    EXPECT_EQ(r.size[0], 10.0f);
    EXPECT_EQ(r.lifetime[1], 600000.0f); // ms
    EXPECT_EQ(r.fadeOut[0], 0.0f);      // a negative fade-out would never let a particle die
    EXPECT_EQ(r.growth[0], 0.0f);       // not a number: the default
    EXPECT_EQ(r.intensity[0], 0.5f);
    EXPECT_EQ(r.intensity[1], 100.0f);
    const std::string log = capturedLog();
    EXPECT_NE(log.find(logRow("Warning: Emission\\Frequency 1e+09 is outside 0 to 10000, 10000 is used", "#FF8000",
                              "KVE_LoadParticleEmitter")),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Warning: Emission\\MaxParticles 100000000 is outside 0 to 16384, 16384 is used"),
              std::string::npos);
    EXPECT_NE(log.find("Warning: Particle\\FadeOut -2 is outside 0 to 1000, 0 is used"), std::string::npos);
    EXPECT_NE(log.find("Warning: Particle\\Raise nan is outside -10 to 10, 0 is used"), std::string::npos);
    EXPECT_EQ(kve::test::countOccurrences(log, "Warning: "), 9); // one per key

    // The demo's fuse, every value in range: nothing is changed or logged.
    const std::string before = capturedLog();
    TestEmitter fuse(emitterText("Direction: 0, 1, 0; Angle: 30; Frequency: 60; Velocity: 1.0, 2.5; Force: 3;"
                                 "MaxParticles: 128;",
                                 "LifeTime: 0.4, 0.6; Size: 0.08, 0.16; Raise: -0.1; FadeOut: 4;"));
    EXPECT_EQ(fuse.record.frequency, 60.0f);
    EXPECT_EQ(fuse.record.size[1], 0.16f);
    EXPECT_EQ(capturedLog(), before);
}

TEST(ParticleKeys, AbsurdCapacitiesAndDirectionsAreMadeSafe)
{
    EXPECT_EQ(TestEmitter(emitterText("MaxParticles: -5;")).record.maxParticles, 0);
    EXPECT_EQ(TestEmitter(emitterText("MaxParticles: 2000000000;")).record.maxParticles,
              particles::kMaxParticlesLimit);
    TestEmitter still(emitterText("Direction: 0, 0, 0; Frequency: 0;"));
    EXPECT_EQ(still.record.direction.y, 1.0f);
    particles::emitParticles(still.record, 1, 0, 0, 0, 0);
    EXPECT_FLOAT_EQ(still.at(0).velocity.y, 1.0f);
    // Nothing is emitted beyond the live limit, whatever count is asked for.
    particles::emitParticles(still.record, 2147483647, 0, 0, 0, 0);
    EXPECT_EQ(still.count(), particles::kLiveParticleLimit);
}

// Unit velocities of many particles emitted along +x with the given spread.
std::vector<KVE_Vector> spreadSample(const std::string& angle)
{
    particles::seedRandom(1234);
    TestEmitter emitter(emitterText("Frequency: 0; Velocity: 1; Direction: 2, 0, 0; Angle: " + angle + ";"));
    particles::emitParticles(emitter.record, 4000, 0, 0, 0, 0);
    std::vector<KVE_Vector> out;
    for (const auto& p : emitter.record.particles)
        out.push_back(p.velocity);
    return out;
}

TEST(ParticleSpread, AngleZeroNinetyAndOneEightyCoverLineHemisphereAndSphere)
{
    for (const KVE_Vector& v : spreadSample("0")) {
        ASSERT_NEAR(v.x, 1.0f, 1e-6f);
        ASSERT_NEAR(v.y, 0.0f, 1e-6f);
        ASSERT_NEAR(v.z, 0.0f, 1e-6f);
    }
    // Uniform over the surface: the component along the direction is uniform over
    // [0, 1] for the hemisphere and over [-1, 1] for the sphere, the others average 0.
    const auto statistics = [](const std::vector<KVE_Vector>& sample, float& minX, float& meanX, float& meanY,
                               float& meanZ) {
        minX = 2;
        meanX = meanY = meanZ = 0;
        for (const KVE_Vector& v : sample) {
            EXPECT_NEAR(v.x * v.x + v.y * v.y + v.z * v.z, 1.0f, 1e-5f);
            minX = std::min(minX, v.x);
            meanX += v.x / static_cast<float>(sample.size());
            meanY += v.y / static_cast<float>(sample.size());
            meanZ += v.z / static_cast<float>(sample.size());
        }
    };
    float minX, meanX, meanY, meanZ;
    statistics(spreadSample("90"), minX, meanX, meanY, meanZ);
    EXPECT_GE(minX, 0.0f);
    EXPECT_LT(minX, 0.01f);
    EXPECT_NEAR(meanX, 0.5f, 0.03f);
    EXPECT_NEAR(meanY, 0.0f, 0.03f);
    EXPECT_NEAR(meanZ, 0.0f, 0.03f);
    statistics(spreadSample("180"), minX, meanX, meanY, meanZ);
    EXPECT_LT(minX, -0.99f);
    EXPECT_NEAR(meanX, 0.0f, 0.04f);
    EXPECT_NEAR(meanY, 0.0f, 0.04f);
    EXPECT_NEAR(meanZ, 0.0f, 0.04f);
}

TEST(ParticleAreas, BoxAndRingStayInsideTheirShapes)
{
    particles::seedRandom(99);
    TestEmitter box(emitterText("Frequency: 0; Area: BOX; Size: 2, 4, 6;"));
    particles::emitParticles(box.record, 2000, 10, 0, 0, 0);
    for (const auto& p : box.record.particles) {
        ASSERT_GE(p.position.x, 9.0f);
        ASSERT_LT(p.position.x, 11.0f);
        ASSERT_LE(std::abs(p.position.y), 2.0f);
        ASSERT_LE(std::abs(p.position.z), 3.0f);
    }
    TestEmitter ring(emitterText("Frequency: 0; Area: RING; Size: 1, 1, 0; Radius: 0.5, 2;"));
    particles::emitParticles(ring.record, 2000, 0, 0, 0, 0);
    float nearest = 10, farthest = 0;
    for (const auto& p : ring.record.particles) {
        const float r = std::hypot(p.position.x, p.position.y);
        nearest = std::min(nearest, r);
        farthest = std::max(farthest, r);
    }
    EXPECT_GE(nearest, 0.5f - 1e-5f);
    EXPECT_LT(nearest, 0.55f);
    EXPECT_GT(farthest, 1.95f);
    EXPECT_LE(farthest, 2.0f);
}

TEST(ParticleSpace, WorldParticlesStayBehindLocalOnesFollowTheParent)
{
    KVE_NODE* parent = KVE_CreateNode(-1, "");
    ASSERT_NE(parent, nullptr);
    KVE_MoveNode(parent->number, 10, 0, 0, 0);
    KVE_RotateNode(parent->number, 0, 0, 90, 0); // +z direction stays; +x becomes +y
    const std::string keys = "Frequency: 0; Velocity: 1; Direction: 1, 0, 0; Position: 0, 1, 0;";
    TestEmitter world(emitterText(keys));
    TestEmitter local(emitterText(keys + " Mode: Local;"));
    for (TestEmitter* emitter : {&world, &local}) {
        ASSERT_TRUE(kve::scene::attachItem(&parent->item, emitter->record.item, KVE_ATTACH_FULL));
        particles::emitParticles(emitter->record, 1, 0, 0, 0, 0);
    }
    // World mode: position and velocity through the world matrix at emission.
    EXPECT_NEAR(world.at(0).position.x, 9.0f, 1e-5f);
    EXPECT_NEAR(world.at(0).position.y, 0.0f, 1e-5f);
    EXPECT_NEAR(world.at(0).velocity.y, 1.0f, 1e-5f);
    // Local mode: in the emitter's own space; the draw applies the world matrix.
    EXPECT_NEAR(local.at(0).position.x, 0.0f, 1e-5f);
    EXPECT_NEAR(local.at(0).velocity.x, 1.0f, 1e-5f);

    KVE_MoveNode(parent->number, 20, 0, 0, 0);
    particles::stepEmitter(world.record, 1, 0);
    particles::stepEmitter(local.record, 1, 0);
    EXPECT_NEAR(world.record.instancePositions[0].x, 9.0f, 1e-5f);
    KVE_Matrix placed;
    KVE_Vector drawn = local.record.instancePositions[0];
    KVE_TransformVector(&drawn, KVE_GetItemWorldMatrix(&local.record.item, &placed));
    EXPECT_NEAR(drawn.x, 19.0f, 1e-5f);
    KVE_ReleaseNode(parent->number);
}

TEST(ParticleRandom, TheSeedRepeatsTheSequenceWithinTheUnitInterval)
{
    particles::seedRandom(7);
    std::vector<double> first;
    for (int i = 0; i < 1000; ++i)
        first.push_back(particles::random01());
    particles::seedRandom(7);
    for (double value : first) {
        ASSERT_EQ(particles::random01(), value);
        ASSERT_GE(value, 0.0);
        ASSERT_LT(value, 1.0);
    }
}

} // namespace

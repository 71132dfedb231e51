// The per-frame cost of an emitter without GL: the update of a steady population (fade,
// jitter, movement, the drawn subset copied to the instance arrays, deaths compacted in
// list order) and the emission of new particles.
#include <benchmark/benchmark.h>

#include <string>

#include "particles/emitter.h"
#include "scene/item.h"

namespace {

namespace particles = kve::particles;

// A fuse-like emitter with `population` live particles of which max particles are drawn.
struct BenchEmitter {
    EmitterRecord record{};
    explicit BenchEmitter(int population)
    {
        const std::string text = "ParticleEmitter: Bench { Emission: { Frequency: 0; Angle: 45; Force: 3; "
                                 "MaxParticles: 4096; Area: BOX; Size: 1, 1, 1; }\n Particle: { LifeTime: 1000; "
                                 "FadeIn: 4; Raise: 0.1; } }";
        DefinitionNode* root = KVE_ParseDefinitionText(text.c_str(), "");
        particles::initEmitter(record, root);
        KVE_FreeDefinition(root, 1);
        particles::seedRandom(1);
        particles::emitParticles(record, population, 0, 0, 0, 1);
    }
    ~BenchEmitter() { kve::scene::releaseItem(record.item); }
};

void updatePopulation(benchmark::State& state)
{
    BenchEmitter emitter(static_cast<int>(state.range(0)));
    int now = 2;
    for (auto _ : state) {
        particles::stepEmitter(emitter.record, now, 1.0f / 60);
        now += 16;
        benchmark::DoNotOptimize(emitter.record.instancePositions.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(updatePopulation)->Arg(1024)->Arg(16384);

// Half of the particles die every frame and are emitted again, so compaction and the
// front insertion both run at full size.
void churn(benchmark::State& state)
{
    const auto population = static_cast<int>(state.range(0));
    BenchEmitter emitter(population);
    int now = 2;
    for (auto _ : state) {
        for (size_t i = 0; i < emitter.record.particles.size(); i += 2)
            emitter.record.particles[i].death = 0;
        particles::stepEmitter(emitter.record, now, 1.0f / 60);
        particles::emitParticles(emitter.record, population / 2, 0, 0, 0, now);
        now += 16;
    }
    state.SetItemsProcessed(state.iterations() * population);
}
BENCHMARK(churn)->Arg(1024)->Arg(16384);

} // namespace

BENCHMARK_MAIN();

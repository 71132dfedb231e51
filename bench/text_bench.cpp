// Text layout and debug line queueing: the per-frame CPU work of the overlay and the
// physics debug view.
#include <benchmark/benchmark.h>

#include <string>

#include "render/lines.h"
#include "render/text.h"

namespace {

// Glyphs for every printable ASCII code with plausible metrics, kerning on a few pairs.
KVE_FONT benchFont()
{
    KVE_FONT font;
    font.glyphs = std::make_shared<kve::render::GlyphSet>();
    kve::render::FontFile file;
    for (int code = 32; code < 127; ++code)
        file.glyphs.push_back({code, 1, 3, 9, 14, (code % 16) * 12, (code / 16) * 16, 8, 11});
    file.glyphs.push_back({kve::render::kLineMetricsCode, 0, 0, 0, 18, 0, 0, 0, 0});
    for (int code = 'A'; code <= 'Z'; ++code)
        file.kerning.push_back({code, 'a', -1});
    kve::render::fillGlyphSet(*font.glyphs, file);
    font.glyphs->atlasWidth = 256;
    font.glyphs->atlasHeight = 128;
    return font;
}

// The demonstration's eleven statistics lines.
const std::string kStatistics =
    "Frames: 59.8\nPhysik: 120.0\nGesamtenergie: 1234.5\nLage: 1000.2\nSpannung: 0.0\nTranslation: 200.1\n"
    "Rotation: 34.2\nObjects: 120 (+1)\nJoints: 0\nBinaryTreeSize: 241\nBenchmark: 0%";

void layoutStatistics(benchmark::State& state)
{
    const KVE_FONT font = benchFont();
    int glyphs = 0;
    for (auto _ : state) {
        kve::render::layoutText(font, 20, 25, kStatistics, 1.0f, 0.0f,
                                [&](const kve::render::QuadVertex*, int count) { glyphs += count; });
        benchmark::DoNotOptimize(glyphs);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(kStatistics.size()));
}
BENCHMARK(layoutStatistics);

void layoutWrappedParagraph(benchmark::State& state)
{
    KVE_FONT font = benchFont();
    font.settings.lineWidth = 400;
    font.settings.alignX = 0.5f;
    std::string text;
    for (int i = 0; i < 40; ++i)
        text += "The quick brown fox jumps over the lazy dog. ";
    int glyphs = 0;
    for (auto _ : state) {
        kve::render::layoutText(font, 800, 100, text, 1.0f, 12.0f,
                                [&](const kve::render::QuadVertex*, int count) { glyphs += count; });
        benchmark::DoNotOptimize(glyphs);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}
BENCHMARK(layoutWrappedParagraph);

void queueWireSpheres(benchmark::State& state)
{
    for (auto _ : state) {
        kve::render::lineQueue().lastIndex = -1;
        for (int i = 0; i < 100; ++i)
            KVE_DrawSphere3D(static_cast<float>(i), 0, 0, 1.0f, -1);
        benchmark::DoNotOptimize(kve::render::lineQueue().vertices.data());
    }
    state.SetItemsProcessed(state.iterations() * 100 * 360);
}
BENCHMARK(queueWireSpheres);

void queueBoxesThroughTransform(benchmark::State& state)
{
    KVE_Matrix m{};
    m.c[0] = {0, 1, 0, 0};
    m.c[1] = {-1, 0, 0, 0};
    m.c[2] = {0, 0, 1, 0};
    m.c[3] = {5, 6, 7, 1};
    KVE_SetLineTransform(&m);
    for (auto _ : state) {
        kve::render::lineQueue().lastIndex = -1;
        for (int i = 0; i < 1000; ++i)
            KVE_DrawBox3D(0, 0, 0, 1, 2, static_cast<float>(i), -1);
        benchmark::DoNotOptimize(kve::render::lineQueue().vertices.data());
    }
    KVE_SetLineTransform(nullptr);
    state.SetItemsProcessed(state.iterations() * 1000 * 24);
}
BENCHMARK(queueBoxesThroughTransform);

} // namespace

BENCHMARK_MAIN();

// Matrix products, inverses and vector transforms: the SSE forms behind the public
// operations against the portable scalar forms, on a ring of random operands so that
// every iteration reads fresh data.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "core/math.h"
#include "kve.h"

namespace {

constexpr size_t kRing = 256;

struct Operands {
    std::vector<KVE_Matrix> matrices;
    std::vector<KVE_Vector> vectors;

    Operands() : matrices(kRing), vectors(kRing)
    {
        std::mt19937 engine(7);
        std::uniform_real_distribution<float> uniform(-2.0f, 2.0f);
        for (KVE_Matrix& m : matrices) {
            for (KVE_Vector& c : m.c)
                KVE_SetVector(&c, uniform(engine), uniform(engine), uniform(engine), uniform(engine));
            for (int i = 0; i < 4; ++i)
                (&m.c[i].x)[i] += 8.0f; // diagonally dominant, so never singular
        }
        for (KVE_Vector& v : vectors)
            KVE_SetVector(&v, uniform(engine), uniform(engine), uniform(engine), 1.0f);
    }
};

const Operands& operands()
{
    static const Operands data;
    return data;
}

template <void (*Multiply)(KVE_Matrix*, const KVE_Matrix*, const KVE_Matrix*)>
void multiplyMatrices(benchmark::State& state)
{
    const auto& m = operands().matrices;
    KVE_Matrix out;
    size_t i = 0;
    for (auto _ : state) {
        Multiply(&out, &m[i], &m[(i + 1) % kRing]);
        benchmark::DoNotOptimize(out);
        i = (i + 1) % kRing;
    }
}

template <void (*Invert)(KVE_Matrix*)>
void invertMatrices(benchmark::State& state)
{
    const auto& m = operands().matrices;
    KVE_Matrix out;
    size_t i = 0;
    for (auto _ : state) {
        out = m[i];
        Invert(&out);
        benchmark::DoNotOptimize(out);
        i = (i + 1) % kRing;
    }
}

template <void (*Transform)(KVE_Vector*, const KVE_Matrix*)>
void transformVectors(benchmark::State& state)
{
    const auto& m = operands().matrices;
    const auto& v = operands().vectors;
    size_t i = 0;
    for (auto _ : state) {
        KVE_Vector out = v[i];
        Transform(&out, &m[i]);
        benchmark::DoNotOptimize(out);
        i = (i + 1) % kRing;
    }
}

void simdMultiply(KVE_Matrix* out, const KVE_Matrix* a, const KVE_Matrix* b)
{
    KVE_MultiplyMatrix(out, a, b);
}
void simdInvert(KVE_Matrix* m)
{
    KVE_InvertMatrix(m);
}
void scalarInvert(KVE_Matrix* m)
{
    kve::math::scalar::invert(m);
}
void simdTransform(KVE_Vector* v, const KVE_Matrix* m)
{
    KVE_TransformVector(v, m);
}

BENCHMARK(multiplyMatrices<simdMultiply>)->Name("MultiplyMatrix/sse");
BENCHMARK(multiplyMatrices<kve::math::scalar::multiply>)->Name("MultiplyMatrix/scalar");
BENCHMARK(invertMatrices<simdInvert>)->Name("InvertMatrix/sse");
BENCHMARK(invertMatrices<scalarInvert>)->Name("InvertMatrix/scalar");
BENCHMARK(transformVectors<simdTransform>)->Name("TransformVector/sse");
BENCHMARK(transformVectors<kve::math::scalar::transform>)->Name("TransformVector/scalar");

} // namespace

BENCHMARK_MAIN();

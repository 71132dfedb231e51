// The reflecting builder's declaration scan over the engine's largest sources, and the
// object lists of the shader queues as scenes grow (each object is listed at most once,
// so registration scans the list it joins).
#include <benchmark/benchmark.h>

#include <vector>

#include "gpu/shader_build.h"
#include "render/builtin_programs.h"
#include "render/shader_queues.h"

namespace {

// A vertex and a fragment text the size of the water program's, with the engine's blocks.
void reflectWaterSized(benchmark::State& state)
{
    const std::string vertex = kve::render::expandIncludes(
        "#version 330\n#include \"mesh_inputs.glsl\"\n#include \"projection_block.glsl\"\n"
        "#include \"model_block.glsl\"\n#include \"misc_block.glsl\"\nuniform vec3 vLightDir;\n"
        "uniform mat4 mViewMatrix;\n#include \"tangent_frame.glsl\"\n#include \"linearize_depth.glsl\"\n"
        "void main() { gl_Position = mProjectionMatrix * mModelViewMatrix * vVertex; }\n");
    const std::string fragment = kve::render::expandIncludes(
        "#version 330\n#include \"material_block.glsl\"\n#include \"misc_block.glsl\"\n"
        "uniform sampler2D ColorMap;\nuniform sampler2D NormalMapA;\nuniform sampler2D NormalMapB;\n"
        "uniform samplerCube ReflectionCubeMap;\nuniform sampler2D DepthMap;\nuniform sampler2D LDepthMap;\n"
        "uniform vec2 vOffset;\nuniform float fFogDepth;\n#include \"gbuffer_write.glsl\"\n"
        "void main() { WriteGBuffer(vec3(0.0), vec4(1.0), 1.0, vec3(0.0)); }\n");
    for (auto _ : state)
        benchmark::DoNotOptimize(kve::gpu::reflectProgramInterface(vertex, fragment));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * (vertex.size() + fragment.size())));
}
BENCHMARK(reflectWaterSized);

void registerObjects(benchmark::State& state)
{
    const auto count = static_cast<size_t>(state.range(0));
    std::vector<int> objects(count);
    int material = 0;
    ShaderProgram program{};
    auto* listed = reinterpret_cast<kve::gpu::MaterialRecord*>(&material);
    for (auto _ : state) {
        kve::render::enqueueProgram(0, &program);
        kve::render::registerMaterial(&program, listed);
        for (int& object : objects)
            kve::render::registerObject(&program, listed, reinterpret_cast<KVE_OBJECT*>(&object));
        kve::render::removeFromShaderQueues(&program);
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * count));
}
BENCHMARK(registerObjects)->Arg(100)->Arg(1000)->Arg(10000);

} // namespace

BENCHMARK_MAIN();

// KVE_InitGBuffer and KVE_ResizeGBuffer: the deferred-shading G-buffer (five RGBA32F
// maps and a depth texture) and the bare programs of the lighting, shadow-casting and
// post-processing passes, reported in the log's "G-Buffer" section.
#include "render/gbuffer.h"

#include <string>
#include <string_view>

#include "core/engine.h"
#include "core/log.h"
#include "gpu/shader.h"
#include "gpu/shader_build.h"
#include "kve.h"
#include "platform/gl.h"
#include "render/builtin_programs.h"
#include "render/light_volumes.h"
#include "render/render_targets.h"
#include "render/uniform_blocks.h"
#include "shaders.h"

namespace kve::render {
namespace {

constexpr const char* kProcedure = "KVE_InitGBuffer";
constexpr const char* kUnit = "KVE GBuffer";
constexpr int kSectionColor = 0x00D06600;

GBufferPrograms programs;

std::string source(const unsigned char* text, size_t size)
{
    return expandIncludes(std::string_view(reinterpret_cast<const char*>(text), size));
}
#define KVE_SOURCE(name) source(::kve::shaders::k##name, ::kve::shaders::k##name##Size)

struct SamplerUnit {
    int uniform; // index into the uniform list
    int unit;
};

struct BareRecipe {
    const char* name;
    std::string vertex, fragment;
    std::vector<gpu::LocationBinding> attributes;
    std::vector<gpu::LocationBinding> outputs;
    std::vector<gpu::BlockBinding> blocks;
    std::vector<const char*> uniforms;
    std::vector<SamplerUnit> samplers; // fixed for the program's life, so set once here
};

// Compiles (each stage's check logged), binds, links and looks up the uniforms. A program
// that fails keeps its name and draws nothing.
BareProgram build(const BareRecipe& recipe)
{
    BareProgram bare;
    bare.program = glCreateProgram();
    for (const auto& [type, text] : {std::pair{GL_VERTEX_SHADER, &recipe.vertex},
                                     std::pair{GL_FRAGMENT_SHADER, &recipe.fragment}}) {
        if (const unsigned object = gpu::compileStage(type, *text, recipe.name, kProcedure)) {
            glAttachShader(bare.program, object);
            glDeleteShader(object);
        }
    }
    for (const auto& attribute : recipe.attributes)
        glBindAttribLocation(bare.program, static_cast<GLuint>(attribute.location), attribute.name.c_str());
    for (const auto& output : recipe.outputs)
        glBindFragDataLocation(bare.program, static_cast<GLuint>(output.location), output.name.c_str());
    const bool linked = gpu::linkProgram(bare.program, recipe.name, kProcedure);
    for (const auto& block : recipe.blocks)
        gpu::bindBlock(bare.program, block.name.c_str(), block.binding);
    for (const char* uniform : recipe.uniforms)
        bare.locations.push_back(glGetUniformLocation(bare.program, uniform));
    if (linked) {
        glUseProgram(bare.program);
        for (const auto& sampler : recipe.samplers)
            glUniform1i(bare.locations[static_cast<size_t>(sampler.uniform)], sampler.unit);
        glUseProgram(0);
    }
    return bare;
}

const std::vector<gpu::LocationBinding> kVertexOnly = {{"vVertex", 0}};
const std::vector<gpu::LocationBinding> kTexturedVertex = {{"vVertex", 0}, {"vTexCoord0", 2}};
const std::vector<gpu::LocationBinding> kGroupedVertex = {{"vVertex", 0}, {"vTexCoord0", 2}, {"iGroup", 7}};
const std::vector<gpu::LocationBinding> kColorOut = {{"vFragColor", 0}};
const std::vector<gpu::BlockBinding> kCasterBlocks = {{"Projection", 0}, {"Model", 1}};
const std::vector<gpu::BlockBinding> kScreenBlocks = {{"Projection", 0}, {"Misc", 4}};
const std::vector<gpu::BlockBinding> kVolumeBlocks = {{"Projection", 0}, {"Model", 1}, {"Light", 3}, {"Misc", 4}};
const std::vector<const char*> kMapNames = {"PositionMap", "NormalMap", "DiffuseMap", "SpecularMap", "MiscMap"};
const std::vector<SamplerUnit> kMapUnits = {{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}};

template <class T>
std::vector<T> joined(std::vector<T> first, const std::vector<T>& second)
{
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

void buildCasters()
{
    const std::string fragment = KVE_SOURCE(ShadowCasterFrag);
    programs.caster = build({"Shadow Caster", KVE_SOURCE(ShadowCasterVert), fragment, kTexturedVertex, {},
                             kCasterBlocks, {"ColorMap"}, {{kCasterColorMap, 0}}});
    programs.arrayCaster = build({"Shadow Caster Texture Array", KVE_SOURCE(ShadowCasterVert),
                                  KVE_SOURCE(ShadowCasterArrayFrag), kGroupedVertex, {}, kCasterBlocks,
                                  {"ColorMap"}, {{kCasterColorMap, 0}}});
    programs.windCaster = build({"Shadow Caster Wind", KVE_SOURCE(ShadowCasterWindVert), fragment, kGroupedVertex,
                                 {}, kCasterBlocks, {"vWind", "ColorMap"}, {{kWindCasterColorMap, 0}}});
}

void buildLightPrograms()
{
    programs.pointLight = build({"Point Light", KVE_SOURCE(PointLightVert), KVE_SOURCE(PointLightFrag), kVertexOnly,
                                 kColorOut, kScreenBlocks, kMapNames, kMapUnits});
    programs.shadowedPointLight =
        build({"Point Light Shadow", KVE_SOURCE(LightVolumeVert), KVE_SOURCE(PointLightShadowFrag), kVertexOnly,
               kColorOut, kVolumeBlocks,
               joined(kMapNames, {"ShadowMap", "StaticShadowMap", "mWorldViewMatrix", "mShadowTextureMatrix"}),
               joined(kMapUnits, {{kShadowedShadowMap, 5}, {kShadowedStaticShadowMap, 6}})});
}

} // namespace

const GBufferPrograms& gbufferPrograms()
{
    return programs;
}

void deleteGBufferPrograms()
{
    for (BareProgram* bare : {&programs.caster, &programs.arrayCaster, &programs.windCaster, &programs.directLight,
                              &programs.pointLight, &programs.shadowedPointLight, &programs.spotLight,
                              &programs.depthLinearize, &programs.blur, &programs.glow})
        if (bare->program)
            glDeleteProgram(bare->program);
    programs = GBufferPrograms{};
}

} // namespace kve::render

extern "C" {

int KVE_InitGBuffer(void)
{
    using namespace kve::render;
    namespace log = kve::log;
    GBuffer& g = gbuffer();
    KVE_BeginLogSection("G-Buffer", kSectionColor);
    log::progress("Buffer initialization:", kProcedure, kUnit, 44);

    glGenFramebuffers(1, &g.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, g.framebuffer);
    glGenRenderbuffers(1, &g.depthRenderbuffer);
    glGenTextures(kGBufferTextureCount, g.textures);
    allocateGBufferStorage();
    glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, g.depthRenderbuffer);
    for (int i = 0; i < kGBufferTextureCount; ++i) {
        glBindTexture(GL_TEXTURE_2D, g.textures[i]);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        const GLenum attachment = i == kDepthMap ? GL_DEPTH_ATTACHMENT : GL_COLOR_ATTACHMENT0 + i;
        glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, attachment, GL_TEXTURE_2D, g.textures[i], 0);
    }
    selectGBufferDrawBuffers();
    glBindTexture(GL_TEXTURE_2D, 0);

    const GLenum status = glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
    if (status != GL_FRAMEBUFFER_COMPLETE) {
        log::fail("FAIL: Error " + std::to_string(status) + " !", kProcedure, kUnit);
        glDeleteTextures(kGBufferTextureCount, g.textures);
        for (unsigned& texture : g.textures)
            texture = 0;
        KVE_EndLogSection();
        return 0;
    }
    log::ok(kProcedure, kUnit);

    log::progress("Shadow initialization:", kProcedure, kUnit, 107);
    buildCasters();

    log::progress("Direct Light initialization:", kProcedure, kUnit, 229);
    buildDirectLightQuad();
    programs.directLight =
        build({"Direct Light", KVE_SOURCE(DirectLightVert), KVE_SOURCE(DirectLightFrag), kVertexOnly, kColorOut,
               kScreenBlocks,
               joined(kMapNames, {"ShadowMap", "vAmbientColor", "iLightState", "vLightDirection", "vLightColor",
                                  "fLightIntensity", "mWorldToLightViewMatrix", "mLightViewToProjectionMatrix",
                                  "mWorldToCameraViewMatrix"}),
               joined(kMapUnits, {{kDirectShadowMap, 5}})});

    log::progress("Point Light initialization:", kProcedure, kUnit, 294);
    buildPointLightVolume();
    buildLightPrograms();

    log::progress("Spot Light initialization:", kProcedure, kUnit, 470);
    programs.spotLight = build({"Spot Light", KVE_SOURCE(LightVolumeVert), KVE_SOURCE(SpotLightFrag), kVertexOnly,
                                kColorOut, kVolumeBlocks, kMapNames, kMapUnits});

    log::progress("Depth Shader initialization:", kProcedure, kUnit, 529);
    programs.depthLinearize =
        build({"Depth Linearize", KVE_SOURCE(ScreenVert), KVE_SOURCE(DepthLinearizeFrag), kTexturedVertex,
               {{"vFragLinearizeDepth", 4}}, kScreenBlocks, {"DepthMap"}, {{kDepthDepthMap, 0}}});

    log::progress("Blur Shader initialization:", kProcedure, kUnit, 572);
    programs.blur = build({"Blur", KVE_SOURCE(ScreenVert), KVE_SOURCE(BlurFrag), kTexturedVertex, kColorOut,
                           {{"Projection", 0}}, {"ColorMap", "DepthMap", "fUShift", "fVShift"},
                           {{kBlurColorMap, 0}, {kBlurDepthMap, 1}}});

    log::progress("Glow Shader initialization:", kProcedure, kUnit, 613);
    programs.glow = build({"Glow", KVE_SOURCE(ScreenVert), KVE_SOURCE(GlowFrag), kTexturedVertex,
                           {{"vFragGlow", 0}}, {{"Projection", 0}}, {"DiffuseMap"}, {{kGlowDiffuseMap, 0}}});
    KVE_EndLogSection();
    return 1;
}

void KVE_ResizeGBuffer(void)
{
    using namespace kve::render;
    if (!gbuffer().framebuffer)
        return;
    // Every target the frame draws at screen size, and the two quads that cover it.
    allocateGlowStorage();
    allocateGBufferStorage();
    allocateSceneStorage();
    if (lightVolumes().quadBuffer)
        fillDirectLightQuad();
    const auto& screen = kve::engine::state();
    auto& misc = uniformBlock(Block::Misc);
    auto* values = reinterpret_cast<MiscBlock*>(misc.data);
    values->mapSize[0] = static_cast<float>(screen.screenWidth);
    values->mapSize[1] = static_cast<float>(screen.screenHeight);
    uploadBlockRange(Block::Misc, 0, misc.size);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
}

} // extern "C"

// KVE_InitSpriteShaders and KVE_InitBuiltinShaders: the engine's programs, each either
// reflected from its sources or built from the interface written out below.
#include "render/builtin_programs.h"

#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "gpu/shader_build.h"
#include "shaders.h"

namespace kve::render {
namespace {

constexpr int kSectionColor = 0x00D06600;

std::array<ShaderProgram*, KVE_SHADER_KIND_COUNT> programs{};

using gpu::BlockBinding;
using gpu::LocationBinding;
using gpu::ProgramInterface;
using gpu::UniformDeclaration;

struct Recipe {
    int kind;
    const char* name;
    int queue; // -1: not queued
    std::string vertex;
    std::string fragment;
    bool reflected;
    ProgramInterface interface; // explicit builds only
};

std::string_view text(const unsigned char* source, size_t size)
{
    return {reinterpret_cast<const char*>(source), size};
}

// The pieces the engine's sources share, by the file name they are included under.
std::string_view snippet(std::string_view file)
{
#define KVE_SNIPPET(path, symbol)                                                                                      \
    if (file == path)                                                                                                  \
        return text(shaders::k##symbol, shaders::k##symbol##Size);
    KVE_SNIPPET("projection_block.glsl", ProjectionBlock)
    KVE_SNIPPET("model_block.glsl", ModelBlock)
    KVE_SNIPPET("material_block.glsl", MaterialBlock)
    KVE_SNIPPET("misc_block.glsl", MiscBlock)
    KVE_SNIPPET("sprite_blocks.glsl", SpriteBlocks)
    KVE_SNIPPET("mesh_inputs.glsl", MeshInputs)
    KVE_SNIPPET("particle_inputs.glsl", ParticleInputs)
    KVE_SNIPPET("tangent_frame.glsl", TangentFrame)
    KVE_SNIPPET("linearize_depth.glsl", LinearizeDepth)
    KVE_SNIPPET("gbuffer_vertex.glsl", GbufferVertex)
    KVE_SNIPPET("gbuffer_write.glsl", GbufferWrite)
    KVE_SNIPPET("specular_surface.glsl", SpecularSurface)
    KVE_SNIPPET("parallax_offset.glsl", ParallaxOffset)
    KVE_SNIPPET("light_block.glsl", LightBlock)
    KVE_SNIPPET("gbuffer_maps.glsl", GbufferMaps)
    KVE_SNIPPET("light_model.glsl", LightModel)
#undef KVE_SNIPPET
    return {};
}

#define KVE_SOURCE(name) expandIncludes(text(shaders::k##name, shaders::k##name##Size))

const std::vector<LocationBinding> kMeshAttributes = {{"vVertex", 0}, {"vNormal", 1}, {"vTexCoord0", 2},
                                                      {"vTangent", 6}};
const std::vector<LocationBinding> kGroupedMeshAttributes = {
    {"vVertex", 0}, {"vNormal", 1}, {"vTexCoord0", 2}, {"vTangent", 6}, {"iGroup", 7}};
const std::vector<LocationBinding> kParticleAttributes = {
    {"vVertex", 0}, {"vTexCoord0", 2}, {"vColor", 4}, {"vPosition", 7}, {"fSize", 8}};
const std::vector<LocationBinding> kTexturedAttributes = {{"vVertex", 0}, {"vTexCoord0", 2}};
const std::vector<LocationBinding> kColorOutput = {{"vFragColor", 0}};
const std::vector<LocationBinding> kGBufferOutputs = {
    {"vFragPosition", 0}, {"vFragNormal", 1}, {"vFragDiffuse", 2}, {"vFragSpecular", 3}, {"vFragMisc", 4}};

const std::vector<BlockBinding> kMaterialBlocks = {{"Projection", 0}, {"Model", 1}, {"Material", 2}};
const std::vector<BlockBinding> kScreenMaterialBlocks = {{"Projection", 0}, {"Model", 1}, {"Misc", 4}, {"Material", 2}};
const std::vector<BlockBinding> kScreenBlocks = {{"Projection", 0}, {"Model", 1}, {"Misc", 4}};
const std::vector<BlockBinding> kSpriteBlocks = {{"ProjectionMatrix", 0}, {"ModelMatrices", 1}};

constexpr int kSampler = KVE_UNIFORM_SAMPLER;

std::vector<Recipe> spriteRecipes()
{
    return {
        {KVE_SHADER_TEXTURED_SPRITE, "Textured Sprite", KVE_QUEUE_SPRITE, KVE_SOURCE(SpriteVert),
         KVE_SOURCE(TexturesFrag), false,
         {kTexturedAttributes, kColorOutput, kSpriteBlocks, {{"ColorMap", kSampler}, {"vColor", KVE_UNIFORM_VEC4}}}},
        {KVE_SHADER_MASKED_SPRITE, "Masked Sprite", KVE_QUEUE_SPRITE, KVE_SOURCE(MaskedSpriteVert),
         KVE_SOURCE(MaskedSpriteFrag), false,
         {{{"vVertex", 0}, {"vTexCoord0", 2}, {"vTexCoord1", 3}},
          kColorOutput,
          kSpriteBlocks,
          {{"ColorMap", kSampler}, {"MaskMap", kSampler}, {"vColor", KVE_UNIFORM_VEC4}}}},
    };
}

// In the order they are built.
std::vector<Recipe> recipes3D()
{
    return {
        {KVE_SHADER_DRAWING, "Drawing", KVE_QUEUE_FORWARD, KVE_SOURCE(DrawingVert), KVE_SOURCE(DrawingFrag), true, {}},
        {KVE_SHADER_DEFAULT, "Default", KVE_QUEUE_FORWARD, KVE_SOURCE(DefaultVert), KVE_SOURCE(DefaultFrag), true, {}},
        {KVE_SHADER_DRAW_MESH, "Draw Mesh", KVE_QUEUE_FORWARD, KVE_SOURCE(DrawMeshVert), KVE_SOURCE(DrawMeshFrag),
         true, {}},
        {KVE_SHADER_TEXTURES, "Textures", KVE_QUEUE_FORWARD, KVE_SOURCE(TexturesVert), KVE_SOURCE(TexturesFrag), true,
         {}},
        {KVE_SHADER_NORMAL_MAPPING, "Normal Mapping", KVE_QUEUE_GBUFFER, KVE_SOURCE(NormalMappingVert),
         KVE_SOURCE(NormalMappingFrag), true, {}},
        {KVE_SHADER_SPECULAR_NORMAL_MAPPING, "Specular Normal Mapping", KVE_QUEUE_GBUFFER,
         KVE_SOURCE(NormalMappingVert), KVE_SOURCE(SpecularNormalMappingFrag), true, {}},
        {KVE_SHADER_REFLECTION_NORMAL_MAPPING, "Reflection Normal Mapping", KVE_QUEUE_GBUFFER,
         KVE_SOURCE(ReflectionNormalMappingVert), KVE_SOURCE(ReflectionNormalMappingFrag), true, {}},
        {KVE_SHADER_TEXTURE_ARRAY, "Texture Array", KVE_QUEUE_GBUFFER, KVE_SOURCE(TextureArrayVert),
         KVE_SOURCE(TextureArrayFrag), true, {}},
        {KVE_SHADER_GRASS, "Grass", KVE_QUEUE_GBUFFER, KVE_SOURCE(GrassVert), KVE_SOURCE(GrassFrag), false,
         {kGroupedMeshAttributes, kGBufferOutputs, kMaterialBlocks,
          {{"ColorMap", kSampler}, {"NormalMap", kSampler}, {"SpecularMap", kSampler}, {"vWind", KVE_UNIFORM_VEC3}}}},
        {KVE_SHADER_NORMAL_MAPPING_SILHOUETTE, "Normal Mapping Silhouette", KVE_QUEUE_FORWARD,
         KVE_SOURCE(SilhouetteVert), KVE_SOURCE(SilhouetteFrag), false,
         {kMeshAttributes, kColorOutput, kMaterialBlocks, {{"NormalMap", kSampler}}}},
        {KVE_SHADER_PARALLAX_MAPPING, "Parallax Mapping", KVE_QUEUE_GBUFFER, KVE_SOURCE(NormalMappingVert),
         KVE_SOURCE(ParallaxFrag), false,
         {kMeshAttributes, kGBufferOutputs, kMaterialBlocks,
          {{"ColorMap", kSampler}, {"NormalMap", kSampler}, {"fScale", KVE_UNIFORM_FLOAT},
           {"fBias", KVE_UNIFORM_FLOAT}}}},
        {KVE_SHADER_SPECULAR_PARALLAX_MAPPING, "Specular Parallax Mapping", KVE_QUEUE_GBUFFER,
         KVE_SOURCE(NormalMappingVert), KVE_SOURCE(SpecularParallaxFrag), false,
         {kMeshAttributes, kGBufferOutputs, kMaterialBlocks,
          {{"ColorMap", kSampler}, {"NormalMap", kSampler}, {"SpecularMap", kSampler}, {"fScale", KVE_UNIFORM_FLOAT},
           {"fBias", KVE_UNIFORM_FLOAT}}}},
        {KVE_SHADER_WATER, "Water", KVE_QUEUE_OVERLAY, KVE_SOURCE(WaterVert), KVE_SOURCE(WaterFrag), false,
         {kMeshAttributes, kColorOutput, kScreenMaterialBlocks,
          {{"ColorMap", kSampler}, {"NormalMapA", kSampler}, {"NormalMapB", kSampler},
           {"ReflectionCubeMap", kSampler}, {"DepthMap", kSampler}, {"LDepthMap", kSampler},
           {"vOffset", KVE_UNIFORM_VEC2}, {"fFogDepth", KVE_UNIFORM_FLOAT}, {"vLightDir", KVE_UNIFORM_VEC3},
           {"mViewMatrix", KVE_UNIFORM_MAT4}}}},
        {KVE_SHADER_MASK_REFRACTION, "Mask Refraction", KVE_QUEUE_OVERLAY, KVE_SOURCE(MaskRefractionVert),
         KVE_SOURCE(MaskRefractionFrag), false,
         {kMeshAttributes, kColorOutput, kScreenMaterialBlocks,
          {{"ColorMap", kSampler}, {"DepthMap", kSampler}, {"NormalMap", kSampler}, {"MaskMap", kSampler},
           {"vOffset", KVE_UNIFORM_VEC2}}}},
        {KVE_SHADER_MESH_GLOW, "Mesh Glow", KVE_QUEUE_OVERLAY, KVE_SOURCE(MeshGlowVert), KVE_SOURCE(MeshGlowFrag),
         false,
         {{{"vVertex", 0}, {"vNormal", 1}},
          kColorOutput,
          kScreenMaterialBlocks,
          {{"DepthMap", kSampler}, {"fScale", KVE_UNIFORM_FLOAT}}}},
        {KVE_SHADER_SKYBOX, "Skybox", -1, KVE_SOURCE(SkyboxVert), KVE_SOURCE(SkyboxFrag), false,
         {kTexturedAttributes, kColorOutput, kScreenBlocks,
          {{"ColorCubeMap", kSampler}, {"MaskMap", kSampler}, {"vColor", KVE_UNIFORM_VEC4}}}},
        {KVE_SHADER_PARTICLE, "Particle", -1, KVE_SOURCE(ParticleVert), KVE_SOURCE(ParticleFrag), false,
         {kParticleAttributes, kColorOutput, kScreenBlocks, {{"ColorMap", kSampler}, {"DepthMap", kSampler}}}},
        {KVE_SHADER_SOFT_PARTICLE, "Soft Particle", -1, KVE_SOURCE(SoftParticleVert), KVE_SOURCE(SoftParticleFrag),
         false,
         {kParticleAttributes, kColorOutput, kScreenBlocks,
          {{"ColorMap", kSampler}, {"DepthMap", kSampler}, {"fBlend", KVE_UNIFORM_FLOAT}}}},
        {KVE_SHADER_BILLBOARD, "Billboard", -1, KVE_SOURCE(BillboardVert), KVE_SOURCE(BillboardFrag), false,
         {kMeshAttributes, kColorOutput, kScreenBlocks,
          {{"ColorMap", kSampler}, {"DepthMap", kSampler}, {"InstancesTextureBuffer", kSampler},
           {"iProjectionMode", KVE_UNIFORM_UINT}}}},
    };
}

#undef KVE_SOURCE

// Builds a set of programs inside its own log section; `flag` is the registry flag.
void buildSection(const char* title, int flag, const std::vector<Recipe>& recipes, const char* procedure)
{
    KVE_BeginLogSection(title, kSectionColor);
    for (const Recipe& recipe : recipes) {
        const ProgramInterface interface =
            recipe.reflected ? gpu::reflectProgramInterface(recipe.vertex, recipe.fragment) : recipe.interface;
        gpu::buildProgram(recipe.kind, flag, recipe.queue, recipe.vertex, recipe.fragment, recipe.name, interface,
                          procedure);
    }
    KVE_EndLogSection();
}

} // namespace

std::string expandIncludes(std::string_view source)
{
    constexpr std::string_view kDirective = "#include \"";
    std::string expanded;
    expanded.reserve(source.size() * 2);
    size_t at = 0;
    while (at < source.size()) {
        const size_t lineEnd = std::min(source.find('\n', at), source.size());
        const std::string_view line = source.substr(at, lineEnd - at);
        const size_t close = line.find('"', kDirective.size());
        const std::string_view included = line.starts_with(kDirective) && close != std::string_view::npos
                                               ? snippet(line.substr(kDirective.size(), close - kDirective.size()))
                                               : std::string_view{};
        if (included.empty())
            expanded.append(line).append(lineEnd < source.size() ? "\n" : "");
        else
            expanded.append(included);
        at = lineEnd + 1;
    }
    return expanded;
}

ShaderProgram* builtinProgram(int kind)
{
    return kind >= 0 && kind < KVE_SHADER_KIND_COUNT ? programs[static_cast<size_t>(kind)] : nullptr;
}

void setBuiltinProgram(int kind, ShaderProgram* program)
{
    if (kind >= 0 && kind < KVE_SHADER_KIND_COUNT)
        programs[static_cast<size_t>(kind)] = program;
}

void forgetBuiltinProgram(const ShaderProgram* program)
{
    for (ShaderProgram*& slot : programs)
        if (slot == program)
            slot = nullptr;
}

} // namespace kve::render

extern "C" {

void KVE_InitSpriteShaders(void)
{
    kve::render::buildSection("2D Shader", 0, kve::render::spriteRecipes(), "KVE_InitSpriteShaders");
}

void KVE_InitBuiltinShaders(void)
{
    kve::render::buildSection("3D Shader", 1, kve::render::recipes3D(), "KVE_InitBuiltinShaders");
}

ShaderProgram* KVE_GetBuiltinShader(int kind)
{
    return kve::render::builtinProgram(kind);
}

} // extern "C"

// The mesh passes' shared machinery: queue walk, material binding tables by program kind
// and the object draw.
#include "render/frame_passes.h"

#include <array>
#include <cstring>
#include <unordered_map>

#include "core/math.h"
#include "geometry/mesh.h"
#include "gpu/material.h"
#include "gpu/texture.h"
#include "platform/gl.h"
#include "render/draw_batch.h"
#include "render/frame.h"
#include "render/gbuffer.h"
#include "render/render_targets.h"
#include "render/shader_queues.h"
#include "render/shadow_casters.h"
#include "render/uniform_blocks.h"
#include "render/view_culling.h"
#include "scene/lighting.h"
#include "scene/object.h"

namespace kve::render {
namespace {

// Where a texture unit's texture comes from.
enum class Source : uint8_t { None, Slot0, Slot1, Slot2, CubeMap, SceneColor, Depth, LinearDepth };
// Which material value fills the third and fourth floats of the Material block.
enum class Third : uint8_t { Scattering, Refraction };
enum class Fourth : uint8_t { Keep, Emission, Reflection };

struct KindBinding {
    int materialBytes = 0; // 0: the Material block is not written
    Third third = Third::Scattering;
    Fourth fourth = Fourth::Keep;
    bool arrayTextures = false;
    std::array<Source, 6> units{};
    std::array<const char*, 6> samplers{}; // sampler uniform of each unit
};

using S = Source;
constexpr std::array<Source, 6> kColorNormalSpecular = {S::Slot0, S::Slot1, S::Slot2};
constexpr std::array<const char*, 6> kColorNormalSpecularNames = {"ColorMap", "NormalMap", "SpecularMap"};

KindBinding bindingOf(int kind)
{
    switch (kind) {
    case KVE_SHADER_TEXTURES: return {0, {}, {}, false, {S::Slot0}, {"ColorMap"}};
    case KVE_SHADER_NORMAL_MAPPING:
        return {48, Third::Scattering, Fourth::Emission, false, {S::Slot0, S::Slot1}, {"ColorMap", "NormalMap"}};
    case KVE_SHADER_REFLECTION_NORMAL_MAPPING:
        return {48, Third::Scattering, Fourth::Reflection, false, {S::Slot0, S::Slot1, S::CubeMap},
                {"ColorMap", "NormalMap", "ReflectionCubeMap"}};
    case KVE_SHADER_NORMAL_MAPPING_SILHOUETTE: return {24, {}, {}, false, {S::Slot0}, {"NormalMap"}};
    case KVE_SHADER_SPECULAR_NORMAL_MAPPING:
    case KVE_SHADER_GRASS:
    case KVE_SHADER_SPECULAR_PARALLAX_MAPPING:
        return {28, Third::Scattering, Fourth::Keep, false, kColorNormalSpecular, kColorNormalSpecularNames};
    case KVE_SHADER_TEXTURE_ARRAY:
        return {28, Third::Scattering, Fourth::Keep, true, kColorNormalSpecular, kColorNormalSpecularNames};
    case KVE_SHADER_PARALLAX_MAPPING:
        return {48, Third::Scattering, Fourth::Keep, false, {S::Slot0, S::Slot1}, {"ColorMap", "NormalMap"}};
    case KVE_SHADER_WATER:
        return {48,
                Third::Refraction,
                Fourth::Reflection,
                false,
                {S::SceneColor, S::Slot0, S::Slot1, S::CubeMap, S::Depth, S::LinearDepth},
                {"ColorMap", "NormalMapA", "NormalMapB", "ReflectionCubeMap", "DepthMap", "LDepthMap"}};
    case KVE_SHADER_MASK_REFRACTION:
        return {48,
                Third::Refraction,
                Fourth::Keep,
                false,
                {S::SceneColor, S::Depth, S::Slot0, S::Slot1},
                {"ColorMap", "DepthMap", "NormalMap", "MaskMap"}};
    case KVE_SHADER_MESH_GLOW: return {24, {}, {}, false, {S::Depth}, {"DepthMap"}};
    default: return {};
    }
}

// What the walk learns about a program the first time it selects it: its sampler units
// are set then (they stay in the program object) and its plain uniforms looked up.
struct ProgramSlots {
    int kind = 0;
    KindBinding binding;
    int color = -1, wind = -1, offset = -1, fogDepth = -1, scale = -1, viewMatrix = -1, lightDirection = -1;
};

std::unordered_map<unsigned, ProgramSlots> slotCache;

const ProgramSlots& slotsOf(const ShaderProgram& program)
{
    auto found = slotCache.find(program.program);
    if (found != slotCache.end() && found->second.kind == program.kind)
        return found->second;
    ProgramSlots slots;
    slots.kind = program.kind;
    slots.binding = bindingOf(program.kind);
    const GLuint p = program.program;
    for (int unit = 0; unit < 6; ++unit)
        if (const char* name = slots.binding.samplers[static_cast<size_t>(unit)])
            glUniform1i(glGetUniformLocation(p, name), unit);
    slots.color = glGetUniformLocation(p, "vColor");
    slots.wind = glGetUniformLocation(p, "vWind");
    slots.offset = glGetUniformLocation(p, "vOffset");
    slots.fogDepth = glGetUniformLocation(p, "fFogDepth");
    slots.scale = glGetUniformLocation(p, "fScale");
    slots.viewMatrix = glGetUniformLocation(p, "mViewMatrix");
    slots.lightDirection = glGetUniformLocation(p, "vLightDir");
    return slotCache[p] = slots;
}

// Binds a material texture slot; an empty slot binds no texture rather than leaving the
// previous material's texture in place.
void bindTexture(int unit, GLenum target, unsigned texture)
{
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(target, texture);
}

void bindSlot(int unit, int textureNumber, bool asArray)
{
    const auto* texture = gpu::findTexture(textureNumber);
    const GLenum target = asArray ? GL_TEXTURE_2D_ARRAY : texture ? texture->target : GL_TEXTURE_2D;
    bindTexture(unit, target, texture ? texture->texture : 0);
}

void bindSource(int unit, Source source, const gpu::MaterialRecord& material, bool asArray)
{
    const GBuffer& g = gbuffer();
    switch (source) {
    case Source::None: break;
    case Source::Slot0:
    case Source::Slot1:
    case Source::Slot2:
        bindSlot(unit, material.textures[static_cast<int>(source) - static_cast<int>(Source::Slot0)], asArray);
        break;
    case Source::CubeMap:
        if (const auto* cube = gpu::findTexture(material.cubeMap))
            bindTexture(unit, GL_TEXTURE_CUBE_MAP, cube->texture);
        break;
    case Source::SceneColor: bindTexture(unit, GL_TEXTURE_2D, sceneTarget().color[0]); break;
    case Source::Depth: bindTexture(unit, GL_TEXTURE_2D, g.textures[kDepthMap]); break;
    case Source::LinearDepth: bindTexture(unit, GL_TEXTURE_2D, g.textures[kMiscMap]); break;
    }
}

void writeMaterialValues(const KindBinding& binding, const gpu::MaterialRecord& material)
{
    if (binding.materialBytes == 0)
        return;
    // Start from the block's current bytes: a kind that leaves the fourth float alone
    // uploads whatever the previous material wrote there.
    MaterialBlock block;
    std::memcpy(&block, uniformBlock(Block::Material).data, sizeof block);
    std::memcpy(block.color, material.color, sizeof block.color);
    block.intensity = material.shine;
    block.hardness = material.hardness;
    block.third = binding.third == Third::Refraction ? material.refraction : material.surfaceScattering;
    if (binding.fourth == Fourth::Emission)
        block.fourth = material.emission;
    else if (binding.fourth == Fourth::Reflection)
        block.fourth = material.reflection;
    std::memcpy(block.specular, material.shineColor, sizeof block.specular);
    writeMaterialBlock(block, binding.materialBytes);
}

const BareProgram& casterFor(int kind)
{
    const GBufferPrograms& programs = gbufferPrograms();
    if (kind == KVE_SHADER_GRASS)
        return programs.windCaster;
    if (kind == KVE_SHADER_TEXTURE_ARRAY)
        return programs.arrayCaster;
    return programs.caster;
}

void bindCasterMaterial(int kind, const gpu::MaterialRecord& material)
{
    if (kind == KVE_SHADER_GRASS)
        glUniform3fv(gbufferPrograms().windCaster.locations[kWindCasterWind], 1, material.parameters);
    bindSlot(0, material.textures[0], kind == KVE_SHADER_TEXTURE_ARRAY);
}

} // namespace

bool passesFilter(const KVE_OBJECT& object, ObjectFilter filter)
{
    if (!object.visible)
        return false;
    switch (filter) {
    case ObjectFilter::Camera: return object.noCameraPass == 0;
    case ObjectFilter::Visible: return true;
    case ObjectFilter::Caster: return object.castsShadow != 0;
    case ObjectFilter::DynamicCaster: return object.castsShadow != 0 && object.isStatic == 0;
    case ObjectFilter::StaticCaster: return object.castsShadow != 0 && object.isStatic != 0;
    }
    return false;
}

bool drawObject(const KVE_OBJECT& object, const KVE_Matrix& view, const KVE_Matrix& world)
{
    const auto* mesh = static_cast<const geometry::MeshRecord*>(object.mesh);
    if (!mesh || !mesh->finished() || mesh->indexCount <= 0)
        return false;
    KVE_Matrix modelView;
    KVE_MultiplyMatrix(&modelView, &view, &world);
    writeModelBlock(modelView);
    glBindVertexArray(mesh->vertexArray);
    glDrawElements(GL_TRIANGLES, mesh->indexCount, GL_UNSIGNED_INT, nullptr);
    return true;
}

void useMaterialProgram(const ShaderProgram& program)
{
    glUseProgram(program.program);
    const ProgramSlots& slots = slotsOf(program);
    const FrameMatrices& frame = frameMatrices();
    if (slots.viewMatrix >= 0)
        glUniformMatrix4fv(slots.viewMatrix, 1, GL_FALSE, &frame.cameraWorld.c[0].x);
    if (slots.lightDirection >= 0) {
        KVE_Vector direction;
        std::memcpy(&direction, scene::lighting().direction, sizeof direction);
        direction.w = 0.0f;
        KVE_TransformVector(&direction, &frame.view);
        glUniform3f(slots.lightDirection, direction.x, direction.y, direction.z);
    }
}

void bindMaterial(const ShaderProgram& program, const gpu::MaterialRecord& material)
{
    const ProgramSlots& slots = slotsOf(program);
    const KindBinding& binding = slots.binding;
    for (int unit = 0; unit < 6; ++unit)
        bindSource(unit, binding.units[static_cast<size_t>(unit)], material, binding.arrayTextures);
    writeMaterialValues(binding, material);
    if (slots.color >= 0)
        glUniform4fv(slots.color, 1, material.color);
    if (slots.wind >= 0)
        glUniform3fv(slots.wind, 1, material.parameters);
    if (slots.offset >= 0)
        glUniform2fv(slots.offset, 1, material.parameters);
    if (slots.fogDepth >= 0)
        glUniform1f(slots.fogDepth, material.parameters[2]);
    if (slots.scale >= 0)
        glUniform1f(slots.scale, material.parameters[0]);
}

void walkQueue(int queue, const MeshPass& pass)
{
    DrawCounts& counts = frameDrawCounts();
    int& drawn = pass.shadow ? counts.castersDrawn : counts.drawn;
    const bool batching = drawBatchingEnabled();
    static std::vector<BatchedDraw> batch; // scratch, kept for its capacity
    for (const QueueElement& element : shaderQueue(queue)) {
        if (!element.program || element.materials.empty())
            continue;
        const int kind = element.program->kind;
        // Programs and materials are bound only for objects the pass draws: shadow
        // passes of a few casters skip most of them.
        bool programBound = false;
        for (const QueuedMaterial& queued : element.materials) {
            const gpu::MaterialRecord& material = *queued.material;
            const bool wireframe = pass.wireframe && material.wireframe != 0;
            const bool cullingOff = material.backFaceCulling == 0 || wireframe;
            bool materialBound = false;
            for (const KVE_OBJECT* object : queued.objects) {
                if (!passesFilter(*object, pass.filter))
                    continue;
                if (pass.volume && !castsInto(*object, kind, pass.filter, pass.volume)) {
                    if (!pass.volume->clips) // a partial redraw's choice is no culling
                        ++counts.castersCulled;
                    continue;
                }
                const KVE_Matrix world = scene::objectWorldMatrix(*object);
                if (pass.cull && keepsMeshBox(kind) && outsideVolume(*object, world, *pass.cull)) {
                    ++counts.culled;
                    continue;
                }
                if (!materialBound) {
                    if (!programBound) {
                        if (pass.shadow)
                            glUseProgram(casterFor(kind).program);
                        else
                            useMaterialProgram(*element.program);
                        programBound = true;
                    }
                    if (cullingOff)
                        glDisable(GL_CULL_FACE);
                    if (wireframe)
                        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
                    if (pass.shadow)
                        bindCasterMaterial(kind, material);
                    else
                        bindMaterial(*element.program, material);
                    materialBound = true;
                }
                if (batching) {
                    const auto* mesh = static_cast<const geometry::MeshRecord*>(object->mesh);
                    if (mesh && mesh->finished() && mesh->indexCount > 0)
                        batch.push_back({object, world});
                } else if (drawObject(*object, *pass.view, world)) {
                    ++drawn;
                }
            }
            drawBatch(batch, *pass.view);
            drawn += static_cast<int>(batch.size());
            batch.clear();
            if (materialBound && wireframe)
                glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
            if (materialBound && cullingOff)
                glEnable(GL_CULL_FACE);
        }
    }
}

void resetProgramSlots()
{
    slotCache.clear();
}

} // namespace kve::render

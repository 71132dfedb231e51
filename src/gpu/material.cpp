// The material registry and its operations. A material is listed once under its program
// in the shader queues from its creation on; any change of program goes through
// unregister, change, register, so the queues never hold a stale entry.
#include "gpu/material.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/engine.h"
#include "core/log.h"
#include "core/registry_kinds.h"
#include "render/builtin_programs.h"
#include "render/shader_queues.h"

namespace kve::gpu {
namespace {

struct Keyword {
    const char* text;
    int value;
};

constexpr Keyword kShaderKeywords[] = {
    {"NONE", KVE_SHADER_DEFAULT},
    {"SPRITE", KVE_SHADER_TEXTURED_SPRITE},
    {"DRAWING", KVE_SHADER_DRAW_MESH},
    {"TEXTURED", KVE_SHADER_TEXTURES},
    {"NORMALMAP", KVE_SHADER_NORMAL_MAPPING},
    {"REFLECTIONNORMAL", KVE_SHADER_REFLECTION_NORMAL_MAPPING},
    {"NORMALMAPSILHOUETTE", KVE_SHADER_NORMAL_MAPPING_SILHOUETTE},
    {"SPECULARNORMALMAP", KVE_SHADER_SPECULAR_NORMAL_MAPPING},
    {"GRASS", KVE_SHADER_GRASS},
    {"PARALLAX", KVE_SHADER_PARALLAX_MAPPING},
    {"SPECULARPARALLAX", KVE_SHADER_SPECULAR_PARALLAX_MAPPING},
    {"WATER", KVE_SHADER_WATER},
    {"REFRACTION", KVE_SHADER_REFRACTION},
    {"MASKREFRACTION", KVE_SHADER_MASK_REFRACTION},
    {"PARTICLE", KVE_SHADER_PARTICLE},
    {"SOFTPARTICLE", KVE_SHADER_SOFT_PARTICLE},
};

constexpr Keyword kBlendKeywords[] = {
    {"ZERO", 0},
    {"ONE", 1},
    {"SRC_COLOR", 0x300},
    {"ONE_MINUS_SRC_COLOR", 0x301},
    {"SRC_ALPHA", 0x302},
    {"ONE_MINUS_SRC_ALPHA", 0x303},
    {"DST_ALPHA", 0x304},
    {"ONE_MINUS_DST_ALPHA", 0x305},
    {"DST_COLOR", 0x306},
    {"ONE_MINUS_DST_COLOR", 0x307},
    {"SRC_ALPHA_SATURATE", 0x308},
};

template <size_t N>
int lookUp(const Keyword (&table)[N], std::string_view keyword, int otherwise)
{
    for (const Keyword& entry : table)
        if (keyword == entry.text)
            return entry.value;
    return otherwise;
}

MaterialUsers users;

bool registerWithQueues(MaterialRecord& material)
{
    return material.program && render::registerMaterial(material.program, &material);
}

bool unregisterFromQueues(MaterialRecord& material)
{
    return material.program && render::unregisterMaterial(material.program, &material);
}

// Changes a material while it is out of the queues, puts it back, then lets the objects
// drawn with it re-register (under its new program, if the change gave it one): taking a
// material out of the queues drops its object lists, and the objects must not go with them.
template <class Change>
void requeue(MaterialRecord& material, Change change)
{
    std::vector<KVE_OBJECT*> objects;
    if (users.collect)
        objects = users.collect(&material);
    unregisterFromQueues(material);
    change();
    registerWithQueues(material);
    if (users.reregister)
        for (KVE_OBJECT* object : objects)
            users.reregister(object);
}

void changeProgram(MaterialRecord& material, ShaderProgram* program)
{
    requeue(material, [&] { material.program = program; });
}

// Every field but the number and the name.
void copyFields(MaterialRecord& target, const MaterialRecord& source)
{
    const int number = target.number;
    const char* name = target.name;
    target = source;
    target.number = number;
    target.name = name;
}

int packColor(const float (&color)[4])
{
    const KVE_Vector v{color[0], color[1], color[2], color[3]};
    return KVE_VectorToColor(&v);
}

void unpackColor(int packed, float (&color)[4])
{
    KVE_Vector v;
    KVE_ColorToVector(&v, packed);
    color[0] = v.x, color[1] = v.y, color[2] = v.z, color[3] = v.w;
}

// Runs `set` on the material of a number; nothing when there is none.
template <class Set>
void change(int material, Set set)
{
    if (KVE_MATERIAL* record = findMaterial(material))
        set(*record);
}

// `get` of the material of a number, or `otherwise` when there is none.
template <class T, class Get>
T read(int material, T otherwise, Get get)
{
    const KVE_MATERIAL* record = findMaterial(material);
    return record ? get(*record) : otherwise;
}

} // namespace

core::Registry<KVE_MATERIAL>& materials()
{
    static core::Registry<KVE_MATERIAL> registry(core::kinds::kMaterial,
                                                 [](KVE_MATERIAL& material) {
                                                     if (users.released)
                                                         users.released(&material);
                                                     unregisterFromQueues(material);
                                                     forgetInlineTextures(material.number);
                                                 });
    return registry;
}

KVE_MATERIAL* findMaterial(int material)
{
    return materials().find(material);
}

int shaderKeywordKind(std::string_view keyword)
{
    return lookUp(kShaderKeywords, keyword, KVE_SHADER_DEFAULT);
}

int blendKeywordFactor(std::string_view keyword)
{
    return lookUp(kBlendKeywords, keyword, -1);
}

void setMaterialUsers(MaterialUsers installed)
{
    users = std::move(installed);
}

void createDefaultMaterial()
{
    const KVE_MATERIAL* material = KVE_CreateMaterial(-1, KVE_NO_TEXTURE, KVE_SHADER_DEFAULT, "");
    engine::state().defaultMaterial = material ? material->number : -1;
}

void forgetTextureInMaterials(int texture)
{
    materials().forEach([texture](KVE_MATERIAL& material) {
        for (int& slot : material.textures)
            if (slot == texture)
                slot = kNoTexture;
        if (material.cubeMap == texture)
            material.cubeMap = kNoTexture;
    });
}

} // namespace kve::gpu

using kve::gpu::findMaterial;
namespace gpu = kve::gpu;

extern "C" {

// A bare entry is zero but for its texture slots and cube map, which hold "none" (-1):
// a zero there would name texture 0, which the application may well have.
KVE_MATERIAL* KVE_CreateMaterialListEntry(int* id, const char* name)
{
    KVE_MATERIAL* material = gpu::materials().create(id, name ? name : "");
    if (!material)
        return nullptr;
    gpu::MaterialRecord& fields = *material;
    const int number = fields.number;
    const char* const entryName = fields.name;
    fields = gpu::MaterialRecord{};
    fields.number = number;
    fields.name = entryName;
    for (float* values : {fields.color, fields.shineColor})
        std::fill_n(values, 4, 0.0f);
    fields.shine = fields.hardness = fields.refraction = 0.0f;
    fields.depthMask = fields.backFaceCulling = 0;
    fields.blendSource = fields.blendDestination = 0;
    return material;
}

KVE_MATERIAL* KVE_CreateMaterial(int id, int texture, int kind, const char* name)
{
    KVE_MATERIAL* material = gpu::materials().create(&id, name ? name : "");
    if (!material)
        return nullptr;
    const auto& engine = kve::engine::state();
    material->program = kve::render::builtinProgram(kind);
    if (texture == -1)
        for (int slot = 0; slot < 3; ++slot)
            material->textures[slot] = engine.defaultTextures[slot];
    else if (texture >= 0)
        material->textures[0] = texture;
    material->cubeMap = engine.defaultCubeMap;
    gpu::registerWithQueues(*material);
    return material;
}

KVE_MATERIAL* KVE_CopyMaterial(int source, int id, const char* name)
{
    const KVE_MATERIAL* original = findMaterial(source);
    if (!original)
        return nullptr;
    // Taken before the new entry is made: a name or number in use releases its holder,
    // which may be the source itself.
    const gpu::MaterialRecord fields = *original;
    KVE_MATERIAL* copy = gpu::materials().create(&id, name ? name : "");
    if (!copy)
        return nullptr;
    gpu::copyFields(*copy, fields);
    gpu::registerWithQueues(*copy);
    return copy;
}

int KVE_CopyMaterialInto(int source, int target)
{
    const KVE_MATERIAL* from = findMaterial(source);
    KVE_MATERIAL* into = findMaterial(target);
    if (!from || !into || from == into)
        return 0;
    gpu::requeue(*into, [&] { gpu::copyFields(*into, *from); });
    return 1;
}

KVE_MATERIAL* KVE_GetMaterial(int material)
{
    return findMaterial(material);
}

int KVE_GetMaterialNumber(const KVE_MATERIAL* material)
{
    return material ? material->number : -1;
}

int KVE_FindMaterial(const char* name)
{
    return KVE_GetMaterialNumber(gpu::materials().findByName(name ? name : ""));
}

int KVE_ReleaseMaterial(int material)
{
    gpu::materials().release(findMaterial(material));
    return 0;
}

int KVE_RegisterMaterial(int material)
{
    KVE_MATERIAL* record = findMaterial(material);
    return record && gpu::registerWithQueues(*record) ? 1 : 0;
}

int KVE_UnregisterMaterial(int material)
{
    KVE_MATERIAL* record = findMaterial(material);
    return record && gpu::unregisterFromQueues(*record) ? 1 : 0;
}

void KVE_SetMaterialKind(int material, int kind)
{
    if (KVE_MATERIAL* record = findMaterial(material))
        gpu::changeProgram(*record, kve::render::builtinProgram(kind));
}

void KVE_SetMaterialShader(int material, int shader)
{
    KVE_MATERIAL* record = findMaterial(material);
    ShaderProgram* program = KVE_GetShader(shader);
    if (record && program)
        gpu::changeProgram(*record, program);
}

int KVE_GetMaterialShader(int material)
{
    const KVE_MATERIAL* record = findMaterial(material);
    return record && record->program ? record->program->number : -1;
}

const char* KVE_GetMaterialName(int material)
{
    const KVE_MATERIAL* record = findMaterial(material);
    return record ? record->name : "";
}

void KVE_SetMaterialTexture(int material, int slot, int texture)
{
    if (slot >= 0 && slot < gpu::kMaterialTextureSlots)
        gpu::change(material, [&](gpu::MaterialRecord& m) { m.textures[slot] = texture < 0 ? gpu::kNoTexture : texture; });
}

int KVE_GetMaterialTexture(int material, int slot)
{
    if (slot < 0 || slot >= gpu::kMaterialTextureSlots)
        return gpu::kNoTexture;
    return gpu::read(material, gpu::kNoTexture, [&](const gpu::MaterialRecord& m) { return m.textures[slot]; });
}

void KVE_SetMaterialCubeMap(int material, int texture)
{
    gpu::change(material, [&](gpu::MaterialRecord& m) { m.cubeMap = texture < 0 ? gpu::kNoTexture : texture; });
}

int KVE_GetMaterialCubeMap(int material)
{
    return gpu::read(material, gpu::kNoTexture, [](const gpu::MaterialRecord& m) { return m.cubeMap; });
}

void KVE_SetMaterialColor(int material, int color)
{
    gpu::change(material, [&](gpu::MaterialRecord& m) { gpu::unpackColor(color, m.color); });
}

int KVE_GetMaterialColor(int material)
{
    return gpu::read(material, 0, [](const gpu::MaterialRecord& m) { return gpu::packColor(m.color); });
}

void KVE_SetMaterialShine(int material, float shine)
{
    gpu::change(material, [&](gpu::MaterialRecord& m) { m.shine = shine; });
}

float KVE_GetMaterialShine(int material)
{
    return gpu::read(material, 0.0f, [](const gpu::MaterialRecord& m) { return m.shine; });
}

void KVE_SetMaterialShineColor(int material, int color)
{
    gpu::change(material, [&](gpu::MaterialRecord& m) { gpu::unpackColor(color, m.shineColor); });
}

int KVE_GetMaterialShineColor(int material)
{
    return gpu::read(material, 0, [](const gpu::MaterialRecord& m) { return gpu::packColor(m.shineColor); });
}

void KVE_SetMaterialHardness(int material, float hardness)
{
    gpu::change(material, [&](gpu::MaterialRecord& m) { m.hardness = hardness; });
}

float KVE_GetMaterialHardness(int material)
{
    return gpu::read(material, 0.0f, [](const gpu::MaterialRecord& m) { return m.hardness; });
}

void KVE_SetMaterialReflection(int material, float reflection)
{
    gpu::change(material, [&](gpu::MaterialRecord& m) { m.reflection = reflection; });
}

float KVE_GetMaterialReflection(int material)
{
    return gpu::read(material, 0.0f, [](const gpu::MaterialRecord& m) { return m.reflection; });
}

void KVE_SetMaterialRefraction(int material, float refraction)
{
    gpu::change(material, [&](gpu::MaterialRecord& m) { m.refraction = refraction * gpu::kRefractionScale; });
}

float KVE_GetMaterialRefraction(int material)
{
    return gpu::read(material, 0.0f, [](const gpu::MaterialRecord& m) { return m.refraction / gpu::kRefractionScale; });
}

void KVE_SetMaterialEmission(int material, float emission)
{
    gpu::change(material, [&](gpu::MaterialRecord& m) { m.emission = emission; });
}

float KVE_GetMaterialEmission(int material)
{
    return gpu::read(material, 0.0f, [](const gpu::MaterialRecord& m) { return m.emission; });
}

void KVE_SetMaterialSurfaceScattering(int material, float scattering)
{
    gpu::change(material, [&](gpu::MaterialRecord& m) { m.surfaceScattering = scattering; });
}

void KVE_SetMaterialDepthMask(int material, int depthMask)
{
    gpu::change(material, [&](gpu::MaterialRecord& m) { m.depthMask = depthMask; });
}

void KVE_SetMaterialBackFaceCulling(int material, int culling)
{
    gpu::change(material, [&](gpu::MaterialRecord& m) { m.backFaceCulling = culling; });
}

void KVE_SetMaterialBlending(int material, int source, int destination)
{
    gpu::change(material, [&](gpu::MaterialRecord& m) {
        m.blendSource = source;
        m.blendDestination = destination;
    });
}

void KVE_SetMaterialParameter(int material, int index, float value)
{
    if (index >= 0 && index < 4)
        gpu::change(material, [&](gpu::MaterialRecord& m) { m.parameters[index] = value; });
}

} // extern "C"

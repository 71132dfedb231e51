// KVE_LoadMaterialDefinition: a Material block of a definition file read key by key, and
// the loader hooks through which the definition dispatch hands over Texture and Material
// blocks.
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "core/engine.h"
#include "core/log.h"
#include "core/resource_sources.h"
#include "defs/definition_bounds.h"
#include "defs/definition_node.h"
#include "gpu/material.h"
#include "gpu/texture.h"
#include "platform/gl.h"
#include "render/builtin_programs.h"

namespace kve::gpu {
namespace {

constexpr const char* kProcedure = "KVE_LoadMaterialDefinition";

DefinitionNode* key(DefinitionNode* block, const char* path)
{
    return KVE_FindDefinitionNode(block, path, nullptr, 0);
}

// Material numbers are used as written, however unusual (a negative colour darkens, a
// shine of 2000 glares), except where drawing would break: a value that is not a finite
// number is replaced by the key's default; one beyond kLargestMagnitude by that bound,
// because the lighting multiplies colour, intensity and light, and beyond it those
// products leave the float range and turn the pixel into infinities and NaNs; and a
// negative highlight exponent by 0, because pow(0, negative) is infinite. Each
// replacement is an orange warning naming the file, the material and the key; the
// material still loads.
constexpr float kLargestMagnitude = 1.0e12f;
using defs::Bounds;
constexpr Bounds kAnyValue{-kLargestMagnitude, kLargestMagnitude};
constexpr Bounds kExponent{0.0f, kLargestMagnitude};

float bounded(DefinitionNode* block, const std::string& what, float value, float otherwise, Bounds bounds)
{
    const bool finite = std::isfinite(value);
    const float kept = finite ? std::clamp(value, bounds.low, bounds.high) : otherwise;
    if (!finite || kept != value) {
        char shown[96];
        std::snprintf(shown, sizeof shown, "%g %s, %g used", static_cast<double>(value),
                      finite ? "would break drawing" : "is not a finite number", static_cast<double>(kept));
        log::warnFile(defs::definitionSource(block), std::string("Material ") + block->value + ": " + what + " " + shown,
                      kProcedure);
    }
    return kept;
}

float floatKey(DefinitionNode* block, const char* path, float otherwise, Bounds bounds)
{
    return bounded(block, path + 1, KVE_GetDefinitionFloat(key(block, path), otherwise), otherwise, bounds);
}

int integerKey(DefinitionNode* block, const char* path, int otherwise)
{
    return KVE_GetDefinitionInteger(key(block, path), otherwise);
}

void colorKey(DefinitionNode* block, const char* path, float (&out)[4])
{
    KVE_GetDefinitionColor(key(block, path), out, static_cast<int>(0xFFFFFFFF));
    for (int i = 0; i < 4; ++i)
        out[i] = bounded(block, std::string(path + 1) + "[" + std::to_string(i) + "]", out[i], 1.0f, kAnyValue);
}

// The textures a Material block writes inline (a Texture block under a Texture[i] key),
// by material number and slot: the material's reload loads them again into the same
// texture numbers instead of making new ones.
using InlineTextures = std::array<int, kMaterialTextureSlots>;
struct InlineTextureTable {
    std::mutex mutex;
    std::unordered_map<int, InlineTextures> byMaterial;
};
InlineTextureTable& inlineTextureTable()
{
    static InlineTextureTable table;
    return table;
}

InlineTextures inlineTexturesOf(int material)
{
    InlineTextureTable& table = inlineTextureTable();
    std::lock_guard lock(table.mutex);
    const auto found = table.byMaterial.find(material);
    if (found != table.byMaterial.end())
        return found->second;
    InlineTextures none;
    none.fill(kNoTexture);
    return none;
}

void setInlineTextures(int material, const InlineTextures& textures)
{
    InlineTextureTable& table = inlineTextureTable();
    std::lock_guard lock(table.mutex);
    if (std::all_of(textures.begin(), textures.end(), [](int t) { return t == kNoTexture; }))
        table.byMaterial.erase(material);
    else
        table.byMaterial[material] = textures;
}

// The Texture block written under a Texture[i] key (the key's own node), or null.
DefinitionNode* inlineTextureBlock(DefinitionNode* block, int slot)
{
    const std::string path = "\\Texture[" + std::to_string(slot) + "]";
    DefinitionNode* entry = key(block, path.c_str());
    return entry && !*entry->value ? KVE_FindDefinitionNode(entry, "Texture", "", 1) : nullptr;
}

// Slot i: a registered texture by name, a texture block written under the key, or a
// red entry and an empty slot. Returns the inline textures by slot.
InlineTextures readTextureSlots(DefinitionNode* block, MaterialRecord& material)
{
    InlineTextures inlined;
    inlined.fill(kNoTexture);
    for (int slot = 0; slot < kMaterialTextureSlots; ++slot) {
        const std::string path = "\\Texture[" + std::to_string(slot) + "]";
        DefinitionNode* entry = key(block, path.c_str());
        if (!entry)
            continue;
        const std::string value = entry->value;
        if (const KVE_TEXTURE* texture = value.empty() ? nullptr : textures().findByName(value)) {
            material.textures[slot] = texture->number;
        } else if (value.empty()) {
            DefinitionNode* textureBlock = inlineTextureBlock(block, slot);
            const KVE_TEXTURE* loaded = textureBlock ? loadTextureBlock(-1, textureBlock, nullptr) : nullptr;
            material.textures[slot] = loaded ? loaded->number : kNoTexture;
            inlined[static_cast<size_t>(slot)] = material.textures[slot];
        } else {
            log::fail("Texture[" + std::to_string(slot) + "] not found: " + value, kProcedure, kMaterialsUnit);
            log::warnFile(defs::definitionSource(block),
                          std::string("Material ") + block->value + ": no texture named " + value + " is loaded",
                          kProcedure);
        }
    }
    return inlined;
}

// Source and destination from the first two list elements; a keyword outside the table
// gives GL_ZERO, a missing element GL_SRC_ALPHA; no key gives ordinary alpha blending.
void readBlending(DefinitionNode* block, MaterialRecord& material)
{
    DefinitionNode* mode = key(block, "\\BlendingMode");
    if (!mode) {
        material.blendSource = GL_SRC_ALPHA;
        material.blendDestination = GL_ONE_MINUS_SRC_ALPHA;
        return;
    }
    int* factors[2] = {&material.blendSource, &material.blendDestination};
    for (int i = 0; i < 2; ++i) {
        const int factor = blendKeywordFactor(KVE_GetDefinitionString(KVE_GetDefinitionChild(mode, i), "SRC_ALPHA"));
        *factors[i] = factor < 0 ? 0 : factor;
    }
}

void* loadTextureBlock(int id, DefinitionNode* node, const char* name)
{
    return KVE_LoadTextureDefinition(id, node, name);
}

void* loadMaterialBlock(int id, DefinitionNode* node, const char* name)
{
    return KVE_LoadMaterialDefinition(id, node, name);
}

} // namespace

std::vector<std::string> inlineTextureFiles(DefinitionNode* block)
{
    std::vector<std::string> files;
    for (int slot = 0; slot < kMaterialTextureSlots; ++slot)
        if (DefinitionNode* textureBlock = inlineTextureBlock(block, slot))
            files.push_back(std::string(KVE_GetDefinitionDirectory(textureBlock)) +
                            KVE_GetDefinitionString(key(textureBlock, "\\File"), ""));
    return files;
}

void forgetInlineTextures(int material)
{
    setInlineTextures(material, InlineTextures{kNoTexture, kNoTexture, kNoTexture, kNoTexture});
}

void adoptReloadedMaterial(KVE_MATERIAL& live, KVE_MATERIAL& staged)
{
    const InlineTextures kept = inlineTexturesOf(live.number);
    InlineTextures adopted = inlineTexturesOf(staged.number);
    for (size_t slot = 0; slot < adopted.size(); ++slot) {
        TextureRecord* fresh = findTexture(adopted[slot]);
        TextureRecord* old = findTexture(kept[slot]);
        if (!fresh || !old || fresh == old)
            continue;
        // The slot's texture keeps its number; its contents are the new image's.
        adoptReloadedTexture(*old, *fresh);
        adopted[slot] = old->number;
        staged.textures[slot] = old->number;
    }
    // An inline texture the new version no longer writes stays (the application may hold
    // its number), but the material no longer reloads it.
    forgetInlineTextures(staged.number);
    setInlineTextures(live.number, adopted);
    // The copy keeps the material's objects, under its new program if it has one.
    KVE_CopyMaterialInto(staged.number, live.number);
    materials().release(&staged);
}

void installDefinitionLoaders()
{
    defs::definitionLoaders().texture = loadTextureBlock;
    defs::definitionLoaders().material = loadMaterialBlock;
}

} // namespace kve::gpu

namespace gpu = kve::gpu;

extern "C" KVE_MATERIAL* KVE_LoadMaterialDefinition(int id, DefinitionNode* node, const char* name)
{
    const std::string wanted = name ? name : "";
    DefinitionNode* block = KVE_FindDefinitionNode(node, "Material", wanted.c_str(), 0);
    if (!block) {
        kve::log::progress("Material: " + wanted, gpu::kProcedure, gpu::kMaterialsUnit);
        kve::log::fail("FAIL: Material Node Not found!", gpu::kProcedure, gpu::kMaterialsUnit);
        return nullptr;
    }
    kve::log::progress(std::string("Material: ") + block->value, gpu::kProcedure, gpu::kMaterialsUnit);
    KVE_MATERIAL* material = KVE_CreateMaterialListEntry(&id, block->value);
    if (!material)
        return nullptr;
    gpu::colorKey(block, "\\Color", material->color);
    const int kind = gpu::shaderKeywordKind(KVE_GetDefinitionString(gpu::key(block, "\\Shader"), "NONE"));
    material->program = kve::render::builtinProgram(kind);
    gpu::setInlineTextures(material->number, gpu::readTextureSlots(block, *material));
    gpu::readBlending(block, *material);
    material->shine = gpu::floatKey(block, "\\Shine", 1.0f, gpu::kAnyValue);
    gpu::colorKey(block, "\\ShineColor", material->shineColor);
    material->hardness = kind == KVE_SHADER_SOFT_PARTICLE
                             ? gpu::floatKey(block, "\\Blend", 300.0f, gpu::kAnyValue)
                             : gpu::floatKey(block, "\\Hardness", 1.0f, gpu::kExponent);
    material->cubeMap = kve::engine::state().defaultCubeMap;
    material->reflection = gpu::floatKey(block, "\\Reflection", 0.0f, gpu::kAnyValue);
    material->refraction = gpu::floatKey(block, "\\Refraction", 5.0f, gpu::kAnyValue) * gpu::kRefractionScale;
    material->surfaceScattering = gpu::floatKey(block, "\\SurfaceScattering", 0.0f, gpu::kAnyValue);
    material->depthMask = gpu::integerKey(block, "\\DepthMask", 1);
    material->backFaceCulling = gpu::integerKey(block, "\\BackFaceCulling", 1);
    material->wireframe = gpu::integerKey(block, "\\Wireframe", 0);
    kve::log::ok(gpu::kProcedure, gpu::kMaterialsUnit);
    KVE_RegisterMaterial(material->number);
    kve::core::recordResourceSource(kve::core::ResourceLoader::MaterialDefinition, material->number,
                                    kve::defs::sourceFileOf(block), material->name, gpu::inlineTextureFiles(block));
    return material;
}

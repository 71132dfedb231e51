// KVE_LoadMaterialDefinition: a Material block of a definition file read key by key, and
// the loader hooks through which the definition dispatch hands over Texture and Material
// blocks.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

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

// Slot i: a registered texture by name, a texture block written under the key, or a
// red entry and an empty slot.
void readTextureSlots(DefinitionNode* block, MaterialRecord& material)
{
    for (int slot = 0; slot < kMaterialTextureSlots; ++slot) {
        const std::string path = "\\Texture[" + std::to_string(slot) + "]";
        DefinitionNode* entry = key(block, path.c_str());
        if (!entry)
            continue;
        const std::string value = entry->value;
        if (const KVE_TEXTURE* texture = value.empty() ? nullptr : textures().findByName(value)) {
            material.textures[slot] = texture->number;
        } else if (value.empty()) {
            const KVE_TEXTURE* loaded = KVE_LoadTextureDefinition(-1, entry, "");
            material.textures[slot] = loaded ? loaded->number : kNoTexture;
        } else {
            log::fail("Texture[" + std::to_string(slot) + "] not found: " + value, kProcedure, kMaterialsUnit);
            log::warnFile(defs::definitionSource(block),
                          std::string("Material ") + block->value + ": no texture named " + value + " is loaded",
                          kProcedure);
        }
    }
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
    gpu::readTextureSlots(block, *material);
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
    kve::core::recordResourceSource(kve::core::ResourceLoader::MaterialDefinition, material->number, material,
                                    kve::defs::sourceFileOf(block), material->name);
    return material;
}

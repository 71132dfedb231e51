// Materials: which built-in program draws a surface, its textures, the values of the
// Material uniform block and its render state; the material registry, the definition
// loader and the registration with the shader queues.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "core/registry.h"
#include "kve.h"

struct KVE_OBJECT;

namespace kve::gpu {

inline constexpr int kMaterialTextureSlots = 4;
inline constexpr int kNoTexture = -1; // an empty texture slot
// Refraction is kept as the given value * 0.01.
inline constexpr float kRefractionScale = 0.01f;

struct MaterialRecord {
    int number = 0;
    const char* name = "";
    ShaderProgram* program = nullptr; // null for a kind without a program (14)
    int textures[kMaterialTextureSlots] = {kNoTexture, kNoTexture, kNoTexture, kNoTexture};
    int cubeMap = kNoTexture;
    float color[4] = {1, 1, 1, 1};
    float shine = 1.0f;
    float shineColor[4] = {1, 1, 1, 1};
    float hardness = 1.0f;
    float reflection = 0.0f;
    float refraction = 5.0f * kRefractionScale;
    float emission = 0.0f;
    float surfaceScattering = 0.0f;
    int depthMask = 1;
    int backFaceCulling = 1;
    int wireframe = 0;
    int blendSource = 0x302;      // GL_SRC_ALPHA
    int blendDestination = 0x303; // GL_ONE_MINUS_SRC_ALPHA
    float parameters[4] = {0, 0, 0, 0};
};

} // namespace kve::gpu

// The public name of the material record.
struct KVE_MATERIAL : kve::gpu::MaterialRecord {};

namespace kve::gpu {

inline constexpr const char* kMaterialsUnit = "KVE Materials";

core::Registry<KVE_MATERIAL>& materials();
KVE_MATERIAL* findMaterial(int material);

// The built-in program a Shader keyword selects (exact, upper case; anything else is
// Default), and its kind number.
int shaderKeywordKind(std::string_view keyword);
// The GL blend factor of a keyword; -1 when the keyword is not in the table.
int blendKeywordFactor(std::string_view keyword);

// The scene's side of re-registering objects when a material changes its program: the
// objects that use a material, and re-registering one with the frame pipeline. Installed
// by the scene unit; without it a program change touches no objects.
struct MaterialUsers {
    std::function<std::vector<KVE_OBJECT*>(const MaterialRecord*)> collect;
    std::function<void(KVE_OBJECT*)> reregister;
    std::function<void(const MaterialRecord*)> released; // before the record is freed
};
void setMaterialUsers(MaterialUsers users);

// Empties the texture slots and cube map of every material that names the texture.
void forgetTextureInMaterials(int texture);

// A reload's last step: every field of the staged material moves into the live one (its
// objects stay with it); a texture the staged block wrote inline loads into the texture
// the live one had in that slot, which keeps its number. The staged material is released.
void adoptReloadedMaterial(KVE_MATERIAL& live, KVE_MATERIAL& staged);

// The image files of the Texture blocks a Material block writes inline.
std::vector<std::string> inlineTextureFiles(DefinitionNode* block);

// Forgets which textures a released material's block wrote inline.
void forgetInlineTextures(int material);

// The default material (Default program, no texture), made at start-up.
void createDefaultMaterial();

// The definition loader hooks for Texture and Material blocks.
void installDefinitionLoaders();

} // namespace kve::gpu

// KVE_LoadSoundDefinition: a Sound block of a definition file read key by key, and the
// loader hook through which the definition dispatch hands Sound blocks over.
#include <string>

#include "core/math.h"
#include "core/resource_sources.h"
#include "defs/definition_bounds.h"
#include "defs/definition_node.h"
#include "kve.h"
#include "sound/sound.h"

namespace kve::sound {
namespace {

constexpr const char* kProcedure = "KVE_LoadSoundDefinition";

// The ranges sound keys are held to (kve.h lists them).
constexpr defs::Bounds kVolumeBounds{0, 10};
constexpr defs::Bounds kFrequencyBounds{0.01f, 100};  // factor of the clip's rate
constexpr defs::Bounds kRangeBounds{0, 1e6f};         // units
constexpr defs::Bounds kConeBounds{0, 360};           // degrees

DefinitionNode* key(DefinitionNode* block, const char* path)
{
    return KVE_FindDefinitionNode(block, path, nullptr, 0);
}

float floatKey(DefinitionNode* block, const char* path, float otherwise, defs::Bounds bounds)
{
    return defs::boundedValue(KVE_GetDefinitionFloat(key(block, path), otherwise), otherwise, bounds, path + 1,
                              kProcedure);
}

void rangeKey(DefinitionNode* block, const char* path, float (&out)[2], defs::Bounds bounds)
{
    KVE_GetDefinitionRange(key(block, path), out, 0.0f, 0.0f);
    defs::boundRange(out, 0.0f, bounds, path + 1, kProcedure);
}

// A block is named by the text before its brace ("Sound: Steam { ... }"); an unnamed
// Sound block takes the name of the nearest enclosing block that has one.
std::string blockName(const DefinitionNode* block)
{
    for (const DefinitionNode* node = block; node; node = node->parent)
        if (*node->value)
            return node->value;
    return {};
}

void* loadSoundBlock(int id, DefinitionNode* node, const char* name)
{
    return KVE_LoadSoundDefinition(node, id, name);
}

} // namespace

void installDefinitionLoader()
{
    defs::definitionLoaders().sound = loadSoundBlock;
}

} // namespace kve::sound

extern "C" KVE_SOUND* KVE_LoadSoundDefinition(DefinitionNode* node, int id, const char* name)
{
    using kve::sound::key;
    DefinitionNode* block = KVE_FindDefinitionNode(node, "Sound", nullptr, 0);
    if (!block)
        return nullptr;
    const std::string soundName = name && *name ? std::string(name) : kve::sound::blockName(block);
    const DefinitionNode* file = key(block, "\\File");
    if (!file)
        return nullptr;
    const int mode = kve::sound::modeFromKeywords(KVE_GetDefinitionString(key(block, "\\Mode"), ""));
    const std::string path = std::string(KVE_GetDefinitionDirectory(block)) + KVE_GetDefinitionString(file, "");
    KVE_SOUND* sound = KVE_LoadSound(id, path.c_str(), mode, soundName.c_str());
    if (!sound)
        return nullptr;
    KVE_Vector direction{0, 0, -1, 0};
    KVE_GetDefinitionVector(key(block, "\\Direction"), &direction, 0.0f, 0.0f, -1.0f);
    float cone[2] = {0, 0};
    kve::sound::rangeKey(block, "\\Cone", cone, kve::sound::kConeBounds);
    float range[2] = {0, 0};
    kve::sound::rangeKey(block, "\\Range", range, kve::sound::kRangeBounds);
    KVE_SetSoundDirection(sound->number, direction.x, direction.y, direction.z);
    KVE_SetSoundCone(sound->number, cone[0], cone[1]);
    KVE_SetSoundRange(sound->number, range[0], range[1]);
    KVE_SetSoundVolume(sound->number, kve::sound::floatKey(block, "\\Volume", 1.0f, kve::sound::kVolumeBounds));
    sound->frequency = kve::sound::floatKey(block, "\\Frequency", 1.0f, kve::sound::kFrequencyBounds);
    kve::core::recordResourceSource(kve::core::ResourceLoader::SoundDefinition, sound->number,
                                    kve::defs::sourceFileOf(block), soundName, {path});
    return sound;
}

// The emitter registry and the public particle operations: loading from a definition
// file, the per-frame update under the physics lock, emission, placement and release.
#include <mutex>
#include <string>

#include "core/log.h"
#include "core/physics_lock.h"
#include "core/resource_sources.h"
#include "core/registry_kinds.h"
#include "defs/definition_node.h"
#include "gpu/material.h"
#include "particles/emitter.h"
#include "scene/item.h"

namespace kve::particles {
namespace {

constexpr int kLoadLine = 350;
constexpr int kMoveAdd = 1;
constexpr int kMoveTurned = 2;

scene::Placement placementOf(EmitterRecord& emitter)
{
    return {&emitter.item, &emitter.position, nullptr};
}

} // namespace

core::Registry<EmitterRecord>& emitters()
{
    static core::Registry<EmitterRecord> registry(core::kinds::kEmitter, [](EmitterRecord& emitter) {
        scene::releaseItem(emitter.item);
        deleteEmitterGpu(emitter);
    });
    return registry;
}

EmitterRecord* findEmitter(int emitter)
{
    return emitters().find(emitter);
}

KVE_MATERIAL* emitterMaterial(EmitterRecord& emitter)
{
    if (KVE_MATERIAL* material = gpu::findMaterial(emitter.material))
        return material;
    KVE_MATERIAL* successor = gpu::materials().findByName(emitter.materialName);
    emitter.material = successor ? successor->number : -1;
    return successor;
}

void adoptReloadedEmitter(EmitterRecord& live, EmitterRecord& staged, const std::string& file)
{
    std::lock_guard lock(core::physicsLock());
    KVE_MATERIAL* stagedMaterial = gpu::findMaterial(staged.material);
    const bool takeMaterial = stagedMaterial && !gpu::findMaterial(live.material);
    // Everything moves but what the running emitter owns; a field added to the record
    // reloads unless it is named here.
    core::swapRecordContents(live, staged);
    std::swap(live.item, staged.item);
    std::swap(live.position, staged.position);
    std::swap(live.rotation, staged.rotation);
    std::swap(live.matrix, staged.matrix);
    std::swap(live.emitting, staged.emitting);
    std::swap(live.particles, staged.particles);
    std::swap(live.lastEmission, staged.lastEmission);
    std::swap(live.addedVelocity, staged.addedVelocity);
    std::swap(live.material, staged.material);
    std::swap(live.materialName, staged.materialName);
    // The instance arrays and buffers, sized for the new max particles, are the staged
    // ones: nothing in them is drawn before the next update fills them.
    live.visibleCount = 0;
    if (takeMaterial) {
        gpu::materials().settle(stagedMaterial);
        live.material = stagedMaterial->number;
        live.materialName = staged.materialName;
        core::recordResourceSource(core::ResourceLoader::MaterialDefinition, stagedMaterial->number, file,
                                   stagedMaterial->name);
    } else if (stagedMaterial) {
        gpu::materials().release(stagedMaterial);
    }
    emitters().release(&staged);
}

void releaseEmitters()
{
    emitters().releaseAll();
}

} // namespace kve::particles

namespace particles = kve::particles;
using particles::findEmitter;

extern "C" {

KVE_EMITTER* KVE_LoadParticleEmitter(int id, const char* fileName)
{
    const std::string file = fileName ? fileName : "";
    kve::log::progress("Load Particle Emitter: " + file, particles::kLoadProcedure, particles::kParticlesUnit,
                       particles::kLoadLine);
    DefinitionNode* root = KVE_ReadDefinitionFile(file.c_str());
    if (!root) {
        kve::log::fail("FAIL", particles::kLoadProcedure, particles::kParticlesUnit);
        kve::log::failFile(file, kve::defs::unreadableReason(file), particles::kLoadProcedure);
        return nullptr;
    }
    EmitterRecord* emitter = particles::emitters().create(&id, "");
    if (!emitter) {
        KVE_FreeDefinition(root, 1);
        return nullptr;
    }
    if (!KVE_FindDefinitionNode(root, "ParticleEmitter", nullptr, 0))
        kve::log::warnFile(file, "no ParticleEmitter block, every key keeps its default", particles::kLoadProcedure);
    else if (kve::defs::endedInsideBlock(root))
        kve::log::warnFile(file, kve::defs::kCutShort, particles::kLoadProcedure);
    particles::initEmitter(*emitter, root);
    KVE_FreeDefinition(root, 1);
    particles::createEmitterGpu(*emitter);
    kve::core::recordResourceSource(kve::core::ResourceLoader::Emitter, emitter->number, file);
    return emitter;
}

int KVE_UpdateParticleEmitters(void)
{
    const std::lock_guard<std::recursive_mutex> lock(kve::core::physicsLock());
    const int now = KVE_GetMilliseconds();
    const float h = KVE_GetFrameTime();
    particles::emitters().forEach([&](EmitterRecord& emitter) {
        particles::stepEmitter(emitter, now, h);
        particles::uploadInstances(emitter);
    });
    return 0;
}

int KVE_EmitParticles(int emitter, int count, float x, float y, float z)
{
    if (EmitterRecord* found = findEmitter(emitter))
        particles::emitParticles(*found, count, x, y, z, KVE_GetMilliseconds());
    return 0;
}

int KVE_SetEmitterVelocity(int emitter, const KVE_Vector* velocity)
{
    if (EmitterRecord* found = findEmitter(emitter))
        found->addedVelocity = velocity ? KVE_Vector{velocity->x, velocity->y, velocity->z, 0} : KVE_Vector{};
    return 0;
}

int KVE_MoveParticleEmitter(int emitter, float x, float y, float z, int flags)
{
    EmitterRecord* found = findEmitter(emitter);
    if (!found)
        return 0;
    KVE_Vector offset{x, y, z, 0};
    if (flags & particles::kMoveTurned) {
        KVE_Matrix rotation;
        KVE_TransformVector(&offset, KVE_QuaternionToMatrix(&found->rotation, &rotation));
    }
    if (flags & particles::kMoveAdd)
        KVE_AddVectorXYZ(&found->position, &offset);
    else
        found->position = {offset.x, offset.y, offset.z, 1};
    kve::scene::rebuildMatrices(particles::placementOf(*found));
    return 0;
}

int KVE_MoveEmitter(int emitter, float x, float y, float z, int mode)
{
    EmitterRecord* found = findEmitter(emitter);
    return found && kve::scene::moveItem(particles::placementOf(*found), x, y, z, mode) ? 1 : 0;
}

int KVE_RotateEmitter(int emitter, float x, float y, float z, int mode)
{
    EmitterRecord* found = findEmitter(emitter);
    return found && kve::scene::rotateItem(particles::placementOf(*found), x, y, z, mode) ? 1 : 0;
}

int KVE_SetEmitterEmitting(int emitter, int emitting)
{
    if (EmitterRecord* found = findEmitter(emitter))
        found->emitting = emitting;
    return 0;
}

int KVE_FreeParticleEmitter(int emitter)
{
    particles::emitters().releaseNumber(emitter);
    return 0;
}

KVE_EMITTER* KVE_GetEmitter(int emitter)
{
    return findEmitter(emitter);
}

KVE_ITEM* KVE_GetEmitterItem(int emitter)
{
    EmitterRecord* found = findEmitter(emitter);
    return found ? &found->item : nullptr;
}

int KVE_GetEmitterParticleCount(int emitter)
{
    const EmitterRecord* found = findEmitter(emitter);
    return found ? static_cast<int>(found->particles.size()) : 0;
}

void KVE_SeedParticles(uint32_t seed)
{
    particles::seedRandom(seed);
}

} // extern "C"

// Fuzzes the particle emitter's definition reading and then runs its simulation for a
// few frames with whatever it read; the GL objects of a real load are left out. Texture
// files named by a Material block are looked for under a directory that does not exist,
// so no input reaches the texture upload; materials the block makes are released again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "defs/definition_node.h"
#include "particles/emitter.h"
#include "scene/item.h"

namespace particles = kve::particles;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    DefinitionNode* root = kve::defs::parseText(std::string_view(reinterpret_cast<const char*>(data), size),
                                                "/kve-fuzz-no-such-directory/");
    particles::seedRandom(size);
    EmitterRecord emitter{};
    particles::initEmitter(emitter, root);
    if (root)
        KVE_FreeDefinition(root, 1);
    const size_t entries = static_cast<size_t>(emitter.maxParticles) + 1;
    if (emitter.instancePositions.size() != entries || emitter.instanceSizes.size() != entries)
        std::abort();
    // Thirty frames at 60 Hz, starting late enough that the first emission is due.
    for (int frame = 0; frame < 30; ++frame)
        particles::stepEmitter(emitter, 2000 + frame * 16, 1.0f / 60);
    particles::emitParticles(emitter, 100, 1, 2, 3, 2500);
    particles::stepEmitter(emitter, 2520, 1.0f / 60);
    if (emitter.particles.size() > particles::kLiveParticleLimit)
        std::abort();
    if (emitter.material >= 0)
        KVE_ReleaseMaterial(emitter.material);
    kve::scene::releaseItem(emitter.item);
    return 0;
}

// Particle emitters inside the engine: the record behind KVE_EMITTER with its particle
// list, instance arrays and GL objects; the simulation steps the public operations and
// the tests drive; the random source; and the draw pass the frame calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/registry.h"
#include "kve.h"

namespace kve::particles {

inline constexpr const char* kParticlesUnit = "KVE Particles";
inline constexpr const char* kLoadProcedure = "KVE_LoadParticleEmitter";
inline constexpr int kDefaultMaxParticles = 256;
// Upper bound of max particles (the particles drawn per frame): larger values are
// clamped, negative ones become 0, both with a warning entry.
inline constexpr int kMaxParticlesLimit = 16384;
// Live particles one emitter may hold (drawn or not); emissions beyond it are dropped so
// that an absurd frequency or lifetime cannot exhaust memory.
inline constexpr size_t kLiveParticleLimit = 262144;

struct Particle {
    float size;
    float growth; // size per second
    KVE_Vector position;
    float color[4];
    KVE_Vector velocity;
    int32_t death; // engine clock, ms
    float intensity;
    float targetIntensity;
    float fadeOut; // intensity per second after death
    float fadeIn;  // intensity per second up to the target
};

struct EmitterGpu {
    unsigned vertexArray = 0;
    unsigned quadBuffer = 0;
    unsigned positionBuffer = 0; // attribute 7, vec4 per instance
    unsigned sizeBuffer = 0;     // attribute 8, float per instance
    unsigned colorBuffer = 0;    // attribute 4, vec4 per instance
};

} // namespace kve::particles

struct EmitterRecord : KVE_EMITTER {
    // The particle list. New particles go to the front of the list, so the vector holds it
    // back to front: emitting is a push_back and the front of the list is the last element.
    std::vector<kve::particles::Particle> particles;
    // maxParticles + 1 entries each; the first visibleCount are uploaded.
    std::vector<KVE_Vector> instancePositions;
    std::vector<float> instanceSizes;
    std::vector<KVE_Vector> instanceColors;
    // Name of the material, so that an emitter keeps drawing when a later load of the same
    // definition replaces that material under its name.
    std::string materialName;
    kve::particles::EmitterGpu gpu;
};

namespace kve::particles {

core::Registry<EmitterRecord>& emitters();
EmitterRecord* findEmitter(int emitter);

// Particle i in list order (0 = the front, the newest).
inline const Particle& listedParticle(const EmitterRecord& emitter, size_t i)
{
    return emitter.particles[emitter.particles.size() - 1 - i];
}

// Everything of a load but the registry and GL: the item header, the keys read from the
// ParticleEmitter node below `root` (defaults for a null root), the emission rotation and
// the instance arrays. The caller releases the item (releaseItem) when done.
void initEmitter(EmitterRecord& emitter, DefinitionNode* root);

// The rotation whose third column is the unit direction (+z turned into the direction);
// a zero or non-finite direction counts as (0, 1, 0).
KVE_Matrix emissionRotation(const KVE_Vector& direction);

// Emission and update without GL: `now` is the engine clock in ms, `h` the frame time in
// seconds. stepEmitter emits what is due, fades, moves and fills the instance arrays.
void emitParticles(EmitterRecord& emitter, int count, float x, float y, float z, int now);
void stepEmitter(EmitterRecord& emitter, int now, float h);

// The process-wide random source: uniform in [0, 1) with 31 bits.
void seedRandom(uint64_t seed);
double random01();

// GL side: creation (quad, instance buffers, vertex array), upload of the visible
// instances, deletion.
void createEmitterGpu(EmitterRecord& emitter);
void uploadInstances(const EmitterRecord& emitter);
void deleteEmitterGpu(EmitterRecord& emitter);

// The material an emitter draws with (following a replacement under the same name);
// null when it has none.
KVE_MATERIAL* emitterMaterial(EmitterRecord& emitter);

// Draws every emitter with a material and visible particles: depth writes off, blending
// from the material, the Particle program with the G-buffer depth or the Soft Particle
// program with the linear depth on unit 1. Called by the frame after the composed image.
void drawParticleEmitters(const KVE_Matrix& view, unsigned depthTexture, unsigned linearDepthTexture);

// A reload's last step, under the physics lock: what the staged emitter's file defines
// moves into the live emitter; the live one keeps its number, scene placement (item,
// position, rotation, matrix), particles, clock, switch, added velocity and material
// (which reloads from its own source). A live emitter without a material takes the
// staged one's, recorded as loaded from `file`. The staged emitter is released.
void adoptReloadedEmitter(EmitterRecord& live, EmitterRecord& staged, const std::string& file);

// Engine shutdown: releases every emitter.
void releaseEmitters();

} // namespace kve::particles

// The particle simulation: what an emitter reads from its definition, how it emits
// (area, spread cone, world or local space) and the per-frame step (emission count,
// fading, jitter, movement, growth, instance arrays). No GL here.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <string>

#include "defs/definition_bounds.h"
#include "defs/definition_node.h"
#include "gpu/material.h"
#include "particles/emitter.h"
#include "scene/item.h"

namespace kve::particles {
namespace {

constexpr double kTwoPi = 6.283185307179586;

// splitmix64: small, seedable and well mixed; the top 31 bits give the uniform value.
uint64_t randomState = 0x853C49E6748FEA9Bull;

uint64_t nextRandom()
{
    uint64_t z = (randomState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// Uniform in [-1, 1).
double randomSigned()
{
    return random01() * 2.0 - 1.0;
}

float draw(const float (&range)[2])
{
    return static_cast<float>(range[0] + (static_cast<double>(range[1]) - range[0]) * random01());
}

DefinitionNode* key(DefinitionNode* node, const char* path)
{
    return KVE_FindDefinitionNode(node, path, nullptr, 0);
}

// The ranges emitter keys are held to (kve.h lists them): far beyond any use, a value
// would only exhaust memory or hold the frame, or, as a negative fade-out, keep
// particles alive for ever.
constexpr defs::Bounds kFrequencyBounds{0, 10000};     // particles per second
constexpr defs::Bounds kAngleBounds{0, 180};           // degrees
constexpr defs::Bounds kForceBounds{-1000, 1000};
constexpr defs::Bounds kSpeedBounds{-1000, 1000};      // units per second
constexpr defs::Bounds kRadiusBounds{0, 10000};
constexpr defs::Bounds kIntensityBounds{0, 100};
constexpr defs::Bounds kFadeBounds{0, 1000};           // intensity per second
constexpr defs::Bounds kLifetimeBounds{0, 600};        // seconds
constexpr defs::Bounds kSizeBounds{0, 10};             // units
constexpr defs::Bounds kGrowthBounds{-10, 10};         // units per second
constexpr defs::Bounds kPlacementBounds{-1e6f, 1e6f};  // position and area size

float readFloat(DefinitionNode* node, const char* path, float otherwise, defs::Bounds bounds)
{
    return defs::boundedValue(KVE_GetDefinitionFloat(key(node, path), otherwise), otherwise, bounds, path,
                              kLoadProcedure);
}

void readRange(DefinitionNode* node, const char* path, float (&out)[2], float otherwise, defs::Bounds bounds,
               float scale = 1.0f)
{
    KVE_GetDefinitionRange(key(node, path), out, otherwise, KVE_DEFAULT_FLOAT);
    defs::boundRange(out, otherwise, bounds, path, kLoadProcedure);
    out[0] *= scale;
    out[1] *= scale;
}

KVE_Vector readVector(DefinitionNode* node, const char* path, float x, float y, float z, float w)
{
    KVE_Vector out{x, y, z, w};
    KVE_GetDefinitionVector(key(node, path), &out, x, y, z);
    out.x = defs::boundedValue(out.x, x, kPlacementBounds, path, kLoadProcedure);
    out.y = defs::boundedValue(out.y, y, kPlacementBounds, path, kLoadProcedure);
    out.z = defs::boundedValue(out.z, z, kPlacementBounds, path, kLoadProcedure);
    return out;
}

int areaOf(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    if (text == "BOX")
        return KVE_EMISSION_BOX;
    if (text == "RING")
        return KVE_EMISSION_RING;
    return KVE_EMISSION_POINT;
}

// "Particle\Material": a Material block read as an automatic material; the particles'
// colour defaults to its colour (white without a material).
void readMaterial(EmitterRecord& emitter, DefinitionNode* node)
{
    emitter.material = -1;
    const float white[4] = {1, 1, 1, 1};
    const float* color = white;
    if (DefinitionNode* block = key(node, "Particle\\Material")) {
        if (const KVE_MATERIAL* material = KVE_LoadMaterialDefinition(KVE_AUTO_ID, block, block->value)) {
            emitter.material = material->number;
            emitter.materialName = material->name;
            color = material->color;
        }
    }
    std::copy(color, color + 4, emitter.color);
    if (DefinitionNode* colorKey = key(node, "Particle\\Color"))
        KVE_GetDefinitionColor(colorKey, emitter.color, static_cast<int>(0xFFFFFFFF));
}

void readKeys(EmitterRecord& emitter, DefinitionNode* node)
{
    emitter.areaSize = readVector(node, "Emission\\Size", 0, 0, 0, 0);
    emitter.direction = readVector(node, "Emission\\Direction", 0, 1, 0, 0);
    emitter.position = readVector(node, "Emission\\Position", 0, 0, 0, 1);
    emitter.maxParticles =
        defs::boundedValue(KVE_GetDefinitionInteger(key(node, "Emission\\MaxParticles"), kDefaultMaxParticles), 0,
                           kMaxParticlesLimit, "Emission\\MaxParticles", kLoadProcedure);
    const std::string mode = KVE_GetDefinitionString(key(node, "Emission\\Mode"), "World");
    emitter.mode = mode == "Local" ? KVE_EMITTER_LOCAL : KVE_EMITTER_WORLD;
    emitter.area = areaOf(KVE_GetDefinitionString(key(node, "Emission\\Area"), "Point"));
    emitter.frequency = readFloat(node, "Emission\\Frequency", 1.0f, kFrequencyBounds);
    emitter.angle = readFloat(node, "Emission\\Angle", 0.0f, kAngleBounds);
    emitter.force = readFloat(node, "Emission\\Force", 0.0f, kForceBounds);
    readRange(node, "Emission\\Radius", emitter.radius, 1.0f, kRadiusBounds);
    readMaterial(emitter, node);
    readRange(node, "Particle\\Intensity", emitter.intensity, 1.0f, kIntensityBounds);
    readRange(node, "Particle\\FadeOut", emitter.fadeOut, 0.0f, kFadeBounds);
    readRange(node, "Particle\\FadeIn", emitter.fadeIn, 0.0f, kFadeBounds);
    readRange(node, "Particle\\LifeTime", emitter.lifetime, 1.0f, kLifetimeBounds, 1000.0f);
    readRange(node, "Particle\\Size", emitter.size, 1.0f, kSizeBounds);
    readRange(node, "Particle\\Raise", emitter.growth, 0.0f, kGrowthBounds);
    readRange(node, "Emission\\Velocity", emitter.speed, 1.0f, kSpeedBounds);
}

KVE_Vector cross(const KVE_Vector& a, const KVE_Vector& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x, 0};
}

KVE_Vector turned(KVE_Vector v, const KVE_Matrix& m)
{
    return *KVE_TransformVector(&v, &m);
}

// Death time now + lifetime, kept inside the clock's range.
int32_t deathTime(int now, float lifetime)
{
    const double death = std::nearbyint(static_cast<double>(now) + lifetime);
    if (!(death < std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    return static_cast<int32_t>(std::max(death, static_cast<double>(std::numeric_limits<int32_t>::min())));
}

// Position by area, in the emitter's space.
KVE_Vector areaPosition(const EmitterRecord& emitter, float x, float y, float z)
{
    const KVE_Vector& size = emitter.areaSize;
    if (emitter.area == KVE_EMISSION_BOX) {
        const double rx = randomSigned(), ry = randomSigned(), rz = randomSigned();
        return {static_cast<float>(x + rx * size.x / 2), static_cast<float>(y + ry * size.y / 2),
                static_cast<float>(z + rz * size.z / 2), 1};
    }
    if (emitter.area == KVE_EMISSION_RING) {
        const double a = random01() * kTwoPi;
        // Uniform over the annulus between the two radii: the squared radius is uniform.
        const double outer = emitter.radius[1];
        const double inner = outer > 0 ? std::clamp(emitter.radius[0] / outer, 0.0, 1.0) : 0.0;
        const double u = inner * inner + (1.0 - inner * inner) * random01();
        const double q = outer > 0 ? std::sqrt(u) * outer : 0.0;
        const double r = randomSigned();
        return {static_cast<float>(x + std::cos(a) * q * size.x), static_cast<float>(y + std::sin(a) * q * size.y),
                static_cast<float>(z + r * size.z / 2), 1};
    }
    return {x, y, z, 1};
}

// The spread rotation of one particle: k uniform in [0, angle) gives cos(theta) uniform in
// (1 - 2 angle / 180, 1], so 90 covers the hemisphere and 180 the sphere evenly. Its axes
// are the columns; the third, where +z goes, points into the cone.
KVE_Matrix spreadRotation(float angle)
{
    const double k = random01() * angle;
    const double cosTheta = std::clamp((90.0 - k) / 90.0, -1.0, 1.0);
    const auto theta = static_cast<float>(std::acos(cosTheta));
    const auto phi = static_cast<float>(random01() * kTwoPi);
    const float ct = std::cos(theta), st = std::sin(theta), cp = std::cos(phi), sp = std::sin(phi);
    return {{{cp, sp, 0, 0}, {-ct * sp, ct * cp, st, 0}, {st * sp, -st * cp, ct, 0}, {0, 0, 0, 1}}};
}

void setAlpha(const EmitterRecord& emitter, Particle& particle)
{
    particle.color[3] = emitter.color[3] * particle.intensity;
}

// Emission count due since the last emission. Whole periods only, and the emission time
// advances by exactly those periods, so the remainder carries over to later frames. A
// backlog beyond one frame's capacity is dropped rather than emitted.
int dueEmissions(EmitterRecord& emitter, int now)
{
    if (emitter.lastEmission == 0)
        emitter.lastEmission = now;
    const double frequency = emitter.frequency;
    if (!(frequency > 0) || !std::isfinite(frequency))
        return 0;
    const double due = (static_cast<double>(now) - emitter.lastEmission) * frequency * 0.001;
    if (!(due >= 1.0))
        return 0;
    const int capacity = std::max(emitter.maxParticles, 1);
    if (due >= capacity + 1.0) {
        emitter.lastEmission = now;
        return capacity;
    }
    const auto count = static_cast<int>(due);
    emitter.lastEmission += static_cast<int32_t>(std::llround(count * 1000.0 / frequency));
    return count;
}

// Steps 1 to 4 of one particle's update; false when it has gone.
bool advance(const EmitterRecord& emitter, Particle& p, int now, float h)
{
    if (p.death < now) {
        if (p.fadeOut == 0)
            return false;
        p.intensity -= p.fadeOut * h;
        setAlpha(emitter, p);
        if (!(p.intensity > 0))
            return false;
    } else if (p.fadeIn != 0 && p.intensity < p.targetIntensity) {
        p.intensity = std::min(p.intensity + p.fadeIn * h, p.targetIntensity);
        setAlpha(emitter, p);
    }
    if (emitter.force != 0) {
        const float jitter = emitter.force * h;
        p.velocity.x += static_cast<float>(randomSigned() * jitter);
        p.velocity.y += static_cast<float>(randomSigned() * jitter);
        p.velocity.z += static_cast<float>(randomSigned() * jitter);
    }
    p.position.x += p.velocity.x * h;
    p.position.y += p.velocity.y * h;
    p.position.z += p.velocity.z * h;
    p.size += p.growth * h;
    return true;
}

} // namespace

void seedRandom(uint64_t seed)
{
    randomState = seed;
}

double random01()
{
    return static_cast<double>(nextRandom() >> 33) / 2147483648.0;
}

KVE_Matrix emissionRotation(const KVE_Vector& direction)
{
    KVE_Vector z{direction.x, direction.y, direction.z, 0};
    const float length = std::sqrt(z.x * z.x + z.y * z.y + z.z * z.z);
    if (!(length > 0) || !std::isfinite(length))
        z = {0, 1, 0, 0};
    else
        z = {z.x / length, z.y / length, z.z / length, 0};
    // Any axis not along z serves as the reference for x.
    const KVE_Vector reference = std::abs(z.y) < 0.9f ? KVE_Vector{0, 1, 0, 0} : KVE_Vector{1, 0, 0, 0};
    KVE_Vector x = cross(reference, z);
    KVE_NormalizeVector(&x);
    const KVE_Vector y = cross(z, x);
    return {{x, y, z, {0, 0, 0, 1}}};
}

void initEmitter(EmitterRecord& emitter, DefinitionNode* root)
{
    emitter.emitting = 1;
    emitter.rotation = {0, 0, 0, 1};
    scene::initItem(emitter.item, KVE_ITEM_EMITTER, &emitter.matrix, &emitter.matrix, &emitter.rotation);
    readKeys(emitter, KVE_FindDefinitionNode(root, "ParticleEmitter", nullptr, 0));
    emitter.emissionRotation = emissionRotation(emitter.direction);
    emitter.direction = emitter.emissionRotation.c[2];
    scene::rebuildMatrices({&emitter.item, &emitter.position, nullptr});
    const auto entries = static_cast<size_t>(emitter.maxParticles) + 1;
    emitter.instancePositions.assign(entries, KVE_Vector{});
    emitter.instanceSizes.assign(entries, 0.0f);
    emitter.instanceColors.assign(entries, KVE_Vector{});
    // A steady population of up to max particles then never reallocates.
    emitter.particles.reserve(entries);
}

void emitParticles(EmitterRecord& emitter, int count, float x, float y, float z, int now)
{
    const size_t room = kLiveParticleLimit - std::min(emitter.particles.size(), kLiveParticleLimit);
    const size_t wanted = count > 0 ? std::min(static_cast<size_t>(count), room) : 0;
    if (wanted == 0)
        return;
    const bool world = emitter.mode == KVE_EMITTER_WORLD;
    const KVE_Matrix placement = world ? scene::worldMatrix(emitter.item) : KVE_Matrix{};
    for (size_t i = 0; i < wanted; ++i) {
        Particle p{};
        const KVE_Vector start{0, 0, draw(emitter.speed), 0};
        p.position = areaPosition(emitter, x, y, z);
        if (world)
            p.position = turned(p.position, placement);
        p.velocity = turned(turned(start, spreadRotation(emitter.angle)), emitter.emissionRotation);
        if (world)
            p.velocity = turned(p.velocity, placement);
        KVE_AddVectorXYZ(&p.velocity, &emitter.addedVelocity);
        p.velocity.w = 0;
        p.size = draw(emitter.size);
        p.growth = draw(emitter.growth);
        p.fadeIn = draw(emitter.fadeIn);
        p.fadeOut = draw(emitter.fadeOut);
        p.targetIntensity = draw(emitter.intensity);
        p.intensity = p.fadeIn != 0 ? 0.0f : p.targetIntensity;
        p.death = deathTime(now, draw(emitter.lifetime));
        std::copy(emitter.color, emitter.color + 4, p.color);
        setAlpha(emitter, p);
        emitter.particles.push_back(p);
    }
}

void stepEmitter(EmitterRecord& emitter, int now, float h)
{
    const int due = dueEmissions(emitter, now);
    if (due > 0 && emitter.emitting)
        emitParticles(emitter, due, 0, 0, 0, now);

    // Walk the list front to back (the vector back to front), compacting the survivors
    // toward the vector's end so that the list order is kept without moving twice.
    auto& list = emitter.particles;
    size_t kept = list.size();
    int visible = 0;
    const int capacity = std::min(emitter.maxParticles, static_cast<int>(emitter.instanceSizes.size()));
    for (size_t i = list.size(); i-- > 0;) {
        Particle& p = list[i];
        if (!advance(emitter, p, now, h))
            continue;
        if (visible < capacity) {
            const auto at = static_cast<size_t>(visible++);
            emitter.instancePositions[at] = p.position;
            emitter.instanceSizes[at] = p.size;
            emitter.instanceColors[at] = {p.color[0], p.color[1], p.color[2], p.color[3]};
        }
        if (--kept != i)
            list[kept] = p;
    }
    list.erase(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(kept));
    emitter.visibleCount = visible;
}

} // namespace kve::particles

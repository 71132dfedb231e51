// Shadow view volumes (bounding-box tests against half-spaces) and the signatures of
// shadow renders. The volumes are conservative: a caster is left out only when its
// box lies wholly outside a plane that the rasteriser clips at, so leaving it out
// changes no depth value.
#include "render/shadow_casters.h"

#include <bit>
#include <cmath>
#include <cstring>

#include "geometry/mesh.h"
#include "gpu/material.h"
#include "gpu/texture.h"
#include "render/shader_queues.h"
#include "scene/object.h"

namespace kve::render {
namespace {

// The casters' constant depth offset moves the clip planes by a little under half a
// unit for the directional map's 512-unit depth range; the volumes are widened more.
constexpr float kDepthSlack = 1.0f;
constexpr float kRelativeSlack = 1e-3f;
// Record tags keep the word stream unambiguous: material and object records differ in length.
constexpr uint32_t kMaterialTag = 0x4D415431u, kObjectTag = 0x4F424A31u;

KVE_Vector plane(float x, float y, float z, float d)
{
    return {x, y, z, d};
}

float dot3(const KVE_Vector& a, const KVE_Vector& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

void put(std::vector<uint32_t>& words, float value)
{
    words.push_back(std::bit_cast<uint32_t>(value));
}

void put(std::vector<uint32_t>& words, uint64_t value)
{
    words.push_back(static_cast<uint32_t>(value));
    words.push_back(static_cast<uint32_t>(value >> 32));
}

void put(std::vector<uint32_t>& words, const KVE_Matrix& matrix)
{
    const size_t at = words.size();
    words.resize(at + 16);
    std::memcpy(words.data() + at, &matrix, sizeof matrix);
}

// The state the shadow walk binds for a material (caster choice, culling, texture 0,
// wind), as it would reach the rasteriser.
void putMaterial(std::vector<uint32_t>& words, int kind, const gpu::MaterialRecord& material, bool& textured)
{
    words.push_back(kMaterialTag);
    words.push_back(static_cast<uint32_t>(kind));
    words.push_back(material.backFaceCulling == 0 ? 0u : 1u);
    const auto* texture = gpu::findTexture(material.textures[0]);
    words.push_back(texture ? texture->texture : 0u);
    words.push_back(texture ? texture->target : 0u);
    textured = textured || texture != nullptr;
    if (kind == KVE_SHADER_GRASS)
        for (int i = 0; i < 3; ++i)
            put(words, material.parameters[i]);
}

} // namespace

ShadowVolume cubeFaceVolume(const KVE_Vector& position, int face, float near, float far)
{
    ShadowVolume volume;
    const int axis = face / 2;
    const float sign = face % 2 ? -1.0f : 1.0f;
    float a[3] = {0, 0, 0};
    a[axis] = sign;
    const KVE_Vector forward{a[0], a[1], a[2], 0.0f};
    const float along = dot3(forward, position);
    // Near and far along the face axis, widened for the depth offset.
    volume.planes[volume.count++] = plane(a[0], a[1], a[2], -along - near * 0.9f);
    volume.planes[volume.count++] = plane(-a[0], -a[1], -a[2], along + far * (1.0f + kRelativeSlack));
    // The four 45-degree side planes: the face axis component at least the side one.
    const float half = std::sqrt(0.5f);
    for (int side = 0; side < 3; ++side) {
        if (side == axis)
            continue;
        for (const float s : {1.0f, -1.0f}) {
            float n[3] = {a[0] * half, a[1] * half, a[2] * half};
            n[side] += s * half;
            const KVE_Vector normal{n[0], n[1], n[2], 0.0f};
            volume.planes[volume.count++] = plane(n[0], n[1], n[2], -dot3(normal, position));
        }
    }
    return volume;
}

ShadowVolume orthographicVolume(const KVE_Matrix& lightMatrix, float halfWidth, float near, float far)
{
    ShadowVolume volume;
    const KVE_Vector& right = lightMatrix.c[0];
    const KVE_Vector& up = lightMatrix.c[1];
    const KVE_Vector& back = lightMatrix.c[2];
    const KVE_Vector& eye = lightMatrix.c[3];
    const float side = halfWidth * (1.0f + kRelativeSlack) + kRelativeSlack;
    for (const KVE_Vector* axis : {&right, &up}) {
        const float centre = dot3(*axis, eye);
        volume.planes[volume.count++] = plane(axis->x, axis->y, axis->z, side - centre);
        volume.planes[volume.count++] = plane(-axis->x, -axis->y, -axis->z, side + centre);
    }
    // Depth along -back, from near to far.
    const float centre = dot3(back, eye);
    volume.planes[volume.count++] = plane(-back.x, -back.y, -back.z, centre - (near - kDepthSlack));
    volume.planes[volume.count++] = plane(back.x, back.y, back.z, far + kDepthSlack - centre);
    for (int i = 0; i < volume.count; ++i)
        if (!std::isfinite(volume.planes[i].x + volume.planes[i].y + volume.planes[i].z + volume.planes[i].w))
            return {};
    return volume;
}

bool meetsVolume(const KVE_OBJECT& object, const ShadowVolume& volume)
{
    const auto* mesh = static_cast<const geometry::MeshRecord*>(object.mesh);
    if (volume.count == 0 || !mesh || !mesh->bounded)
        return true;
    const KVE_Matrix world = scene::objectWorldMatrix(object);
    // A projective world matrix has no box bound.
    if (world.c[0].w != 0.0f || world.c[1].w != 0.0f || world.c[2].w != 0.0f || world.c[3].w != 1.0f)
        return true;
    // The mesh box becomes an oriented box: its centre, and its half-edges along the
    // world matrix's columns. Its reach along a plane normal n is sum |n . edge|.
    KVE_Vector centre{0, 0, 0, 1};
    KVE_Vector edges[3];
    for (int axis = 0; axis < 3; ++axis) {
        (&centre.x)[axis] = 0.5f * (mesh->boundsLow[axis] + mesh->boundsHigh[axis]);
        const float half = 0.5f * (mesh->boundsHigh[axis] - mesh->boundsLow[axis]);
        edges[axis] = {world.c[axis].x * half, world.c[axis].y * half, world.c[axis].z * half, 0.0f};
    }
    KVE_TransformVector(&centre, &world);
    for (int i = 0; i < volume.count; ++i) {
        const KVE_Vector& p = volume.planes[i];
        const float reach = std::fabs(dot3(p, edges[0])) + std::fabs(dot3(p, edges[1])) + std::fabs(dot3(p, edges[2]));
        const float distance = dot3(p, centre) + p.w;
        // Widened for rounding in the transform; a non-finite box is never left out.
        if (std::isfinite(distance + reach) && distance + reach * (1.0f + kRelativeSlack) + kRelativeSlack < 0.0f)
            return false;
    }
    return true;
}

bool castsInto(const KVE_OBJECT& object, int kind, ObjectFilter filter, const ShadowVolume* volume)
{
    if (!passesFilter(object, filter))
        return false;
    // The wind caster moves vertices away from the mesh's bounds.
    return !volume || kind == KVE_SHADER_GRASS || meetsVolume(object, *volume);
}

void buildShadowSignature(ShadowSignature& out, const KVE_Matrix& projection, const KVE_Matrix& worldToLightView,
                          ObjectFilter filter, const ShadowVolume& volume)
{
    std::vector<uint32_t>& words = out.words;
    words.clear();
    put(words, projection);
    put(words, worldToLightView);
    const size_t header = words.size();
    bool textured = false;
    for (const int queue : {KVE_QUEUE_GBUFFER, KVE_QUEUE_FORWARD})
        for (const QueueElement& element : shaderQueue(queue)) {
            if (!element.program)
                continue;
            const int kind = element.program->kind;
            for (const QueuedMaterial& queued : element.materials) {
                bool materialPut = false;
                for (const KVE_OBJECT* object : queued.objects) {
                    const auto* mesh = static_cast<const geometry::MeshRecord*>(object->mesh);
                    if (!mesh || !mesh->finished() || mesh->indexCount <= 0 ||
                        !castsInto(*object, kind, filter, &volume))
                        continue;
                    if (!materialPut)
                        putMaterial(words, kind, *queued.material, textured);
                    materialPut = true;
                    words.push_back(kObjectTag);
                    put(words, mesh->uploadGeneration);
                    words.push_back(mesh->vertexArray);
                    words.push_back(static_cast<uint32_t>(mesh->indexCount));
                    put(words, scene::objectWorldMatrix(*object));
                }
            }
        }
    out.empty = words.size() == header;
    if (out.empty)
        words.clear(); // a cleared face looks the same from any light
    else if (textured)
        put(words, gpu::textureUploadCount());
}

} // namespace kve::render

// Shadow view volumes (bounding-box tests against half-spaces) and the signatures of
// shadow renders. The volumes are conservative: a caster is left out only when its
// box lies wholly outside a plane that the rasteriser clips at, so leaving it out
// changes no depth value.
#include "render/shadow_casters.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <numeric>

#include "geometry/mesh.h"
#include "gpu/material.h"
#include "gpu/texture.h"
#include "render/shader_queues.h"
#include "render/view_culling.h"
#include "scene/object.h"

namespace kve::render {
namespace {

// The casters' constant depth offset moves the clip planes by a little under half a
// unit for the directional map's 512-unit depth range; the volumes are widened more.
constexpr float kDepthSlack = 1.0f;
constexpr float kRelativeSlack = 1e-3f;
// Record tags keep the word stream unambiguous: material and object records differ in length.
constexpr uint32_t kMaterialTag = 0x4D415431u, kObjectTag = 0x4F424A31u;
// Pixels added around a projected box: a pixel is drawn when its centre is covered,
// and the shader's transform rounds differently from this one.
constexpr int kRectMargin = 2;
// A partial redraw clears each rectangle; beyond this many they are merged, and beyond
// this share of the map it is drawn whole.
constexpr size_t kMaxChangedRects = 32;
constexpr double kMaxChangedShare = 0.8;

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

uint64_t hashWords(const uint32_t* words, size_t count, uint64_t hash)
{
    for (size_t i = 0; i < count; ++i)
        hash = (hash ^ words[i]) * 0x100000001B3ull; // FNV-1a over words
    return hash;
}

bool sameCaster(const ShadowSignature& a, const ShadowCaster& x, const ShadowSignature& b, const ShadowCaster& y)
{
    const auto same = [&](uint32_t aBegin, uint32_t aEnd, uint32_t bBegin, uint32_t bEnd) {
        return aEnd - aBegin == bEnd - bBegin &&
               std::equal(a.words.begin() + aBegin, a.words.begin() + aEnd, b.words.begin() + bBegin);
    };
    return x.hash == y.hash && same(x.material, x.materialEnd, y.material, y.materialEnd) &&
           same(x.begin, x.end, y.begin, y.end);
}

ShadowRect unite(const ShadowRect& a, const ShadowRect& b)
{
    return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
}

bool overlap(const ShadowRect& a, const ShadowRect& b)
{
    return a.x0 < b.x1 && b.x0 < a.x1 && a.y0 < b.y1 && b.y0 < a.y1;
}

// Replaces overlapping rectangles by their unions until none overlap.
void mergeOverlapping(std::vector<ShadowRect>& rects)
{
    size_t i = 0;
    while (i < rects.size()) {
        size_t j = 0;
        while (j < rects.size() && (j == i || !overlap(rects[i], rects[j])))
            ++j;
        if (j == rects.size()) {
            ++i;
            continue;
        }
        rects[i] = unite(rects[i], rects[j]);
        rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(j));
        i = 0; // the union may meet rectangles already passed
    }
}

// Merges overlapping rectangles, then the pairs whose union adds least, until at most
// kMaxChangedRects remain.
void mergeRects(std::vector<ShadowRect>& rects)
{
    mergeOverlapping(rects);
    while (rects.size() > kMaxChangedRects) {
        size_t bestI = 0, bestJ = 1;
        long long bestGrowth = -1;
        for (size_t i = 0; i < rects.size(); ++i)
            for (size_t j = i + 1; j < rects.size(); ++j) {
                const long long growth = unite(rects[i], rects[j]).area() - rects[i].area() - rects[j].area();
                if (bestGrowth < 0 || growth < bestGrowth)
                    bestGrowth = growth, bestI = i, bestJ = j;
            }
        rects[bestI] = unite(rects[bestI], rects[bestJ]);
        rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(bestJ));
        mergeOverlapping(rects);
    }
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
    return !outsideVolume(object, scene::objectWorldMatrix(object), volume);
}

ShadowRect casterRect(const KVE_OBJECT& object, int kind, const KVE_Matrix& viewProjection, int size)
{
    const ShadowRect whole{0, 0, size, size};
    const auto* mesh = static_cast<const geometry::MeshRecord*>(object.mesh);
    // The wind caster moves vertices away from the mesh's bounds.
    if (kind == KVE_SHADER_GRASS || !mesh || !mesh->bounded)
        return whole;
    const KVE_Matrix world = scene::objectWorldMatrix(object);
    KVE_Matrix toClip;
    KVE_MultiplyMatrix(&toClip, &viewProjection, &world);
    float low[2] = {INFINITY, INFINITY}, high[2] = {-INFINITY, -INFINITY};
    for (int corner = 0; corner < 8; ++corner) {
        KVE_Vector point{corner & 1 ? mesh->boundsHigh[0] : mesh->boundsLow[0],
                         corner & 2 ? mesh->boundsHigh[1] : mesh->boundsLow[1],
                         corner & 4 ? mesh->boundsHigh[2] : mesh->boundsLow[2], 1.0f};
        KVE_TransformVector(&point, &toClip);
        // Near or behind the eye the projection does not bound the box.
        if (!(point.w > 1e-4f))
            return whole;
        for (int axis = 0; axis < 2; ++axis) {
            const float pixel = ((&point.x)[axis] / point.w * 0.5f + 0.5f) * static_cast<float>(size);
            low[axis] = std::min(low[axis], pixel);
            high[axis] = std::max(high[axis], pixel);
        }
    }
    if (!std::isfinite(low[0] + low[1] + high[0] + high[1]) || std::fabs(low[0]) > 1e6f ||
        std::fabs(low[1]) > 1e6f || std::fabs(high[0]) > 1e6f || std::fabs(high[1]) > 1e6f)
        return whole;
    const auto clamp = [size](float pixel) { return std::clamp(static_cast<int>(pixel), 0, size); };
    ShadowRect rect{clamp(std::floor(low[0]) - kRectMargin), clamp(std::floor(low[1]) - kRectMargin),
                    clamp(std::ceil(high[0]) + kRectMargin), clamp(std::ceil(high[1]) + kRectMargin)};
    return rect.empty() ? ShadowRect{} : rect;
}

bool castsInto(const KVE_OBJECT& object, int kind, ObjectFilter filter, const ShadowVolume* volume)
{
    if (!passesFilter(object, filter))
        return false;
    if (!volume)
        return true;
    // The wind caster moves vertices away from the mesh's bounds.
    if (kind != KVE_SHADER_GRASS && !meetsVolume(object, *volume))
        return false;
    if (!volume->clips)
        return true;
    const ShadowRect rect = casterRect(object, kind, volume->viewProjection, volume->size);
    const bool large = rect.area() > volume->largeArea;
    if (volume->clip >= 0)
        return large && overlap(rect, (*volume->clips)[static_cast<size_t>(volume->clip)]);
    return !large && std::any_of(volume->clips->begin(), volume->clips->end(),
                                 [&rect](const ShadowRect& clip) { return overlap(rect, clip); });
}

void buildShadowSignature(ShadowSignature& out, const KVE_Matrix& projection, const KVE_Matrix& worldToLightView,
                          ObjectFilter filter, const ShadowVolume& volume)
{
    std::vector<uint32_t>& words = out.words;
    words.clear();
    out.casters.clear();
    put(words, projection);
    put(words, worldToLightView);
    const size_t header = words.size();
    out.header = static_cast<uint32_t>(header);
    bool textured = false;
    for (const int queue : {KVE_QUEUE_GBUFFER, KVE_QUEUE_FORWARD})
        for (const QueueElement& element : shaderQueue(queue)) {
            if (!element.program)
                continue;
            const int kind = element.program->kind;
            for (const QueuedMaterial& queued : element.materials) {
                bool materialPut = false;
                uint32_t material = 0, materialEnd = 0;
                uint64_t materialHash = 0;
                for (const KVE_OBJECT* object : queued.objects) {
                    const auto* mesh = static_cast<const geometry::MeshRecord*>(object->mesh);
                    if (!mesh || !mesh->finished() || mesh->indexCount <= 0 ||
                        !castsInto(*object, kind, filter, &volume))
                        continue;
                    if (!materialPut) {
                        material = static_cast<uint32_t>(words.size());
                        putMaterial(words, kind, *queued.material, textured);
                        materialEnd = static_cast<uint32_t>(words.size());
                        materialHash = hashWords(words.data() + material, materialEnd - material, 0xCBF29CE484222325ull);
                    }
                    materialPut = true;
                    ShadowCaster caster{material, materialEnd, static_cast<uint32_t>(words.size()), 0, 0, {}};
                    words.push_back(kObjectTag);
                    put(words, mesh->uploadGeneration);
                    words.push_back(mesh->vertexArray);
                    words.push_back(static_cast<uint32_t>(mesh->indexCount));
                    put(words, scene::objectWorldMatrix(*object));
                    caster.end = static_cast<uint32_t>(words.size());
                    caster.hash = hashWords(words.data() + caster.begin, caster.end - caster.begin, materialHash);
                    caster.rect = casterRect(*object, kind, volume.viewProjection, volume.size);
                    out.casters.push_back(caster);
                }
            }
        }
    out.empty = words.size() == header;
    if (out.empty)
        words.clear(); // a cleared face looks the same from any light
    else if (textured)
        put(words, gpu::textureUploadCount());
}

bool changedRects(const ShadowSignature& before, const ShadowSignature& now, int size,
                  std::vector<ShadowRect>& rects)
{
    rects.clear();
    if (before.empty || now.empty || before.header != now.header ||
        !std::equal(now.words.begin(), now.words.begin() + now.header, before.words.begin()))
        return false;
    // What follows the last caster (the texture upload count) must agree too.
    const uint32_t beforeTail = before.casters.back().end, nowTail = now.casters.back().end;
    if (!std::equal(now.words.begin() + nowTail, now.words.end(), before.words.begin() + beforeTail,
                    before.words.end()))
        return false;

    // Pair equal casters through their hashes; what stays unpaired changed.
    const auto byHash = [](const ShadowSignature& signature) {
        std::vector<uint32_t> order(signature.casters.size());
        for (uint32_t i = 0; i < order.size(); ++i)
            order[i] = i;
        std::sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
            return signature.casters[a].hash < signature.casters[b].hash;
        });
        return order;
    };
    const std::vector<uint32_t> old = byHash(before), fresh = byHash(now);
    size_t i = 0, j = 0;
    const auto changed = [&rects](const ShadowCaster& caster) {
        if (!caster.rect.empty())
            rects.push_back(caster.rect);
    };
    while (i < old.size() || j < fresh.size()) {
        const ShadowCaster* a = i < old.size() ? &before.casters[old[i]] : nullptr;
        const ShadowCaster* b = j < fresh.size() ? &now.casters[fresh[j]] : nullptr;
        if (a && b && sameCaster(before, *a, now, *b)) {
            ++i, ++j;
        } else if (a && (!b || a->hash <= b->hash)) {
            changed(*a);
            ++i;
        } else {
            changed(*b);
            ++j;
        }
    }
    long long area = 0;
    if (rects.size() > 64) // many changes: one rectangle around them all
        rects.assign(1, std::accumulate(rects.begin() + 1, rects.end(), rects.front(), unite));
    mergeRects(rects);
    for (const ShadowRect& rect : rects)
        area += rect.area();
    return static_cast<double>(area) <= kMaxChangedShare * static_cast<double>(size) * size;
}

} // namespace kve::render

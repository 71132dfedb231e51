// The direct-light quad and the point-light icosphere with its instance stream.
#include "render/light_volumes.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <map>
#include <utility>
#include <vector>

#include "core/engine.h"
#include "platform/gl.h"

namespace kve::render {
namespace {

LightVolumes volumes;

KVE_Vector unitPoint(float x, float y, float z)
{
    const float length = std::sqrt(x * x + y * y + z * z);
    return {x / length, y / length, z / length, 1.0f};
}

Icosphere makeIcosphere()
{
    Icosphere sphere{};
    std::vector<KVE_Vector> points = {{0, 0, 0, 1}, {0, 1, 0, 1}, {0, -1, 0, 1}};
    // Two rings of five at height +-1/sqrt(5), the lower one turned by 36 degrees.
    const float ringHeight = 1.0f / std::sqrt(5.0f);
    const float ringRadius = 2.0f / std::sqrt(5.0f);
    const float step = 2.0f * 3.14159265358979f / 5.0f;
    for (int ring = 0; ring < 2; ++ring)
        for (int i = 0; i < 5; ++i) {
            const float angle = step * (static_cast<float>(i) + 0.5f * static_cast<float>(ring));
            points.push_back({ringRadius * std::cos(angle), ring == 0 ? ringHeight : -ringHeight,
                              ringRadius * std::sin(angle), 1.0f});
        }
    const auto upper = [](int i) { return 3 + (i % 5); };
    const auto lower = [](int i) { return 8 + (i % 5); };
    std::vector<std::array<int, 3>> faces;
    for (int i = 0; i < 5; ++i) {
        faces.push_back({1, upper(i), upper(i + 1)});
        faces.push_back({upper(i), lower(i), upper(i + 1)});
        faces.push_back({upper(i + 1), lower(i), lower(i + 1)});
        faces.push_back({2, lower(i + 1), lower(i)});
    }
    // Each edge's midpoint is made once and shared by the two faces beside it.
    std::map<std::pair<int, int>, int> midpoints;
    const auto midpoint = [&](int a, int b) {
        const auto key = std::minmax(a, b);
        if (auto found = midpoints.find(key); found != midpoints.end())
            return found->second;
        const KVE_Vector& p = points[static_cast<size_t>(a)];
        const KVE_Vector& q = points[static_cast<size_t>(b)];
        points.push_back(unitPoint(p.x + q.x, p.y + q.y, p.z + q.z));
        return midpoints[key] = static_cast<int>(points.size()) - 1;
    };
    size_t next = 0;
    const auto emit = [&](int a, int b, int c) {
        // Wind every triangle counter-clockwise seen from outside.
        const KVE_Vector &p = points[static_cast<size_t>(a)], &q = points[static_cast<size_t>(b)],
                         &r = points[static_cast<size_t>(c)];
        const float ux = q.x - p.x, uy = q.y - p.y, uz = q.z - p.z;
        const float vx = r.x - p.x, vy = r.y - p.y, vz = r.z - p.z;
        const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        const bool outward = nx * (p.x + q.x + r.x) + ny * (p.y + q.y + r.y) + nz * (p.z + q.z + r.z) > 0.0f;
        sphere.indices[next++] = static_cast<uint32_t>(a);
        sphere.indices[next++] = static_cast<uint32_t>(outward ? b : c);
        sphere.indices[next++] = static_cast<uint32_t>(outward ? c : b);
    };
    for (const auto& [a, b, c] : faces) {
        const int ab = midpoint(a, b), bc = midpoint(b, c), ca = midpoint(c, a);
        emit(a, ab, ca);
        emit(ab, b, bc);
        emit(ca, bc, c);
        emit(ab, bc, ca);
    }
    for (size_t i = 0; i < sphere.vertices.size(); ++i)
        sphere.vertices[i] = points[i];
    return sphere;
}

void enableFloats(unsigned location, int size, int stride, size_t offset)
{
    glEnableVertexAttribArray(location);
    glVertexAttribPointer(location, size, GL_FLOAT, GL_FALSE, stride, reinterpret_cast<const void*>(offset));
}

} // namespace

const Icosphere& unitIcosphere()
{
    static const Icosphere sphere = makeIcosphere();
    return sphere;
}

const LightVolumes& lightVolumes()
{
    return volumes;
}

void fillDirectLightQuad()
{
    const auto& screen = engine::state();
    const float w = static_cast<float>(screen.screenWidth), h = static_cast<float>(screen.screenHeight);
    const KVE_Vector corners[4] = {{0, 0, 0, 1}, {0, h, 0, 1}, {w, 0, 0, 1}, {w, h, 0, 1}};
    glBindBuffer(GL_ARRAY_BUFFER, volumes.quadBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
}

void buildDirectLightQuad()
{
    glGenVertexArrays(1, &volumes.quadArray);
    glBindVertexArray(volumes.quadArray);
    glGenBuffers(1, &volumes.quadBuffer);
    fillDirectLightQuad();
    enableFloats(0, 4, 16, 0);
    glBindVertexArray(0);
}

void buildPointLightVolume()
{
    const Icosphere& sphere = unitIcosphere();
    glGenVertexArrays(1, &volumes.sphereArray);
    glBindVertexArray(volumes.sphereArray);
    glGenBuffers(1, &volumes.sphereBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, volumes.sphereBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof sphere.vertices, sphere.vertices.data(), GL_STATIC_DRAW);
    enableFloats(0, 4, 16, 0);
    glGenBuffers(1, &volumes.sphereIndices);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, volumes.sphereIndices);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof sphere.indices, sphere.indices.data(), GL_STATIC_DRAW);

    glGenBuffers(1, &volumes.instanceBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, volumes.instanceBuffer);
    glBufferData(GL_ARRAY_BUFFER, kPointLightInstances * sizeof(PointLightInstance), nullptr, GL_STREAM_DRAW);
    constexpr int stride = sizeof(PointLightInstance);
    for (unsigned column = 0; column < 4; ++column)
        enableFloats(7 + column, 4, stride, 16 * column);
    enableFloats(11, 3, stride, offsetof(PointLightInstance, position));
    enableFloats(12, 1, stride, offsetof(PointLightInstance, range));
    enableFloats(13, 3, stride, offsetof(PointLightInstance, color));
    enableFloats(14, 1, stride, offsetof(PointLightInstance, intensity));
    for (unsigned location = 7; location <= 14; ++location)
        glVertexAttribDivisor(location, 1);
    glBindVertexArray(0);
}

void deleteLightVolumes()
{
    if (volumes.quadArray)
        glDeleteVertexArrays(1, &volumes.quadArray);
    if (volumes.sphereArray)
        glDeleteVertexArrays(1, &volumes.sphereArray);
    for (unsigned buffer : {volumes.quadBuffer, volumes.sphereBuffer, volumes.sphereIndices, volumes.instanceBuffer})
        if (buffer)
            glDeleteBuffers(1, &buffer);
    volumes = LightVolumes{};
}

void drawDirectLightQuad()
{
    glBindVertexArray(volumes.quadArray);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void drawPointLightInstances(const PointLightInstance* instances, int count)
{
    if (count <= 0)
        return;
    if (count > kPointLightInstances)
        count = kPointLightInstances;
    glBindBuffer(GL_ARRAY_BUFFER, volumes.instanceBuffer);
    // Orphan the stream so the driver need not wait for the previous batch.
    glBufferData(GL_ARRAY_BUFFER, kPointLightInstances * sizeof(PointLightInstance), nullptr, GL_STREAM_DRAW);
    glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(count * sizeof(PointLightInstance)), instances);
    glBindVertexArray(volumes.sphereArray);
    glDrawElementsInstanced(GL_TRIANGLES, kIcosphereIndexCount, GL_UNSIGNED_INT, nullptr, count);
}

void drawPointLightVolume()
{
    glBindVertexArray(volumes.sphereArray);
    glDrawElements(GL_TRIANGLES, kIcosphereIndexCount, GL_UNSIGNED_INT, nullptr);
}

} // namespace kve::render

// Debug line queueing: segments, triangle outlines, boxes, axis crosses and wire spheres,
// each queued vertex by vertex in a fixed order.
#include "render/lines.h"

#include <array>
#include <cmath>

#include "core/math.h"
#include "platform/gl.h"
#include "render/builtin_programs.h"
#include "render/uniform_blocks.h"
#include "scene/camera.h"

namespace kve::render {
namespace {

LineQueue queue;

void segment(float x1, float y1, float z1, float x2, float y2, float z2, int color)
{
    queueLineVertex(x1, y1, z1, color);
    queueLineVertex(x2, y2, z2, color);
}

void triangle(const float (&p)[9], const int (&colors)[3])
{
    for (int edge = 0; edge < 3; ++edge) {
        const int a = edge, b = (edge + 1) % 3;
        queueLineVertex(p[a * 3], p[a * 3 + 1], p[a * 3 + 2], colors[a]);
        queueLineVertex(p[b * 3], p[b * 3 + 1], p[b * 3 + 2], colors[b]);
    }
}

// Twelve edges: the face z = z1, the face z = z2, then the four edges along z.
void box(float x1, float y1, float z1, float x2, float y2, float z2, int color)
{
    const float xs[4] = {x1, x2, x2, x1}, ys[4] = {y1, y1, y2, y2};
    for (float z : {z1, z2})
        for (int i = 0; i < 4; ++i)
            segment(xs[i], ys[i], z, xs[(i + 1) % 4], ys[(i + 1) % 4], z, color);
    for (int i = 0; i < 4; ++i)
        segment(xs[i], ys[i], z1, xs[i], ys[i], z2, color);
}

constexpr int kCrossColors[3] = {static_cast<int>(0xC00000FF), static_cast<int>(0xC0FF0000),
                                 static_cast<int>(0xC000FF00)};

void cross(float x, float y, float z, float s, const int (&colors)[3])
{
    segment(x - s, y, z, x + s, y, z, colors[0]);
    segment(x, y - s, z, x, y + s, z, colors[1]);
    segment(x, y, z - s, x, y, z + s, colors[2]);
}

// Five latitudes from -60 to +60 degrees, three rings each (about x, z and y), every ring
// twelve chords of 30 degrees.
void sphere(float cx, float cy, float cz, float r, int color)
{
    struct Turn {
        float cosine, sine;
    };
    static const auto turns = [] {
        std::array<Turn, 13> table{};
        for (int step = 0; step <= 12; ++step) {
            const float theta = static_cast<float>(step * 30) * math::kDegreesToRadians;
            table[static_cast<size_t>(step)] = {std::cos(theta), std::sin(theta)};
        }
        return table;
    }();
    for (int latitude = -60; latitude <= 60; latitude += 30) {
        const float phi = static_cast<float>(latitude) * math::kDegreesToRadians;
        const float rho = r * std::cos(phi), h = r * std::sin(phi);
        for (int ring = 0; ring < 3; ++ring)
            for (int chord = 0; chord < 12; ++chord)
                for (int end = 0; end < 2; ++end) {
                    const Turn& turn = turns[static_cast<size_t>(chord + end)];
                    const float c = rho * turn.cosine, s = rho * turn.sine;
                    if (ring == 0)
                        queueLineVertex(cx + h, cy + c, cz + s, color);
                    else if (ring == 1)
                        queueLineVertex(cx + c, cy + s, cz + h, color);
                    else
                        queueLineVertex(cx + s, cy + h, cz + c, color);
                }
    }
}

} // namespace

LineQueue& lineQueue()
{
    return queue;
}

void queueLineVertex(float x, float y, float z, int color)
{
    const int index = ++queue.lastIndex;
    if (queue.vertices.size() < static_cast<size_t>(index) + 1)
        queue.vertices.resize(static_cast<size_t>(index) + 258);
    LineVertex& vertex = queue.vertices[static_cast<size_t>(index)];
    vertex.position = {x, y, z, 1.0f};
    if (queue.transformOn)
        KVE_TransformVector(&vertex.position, &queue.transform);
    KVE_ColorToVector(&vertex.color, color);
}

std::vector<int> lineChunks(int vertexCount, int capacity)
{
    std::vector<int> chunks;
    if (vertexCount <= 0 || capacity <= 0)
        return chunks;
    const int full = vertexCount / capacity;
    chunks.assign(static_cast<size_t>(full), capacity);
    chunks.push_back(vertexCount - full * capacity);
    return chunks;
}

void deleteLines()
{
    if (queue.vertexArray)
        glDeleteVertexArrays(1, &queue.vertexArray);
    if (queue.vertexBuffer)
        glDeleteBuffers(1, &queue.vertexBuffer);
    queue = LineQueue{};
}

} // namespace kve::render

using kve::render::queue;

extern "C" {

void KVE_InitLines(void)
{
    kve::render::deleteLines();
    queue.chunkCapacity = kve::render::kLineChunkVertices;
    queue.vertices.resize(static_cast<size_t>(queue.chunkCapacity) + 1);
    glGenVertexArrays(1, &queue.vertexArray);
    glBindVertexArray(queue.vertexArray);
    glGenBuffers(1, &queue.vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, queue.vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(queue.chunkCapacity * sizeof(kve::render::LineVertex)),
                 nullptr, GL_STREAM_DRAW);
    constexpr GLsizei kStride = sizeof(kve::render::LineVertex);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, kStride, nullptr);
    glVertexAttribPointer(4, 4, GL_FLOAT, GL_FALSE, kStride, reinterpret_cast<const void*>(16));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(4);
    glBindVertexArray(0);
    queue.lineWidth = 1.0f;
}

void KVE_SetLineWidth(float width)
{
    queue.lineWidth = width;
}

void KVE_SetLineTransform(const KVE_Matrix* matrix)
{
    queue.transformOn = matrix ? 1 : 0;
    if (matrix)
        queue.transform = *matrix;
}

int KVE_DrawLine3D(float x1, float y1, float z1, float x2, float y2, float z2, int color)
{
    kve::render::segment(x1, y1, z1, x2, y2, z2, color);
    return 0;
}

int KVE_DrawLineV(const KVE_Vector* a, const KVE_Vector* b, int color)
{
    kve::render::segment(a->x, a->y, a->z, b->x, b->y, b->z, color);
    return 0;
}

int KVE_DrawTriangle3D(float x1, float y1, float z1, float x2, float y2, float z2, float x3, float y3, float z3,
                       int color)
{
    kve::render::triangle({x1, y1, z1, x2, y2, z2, x3, y3, z3}, {color, color, color});
    return 0;
}

int KVE_DrawTriangleV(const KVE_Vector* a, const KVE_Vector* b, const KVE_Vector* c, int color)
{
    return KVE_DrawTriangleColorsV(a, b, c, color, color, color);
}

int KVE_DrawTriangleColorsV(const KVE_Vector* a, const KVE_Vector* b, const KVE_Vector* c, int colorA, int colorB,
                            int colorC)
{
    kve::render::triangle({a->x, a->y, a->z, b->x, b->y, b->z, c->x, c->y, c->z}, {colorA, colorB, colorC});
    return 0;
}

int KVE_DrawBox3D(float x1, float y1, float z1, float x2, float y2, float z2, int color)
{
    kve::render::box(x1, y1, z1, x2, y2, z2, color);
    return 0;
}

int KVE_DrawBoxV(const KVE_Vector* a, const KVE_Vector* b, int color)
{
    kve::render::box(a->x, a->y, a->z, b->x, b->y, b->z, color);
    return 0;
}

int KVE_DrawCross3D(float x, float y, float z, float size)
{
    kve::render::cross(x, y, z, size, kve::render::kCrossColors);
    return 0;
}

int KVE_DrawCross3DColor(float x, float y, float z, float size, int color)
{
    kve::render::cross(x, y, z, size, {color, color, color});
    return 0;
}

int KVE_DrawCrossV(const KVE_Vector* point, float size)
{
    return KVE_DrawCross3D(point->x, point->y, point->z, size);
}

int KVE_DrawCrossVColor(const KVE_Vector* point, float size, int color)
{
    return KVE_DrawCross3DColor(point->x, point->y, point->z, size, color);
}

int KVE_DrawSphere3D(float x, float y, float z, float radius, int color)
{
    kve::render::sphere(x, y, z, radius, color);
    return 0;
}

int KVE_DrawSphereV(const KVE_Vector* center, float radius, int color)
{
    return KVE_DrawSphere3D(center->x, center->y, center->z, radius, color);
}

int KVE_DrawLines(void)
{
    if (const ShaderProgram* program = kve::render::builtinProgram(KVE_SHADER_DRAWING))
        glUseProgram(program->program);
    kve::render::writeModelMatrix(kve::scene::cameraViewMatrix());
    if (queue.lastIndex < 0 || !queue.vertexArray)
        return 0;
    glLineWidth(queue.lineWidth);
    glBindVertexArray(queue.vertexArray);
    glBindBuffer(GL_ARRAY_BUFFER, queue.vertexBuffer);
    const auto* first = queue.vertices.data();
    for (int count : kve::render::lineChunks(queue.lastIndex + 1, queue.chunkCapacity)) {
        if (count > 0) {
            glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(count * sizeof *first), first);
            glDrawArrays(GL_LINES, 0, count);
        }
        first += count;
    }
    queue.lastIndex = -1;
    glBindVertexArray(0);
    return 0;
}

int KVE_GetLineVertexCount(void)
{
    return queue.lastIndex + 1;
}

} // extern "C"

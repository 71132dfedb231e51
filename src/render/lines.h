// The debug line queue: coloured 3D segments gathered during a frame in the GPU's vertex
// layout and drawn once per frame with the Drawing program in chunks of 8192 vertices.
#pragma once

#include <vector>

#include "kve.h"

namespace kve::render {

// 32 bytes, the vertex buffer's layout: position (x, y, z, 1) at attribute 0, colour
// (red, green, blue, alpha in 0..1) at attribute 4.
struct LineVertex {
    KVE_Vector position;
    KVE_Vector color;
};
static_assert(sizeof(LineVertex) == 32);

inline constexpr int kLineChunkVertices = 8192;

struct LineQueue {
    std::vector<LineVertex> vertices; // never shrinks
    int lastIndex = -1;               // index of the last queued vertex; -1 when empty
    int chunkCapacity = kLineChunkVertices;
    float lineWidth = 1.0f;
    int transformOn = 0;
    KVE_Matrix transform{};
    unsigned vertexArray = 0, vertexBuffer = 0;
};

LineQueue& lineQueue();

// Appends one vertex: through the transform when it is on, with the packed colour in floats.
void queueLineVertex(float x, float y, float z, int color);

// How the queued vertices are cut into draws: the vertex count of each chunk j = 0..k with
// k = n div capacity (the last may be 0 and is then not drawn).
std::vector<int> lineChunks(int vertexCount, int capacity);

// Deletes the GPU objects and empties the queue (engine shutdown).
void deleteLines();

} // namespace kve::render

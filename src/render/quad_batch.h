// The shared batch for textured quads (sprites' text glyphs): 256 quads of four
// 24-byte vertices (position vec4 at attribute 0, texture coordinate vec2 at attribute 2)
// over a static index list of two triangles per quad.
#pragma once

#include <array>
#include <cstdint>

namespace kve::render {

constexpr int kQuadBatchQuads = 256;
constexpr int kQuadBatchVertexBytes = 24;
constexpr int kQuadBatchIndexCount = kQuadBatchQuads * 6;

struct QuadBatch {
    unsigned vertexArray = 0;
    unsigned vertexBuffer = 0;
    unsigned indexBuffer = 0;
};

// The index list: for quad q, 4q+3, 4q+1, 4q, 4q+3, 4q+2, 4q+1.
std::array<uint32_t, kQuadBatchIndexCount> quadBatchIndices();

void createQuadBatch();
void deleteQuadBatch();
const QuadBatch& quadBatch();

} // namespace kve::render

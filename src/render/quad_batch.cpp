#include "render/quad_batch.h"

#include "platform/gl.h"

namespace kve::render {
namespace {

QuadBatch batch;

} // namespace

std::array<uint32_t, kQuadBatchIndexCount> quadBatchIndices()
{
    std::array<uint32_t, kQuadBatchIndexCount> indices{};
    for (uint32_t q = 0; q < kQuadBatchQuads; ++q) {
        const uint32_t corners[6] = {4 * q + 3, 4 * q + 1, 4 * q, 4 * q + 3, 4 * q + 2, 4 * q + 1};
        for (int i = 0; i < 6; ++i)
            indices[q * 6 + i] = corners[i];
    }
    return indices;
}

void createQuadBatch()
{
    const auto indices = quadBatchIndices();
    glGenVertexArrays(1, &batch.vertexArray);
    glBindVertexArray(batch.vertexArray);
    glGenBuffers(1, &batch.vertexBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, batch.vertexBuffer);
    glBufferData(GL_ARRAY_BUFFER, kQuadBatchQuads * 4 * kQuadBatchVertexBytes, nullptr, GL_DYNAMIC_DRAW);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, kQuadBatchVertexBytes, nullptr);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, kQuadBatchVertexBytes, reinterpret_cast<const void*>(16));
    glEnableVertexAttribArray(0);
    glEnableVertexAttribArray(2);
    glGenBuffers(1, &batch.indexBuffer);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, batch.indexBuffer);
    glBufferData(GL_ELEMENT_ARRAY_BUFFER, sizeof indices, indices.data(), GL_STATIC_DRAW);
    glBindVertexArray(0);
}

void deleteQuadBatch()
{
    if (batch.vertexArray)
        glDeleteVertexArrays(1, &batch.vertexArray);
    if (batch.vertexBuffer)
        glDeleteBuffers(1, &batch.vertexBuffer);
    if (batch.indexBuffer)
        glDeleteBuffers(1, &batch.indexBuffer);
    batch = QuadBatch{};
}

const QuadBatch& quadBatch()
{
    return batch;
}

} // namespace kve::render

#include "render/draw_batch.h"

#include <cstring>

#include "geometry/mesh.h"
#include "platform/gl.h"
#include "render/frame_settings.h"
#include "render/uniform_blocks.h"

namespace kve::render {

void drawBatch(const std::vector<BatchedDraw>& draws, const KVE_Matrix& view)
{
    if (draws.empty())
        return;
    UniformBlockBuffer& model = uniformBlock(Block::Model);
    if (model.buffer == 0)
        return;
    // Uploading every block into one buffer and binding a range of it per draw makes
    // llvmpipe copy constants per draw (ten times slower than this in the draw-cost
    // benchmark); one small upload per draw into the bound Model buffer is cheaper.
    glBindBuffer(GL_UNIFORM_BUFFER, model.buffer);
    unsigned boundArray = geometry::kNoGLName;
    ModelBlock block{};
    for (const BatchedDraw& draw : draws) {
        KVE_Matrix modelView;
        KVE_MultiplyMatrix(&modelView, &view, &draw.world);
        block = modelBlockOf(modelView);
        glBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof block, &block);
        const auto* mesh = static_cast<const geometry::MeshRecord*>(draw.object->mesh);
        if (mesh->vertexArray != boundArray)
            glBindVertexArray(boundArray = mesh->vertexArray);
        glDrawElements(GL_TRIANGLES, mesh->indexCount, GL_UNSIGNED_INT, nullptr);
    }
    std::memcpy(model.data, &block, sizeof block);
}

bool drawBatchingEnabled()
{
    return frameSettings().drawBatching != 0;
}

} // namespace kve::render

extern "C" int KVE_SetDrawBatching(int on)
{
    auto& batching = kve::render::frameSettings().drawBatching;
    const int before = batching;
    batching = on ? 1 : 0;
    return before;
}

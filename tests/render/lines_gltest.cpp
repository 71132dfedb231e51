#include <gtest/gtest.h>

#include <cstring>

#include "kve.h"
#include "render/builtin_programs.h"
#include "render/lines.h"
#include "render/screen_pixels.h"
#include "render/uniform_blocks.h"
#include "scene/camera.h"

namespace {

using kve::render::lineQueue;
using kve::render::LineVertex;

KVE_Matrix modelBlockMatrix()
{
    KVE_Matrix matrix{};
    glBindBuffer(GL_UNIFORM_BUFFER, kve::render::uniformBlock(kve::render::Block::Model).buffer);
    glGetBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof matrix, &matrix);
    return matrix;
}

LineVertex firstBufferedVertex()
{
    LineVertex vertex{};
    glBindBuffer(GL_ARRAY_BUFFER, lineQueue().vertexBuffer);
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, sizeof vertex, &vertex);
    return vertex;
}

TEST(LineDrawing, EmptyQueueStillSelectsTheProgramAndWritesTheViewMatrix)
{
    EXPECT_EQ(KVE_GetLineVertexCount(), 0); // the queue starts empty
    glUseProgram(0);
    KVE_Matrix scribble{};
    kve::render::writeModelMatrix(scribble);
    KVE_DrawLines();
    GLint current = 0;
    glGetIntegerv(GL_CURRENT_PROGRAM, &current);
    EXPECT_EQ(static_cast<GLuint>(current), kve::render::builtinProgram(KVE_SHADER_DRAWING)->program);
    const KVE_Matrix written = modelBlockMatrix();
    EXPECT_EQ(std::memcmp(&written, &kve::scene::cameraViewMatrix(), sizeof written), 0);
}

TEST(LineDrawing, QueuedLinesAreDrawnInTheirColourAndTheQueueEmpties)
{
    kve::test::clearScreen();
    glDisable(GL_DEPTH_TEST);
    KVE_SetLineWidth(1.0f);
    KVE_DrawLine3D(-1, 0, -5, 1, 0, -5, static_cast<int>(0xFF0000FF));
    KVE_DrawLines();
    glEnable(GL_DEPTH_TEST);
    EXPECT_EQ(KVE_GetLineVertexCount(), 0);
    const kve::test::Screen s;
    int red = 0;
    for (int y = 445; y < 456; ++y)
        for (int x = 700; x < 900; ++x)
            red += s.at(x, y, 0) > 200 && s.at(x, y, 1) < 50;
    EXPECT_GT(red, 150);
    EXPECT_EQ(s.countLit(0, 0, 1600, 400), 0);
}

TEST(LineDrawing, ChunksOf8192EndWithThePartialChunkInTheBuffer)
{
    for (int total : {8192, 8193}) {
        for (int i = 0; i < total; ++i)
            kve::render::queueLineVertex(static_cast<float>(i), 0, -5, -1);
        KVE_DrawLines();
        EXPECT_EQ(KVE_GetLineVertexCount(), 0);
        // The last upload was the last non-empty chunk: vertex 0 for 8192, 8192 for 8193.
        EXPECT_EQ(firstBufferedVertex().position.x, total == 8192 ? 0.0f : 8192.0f);
    }
}

} // namespace

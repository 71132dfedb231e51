#include <gtest/gtest.h>

#include <cmath>

#include "render/lines.h"

namespace {

using kve::render::lineQueue;
using kve::render::LineVertex;

class LineQueueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        lineQueue().lastIndex = -1;
        KVE_SetLineTransform(nullptr);
    }
    static const LineVertex& vertex(int i) { return lineQueue().vertices[static_cast<size_t>(i)]; }
    static void expectPosition(int i, float x, float y, float z)
    {
        EXPECT_FLOAT_EQ(vertex(i).position.x, x) << i;
        EXPECT_FLOAT_EQ(vertex(i).position.y, y) << i;
        EXPECT_FLOAT_EQ(vertex(i).position.z, z) << i;
        EXPECT_FLOAT_EQ(vertex(i).position.w, 1.0f) << i;
    }
};

TEST_F(LineQueueTest, EveryShapeQueuesItsVertexCount)
{
    const KVE_Vector a{0, 0, 0, 1}, b{1, 1, 1, 1}, c{2, 0, 0, 1};
    const struct {
        int expected;
        void (*queue)(const KVE_Vector&, const KVE_Vector&, const KVE_Vector&);
    } shapes[] = {
        {2, [](const KVE_Vector& p, const KVE_Vector& q, const KVE_Vector&) { KVE_DrawLineV(&p, &q, -1); }},
        {6, [](const KVE_Vector& p, const KVE_Vector& q, const KVE_Vector& r) { KVE_DrawTriangleV(&p, &q, &r, -1); }},
        {6, [](const KVE_Vector& p, const KVE_Vector&, const KVE_Vector&) { KVE_DrawCrossV(&p, 1); }},
        {24, [](const KVE_Vector& p, const KVE_Vector& q, const KVE_Vector&) { KVE_DrawBoxV(&p, &q, -1); }},
        {360, [](const KVE_Vector& p, const KVE_Vector&, const KVE_Vector&) { KVE_DrawSphereV(&p, 2, -1); }},
    };
    for (const auto& shape : shapes) {
        lineQueue().lastIndex = -1;
        shape.queue(a, b, c);
        EXPECT_EQ(KVE_GetLineVertexCount(), shape.expected);
    }
}

TEST_F(LineQueueTest, BoxesTrianglesAndCrossesKeepTheirVertexOrderAndColours)
{
    KVE_DrawBox3D(0, 0, 0, 1, 2, 3, static_cast<int>(0xFF00FF00));
    // Face z = z1 from (x1, y1) round to (x1, y2) and back.
    expectPosition(0, 0, 0, 0);
    expectPosition(1, 1, 0, 0);
    expectPosition(3, 1, 2, 0);
    expectPosition(6, 0, 2, 0);
    expectPosition(7, 0, 0, 0);
    expectPosition(8, 0, 0, 3); // face z = z2
    expectPosition(16, 0, 0, 0); // the edges along z
    expectPosition(17, 0, 0, 3);
    expectPosition(22, 0, 2, 0);
    expectPosition(23, 0, 2, 3);
    EXPECT_FLOAT_EQ(vertex(5).color.y, 1.0f);
    EXPECT_FLOAT_EQ(vertex(5).color.x, 0.0f);

    lineQueue().lastIndex = -1;
    const KVE_Vector a{1, 0, 0, 1}, b{0, 1, 0, 1}, c{0, 0, 1, 1};
    KVE_DrawTriangleColorsV(&a, &b, &c, 0xFF0000FF, 0xFF00FF00, static_cast<int>(0xFFFF0000));
    const float expectedRed[6] = {1, 0, 0, 0, 0, 1}; // A B B C C A
    for (int i = 0; i < 6; ++i)
        EXPECT_FLOAT_EQ(vertex(i).color.x, expectedRed[i]) << i;
    expectPosition(3, 0, 0, 1);

    lineQueue().lastIndex = -1;
    KVE_DrawCross3D(5, 6, 7, 2);
    expectPosition(0, 3, 6, 7);
    expectPosition(3, 5, 8, 7);
    expectPosition(5, 5, 6, 9);
    EXPECT_FLOAT_EQ(vertex(0).color.x, 1.0f); // x in red
    EXPECT_NEAR(vertex(0).color.w, 192.0f / 255, 1e-6);
    EXPECT_FLOAT_EQ(vertex(2).color.z, 1.0f); // y in blue
    EXPECT_FLOAT_EQ(vertex(4).color.y, 1.0f); // z in green
}

TEST_F(LineQueueTest, WireSphereRingsLieOnTheSphere)
{
    KVE_DrawSphere3D(1, 2, 3, 2, -1);
    // First vertex: latitude -60, ring about x, theta 0.
    expectPosition(0, 1 + 2 * std::sin(-1.0471976f), 2 + 2 * std::cos(-1.0471976f), 3);
    for (int i = 0; i < 360; ++i) {
        const KVE_Vector& p = vertex(i).position;
        EXPECT_NEAR(std::hypot(p.x - 1, p.y - 2, p.z - 3), 2.0f, 1e-5) << i;
    }
    // Chords join up: the end of one is the start of the next within a ring.
    EXPECT_FLOAT_EQ(vertex(1).position.y, vertex(2).position.y);
    // The second ring (about z) of the first latitude starts after twelve chords.
    expectPosition(24, 1 + 2 * std::cos(-1.0471976f), 2, 3 + 2 * std::sin(-1.0471976f));
}

TEST_F(LineQueueTest, TransformAppliesToEveryQueuedPointUntilCleared)
{
    KVE_Matrix m{};
    m.c[0] = {2, 0, 0, 0};
    m.c[1] = {0, 1, 0, 0};
    m.c[2] = {0, 0, 1, 0};
    m.c[3] = {1, 2, 3, 1};
    KVE_SetLineTransform(&m);
    m.c[3].x = 100; // the queue keeps its own copy
    KVE_DrawLine3D(0, 0, 0, 1, 0, 0, -1);
    expectPosition(0, 1, 2, 3); // the translation
    expectPosition(1, 3, 2, 3); // translation plus the first column
    KVE_SetLineTransform(nullptr);
    KVE_DrawLine3D(0, 0, 0, 1, 0, 0, -1);
    expectPosition(3, 1, 0, 0);
}

TEST_F(LineQueueTest, QueueGrowsAheadAndChunksSplitAt8192)
{
    KVE_DrawLine3D(0, 0, 0, 1, 1, 1, -1);
    const size_t grown = lineQueue().vertices.size();
    EXPECT_GE(grown, 258u);
    lineQueue().lastIndex = -1;
    EXPECT_EQ(lineQueue().vertices.size(), grown); // never shrinks

    using kve::render::lineChunks;
    EXPECT_TRUE(lineChunks(0, 8192).empty());
    EXPECT_EQ(lineChunks(2, 8192), (std::vector<int>{2}));
    EXPECT_EQ(lineChunks(8192, 8192), (std::vector<int>{8192, 0}));
    EXPECT_EQ(lineChunks(8193, 8192), (std::vector<int>{8192, 1}));
    EXPECT_EQ(lineChunks(20000, 8192), (std::vector<int>{8192, 8192, 3616}));
}

} // namespace

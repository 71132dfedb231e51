// The physics inside a running engine: start-up made the world, and the debug view's
// lines go through the frame's line queue.
#include <gtest/gtest.h>

#include "physics/physics.h"

namespace {

TEST(EnginePhysics, StartUpMadeTheWorldAndTheDebugViewDraws)
{
    EXPECT_TRUE(kve::physics::world().initialised);
    EXPECT_EQ(KVE_GetPhysicsTreeSize(), 0);
    EXPECT_EQ(KVE_GetPhysicsObjectCount(1), 0);
    EXPECT_EQ(KVE_GetJointCount(), 0);
    KVE_DrawLines();
    KVE_UpdatePhysics(1); // the first frame: no time has passed
    EXPECT_EQ(KVE_GetLineVertexCount(), 12 * 2); // the world tree's box
    KVE_DrawLines();
    EXPECT_EQ(KVE_GetLineVertexCount(), 0);
}

} // namespace

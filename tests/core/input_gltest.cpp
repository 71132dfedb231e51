// Input with the engine running: the mouse lock measures from the centre of the
// 1600x900 surface, and the windowless driver makes up no pointer events.
#include <gtest/gtest.h>

#include "core/input.h"
#include "kve.h"
#include "support/engine_environment.h"

namespace {

int32_t position(int x, int y)
{
    return static_cast<int32_t>(static_cast<uint32_t>(y) << 16 | static_cast<uint32_t>(x));
}

void drainMessages()
{
    KVE_MESSAGE message;
    while (KVE_PeekMessage(&message)) {
    }
}

class LockedMouse : public ::testing::Test {
protected:
    void SetUp() override
    {
        drainMessages();
        kve::input::resetForTesting();
    }
    void TearDown() override
    {
        KVE_UnlockMouse(1);
        kve::input::resetForTesting();
    }
};

TEST_F(LockedMouse, LockPutsTheMouseAtTheSurfaceCentre)
{
    KVE_LockMouse(0);
    EXPECT_EQ(KVE_MouseX(), kve::test::kScreenWidth / 2);
    EXPECT_EQ(KVE_MouseY(), kve::test::kScreenHeight / 2);
    KVE_UpdateMouse();
    EXPECT_EQ(KVE_MouseDX(), 0);
    EXPECT_EQ(KVE_MouseDY(), 0);
    KVE_MESSAGE message;
    EXPECT_EQ(KVE_PeekMessage(&message), 0) << "a pointer-less driver reported a motion of kind " << message.message;
}

TEST_F(LockedMouse, MovementIsMeasuredFromTheCentreEveryFrame)
{
    KVE_LockMouse(0);
    KVE_HandleMessage(KVE_WM_MOUSEMOVE, 0, position(810, 450));
    KVE_UpdateMouse();
    EXPECT_EQ(KVE_MouseDX(), 10);
    EXPECT_EQ(KVE_MouseDY(), 0);
    EXPECT_EQ(KVE_MouseX(), 800); // already back at the lock point
    KVE_UpdateMouse();
    EXPECT_EQ(KVE_MouseDX(), 0);
    KVE_HandleMessage(KVE_WM_MOUSEMOVE, 0, position(795, 460));
    KVE_UpdateMouse();
    EXPECT_EQ(KVE_MouseDX(), -5);
    EXPECT_EQ(KVE_MouseDY(), 10);
}

TEST_F(LockedMouse, UnlockedMovementFollowsThePointerAgain)
{
    KVE_LockMouse(0);
    KVE_UnlockMouse(1);
    KVE_HandleMessage(KVE_WM_MOUSEMOVE, 0, position(810, 450));
    KVE_UpdateMouse();
    EXPECT_EQ(KVE_MouseDX(), 10);
    KVE_UpdateMouse();
    EXPECT_EQ(KVE_MouseDX(), 0);
    EXPECT_EQ(KVE_MouseX(), 810);
}

TEST(EngineInput, PeekMessageReturnsNothingWhenNoEventWaits)
{
    drainMessages();
    KVE_MESSAGE message{1, 2, 3};
    EXPECT_EQ(KVE_PeekMessage(&message), 0);
    EXPECT_EQ(KVE_PeekMessage(nullptr), 0);
}

} // namespace

#include <gtest/gtest.h>

#include "core/input.h"
#include "kve.h"

namespace {

class InputTest : public ::testing::Test {
protected:
    void SetUp() override { kve::input::resetForTesting(); }
    void TearDown() override { kve::input::resetForTesting(); }

    static int send(uint32_t message, uint32_t wParam = 0, int32_t lParam = 0)
    {
        return KVE_HandleMessage(message, wParam, lParam);
    }
    static int32_t position(int x, int y)
    {
        return static_cast<int32_t>((static_cast<uint32_t>(y) & 0xFFFF) << 16 | (static_cast<uint32_t>(x) & 0xFFFF));
    }
    static uint32_t wheel(int delta) { return static_cast<uint32_t>(static_cast<uint16_t>(delta)) << 16; }
    static void snapshot()
    {
        KVE_UpdateKeyboard();
        KVE_UpdateMouse();
    }
};

// ---------------------------------------------------------------------------
// The message table, row by row
// ---------------------------------------------------------------------------

TEST_F(InputTest, KeyDownAndUpSetDownHitAndReleased)
{
    EXPECT_EQ(send(KVE_WM_KEYDOWN, 'W'), 0);
    snapshot();
    EXPECT_EQ(KVE_KeyDown('W'), 1);
    EXPECT_EQ(KVE_KeyHit('W'), 1);
    EXPECT_EQ(KVE_KeyReleased('W'), 0);
    EXPECT_EQ(KVE_KeyDown('S'), 0);

    EXPECT_EQ(send(KVE_WM_KEYUP, 'W'), 0);
    snapshot();
    EXPECT_EQ(KVE_KeyDown('W'), 0);
    EXPECT_EQ(KVE_KeyHit('W'), 0);
    EXPECT_EQ(KVE_KeyReleased('W'), 1);
}

TEST_F(InputTest, KeyCodesOutsideTheTableAreIgnoredAndReadZero)
{
    send(KVE_WM_KEYDOWN, 256);
    send(KVE_WM_KEYDOWN, 0xFFFFFFFF);
    send(KVE_WM_KEYDOWN, 0xFF);
    snapshot();
    EXPECT_EQ(KVE_KeyDown(0xFF), 1);
    EXPECT_EQ(KVE_KeyDown(256), 0);
    EXPECT_EQ(KVE_KeyDown(-1), 0);
    EXPECT_EQ(KVE_KeyHit(1 << 20), 0);
    EXPECT_EQ(KVE_KeyReleased(-100), 0);
    for (int key = 0; key < 0xFF; ++key)
        ASSERT_EQ(KVE_KeyDown(key), 0) << key;
}

TEST_F(InputTest, CharacterKeepsTheLowByteForOneFrame)
{
    EXPECT_EQ(send(KVE_WM_CHAR, 'a'), 0);
    send(KVE_WM_CHAR, 0x20AC); // the last one wins, low byte only
    snapshot();
    EXPECT_EQ(KVE_GetLastCharacter(), 0xAC);
    snapshot();
    EXPECT_EQ(KVE_GetLastCharacter(), 0);
}

TEST_F(InputTest, MouseMoveReadsSignedLowAndHighWords)
{
    EXPECT_EQ(send(KVE_WM_MOUSEMOVE, 0, position(1599, 899)), 0);
    snapshot();
    EXPECT_EQ(KVE_MouseX(), 1599);
    EXPECT_EQ(KVE_MouseY(), 899);
    // A captured mouse left of and above the window.
    send(KVE_WM_MOUSEMOVE, 0, position(-3, -40));
    snapshot();
    EXPECT_EQ(KVE_MouseX(), -3);
    EXPECT_EQ(KVE_MouseY(), -40);
    EXPECT_EQ(KVE_MouseDX(), -1602);
    EXPECT_EQ(KVE_MouseDY(), -939);
}

TEST_F(InputTest, EachButtonMessageDrivesItsOwnButton)
{
    struct Row {
        uint32_t down, doubleClick, up;
        int button;
    };
    const Row rows[] = {{KVE_WM_LBUTTONDOWN, KVE_WM_LBUTTONDBLCLK, KVE_WM_LBUTTONUP, 1},
                        {KVE_WM_RBUTTONDOWN, KVE_WM_RBUTTONDBLCLK, KVE_WM_RBUTTONUP, 2},
                        {KVE_WM_MBUTTONDOWN, KVE_WM_MBUTTONDBLCLK, KVE_WM_MBUTTONUP, 4}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.button);
        kve::input::resetForTesting();
        for (uint32_t press : {row.down, row.doubleClick}) {
            EXPECT_EQ(send(press), 0);
            snapshot();
            for (int button : {1, 2, 4}) {
                EXPECT_EQ(KVE_MouseDown(button), button == row.button ? 1 : 0) << button;
                EXPECT_EQ(KVE_MouseHit(button), button == row.button ? 1 : 0) << button;
            }
            EXPECT_EQ(send(row.up), 0);
            snapshot();
            EXPECT_EQ(KVE_MouseDown(row.button), 0);
            EXPECT_EQ(KVE_MouseHit(row.button), 0);
            EXPECT_EQ(KVE_MouseReleased(row.button), 1);
        }
    }
}

TEST_F(InputTest, WheelAddsWholeNotchesTruncatingTowardZero)
{
    for (int delta = -119; delta <= -1; ++delta) {
        send(KVE_WM_MOUSEWHEEL, wheel(delta));
        snapshot();
        ASSERT_EQ(KVE_MouseWheel(), 0) << delta;
    }
    const std::pair<int, int> cases[] = {{119, 0},   {120, 1},   {239, 1},     {-120, -1},
                                         {-239, -1}, {-240, -2}, {32760, 273}, {-32768, -273}};
    for (auto [delta, notches] : cases) {
        send(KVE_WM_MOUSEWHEEL, wheel(delta) | 0x0008); // the low word (key flags) plays no part
        snapshot();
        EXPECT_EQ(KVE_MouseWheel(), notches) << delta;
    }
    // Each message is divided on its own: two 60-unit steps make no notch.
    send(KVE_WM_MOUSEWHEEL, wheel(60));
    send(KVE_WM_MOUSEWHEEL, wheel(60));
    snapshot();
    EXPECT_EQ(KVE_MouseWheel(), 0);
}

TEST_F(InputTest, MouseLeaveClearsDownAndReleasedButKeepsHits)
{
    send(KVE_WM_LBUTTONDOWN);
    send(KVE_WM_MBUTTONDOWN);
    send(KVE_WM_RBUTTONDOWN);
    send(KVE_WM_RBUTTONUP);
    EXPECT_EQ(send(KVE_WM_MOUSELEAVE), 0);
    snapshot();
    for (int button : {1, 2, 4}) {
        EXPECT_EQ(KVE_MouseDown(button), 0) << button;
        EXPECT_EQ(KVE_MouseReleased(button), 0) << button;
        EXPECT_EQ(KVE_MouseHit(button), 1) << button;
    }
}

TEST_F(InputTest, CloseRaisesTheQuitRequestAndSizeGoesOnToDefaultProcessing)
{
    EXPECT_FALSE(kve::input::quitRequested());
    EXPECT_EQ(send(KVE_WM_SIZE, KVE_SIZE_RESTORED, position(800, 600)), 0);
    EXPECT_FALSE(kve::input::quitRequested());
    EXPECT_EQ(send(KVE_WM_CLOSE), 0);
    EXPECT_TRUE(kve::input::quitRequested());
}

TEST_F(InputTest, SwallowedMessagesAndSystemCommands)
{
    EXPECT_EQ(send(KVE_WM_NCLBUTTONDBLCLK), 1);
    EXPECT_EQ(send(KVE_WM_ERASEBKGND), 1);
    EXPECT_EQ(send(KVE_WM_GETMINMAXINFO), 1);
    for (uint32_t command :
         {KVE_SC_SCREENSAVE, KVE_SC_MONITORPOWER, KVE_SC_MINIMIZE, KVE_SC_MAXIMIZE, KVE_SC_RESTORE}) {
        EXPECT_EQ(send(KVE_WM_SYSCOMMAND, command), 1) << std::hex << command;
        // The low four bits belong to the system and do not change the command.
        EXPECT_EQ(send(KVE_WM_SYSCOMMAND, command | 0x2), 1) << std::hex << command;
    }
    // Other commands (close 0xF060, move 0xF010, key menu 0xF100) go on.
    for (uint32_t command : {0xF060u, 0xF010u, 0xF100u, 0u})
        EXPECT_EQ(send(KVE_WM_SYSCOMMAND, command), 0) << std::hex << command;
}

TEST_F(InputTest, UnknownMessagesChangeNothing)
{
    for (uint32_t message : {0x0000u, 0x0006u, 0x0104u /* system key down */, 0x020Bu /* x button */, 0xFFFFu})
        EXPECT_EQ(send(message, 'W', position(5, 5)), 0) << std::hex << message;
    snapshot();
    EXPECT_EQ(KVE_KeyDown('W'), 0);
    EXPECT_EQ(KVE_MouseX(), 0);
    for (int button : {1, 2, 4})
        EXPECT_EQ(KVE_MouseHit(button), 0);
}

// ---------------------------------------------------------------------------
// Snapshots
// ---------------------------------------------------------------------------

TEST_F(InputTest, KeyTappedBetweenTwoSnapshotsReadsHitAndReleasedForOneFrame)
{
    send(KVE_WM_KEYDOWN, KVE_VK_SPACE);
    send(KVE_WM_KEYUP, KVE_VK_SPACE);
    snapshot();
    EXPECT_EQ(KVE_KeyHit(KVE_VK_SPACE), 1);
    EXPECT_EQ(KVE_KeyDown(KVE_VK_SPACE), 0);
    EXPECT_EQ(KVE_KeyReleased(KVE_VK_SPACE), 1);
    snapshot();
    EXPECT_EQ(KVE_KeyHit(KVE_VK_SPACE), 0);
    EXPECT_EQ(KVE_KeyDown(KVE_VK_SPACE), 0);
    EXPECT_EQ(KVE_KeyReleased(KVE_VK_SPACE), 0);
}

TEST_F(InputTest, HeldKeyAndButtonHitOnlyInTheFirstFrame)
{
    send(KVE_WM_KEYDOWN, 'A');
    send(KVE_WM_LBUTTONDOWN);
    snapshot();
    EXPECT_EQ(KVE_KeyHit('A'), 1);
    EXPECT_EQ(KVE_MouseHit(1), 1);
    for (int frame = 0; frame < 3; ++frame) {
        snapshot();
        EXPECT_EQ(KVE_KeyHit('A'), 0);
        EXPECT_EQ(KVE_KeyDown('A'), 1);
        EXPECT_EQ(KVE_MouseHit(1), 0);
        EXPECT_EQ(KVE_MouseDown(1), 1);
    }
}

TEST_F(InputTest, MouseButtonsOtherThanOneTwoAndFourReadZero)
{
    for (uint32_t message : {KVE_WM_LBUTTONDOWN, KVE_WM_RBUTTONDOWN, KVE_WM_MBUTTONDOWN})
        send(message);
    snapshot();
    for (int button : {-1, 0, 3, 5, 6, 100}) {
        EXPECT_EQ(KVE_MouseDown(button), 0) << button;
        EXPECT_EQ(KVE_MouseHit(button), 0) << button;
        EXPECT_EQ(KVE_MouseReleased(button), 0) << button;
    }
}

TEST_F(InputTest, MovementIsMeasuredFromThePreviousSnapshot)
{
    send(KVE_WM_MOUSEMOVE, 0, position(10, 20));
    snapshot();
    EXPECT_EQ(KVE_MouseDX(), 10);
    EXPECT_EQ(KVE_MouseDY(), 20);
    send(KVE_WM_MOUSEMOVE, 0, position(30, 10));
    send(KVE_WM_MOUSEMOVE, 0, position(7, 25)); // only the last position counts
    snapshot();
    EXPECT_EQ(KVE_MouseDX(), -3);
    EXPECT_EQ(KVE_MouseDY(), 5);
    snapshot();
    EXPECT_EQ(KVE_MouseDX(), 0);
    EXPECT_EQ(KVE_MouseDY(), 0);
    EXPECT_EQ(KVE_MouseX(), 7);
}

TEST_F(InputTest, TwoWheelNotchesReadTwoForOneFrame)
{
    send(KVE_WM_MOUSEWHEEL, wheel(120));
    send(KVE_WM_MOUSEWHEEL, wheel(120));
    snapshot();
    EXPECT_EQ(KVE_MouseWheel(), 2);
    snapshot();
    EXPECT_EQ(KVE_MouseWheel(), 0);
}

TEST_F(InputTest, ResetMouseTakesThePositionWithoutMovementAndDropsClicks)
{
    send(KVE_WM_MOUSEMOVE, 0, position(100, 50));
    snapshot();
    ASSERT_EQ(KVE_MouseDX(), 100);
    send(KVE_WM_MOUSEMOVE, 0, position(140, 70));
    send(KVE_WM_LBUTTONDOWN);
    send(KVE_WM_RBUTTONDOWN);
    send(KVE_WM_RBUTTONUP);
    send(KVE_WM_MOUSEWHEEL, wheel(360));
    KVE_ResetMouse();
    EXPECT_EQ(KVE_MouseX(), 140);
    EXPECT_EQ(KVE_MouseY(), 70);
    EXPECT_EQ(KVE_MouseDX(), 0);
    EXPECT_EQ(KVE_MouseDY(), 0);
    EXPECT_EQ(KVE_MouseDown(1), 1);
    EXPECT_EQ(KVE_MouseHit(1), 0);
    EXPECT_EQ(KVE_MouseReleased(2), 0);
    EXPECT_EQ(KVE_MouseWheel(), 0);
    KVE_UpdateMouse();
    EXPECT_EQ(KVE_MouseDX(), 0);
    EXPECT_EQ(KVE_MouseWheel(), 0);
}

TEST_F(InputTest, MouseInRectIncludesTheNearEdgesOnly)
{
    send(KVE_WM_MOUSEMOVE, 0, position(10, 20));
    snapshot();
    EXPECT_EQ(KVE_MouseInRect(10, 20, 1, 1), 1);
    EXPECT_EQ(KVE_MouseInRect(0, 0, 11, 21), 1);
    EXPECT_EQ(KVE_MouseInRect(0, 0, 10, 21), 0);
    EXPECT_EQ(KVE_MouseInRect(0, 0, 11, 20), 0);
    EXPECT_EQ(KVE_MouseInRect(11, 20, 5, 5), 0);
    EXPECT_EQ(KVE_MouseInRect(10, 20, 0, 0), 0);
    EXPECT_EQ(KVE_MouseInRect(0, 0, INT32_MAX, INT32_MAX), 1); // no overflow at the far edge
}

TEST_F(InputTest, MouseInCircleIsStrictlyInside)
{
    send(KVE_WM_MOUSEMOVE, 0, position(13, 24));
    snapshot();
    EXPECT_EQ(KVE_MouseInCircle(10, 20, 5.0f), 0); // 3-4-5: on the circle
    EXPECT_EQ(KVE_MouseInCircle(10, 20, 5.01f), 1);
    EXPECT_EQ(KVE_MouseInCircle(13, 24, 0.0f), 0);
    EXPECT_EQ(KVE_MouseInCircle(13, 24, 0.5f), 1);
    EXPECT_EQ(KVE_MouseInCircle(-30000, -30000, 1000.0f), 0);
}

// ---------------------------------------------------------------------------
// Joystick arithmetic over a made-up device
// ---------------------------------------------------------------------------

kve::input::Joystick fakeJoystick(uint32_t flags)
{
    kve::input::Joystick joystick;
    joystick.caps.flags = flags;
    for (int axis = 0; axis < kve::platform::kJoystickAxes; ++axis) {
        joystick.caps.axisMin[axis] = -32768;
        joystick.caps.axisMax[axis] = 32767;
    }
    return joystick;
}

TEST(JoystickArithmetic, AxesSpanMinusOneToOneAndMissingAxesReadZero)
{
    auto joystick = fakeJoystick(kve::platform::kJoyHasZ | kve::platform::kJoyHasV);
    kve::platform::JoystickPosition position;
    const int32_t values[] = {-32768, 32767, 0, 32767, -32768, 16384};
    std::copy(std::begin(values), std::end(values), position.axes);
    kve::input::applyJoystickPosition(joystick, position, 0);
    EXPECT_FLOAT_EQ(joystick.axes[0], -1.0f);
    EXPECT_FLOAT_EQ(joystick.axes[1], 1.0f);
    EXPECT_NEAR(joystick.axes[2], 1.0 / 65535, 1e-7); // the centre of an odd range
    EXPECT_EQ(joystick.axes[3], 0.0f);                // no R axis
    EXPECT_EQ(joystick.axes[4], 0.0f);                // no U axis
    EXPECT_NEAR(joystick.axes[5], 0.5, 1e-4);

    // A classic unsigned range and a broken one.
    joystick.caps.axisMin[0] = 0;
    joystick.caps.axisMax[0] = 65535;
    joystick.caps.axisMin[1] = joystick.caps.axisMax[1] = 100;
    position.axes[0] = 65535;
    position.axes[1] = 100;
    kve::input::applyJoystickPosition(joystick, position, 0);
    EXPECT_FLOAT_EQ(joystick.axes[0], 1.0f);
    EXPECT_EQ(joystick.axes[1], 0.0f);
}

TEST(JoystickArithmetic, DeadZoneZeroesOnlySmallerValues)
{
    auto joystick = fakeJoystick(kve::platform::kJoyHasZ);
    joystick.caps.axisMin[0] = joystick.caps.axisMin[1] = joystick.caps.axisMin[2] = -100;
    joystick.caps.axisMax[0] = joystick.caps.axisMax[1] = joystick.caps.axisMax[2] = 100;
    joystick.deadZones[0] = joystick.deadZones[1] = joystick.deadZones[2] = 0.25f;
    kve::platform::JoystickPosition position;
    position.axes[0] = -20; // -0.2: inside
    position.axes[1] = 30;  // 0.3: outside
    position.axes[2] = -25; // -0.25: on the edge, kept
    kve::input::applyJoystickPosition(joystick, position, 0);
    EXPECT_EQ(joystick.axes[0], 0.0f);
    EXPECT_FLOAT_EQ(joystick.axes[1], 0.3f);
    EXPECT_FLOAT_EQ(joystick.axes[2], -0.25f);
}

TEST(JoystickArithmetic, ButtonEdgesAndTheHoldBit)
{
    auto joystick = fakeJoystick(0);
    joystick.buttonStates[3] = 0x100; // bits above 8 belong to the application and stay
    kve::platform::JoystickPosition position;
    const auto poll = [&](uint32_t buttons, uint32_t now) {
        position.buttons = buttons;
        kve::input::applyJoystickPosition(joystick, position, now);
    };
    poll(0, 900);
    EXPECT_EQ(joystick.buttonStates[3], 0x100u);

    poll(1u << 3 | 1u << 15, 1000);
    EXPECT_EQ(joystick.buttonStates[3], 0x100u | 4 | 1);
    EXPECT_EQ(joystick.buttonStates[15], 4u | 1);
    EXPECT_EQ(joystick.buttonStates[0], 0u);
    poll(1u << 3 | 1u << 15, 1500); // exactly the double-click time: not yet held
    EXPECT_EQ(joystick.buttonStates[3], 0x100u | 1);
    poll(1u << 3 | 1u << 15, 1501);
    EXPECT_EQ(joystick.buttonStates[3], 0x100u | 1 | 2);
    poll(1u << 15, 1600);
    EXPECT_EQ(joystick.buttonStates[3], 0x100u | 8);
    EXPECT_EQ(joystick.buttonStates[15], 1u | 2);
    poll(1u << 15, 1700);
    EXPECT_EQ(joystick.buttonStates[3], 0x100u);

    // The hold time runs from the latest press and survives the clock wrapping.
    poll(1u << 15 | 1u << 3, 0xFFFFFF00u);
    poll(1u << 15 | 1u << 3, 0x00000100u);
    EXPECT_EQ(joystick.buttonStates[3], 0x100u | 1 | 2);
    EXPECT_EQ(joystick.previousButtons, 1u << 15 | 1u << 3);
}

TEST(JoystickArithmetic, PointOfViewInDegrees)
{
    auto joystick = fakeJoystick(kve::platform::kJoyHasPov);
    kve::platform::JoystickPosition position;
    const std::pair<uint32_t, float> cases[] = {{0xFFFF, 0.0f}, {0, 360.0f},     {9000, 90.0f},
                                                {4500, 45.0f},  {18000, 180.0f}, {31500, 315.0f}};
    for (auto [pov, degrees] : cases) {
        position.pov = pov;
        kve::input::applyJoystickPosition(joystick, position, 0);
        EXPECT_FLOAT_EQ(joystick.pov, degrees) << pov;
    }
}

TEST(JoystickReaders, UnknownJoysticksAxesAndButtonsReadNothing)
{
    const int count = KVE_GetJoystickCount();
    for (int number : {-1, count, KVE_MAX_JOYSTICKS}) {
        EXPECT_EQ(KVE_GetJoystickAxis(number, 0), 0.0f);
        EXPECT_EQ(KVE_GetJoystickButton(number, 0), 0);
        EXPECT_EQ(KVE_GetJoystickPOV(number), 0.0f);
        EXPECT_STREQ(KVE_GetJoystickName(number), "");
        KVE_SetJoystickDeadZone(number, 0, 0.5f); // ignored, no write out of bounds
    }
}

} // namespace

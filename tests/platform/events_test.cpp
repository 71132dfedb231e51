// Window events into engine messages, through the platform's translation.
#include <gtest/gtest.h>

#include <vector>

#include "core/input.h"
#include "kve.h"
#include "platform/events.h"
#include "platform/joystick.h"

namespace {

using kve::platform::WindowEvent;
using Kind = WindowEvent::Kind;

constexpr int kScancodeW = 0x1A, kScancodeEscape = 0x29, kScancodeBackspace = 0x2A;
constexpr int kScancodeLShift = 0xE1, kScancodeRShift = 0xE5, kScancodeLAlt = 0xE2;

struct Msg {
    uint32_t message, wParam;
    int32_t lParam;
    bool operator==(const Msg&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Msg& m)
{
    return out << std::hex << "{0x" << m.message << ", 0x" << m.wParam << ", 0x" << m.lParam << "}";
}

class Translation : public ::testing::Test {
protected:
    std::vector<Msg> translate(const WindowEvent& event)
    {
        std::vector<KVE_MESSAGE> out;
        translator.translate(event, out);
        std::vector<Msg> messages;
        for (const KVE_MESSAGE& m : out)
            messages.push_back({m.message, m.wParam, m.lParam});
        return messages;
    }
    std::vector<Msg> key(Kind kind, int scancode, bool repeat = false)
    {
        WindowEvent event;
        event.kind = kind;
        event.scancode = scancode;
        event.repeat = repeat;
        return translate(event);
    }
    std::vector<Msg> button(Kind kind, int number, int clicks = 1)
    {
        WindowEvent event;
        event.kind = kind;
        event.button = number;
        event.clicks = clicks;
        return translate(event);
    }
    std::vector<Msg> withPosition(Kind kind, int x, int y)
    {
        WindowEvent event;
        event.kind = kind;
        event.x = x;
        event.y = y;
        return translate(event);
    }
    kve::platform::MessageTranslator translator;
};

using Messages = std::vector<Msg>;

TEST_F(Translation, KeysBecomeVirtualKeyMessagesAndRepeatsAreNotPresses)
{
    EXPECT_EQ(key(Kind::KeyDown, kScancodeW), (Messages{{KVE_WM_KEYDOWN, 'W', 0}}));
    EXPECT_EQ(key(Kind::KeyDown, kScancodeW, true), Messages{});
    EXPECT_EQ(key(Kind::KeyUp, kScancodeW), (Messages{{KVE_WM_KEYUP, 'W', 0}}));
    EXPECT_EQ(key(Kind::KeyDown, 0x00), Messages{}); // a position with no code
}

TEST_F(Translation, KeysThatTypeControlCharactersSendThemToo)
{
    EXPECT_EQ(key(Kind::KeyDown, kScancodeEscape), (Messages{{KVE_WM_KEYDOWN, 0x1B, 0}, {KVE_WM_CHAR, 0x1B, 0}}));
    EXPECT_EQ(key(Kind::KeyUp, kScancodeEscape), (Messages{{KVE_WM_KEYUP, 0x1B, 0}}));
    // A held Backspace keeps typing without pressing again.
    EXPECT_EQ(key(Kind::KeyDown, kScancodeBackspace, true), (Messages{{KVE_WM_CHAR, 0x08, 0}}));
}

TEST_F(Translation, ModifierSidesShareTheGenericCodeUntilTheLastComesUp)
{
    EXPECT_EQ(key(Kind::KeyDown, kScancodeLShift), (Messages{{KVE_WM_KEYDOWN, 0x10, 0}, {KVE_WM_KEYDOWN, 0xA0, 0}}));
    EXPECT_EQ(key(Kind::KeyDown, kScancodeRShift), (Messages{{KVE_WM_KEYDOWN, 0xA1, 0}}));
    EXPECT_EQ(key(Kind::KeyUp, kScancodeLShift), (Messages{{KVE_WM_KEYUP, 0xA0, 0}}));
    EXPECT_EQ(key(Kind::KeyUp, kScancodeRShift), (Messages{{KVE_WM_KEYUP, 0xA1, 0}, {KVE_WM_KEYUP, 0x10, 0}}));
    // Pairs are independent of each other.
    EXPECT_EQ(key(Kind::KeyDown, kScancodeLShift), (Messages{{KVE_WM_KEYDOWN, 0x10, 0}, {KVE_WM_KEYDOWN, 0xA0, 0}}));
    EXPECT_EQ(key(Kind::KeyDown, kScancodeLAlt), (Messages{{KVE_WM_KEYDOWN, 0x12, 0}, {KVE_WM_KEYDOWN, 0xA4, 0}}));
}

TEST_F(Translation, GenericModifierStaysDownInTheSnapshotWhileEitherSideIsHeld)
{
    kve::input::resetForTesting();
    const auto feed = [](const Messages& messages) {
        for (const Msg& m : messages)
            KVE_HandleMessage(m.message, m.wParam, m.lParam);
        KVE_UpdateKeyboard();
    };
    feed(key(Kind::KeyDown, kScancodeLShift));
    feed(key(Kind::KeyDown, kScancodeRShift));
    feed(key(Kind::KeyUp, kScancodeLShift));
    EXPECT_EQ(KVE_KeyDown(KVE_VK_SHIFT), 1);
    EXPECT_EQ(KVE_KeyDown(KVE_VK_LSHIFT), 0);
    EXPECT_EQ(KVE_KeyDown(KVE_VK_RSHIFT), 1);
    feed(key(Kind::KeyUp, kScancodeRShift));
    EXPECT_EQ(KVE_KeyDown(KVE_VK_SHIFT), 0);
    EXPECT_EQ(KVE_KeyReleased(KVE_VK_SHIFT), 1);
    kve::input::resetForTesting();
}

TEST_F(Translation, TextBecomesOneCharacterMessagePerCodePoint)
{
    WindowEvent event;
    event.kind = Kind::Text;
    event.text = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"; // a, e acute, euro sign, an emoji
    EXPECT_EQ(
        translate(event),
        (Messages{
            {KVE_WM_CHAR, 0x61, 0}, {KVE_WM_CHAR, 0xE9, 0}, {KVE_WM_CHAR, 0x20AC, 0}, {KVE_WM_CHAR, 0x1F600, 0}}));
    event.text = "\x80x\xC3(\xE2\x82"; // stray continuation, broken pair, cut-off sequence
    EXPECT_EQ(translate(event), (Messages{{KVE_WM_CHAR, 'x', 0}, {KVE_WM_CHAR, '(', 0}}));
}

TEST_F(Translation, MotionPacksTheClientPositionIntoLParam)
{
    EXPECT_EQ(withPosition(Kind::MouseMotion, 10, 20), (Messages{{KVE_WM_MOUSEMOVE, 0, 0x0014000A}}));
    EXPECT_EQ(withPosition(Kind::MouseMotion, -3, 5), (Messages{{KVE_WM_MOUSEMOVE, 0, 0x0005FFFD}}));
    kve::input::resetForTesting();
    KVE_HandleMessage(KVE_WM_MOUSEMOVE, 0, 0x0005FFFD);
    KVE_UpdateMouse();
    EXPECT_EQ(KVE_MouseX(), -3);
    EXPECT_EQ(KVE_MouseY(), 5);
    kve::input::resetForTesting();
}

TEST_F(Translation, ButtonsAndDoubleClicks)
{
    // The platform numbers the middle button 2 and the right one 3.
    EXPECT_EQ(button(Kind::ButtonDown, 1), (Messages{{KVE_WM_LBUTTONDOWN, 0, 0}}));
    EXPECT_EQ(button(Kind::ButtonDown, 2), (Messages{{KVE_WM_MBUTTONDOWN, 0, 0}}));
    EXPECT_EQ(button(Kind::ButtonDown, 3), (Messages{{KVE_WM_RBUTTONDOWN, 0, 0}}));
    EXPECT_EQ(button(Kind::ButtonUp, 1), (Messages{{KVE_WM_LBUTTONUP, 0, 0}}));
    EXPECT_EQ(button(Kind::ButtonUp, 2), (Messages{{KVE_WM_MBUTTONUP, 0, 0}}));
    EXPECT_EQ(button(Kind::ButtonUp, 3), (Messages{{KVE_WM_RBUTTONUP, 0, 0}}));
    EXPECT_EQ(button(Kind::ButtonDown, 1, 2), (Messages{{KVE_WM_LBUTTONDBLCLK, 0, 0}}));
    EXPECT_EQ(button(Kind::ButtonDown, 2, 2), (Messages{{KVE_WM_MBUTTONDBLCLK, 0, 0}}));
    EXPECT_EQ(button(Kind::ButtonDown, 3, 2), (Messages{{KVE_WM_RBUTTONDBLCLK, 0, 0}}));
    EXPECT_EQ(button(Kind::ButtonDown, 1, 3), (Messages{{KVE_WM_LBUTTONDOWN, 0, 0}}));
    EXPECT_EQ(button(Kind::ButtonDown, 1, 4), (Messages{{KVE_WM_LBUTTONDBLCLK, 0, 0}}));
    EXPECT_EQ(button(Kind::ButtonDown, 4), Messages{}); // side buttons have no message
}

TEST_F(Translation, WheelNotchesBecome120UnitDeltasInTheHighWord)
{
    EXPECT_EQ(withPosition(Kind::Wheel, 0, 1), (Messages{{KVE_WM_MOUSEWHEEL, 0x00780000, 0}}));
    EXPECT_EQ(withPosition(Kind::Wheel, 0, -2), (Messages{{KVE_WM_MOUSEWHEEL, 0xFF100000, 0}}));
    EXPECT_EQ(withPosition(Kind::Wheel, 0, 1000), (Messages{{KVE_WM_MOUSEWHEEL, uint32_t{273 * 120} << 16, 0}}));
    EXPECT_EQ(withPosition(Kind::Wheel, 5, 0), Messages{}); // sideways only
}

TEST_F(Translation, WindowEvents)
{
    EXPECT_EQ(withPosition(Kind::MouseLeave, 0, 0), (Messages{{KVE_WM_MOUSELEAVE, 0, 0}}));
    EXPECT_EQ(withPosition(Kind::Close, 0, 0), (Messages{{KVE_WM_CLOSE, 0, 0}}));
    EXPECT_EQ(withPosition(Kind::Resized, 1600, 900), (Messages{{KVE_WM_SIZE, KVE_SIZE_RESTORED, 0x03840640}}));
    EXPECT_EQ(withPosition(Kind::Minimized, 0, 0), (Messages{{KVE_WM_SIZE, KVE_SIZE_MINIMIZED, 0}}));
    EXPECT_EQ(withPosition(Kind::Other, 0, 0), Messages{});
}

TEST(JoystickHat, DirectionsBecomeHundredthsOfADegreeClockwiseFromAhead)
{
    // Hat bits: 1 up, 2 right, 4 down, 8 left.
    const std::pair<int, uint32_t> cases[] = {{0, 0xFFFF}, {1, 0},      {3, 4500},  {2, 9000},  {6, 13500},
                                              {4, 18000},  {12, 22500}, {8, 27000}, {9, 31500}, {15, 0xFFFF}};
    for (auto [hat, pov] : cases)
        EXPECT_EQ(kve::platform::povFromHat(hat), pov) << hat;
}

} // namespace

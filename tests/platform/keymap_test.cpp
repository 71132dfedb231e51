// The key table against the positions' USB HID usage numbers (which the platform's
// scancodes are) and the desktop's published virtual-key codes, written out here
// independently of the table.
#include <gtest/gtest.h>

#include <map>

#include "platform/keymap.h"

namespace {

std::map<int, int> expectedKeys()
{
    std::map<int, int> keys;
    for (int i = 0; i < 26; ++i)
        keys[0x04 + i] = 'A' + i;
    for (int i = 0; i < 9; ++i)
        keys[0x1E + i] = '1' + i;
    keys[0x27] = '0';
    for (int i = 0; i < 12; ++i)
        keys[0x3A + i] = 0x70 + i; // F1..F12
    for (int i = 0; i < 12; ++i)
        keys[0x68 + i] = 0x7C + i; // F13..F24
    for (int i = 0; i < 9; ++i)
        keys[0x59 + i] = 0x61 + i; // keypad 1..9
    keys[0x62] = 0x60;             // keypad 0
    const std::pair<int, int> others[] = {
        {0x28, 0x0D}, {0x29, 0x1B}, {0x2A, 0x08}, {0x2B, 0x09}, {0x2C, 0x20},              // Enter Esc Bksp Tab Space
        {0x2D, 0xBD}, {0x2E, 0xBB}, {0x2F, 0xDB}, {0x30, 0xDD}, {0x31, 0xDC},              // - = [ ] backslash
        {0x32, 0xDC}, {0x33, 0xBA}, {0x34, 0xDE}, {0x35, 0xC0}, {0x36, 0xBC},              // ISO # ; ' ` ,
        {0x37, 0xBE}, {0x38, 0xBF}, {0x39, 0x14}, {0x46, 0x2C}, {0x47, 0x91},              // . / Caps PrtSc ScrLk
        {0x48, 0x13}, {0x49, 0x2D}, {0x4A, 0x24}, {0x4B, 0x21}, {0x4C, 0x2E},              // Pause Ins Home PgUp Del
        {0x4D, 0x23}, {0x4E, 0x22}, {0x4F, 0x27}, {0x50, 0x25}, {0x51, 0x28},              // End PgDn Right Left Down
        {0x52, 0x26}, {0x53, 0x90}, {0x54, 0x6F}, {0x55, 0x6A}, {0x56, 0x6D},              // Up NumLk KP/ KP* KP-
        {0x57, 0x6B}, {0x58, 0x0D}, {0x63, 0x6E}, {0x64, 0xE2}, {0x65, 0x5D},              // KP+ KPEnter KP. ISO\ Apps
        {0x74, 0x2B}, {0x75, 0x2F}, {0x77, 0x29}, {0x7F, 0xAD}, {0x80, 0xAF},              // Exec Help Select Mute Vol+
        {0x81, 0xAE}, {0x85, 0x6C}, {0x9E, 0x0D},                                          // Vol- KP, Return2
        {0xE0, 0xA2}, {0xE1, 0xA0}, {0xE2, 0xA4}, {0xE3, 0x5B},                            // LCtrl LShift LAlt LWin
        {0xE4, 0xA3}, {0xE5, 0xA1}, {0xE6, 0xA5}, {0xE7, 0x5C},                            // RCtrl RShift RAlt RWin
        {258, 0xB0},  {259, 0xB1},  {260, 0xB2},  {261, 0xB3},  {262, 0xAD},  {263, 0xB5}, // media keys
        {265, 0xB4},  {266, 0xB7},  {267, 0xB6},  {268, 0xAA},  {269, 0xAC},  {270, 0xA6},
        {271, 0xA7},  {272, 0xA9},  {273, 0xA8},  {274, 0xAB},  {282, 0x5F},
    };
    for (auto [scancode, key] : others)
        keys[scancode] = key;
    return keys;
}

TEST(KeyTable, EveryCoveredPositionGivesItsVirtualKeyAndNoOtherPositionDoes)
{
    const std::map<int, int> keys = expectedKeys();
    for (int scancode = 0; scancode < 512; ++scancode) {
        const auto expected = keys.find(scancode);
        EXPECT_EQ(kve::platform::virtualKeyFromScancode(scancode), expected == keys.end() ? 0 : expected->second)
            << "scancode " << scancode;
    }
    for (int outside : {-1, 512, 100000})
        EXPECT_EQ(kve::platform::virtualKeyFromScancode(outside), 0) << outside;
}

TEST(KeyTable, SidedModifiersNameTheirGenericKeyAndPartner)
{
    const int rows[][3] = {{0xA0, 0x10, 0xA1}, {0xA1, 0x10, 0xA0}, {0xA2, 0x11, 0xA3},
                           {0xA3, 0x11, 0xA2}, {0xA4, 0x12, 0xA5}, {0xA5, 0x12, 0xA4}};
    for (const auto& row : rows) {
        int generic = 0, partner = 0;
        ASSERT_TRUE(kve::platform::sidedModifier(row[0], &generic, &partner)) << row[0];
        EXPECT_EQ(generic, row[1]);
        EXPECT_EQ(partner, row[2]);
    }
    int generic = 0, partner = 0;
    for (int key : {0x10, 0x11, 0x12, 0x41, 0x5B})
        EXPECT_FALSE(kve::platform::sidedModifier(key, &generic, &partner)) << key;
}

} // namespace

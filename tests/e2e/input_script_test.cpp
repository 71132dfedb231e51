// The demonstration's scripted-input format: reading scripts, rejecting bad lines with
// their line numbers, and writing record lines that read back as the same message.
#include <gtest/gtest.h>

#include "input_script.h"

namespace {

struct Expected {
    int frame;
    uint32_t message, wParam;
    int32_t lParam;
};

void expectEvents(const InputScript& script, int frame, const std::vector<Expected>& expected)
{
    const auto events = script.eventsFor(frame);
    ASSERT_EQ(events.size(), expected.size()) << "frame " << frame;
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("frame " + std::to_string(frame) + ", event " + std::to_string(i));
        EXPECT_EQ(events[i].frame, expected[i].frame);
        EXPECT_EQ(events[i].message.message, expected[i].message);
        EXPECT_EQ(events[i].message.wParam, expected[i].wParam);
        EXPECT_EQ(events[i].message.lParam, expected[i].lParam);
    }
}

TEST(InputScriptReading, EveryEventKindWithCommentsBlankLinesAndBothNumberForms)
{
    InputScript script;
    std::string error;
    ASSERT_TRUE(script.parse("# a whole-line comment\n"
                             "\n"
                             "12 keydown 0x57   # W\n"
                             "12 keyup 87\n"
                             "  3\tchar 0X20ac\r\n"
                             "3 mouseto -5 900\n"
                             "3 buttondown 1\n3 buttonup 2\n3 doubleclick 4\n"
                             "5 wheel 1\n5 wheel -2\n"
                             "7 mouseleave\n7 close\n"
                             "8 message 0x0005 1 0xFFFFFFFF\n"
                             "8 message 0x0112 0xF140 -2\n",
                             &error))
        << error;
    EXPECT_EQ(script.size(), 13u);
    expectEvents(script, 12, {{12, KVE_WM_KEYDOWN, 0x57, 0}, {12, KVE_WM_KEYUP, 0x57, 0}});
    expectEvents(script, 3,
                 {{3, KVE_WM_CHAR, 0x20AC, 0},
                  {3, KVE_WM_MOUSEMOVE, 0, 0x0384FFFB},
                  {3, KVE_WM_LBUTTONDOWN, 0, 0},
                  {3, KVE_WM_RBUTTONUP, 0, 0},
                  {3, KVE_WM_MBUTTONDBLCLK, 0, 0}});
    expectEvents(script, 5, {{5, KVE_WM_MOUSEWHEEL, 0x00780000, 0}, {5, KVE_WM_MOUSEWHEEL, 0xFF100000, 0}});
    expectEvents(script, 7, {{7, KVE_WM_MOUSELEAVE, 0, 0}, {7, KVE_WM_CLOSE, 0, 0}});
    expectEvents(script, 8, {{8, KVE_WM_SIZE, 1, -1}, {8, KVE_WM_SYSCOMMAND, 0xF140, -2}});
    expectEvents(script, 4, {});
    expectEvents(script, 13, {});
}

TEST(InputScriptReading, RelativeMovesKeepTheirOffsetsAndFramesAreOrderedStably)
{
    InputScript script;
    std::string error;
    ASSERT_TRUE(script.parse("9 keydown 0x41\n2 mousemove 10 -4\n9 keyup 0x41\n2 mousemove -32768 32767\n", &error))
        << error;
    const auto moves = script.eventsFor(2);
    ASSERT_EQ(moves.size(), 2u);
    EXPECT_TRUE(moves[0].relative);
    EXPECT_EQ(moves[0].dx, 10);
    EXPECT_EQ(moves[0].dy, -4);
    EXPECT_EQ(moves[1].dx, -32768);
    EXPECT_EQ(moves[1].dy, 32767);
    expectEvents(script, 9, {{9, KVE_WM_KEYDOWN, 0x41, 0}, {9, KVE_WM_KEYUP, 0x41, 0}});
}

TEST(InputScriptReading, MalformedLinesNameTheirLineAndWhatIsWrong)
{
    const std::pair<const char*, const char*> cases[] = {
        {"1 jump 3", "line 1: unknown event 'jump'"},
        {"# fine\n\n1 keydown 0x57\n1 keydown", "line 4: keydown takes 1 argument, not 0"},
        {"1 keydown 0x57 0x41", "line 1: keydown takes 1 argument, not 2"},
        {"1 mousemove 10", "line 1: mousemove takes 2 arguments, not 1"},
        {"1 close now", "line 1: close takes 0 arguments, not 1"},
        {"1 keydown 256", "line 1: a key code must be a number from 0 to 255, not '256'"},
        {"1 keydown W", "line 1: a key code must be a number from 0 to 255, not 'W'"},
        {"1 keydown 0x", "line 1: a key code must be a number from 0 to 255, not '0x'"},
        {"1 keydown 12abc", "line 1: a key code must be a number from 0 to 255, not '12abc'"},
        {"1 keydown -1", "line 1: a key code must be a number from 0 to 255, not '-1'"},
        {"0 keydown 0x57", "line 1: the frame must be a number from 1 to 1000000000, not '0'"},
        {"-3 keydown 0x57", "line 1: the frame must be a number from 1 to 1000000000, not '-3'"},
        {"keydown 0x57", "line 1: the frame must be a number from 1 to 1000000000, not 'keydown'"},
        {"99999999999999 close", "line 1: the frame must be a number from 1 to 1000000000"},
        {"5", "line 1: an event name must follow the frame number"},
        {"1 buttondown 3", "line 1: the button must be 1 (left), 2 (right) or 4 (middle), not '3'"},
        {"1 buttonup left", "line 1: the button must be 1 (left), 2 (right) or 4 (middle), not 'left'"},
        {"1 wheel 274", "line 1: the wheel notches must be a number from -273 to 273, not '274'"},
        {"1 mouseto 40000 0", "line 1: x must be a number from -32768 to 32767, not '40000'"},
        {"1 mousemove 0 -40000", "line 1: dy must be a number from -32768 to 32767, not '-40000'"},
        {"1 char 0x110000", "line 1: a character code must be a number from 0 to 1114111, not '0x110000'"},
        {"1 message 5 0 0x100000000", "line 1: lParam must be a number from -2147483648 to 4294967295"},
        {"1 KEYDOWN 0x57", "line 1: unknown event 'KEYDOWN'"},
    };
    for (auto [text, message] : cases) {
        InputScript script;
        std::string error;
        EXPECT_FALSE(script.parse(text, &error)) << text;
        EXPECT_NE(error.find(message), std::string::npos) << text << "\n  gave: " << error;
        EXPECT_EQ(script.size(), 0u) << text;
    }
}

TEST(InputScriptReading, LoadNamesTheFileInItsMessages)
{
    InputScript script;
    std::string error;
    EXPECT_FALSE(script.load("no such script.txt", &error));
    EXPECT_EQ(error, "cannot read no such script.txt");
}

TEST(InputScriptWriting, RecordLinesReadBackAsExactlyTheSameMessage)
{
    const std::pair<KVE_MESSAGE, const char*> cases[] = {
        {{KVE_WM_KEYDOWN, 0x57, 0}, "4 keydown 0x57"},
        {{KVE_WM_KEYUP, 0x1B, 0}, "4 keyup 0x1B"},
        {{KVE_WM_CHAR, 0x20AC, 0}, "4 char 0x20AC"},
        {{KVE_WM_MOUSEMOVE, 0, 0x0384FFFB}, "4 mouseto -5 900"},
        {{KVE_WM_LBUTTONDOWN, 0, 0}, "4 buttondown 1"},
        {{KVE_WM_RBUTTONUP, 0, 0}, "4 buttonup 2"},
        {{KVE_WM_MBUTTONDBLCLK, 0, 0}, "4 doubleclick 4"},
        {{KVE_WM_MOUSEWHEEL, 0xFF100000, 0}, "4 wheel -2"},
        {{KVE_WM_MOUSELEAVE, 0, 0}, "4 mouseleave"},
        {{KVE_WM_CLOSE, 0, 0}, "4 close"},
        // Anything the short forms cannot carry exactly is written as a whole message.
        {{KVE_WM_SIZE, 0, 0x03840640}, "4 message 0x0005 0x0 0x3840640"},
        {{KVE_WM_KEYDOWN, 0x57, 1}, "4 message 0x0100 0x57 0x1"},
        {{KVE_WM_KEYDOWN, 0x157, 0}, "4 message 0x0100 0x157 0x0"},
        {{KVE_WM_MOUSEWHEEL, 60u << 16, 0}, "4 message 0x020A 0x3C0000 0x0"},
        {{KVE_WM_LBUTTONDOWN, 1, 0x00100010}, "4 message 0x0201 0x1 0x100010"},
        {{KVE_WM_MOUSEMOVE, 8, 0}, "4 message 0x0200 0x8 0x0"},
        {{0xDEADBEEF, 0xFFFFFFFF, -1}, "4 message 0xDEADBEEF 0xFFFFFFFF 0xFFFFFFFF"},
    };
    for (const auto& [message, line] : cases) {
        EXPECT_EQ(formatScriptLine(4, message), line);
        InputScript script;
        std::string error;
        ASSERT_TRUE(script.parse(formatScriptLine(4, message), &error)) << error;
        ASSERT_EQ(script.eventsFor(4).size(), 1u) << line;
        const KVE_MESSAGE& back = script.eventsFor(4)[0].message;
        EXPECT_EQ(back.message, message.message) << line;
        EXPECT_EQ(back.wParam, message.wParam) << line;
        EXPECT_EQ(back.lParam, message.lParam) << line;
    }
}

} // namespace

// The physics demonstration run as a program: headless with scripted input, and in a
// real X session (Xvfb) driven by real key presses.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <regex>

#include "demo_session.h"

namespace {

using kve::test::Demo;
using kve::test::demoPath;
using kve::test::readFile;
using kve::test::writeFile;
using kve::test::XvfbSession;

// Runs that do not look at pixels draw a small window: a software renderer's frame costs
// about its pixel count.
const std::string kSmall = "--size=320x180";

TEST_F(Demo, EscapeInFrameFiveEndsThatFrameWithACleanShutdown)
{
    const auto finished = run({kSmall, "--frames", "100", "--fixed-dt", "0.02", "--hidden", "--input",
                               script("escape.txt", "# Escape goes down at the start of frame 5\n5 keydown 0x1B\n")});
    EXPECT_EQ(finished.exitCode, 0) << finished.output;
    EXPECT_NE(finished.output.find("Ended by Escape in frame 5 after 4 frames presented"), std::string::npos)
        << finished.output;
    const std::string log = readFile(dir / "KVE LogFile.html");
    EXPECT_NE(log.find(">Program</big>"), std::string::npos) << "the engine did not start in the run's directory";
}

TEST_F(Demo, AnEscapeTapWithinOneFrameStillEndsTheRun)
{
    // Down and up between two snapshots, as a quick tap arrives when frames are slow.
    const auto finished = run({kSmall, "--frames", "100", "--fixed-dt", "0.02", "--hidden", "--input",
                               script("tap.txt", "3 keydown 0x1B\n3 keyup 0x1B\n")});
    EXPECT_EQ(finished.exitCode, 0) << finished.output;
    EXPECT_NE(finished.output.find("Ended by Escape in frame 3 after 2 frames presented"), std::string::npos)
        << finished.output;
}

TEST_F(Demo, MouseButtonsThrowBallsABombAndAPlank)
{
    // The left button is down in frames 2 to 4 (a ball each), the middle and right buttons
    // are clicked once each; the ground is the one static object.
    const auto finished = run({kSmall, "--frames", "10", "--fixed-dt", "0.02", "--hidden", "--print-stats", "--input",
                               script("throw.txt", "2 buttondown 1\n5 buttonup 1\n6 buttondown 4\n7 buttonup 4\n"
                                                   "8 buttondown 2\n9 buttonup 2\n")});
    EXPECT_EQ(finished.exitCode, 0) << finished.output;
    EXPECT_NE(finished.output.find("\nObjects: 5 (+1)\n"), std::string::npos) << finished.output;
    EXPECT_NE(finished.output.find("\nJoints: 0\n"), std::string::npos) << finished.output;
    const std::string log = readFile(dir / "KVE LogFile.html");
    EXPECT_NE(log.find("Load Particle Emitter: Particle.kvd"), std::string::npos) << "the bomb carries its fuse";
}

// Planks thrown onto the ground come to rest there and, in the demo's iterative solver,
// fall asleep about half a second later: the statistics count them. The pairwise solver
// (asked for by name) has no sleeping bodies and shows no such line.
TEST_F(Demo, ThrownPlanksFallAsleepInTheIterativeSolverOnly)
{
    const std::string input = script("planks.txt", "1 mousemove 0 150\n2 buttondown 2\n3 buttonup 2\n"
                                                   "5 buttondown 2\n6 buttonup 2\n");
    const auto iterative = run({kSmall, "--frames", "150", "--fixed-dt", "0.0333", "--hidden", "--print-stats",
                                "--input", input, "--solver=iterative"});
    EXPECT_EQ(iterative.exitCode, 0) << iterative.output;
    EXPECT_NE(iterative.output.find("\nObjects: 2 (+1)\n"), std::string::npos) << iterative.output;
    EXPECT_NE(iterative.output.find("\nSleeping: 2\n"), std::string::npos) << iterative.output;
    const auto pairwise = run({kSmall, "--frames", "150", "--fixed-dt", "0.0333", "--hidden", "--print-stats",
                               "--input", input, "--solver", "pairwise"});
    EXPECT_EQ(pairwise.exitCode, 0) << pairwise.output;
    EXPECT_NE(pairwise.output.find("\nObjects: 2 (+1)\n"), std::string::npos) << pairwise.output;
    EXPECT_EQ(pairwise.output.find("Sleeping: "), std::string::npos) << pairwise.output;
}

// Presses shorter than a frame, all between two snapshots, read as a hit without down:
// clicks of the left button still throw a ball and clicks of the right one a plank (the
// three clicks of one frame are one hit), and a tap of D, which moves only while down,
// leaves the camera where it was.
TEST_F(Demo, ClicksShorterThanAFrameStillThrow)
{
    std::string input;
    for (int click = 0; click < 3; ++click)
        input += "2 buttondown 1\n2 buttonup 1\n2 buttondown 2\n2 buttonup 2\n";
    input += "4 buttondown 1\n4 buttonup 1\n";
    input += "5 keydown 0x44\n5 keyup 0x44\n";
    const auto finished = run({kSmall, "--frames", "8", "--fixed-dt", "0.02", "--hidden", "--print-stats",
                               "--print-camera", "--input", script("quick.txt", input)});
    EXPECT_EQ(finished.exitCode, 0) << finished.output;
    EXPECT_NE(finished.output.find("\nObjects: 3 (+1)\n"), std::string::npos) << "two balls, one plank\n"
                                                                              << finished.output;
    EXPECT_NE(finished.output.find("Camera: 0.0000 4.0000 8.0000\n"), std::string::npos) << finished.output;
}

TEST_F(Demo, CloseLeavesBeforeAnythingElseInItsFrame)
{
    const auto finished = run({kSmall, "--frames", "100", "--hidden", "--input",
                               script("close.txt", "3 keydown 0x41\n3 close\n3 keydown 0x1B\n9 keydown 0x1B\n")});
    EXPECT_EQ(finished.exitCode, 0) << finished.output;
    EXPECT_NE(finished.output.find("Ended by a close in frame 3 after 2 frames presented"), std::string::npos)
        << finished.output;
}

// However the run ends, the screenshot is the last frame presented, written where the
// relative name points from the directory the demo was started in.
TEST_F(Demo, ScreenshotKeepsTheLastPresentedFrameHoweverTheRunEnds)
{
    const std::vector<std::string> common = {"--hidden", "--size", "160x90", "--fixed-dt", "0.02"};
    auto runWith = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), common.begin(), common.end());
        return run(arguments);
    };
    auto finished = runWith({"--frames", "3", "--screenshot", "limit.png"});
    EXPECT_EQ(finished.exitCode, 0) << finished.output;
    EXPECT_NE(finished.output.find("Ended by the frame limit in frame 3 after 3 frames presented"), std::string::npos)
        << finished.output;
    EXPECT_NE(finished.output.find("Screenshot written to " + path("limit.png")), std::string::npos) << finished.output;
    const std::string limit = readFile(dir / "limit.png");
    ASSERT_EQ(limit.substr(1, 3), "PNG");

    // Escape and a close at the start of frame 4 leave after the same three frames.
    finished = runWith({"--screenshot", "escape.png", "--input", script("escape.txt", "4 keydown 0x1B\n")});
    EXPECT_EQ(finished.exitCode, 0) << finished.output;
    EXPECT_EQ(readFile(dir / "escape.png"), limit) << finished.output;
    finished = runWith({"--screenshot", "close.png", "--input", script("close.txt", "4 close\n")});
    EXPECT_EQ(finished.exitCode, 0) << finished.output;
    EXPECT_EQ(readFile(dir / "close.png"), limit) << finished.output;

    // Nothing presented, or nowhere to write: a message and a failing exit.
    finished = runWith({"--screenshot", "none.png", "--input", script("first.txt", "1 keydown 0x1B\n")});
    EXPECT_EQ(finished.exitCode, 1);
    EXPECT_NE(finished.output.find("no frame was presented, so no screenshot was written to " + path("none.png")),
              std::string::npos)
        << finished.output;
    EXPECT_FALSE(std::filesystem::exists(dir / "none.png"));
    finished = runWith({"--frames", "1", "--screenshot", "/dev/full"});
    EXPECT_EQ(finished.exitCode, 1);
    EXPECT_NE(finished.output.find("physics: could not write the screenshot /dev/full"), std::string::npos)
        << finished.output;
}

// The profile's table holds no pass longer than the frames it ran in: every average is at
// most the frame's wall-clock average, and the heading says how the passes were timed. So
// also with the GPU timer queries asked for on a software rasteriser, whose results here
// can be impossible.
TEST_F(Demo, ProfileTableShowsNoPassLongerThanItsFrame)
{
    for (const bool queries : {false, true}) {
        if (queries)
            setenv("KVE_GPU_TIMER_QUERIES", "1", 1);
        const auto finished =
            run({kSmall, "--frames", "40", "--hidden", "--profile", "--shadow-size", "256", "--input",
                 script("bombs.txt", "2 buttondown 4\n2 buttonup 4\n5 buttondown 1\n12 buttonup 1\n")});
        unsetenv("KVE_GPU_TIMER_QUERIES");
        ASSERT_EQ(finished.exitCode, 0) << finished.output;
        const std::string& out = finished.output;
        EXPECT_TRUE(out.find("Render pass times, GPU timer queries\n") != std::string::npos ||
                    out.find("Render pass times, CPU clock with glFinish around each pass") != std::string::npos)
            << out;
        const std::regex frameRow(R"(frame \(wall clock\) +(\d+) +([0-9.]+))");
        std::smatch frame;
        ASSERT_TRUE(std::regex_search(out, frame, frameRow)) << out;
        EXPECT_EQ(std::stoi(frame[1]), 40);
        const double frameAverage = std::stod(frame[2]);
        const std::regex passRow(R"(\n([a-zA-Z -]+?) +(\d+) +([0-9.]+) +([0-9.]+)(?=\n))");
        int rows = 0;
        for (auto at = std::sregex_iterator(out.begin(), out.end(), passRow); at != std::sregex_iterator(); ++at) {
            ++rows;
            EXPECT_LE(std::stod((*at)[3]), frameAverage) << (*at)[1] << "\n" << out;
        }
        EXPECT_GE(rows, 5) << out;
    }
}

TEST_F(Demo, BadOptionValuesStopBeforeTheWindowOpensNamingTheOption)
{
    const std::filesystem::path directory = dir.path();
    const std::string script = this->script("ok.txt", "1 keydown 0x57\n");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"--frames", "2.9"}, "--frames '2.9': must be a whole number from 1 to 1000000000"},
        {{"--frames", "0"}, "--frames '0': must be a whole number"},
        {{"--frames", "3000000000"}, "--frames '3000000000': must be a whole number"},
        {{"--frames", "-1"}, "--frames '-1': must be a whole number"},
        {{"--fixed-dt", "1e-50"}, "--fixed-dt '1e-50': must be a time in seconds from 0.0001 to 1"},
        {{"--fixed-dt", "1e39"}, "--fixed-dt '1e39': must be a time"},
        {{"--fixed-dt", "nan"}, "--fixed-dt 'nan': must be a time"},
        {{"--fixed-dt", "0.02s"}, "--fixed-dt '0.02s': must be a time"},
        {{"--size", "1600"}, "--size '1600': must be WIDTHxHEIGHT, each a whole number from 32 to 8192"},
        {{"--size", "16x900"}, "--size '16x900': must be WIDTHxHEIGHT"},
        {{"--size", "1600x9000"}, "--size '1600x9000': must be WIDTHxHEIGHT"},
        {{"--shadow-size", "8"}, "--shadow-size '8': must be a whole number from 16 to 8192"},
        {{"--input", directory.string()},
         "--input '" + directory.string() + "': " + directory.string() + " is not a regular file"},
        {{"--input", "/dev/zero"}, "--input '/dev/zero': /dev/zero is not a regular file"},
        {{"--input", path("missing.txt")},
         "--input '" + path("missing.txt") + "': cannot read " + path("missing.txt") + ": no such file"},
        {{"--record", directory.string()},
         "--record '" + directory.string() + "': " + directory.string() + " is a directory"},
        {{"--screenshot", "no/such/dir/shot.png"},
         "--screenshot 'no/such/dir/shot.png': cannot write " + path("no/such/dir/shot.png") + ": the directory " +
             path("no/such/dir") + " does not exist"},
        {{"--input", script, "--size"}, "--size needs a value (WIDTHxHEIGHT)"},
        {{"--screenshot", "--print-stats"}, "--screenshot needs a value (FILE)"},
        {{"--frames", "-h"}, "--frames needs a value (N)"},
        {{"--input", "--record", path("taken.txt")}, "--input needs a value (FILE)"},
        {{"--solver", "fast"}, "--solver 'fast': must be iterative or pairwise"},
        {{"--fullscreen"}, "unknown option --fullscreen"},
    };
    for (const auto& [arguments, message] : cases) {
        std::vector<std::string> command = {"--hidden"};
        command.insert(command.end(), arguments.begin(), arguments.end());
        const auto finished = run(command);
        EXPECT_EQ(finished.exitCode, 2) << arguments[0] << ": " << finished.output;
        EXPECT_NE(finished.output.find("physics: " + message), std::string::npos) << finished.output;
        EXPECT_NE(finished.output.find("usage: physics"), std::string::npos) << finished.output;
    }
    EXPECT_FALSE(std::filesystem::exists(dir / "KVE LogFile.html")) << "the engine was started";
}

// With a fixed frame time every clock the frame reads follows it: frame time, the
// particle clock behind the bomb's fuse sparks, the sound update. Two runs are identical
// to the pixel while the bomb flies.
TEST_F(Demo, FixedFrameTimeRunsAreIdenticalToThePixelWithABombInFlight)
{
    const std::string input = script("bomb.txt", "2 buttondown 4\n2 buttonup 4\n4 mousemove 0 25\n");
    std::string shots[2];
    for (int run = 0; run < 2; ++run) {
        const std::string name = "bomb" + std::to_string(run) + ".png";
        const auto finished = this->run({"--size", "480x270", "--frames", "9", "--fixed-dt", "0.0333", "--hidden",
                                         "--print-stats", "--input", input, "--screenshot", name});
        ASSERT_EQ(finished.exitCode, 0) << finished.output;
        ASSERT_NE(finished.output.find("\nObjects: 1 (+1)\n"), std::string::npos) << finished.output;
        shots[run] = readFile(dir / name);
        ASSERT_EQ(shots[run].substr(1, 3), "PNG");
    }
    EXPECT_TRUE(shots[0] == shots[1]) << "the two screenshots differ";
    const std::string log = readFile(dir / "KVE LogFile.html");
    EXPECT_NE(log.find("Load Particle Emitter: Particle.kvd"), std::string::npos) << "the bomb carries its fuse";
}

TEST_F(Demo, SizeSetsTheWindowAndTheScreenshot)
{
    const auto finished = run({"--frames", "1", "--hidden", "--size", "200x120", "--screenshot", "small.png"});
    ASSERT_EQ(finished.exitCode, 0) << finished.output;
    const std::string png = readFile(dir / "small.png");
    ASSERT_GT(png.size(), 24u);
    auto be32 = [&](size_t at) {
        uint32_t value = 0;
        for (size_t i = 0; i < 4; ++i)
            value = value << 8 | static_cast<uint8_t>(png[at + i]);
        return value;
    };
    EXPECT_EQ(be32(16), 200u); // the header chunk's width and height
    EXPECT_EQ(be32(20), 120u);
}

TEST_F(Demo, RecordingReplaysTheSameMessagesInTheSameFrames)
{
    const std::string input = "2 keydown 0x57\n"
                              "3 mousemove 10 -4   # from the lock point at the centre\n"
                              "4 mousemove 10 -4   # again from the centre: the lock re-centred it\n"
                              "4 mousemove -3 0    # from where the previous move left it\n"
                              "5 buttondown 1\n5 buttonup 1\n5 doubleclick 2\n5 wheel -2\n"
                              "6 char 0xE9\n6 keyup 0x57\n7 mouseleave\n"
                              "7 message 0x0112 0xF140 0\n"
                              "9 keydown 0x1B\n";
    const auto first = run({kSmall, "--frames", "50", "--hidden", "--fixed-dt", "0.02", "--input",
                            script("input.txt", input), "--record", path("first.txt")});
    ASSERT_EQ(first.exitCode, 0) << first.output;
    const std::string recorded = readFile(dir / "first.txt");
    const std::string expected = "2 keydown 0x57\n"
                                 "3 mouseto 170 86\n"
                                 "4 mouseto 170 86\n"
                                 "4 mouseto 167 86\n"
                                 "5 buttondown 1\n5 buttonup 1\n5 doubleclick 2\n5 wheel -2\n"
                                 "6 char 0xE9\n6 keyup 0x57\n7 mouseleave\n"
                                 "7 message 0x0112 0xF140 0x0\n"
                                 "9 keydown 0x1B\n";
    EXPECT_NE(recorded.find(expected), std::string::npos) << recorded;

    const auto second = run({kSmall, "--frames", "50", "--hidden", "--fixed-dt", "0.02", "--input", path("first.txt"),
                             "--record", path("second.txt")});
    ASSERT_EQ(second.exitCode, 0) << second.output;
    EXPECT_EQ(readFile(dir / "second.txt"), recorded);
    EXPECT_EQ(second.output, first.output);
    EXPECT_NE(second.output.find("Ended by Escape in frame 9"), std::string::npos) << second.output;
}

// Runs 40 frames of 0.02 s with `input` and checks the camera's printed world position.
void expectCameraAt(Demo& demo, const std::string& input, float x, float y, float z)
{
    const auto finished = demo.run({kSmall, "--frames", "40", "--hidden", "--fixed-dt", "0.02", "--print-camera",
                                    "--input", demo.script("camera.txt", input)});
    ASSERT_EQ(finished.exitCode, 0) << finished.output;
    std::smatch numbers;
    const std::regex line("Camera: (-?[0-9.]+) (-?[0-9.]+) (-?[0-9.]+)\n");
    ASSERT_TRUE(std::regex_search(finished.output, numbers, line)) << finished.output;
    EXPECT_NEAR(std::stof(numbers[1].str()), x, 1e-3f) << finished.output;
    EXPECT_NEAR(std::stof(numbers[2].str()), y, 1e-3f) << finished.output;
    EXPECT_NEAR(std::stof(numbers[3].str()), z, 1e-3f) << finished.output;
}

// Keys held from frame 1 until the key-up at the start of frame 31 move the camera in
// frames 1 to 30. The frame time read in frame 1 (no flip yet) and in frame 2 (after the
// first flip) is 0, so 28 frames move it 10 units/s x 0.02 s each: 5.6 units from (0, 4, 8).
TEST_F(Demo, HeldKeysMoveTheCameraTenUnitsPerSecondWithWOverSAndAOverD)
{
    expectCameraAt(*this,
                   "1 keydown 0x57\n1 keydown 0x53\n1 keydown 0x41\n1 keydown 0x44\n"
                   "31 keyup 0x57\n31 keyup 0x53\n31 keyup 0x41\n31 keyup 0x44\n",
                   -5.6f, 4.0f, 8.0f - 5.6f);
}

TEST_F(Demo, MouseLookTurnsWhereWMoves)
{
    // 300 pixels right turn the camera 90 degrees to the right about the world's up axis
    // before the first step: W then flies along +x, 18 x 0.2 units level (frames 3 to 20).
    // 100 pixels down in frame 21 tilt it 30 degrees about its own x axis: the last
    // 10 x 0.2 units also descend.
    const float tilt = 30.0f * 3.14159265f / 180.0f;
    expectCameraAt(*this, "1 mousemove 300 0\n1 keydown 0x57\n21 mousemove 0 100\n31 keyup 0x57\n",
                   3.6f + 2.0f * std::cos(tilt), 4.0f - 2.0f * std::sin(tilt), 8.0f);
}

// ---------------------------------------------------------------------------
// A real X session
// ---------------------------------------------------------------------------

TEST_F(XvfbSession, RealKeyPressesReachTheDemoAndEscapeEndsItCleanly)
{
    demo = std::make_unique<kve::test::Process>(
        std::vector<std::string>{demoPath(), "--record", path("session.txt")},
        std::vector<std::string>{"DISPLAY=" + display, "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}, dir / "demo.txt");
    const auto found = xdotool({"search", "--sync", "--name", "^Korvane Engine - Physics$"});
    ASSERT_EQ(found.exitCode, 0) << "no demo window appeared: " << found.output << readFile(dir / "demo.txt");
    const std::string window = found.output.substr(0, found.output.find('\n'));
    ASSERT_EQ(xdotool({"windowfocus", "--sync", window}).exitCode, 0);
    ASSERT_EQ(xdotool({"key", "--delay", "100", "w", "Escape"}).exitCode, 0);

    const std::optional<int> code = demo->wait(30);
    ASSERT_TRUE(code.has_value()) << "the demo did not end within 30 s of Escape: " << readFile(dir / "demo.txt");
    EXPECT_EQ(*code, 0) << readFile(dir / "demo.txt");
    const std::string output = readFile(dir / "demo.txt");
    std::smatch ended;
    ASSERT_TRUE(std::regex_search(output, ended, std::regex("Ended by Escape in frame ([0-9]+)"))) << output;

    // The real messages were recorded, and replaying them headless ends in the same frame.
    const std::string recorded = readFile(dir / "session.txt");
    // Mouse motion (the lock's own re-centring) may come between the key's messages.
    const std::regex typedW("\n[0-9]+ keydown 0x57\n[0-9]+ char 0x77\n(?:[0-9]+ mouseto -?[0-9]+ -?[0-9]+\n)*"
                            "[0-9]+ keyup 0x57\n");
    EXPECT_TRUE(std::regex_search(recorded, typedW)) << recorded;
    const std::string escapeLine = std::string("\n").append(ended[1].first, ended[1].second) + " keydown 0x1B\n";
    EXPECT_NE(recorded.find(escapeLine), std::string::npos) << recorded;
    const auto replay = run({"--hidden", "--input", path("session.txt"), "--record", path("replay.txt")});
    EXPECT_EQ(replay.exitCode, 0) << replay.output;
    EXPECT_NE(replay.output.find(ended[0].str() + " after"), std::string::npos) << replay.output;
    EXPECT_EQ(readFile(dir / "replay.txt"), recorded);
}

} // namespace

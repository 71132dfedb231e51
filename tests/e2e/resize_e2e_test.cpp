// The demonstration's window resized in a real X session: the picture follows the new
// size (scene over the whole window, statistics at the top left, crosshair at the new
// centre), read from the X server itself with xwd, and the run still ends cleanly.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <thread>

#include "demo_session.h"

namespace {

using kve::test::XvfbSession;

// An xwd dump of a window: the header's big-endian words, then the colour map, then
// rows of 32-bit pixels with red, green and blue where the masks say.
struct WindowPicture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;

    static std::optional<WindowPicture> read(const std::string& bytes)
    {
        auto word = [&](size_t index) {
            const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + index * 4;
            return uint32_t{p[0]} << 24 | uint32_t{p[1]} << 16 | uint32_t{p[2]} << 8 | p[3];
        };
        if (bytes.size() < 100)
            return std::nullopt;
        const uint32_t headerSize = word(0), format = word(2), byteOrder = word(7), bitsPerPixel = word(11);
        const uint32_t bytesPerLine = word(12), colors = word(19);
        WindowPicture picture;
        picture.width = static_cast<int>(word(4));
        picture.height = static_cast<int>(word(5));
        const size_t start = headerSize + static_cast<size_t>(colors) * 12;
        if (format != 2 || bitsPerPixel != 32 || picture.width <= 0 || picture.height <= 0 ||
            start + static_cast<size_t>(bytesPerLine) * picture.height > bytes.size())
            return std::nullopt;
        for (int y = 0; y < picture.height; ++y)
            for (int x = 0; x < picture.width; ++x) {
                const auto* p = reinterpret_cast<const unsigned char*>(bytes.data()) + start +
                                static_cast<size_t>(y) * bytesPerLine + static_cast<size_t>(x) * 4;
                picture.pixels.push_back(byteOrder == 0 ? uint32_t{p[0]} | uint32_t{p[1]} << 8 | uint32_t{p[2]} << 16
                                                        : uint32_t{p[3]} | uint32_t{p[2]} << 8 | uint32_t{p[1]} << 16);
            }
        return picture;
    }
    // Channel c (0 blue, 1 green, 2 red: the X server's order) of the pixel x, y.
    int at(int x, int y, int c) const
    {
        return static_cast<int>(pixels[static_cast<size_t>(y) * width + x] >> (8 * c) & 0xFF);
    }
    bool white(int x, int y) const { return at(x, y, 0) > 180 && at(x, y, 1) > 180 && at(x, y, 2) > 180; }
    bool black(int x, int y) const { return at(x, y, 0) + at(x, y, 1) + at(x, y, 2) < 24; }
    int whiteIn(int x0, int y0, int x1, int y1) const
    {
        int count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                count += white(x, y);
        return count;
    }
};

// What a person checks on the demo's window at any size: no black strip anywhere (the
// grey background or the scene reaches every edge), the statistics' first lines at the
// top left, and the crosshair's four arms round the centre.
std::string faultsOf(const WindowPicture& shot, int width, int height)
{
    if (shot.width != width || shot.height != height)
        return "the window is " + std::to_string(shot.width) + "x" + std::to_string(shot.height);
    std::string faults;
    for (int x : {2, width / 2, width - 3})
        for (int y : {2, height / 2 + 40, height - 3})
            if (shot.black(x, y))
                faults += " black at " + std::to_string(x) + "," + std::to_string(y) + ";";
    for (int y : {25, 50})
        if (shot.whiteIn(20, y, 260, y + 20) < 60)
            faults += " no statistics line at y " + std::to_string(y) + ";";
    const int cx = width / 2, cy = height / 2;
    if (!shot.white(cx, cy - 9) || !shot.white(cx, cy + 9) || !shot.white(cx - 9, cy) || !shot.white(cx + 9, cy) ||
        shot.white(cx, cy))
        faults += " no crosshair at " + std::to_string(cx) + "," + std::to_string(cy) + ";";
    return faults;
}

TEST_F(XvfbSession, AResizedWindowIsFilledWithTheSceneAndTheOverlayAtItsNewSize)
{
    if (!kve::test::onPath("xwd"))
        GTEST_SKIP() << "xwd is not installed (scripts/setup installs it); the resize test did not run";
    demo = std::make_unique<kve::test::Process>(
        std::vector<std::string>{kve::test::demoPath()},
        std::vector<std::string>{"DISPLAY=" + display, "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"}, dir / "demo.txt");
    const auto found = xdotool({"search", "--sync", "--name", "^Korvane Engine - Physics$"});
    ASSERT_EQ(found.exitCode, 0) << "no demo window appeared: " << found.output;
    const std::string window = found.output.substr(0, found.output.find('\n'));

    // A few frames pass between the resize and the picture that shows it: look again
    // until it is right or half a minute has gone.
    auto settle = [&](int width, int height) {
        std::string faults = "no picture";
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!faults.empty() && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            const std::string file = path("window.xwd");
            if (kve::test::run({"xwd", "-silent", "-id", window, "-out", file}, {"DISPLAY=" + display}, 20)
                    .exitCode != 0)
                continue;
            const auto shot = WindowPicture::read(kve::test::readFile(file));
            faults = shot ? faultsOf(*shot, width, height) : "an unreadable dump";
        }
        return faults;
    };
    EXPECT_EQ(settle(1600, 900), "");
    ASSERT_EQ(xdotool({"windowsize", "--sync", window, "1024", "576"}).exitCode, 0);
    EXPECT_EQ(settle(1024, 576), "");
    ASSERT_EQ(xdotool({"windowsize", "--sync", window, "1600", "900"}).exitCode, 0);
    EXPECT_EQ(settle(1600, 900), "");

    ASSERT_EQ(xdotool({"windowfocus", "--sync", window}).exitCode, 0);
    ASSERT_EQ(xdotool({"key", "Escape"}).exitCode, 0);
    const std::optional<int> code = demo->wait(30);
    ASSERT_TRUE(code.has_value()) << kve::test::readFile(dir / "demo.txt");
    EXPECT_EQ(*code, 0) << kve::test::readFile(dir / "demo.txt");
}

} // namespace

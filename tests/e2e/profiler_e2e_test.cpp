// The profiler overlay toggled by F3 through scripted input, judged in the screenshot:
// its dark panel, orange pass bars and yellow frame-time graph at the top right after
// one press, nothing of them after a second press.
#include <gtest/gtest.h>

#include "demo_session.h"
#include "gpu/image.h"

namespace {

using kve::test::Demo;

// The panel's place on a 960 x 540 screen: 420 wide, 20 from the top and right edges.
constexpr int kLeft = 960 - 420 - 20, kRight = 960 - 20, kTop = 20, kBottom = 440;

struct Counts {
    int dark = 0, orange = 0, yellow = 0;
};

Counts countPanelPixels(const std::string& path)
{
    auto decoded = kve::gpu::decodeImageFile(path);
    EXPECT_TRUE(decoded.image) << decoded.error;
    Counts counts;
    if (!decoded.image)
        return counts;
    const kve::gpu::Image& image = *decoded.image;
    EXPECT_EQ(image.width, 960);
    for (int y = kTop; y < kBottom && y < image.height; ++y)
        for (int x = kLeft; x < kRight && x < image.width; ++x) {
            const uint32_t p = image.packedPixel(x, y);
            const int r = static_cast<int>(p & 0xFF), g = static_cast<int>(p >> 8 & 0xFF),
                      b = static_cast<int>(p >> 16 & 0xFF);
            counts.dark += r < 64 && g < 64 && b < 64;
            counts.orange += r > 220 && g > 130 && g < 190 && b < 100;
            counts.yellow += r > 220 && g > 200 && b < 100;
        }
    return counts;
}

TEST_F(Demo, F3ShowsTheProfilerAndF3AgainHidesIt)
{
    const std::vector<std::string> common = {"--size=960x540", "--shadow-size", "256", "--frames", "8", "--hidden"};
    auto shownArguments = common;
    shownArguments.insert(shownArguments.end(), {"--input", script("shown.txt", "2 keydown 0x72\n3 keyup 0x72\n"),
                                                 "--screenshot", path("shown.png")});
    const auto shown = run(shownArguments);
    ASSERT_EQ(shown.exitCode, 0) << shown.output;

    auto hiddenArguments = common;
    hiddenArguments.insert(hiddenArguments.end(),
                           {"--input",
                            script("hidden.txt", "2 keydown 0x72\n3 keyup 0x72\n5 keydown 0x72\n6 keyup 0x72\n"),
                            "--screenshot", path("hidden.png")});
    const auto hidden = run(hiddenArguments);
    ASSERT_EQ(hidden.exitCode, 0) << hidden.output;

    const Counts with = countPanelPixels(path("shown.png"));
    const Counts without = countPanelPixels(path("hidden.png"));
    // The panel covers most of its rectangle in dark grey; bars and graph are drawn in it.
    EXPECT_GT(with.dark, 420 * 200 / 2);
    EXPECT_GT(with.orange, 100) << "no pass bars";
    EXPECT_GT(with.yellow, 20) << "no frame-time graph";
    // Hidden again: the scene shows there, without the panel, bars or graph.
    EXPECT_GT(with.dark, without.dark + 420 * 200 / 2);
    EXPECT_EQ(without.orange, 0);
    EXPECT_EQ(without.yellow, 0);
}

} // namespace

// The demonstration's overlay in a headless screenshot: the crosshair at the screen
// centre and the twelve statistics lines at the top left, judged by their pixels.
#include <gtest/gtest.h>

#include <cstdlib>

#include "gpu/image.h"
#include "process.h"
#include "support/test_files.h"

namespace {

const std::vector<std::string> kHeadless = {"DISPLAY", "WAYLAND_DISPLAY", "SDL_VIDEODRIVER"};

struct Shot {
    kve::gpu::Image image;
    // Brighter than the grey background in every channel. (Texture filtering may soften
    // the crosshair's 1:1 texels to about 200.)
    bool white(int x, int y) const
    {
        const uint32_t p = image.packedPixel(x, y);
        return (p & 0xFF) > 180 && (p >> 8 & 0xFF) > 180 && (p >> 16 & 0xFF) > 180;
    }
    int whiteIn(int x0, int y0, int x1, int y1) const
    {
        int count = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x)
                count += white(x, y);
        return count;
    }
};

TEST(DemoOverlay, ScreenshotShowsTheCrosshairAtTheCentreAndTheStatisticsColumn)
{
    const char* demo = std::getenv("KVE_DEMO");
    ASSERT_NE(demo, nullptr);
    kve::test::TempDir dir("overlay");
    const std::string shotPath = (dir / "overlay.png").string();
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const auto finished = kve::test::run({demo, "--frames", "3", "--hidden", "--screenshot", shotPath}, kHeadless);
    std::filesystem::current_path(here);
    ASSERT_EQ(finished.exitCode, 0) << finished.output;
    auto decoded = kve::gpu::decodeImageFile(shotPath);
    ASSERT_TRUE(decoded.image) << decoded.error;
    const Shot shot{std::move(*decoded.image)};
    ASSERT_EQ(shot.image.width, 1600);
    ASSERT_EQ(shot.image.height, 900);

    // Crosshair: four white arms around an open centre at (800, 450), nothing else
    // white in the middle of the screen.
    EXPECT_TRUE(shot.white(800, 441)); // upper arm
    EXPECT_TRUE(shot.white(800, 459)); // lower arm
    EXPECT_TRUE(shot.white(791, 450)); // left arm
    EXPECT_TRUE(shot.white(809, 450)); // right arm
    EXPECT_FALSE(shot.white(800, 450));
    EXPECT_GT(shot.whiteIn(784, 434, 816, 466), 40);
    EXPECT_EQ(shot.whiteIn(600, 350, 1000, 550) - shot.whiteIn(784, 434, 816, 466), 0);

    // Statistics: white text on each of the eleven lines from x = 20 and on the iterative
    // solver's "Sleeping: " line at 325, blank rows in the gaps the column leaves at y 75
    // and 225, nothing to the right of the column.
    for (int y : {25, 50, 100, 125, 150, 175, 200, 250, 275, 300, 325, 350})
        EXPECT_GT(shot.whiteIn(20, y, 260, y + 20), 60) << "line at y = " << y;
    for (int y : {75, 225})
        EXPECT_EQ(shot.whiteIn(0, y + 2, 400, y + 22), 0) << "gap at y = " << y;
    EXPECT_EQ(shot.whiteIn(0, 0, 19, 400), 0);
    EXPECT_EQ(shot.whiteIn(400, 0, 1600, 400), 0);
}

} // namespace

// The demonstration with a glTF scene as scenery: the generated textured cube stands on
// the ground in front of the camera; a file that cannot be loaded ends the run with a
// message before the first frame.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "demo_session.h"
#include "gpu/image.h"

namespace {

using kve::test::readFile;

class DemoModel : public kve::test::Demo {
protected:
    static std::string cube()
    {
        const char* binary = std::getenv("KVE_BINARY_DIR");
        return (std::filesystem::path(binary ? binary : ".") / "gltf" / "cube.glb").string();
    }
    // Pixels of the screenshot's lower middle (where the cube stands) that are clearly red.
    int redPixels(const std::string& name) const
    {
        auto decoded = kve::gpu::decodeImageFile(path(name));
        EXPECT_TRUE(decoded.image) << decoded.error;
        if (!decoded.image)
            return -1;
        int count = 0;
        for (int y = 100; y < 160; ++y)
            for (int x = 120; x < 200; ++x) {
                const uint32_t p = decoded.image->packedPixel(x, y);
                const int r = p & 0xFF, g = (p >> 8) & 0xFF;
                count += r > 60 && r > 2 * g;
            }
        return count;
    }
};

TEST_F(DemoModel, TheSceneStandsOnTheGroundInFrontOfTheCamera)
{
    const std::vector<std::string> common = {"--hidden", "--size", "320x180", "--frames", "2", "--fixed-dt", "0.02"};
    auto runWith = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), common.begin(), common.end());
        return run(arguments);
    };
    auto finished = runWith({"--screenshot", "plain.png"});
    ASSERT_EQ(finished.exitCode, 0) << finished.output;
    finished = runWith({"--model", cube(), "--screenshot", "model.png"});
    ASSERT_EQ(finished.exitCode, 0) << finished.output;
    EXPECT_NE(readFile(dir / "KVE LogFile.html").find("Load glTF Scene: " + cube()), std::string::npos);
    EXPECT_LT(redPixels("plain.png"), 5);
    EXPECT_GT(redPixels("model.png"), 40); // the cube is about 25 pixels wide here

    // A damaged file: the message, a failing exit, no frame.
    const std::string glb = readFile(cube());
    kve::test::writeFile(dir / "cut.glb", glb.substr(0, glb.size() / 2));
    finished = runWith({"--model", path("cut.glb"), "--screenshot", "cut.png"});
    EXPECT_EQ(finished.exitCode, 1);
    EXPECT_NE(finished.output.find("physics: the glTF scene " + path("cut.glb") + " could not be loaded"),
              std::string::npos)
        << finished.output;
}

} // namespace

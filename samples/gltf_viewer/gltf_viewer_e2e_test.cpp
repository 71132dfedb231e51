// The glTF viewer, run headless on the generated textured cube: the counts it reports,
// the cube framed in the middle of the picture with its red and green texture halves,
// lit by the sun, and the background round it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "example_test.h"

namespace {

using kve::test::Rgb;
using kve::test::text;

TEST(GltfViewerExample, FramesTheTexturedCubeAndReportsItsCounts)
{
    const std::string file = std::string(std::getenv("KVE_EXAMPLES_DIR")) + "/../gltf/cube.glb";
    const auto run = kve::test::runExample("gltf_viewer", {file});
    ASSERT_TRUE(run.drawn()) << run.why();
    EXPECT_EQ(run.numbers("Objects:"), (std::vector<float>{1, 1, 1, 2})); // objects, meshes, materials, textures
    EXPECT_EQ(run.numbers("Triangles:"), (std::vector<float>{12}));

    // The background (0xFF302820) in the corners, the cube in the middle.
    const Rgb corner = run.at(790, 440);
    EXPECT_EQ(corner.r, 0x20);
    EXPECT_EQ(corner.g, 0x28);
    EXPECT_EQ(corner.b, 0x30);
    const int red = run.count(250, 100, 550, 350, [](Rgb p) { return p.r > 2 * p.g && p.r > 60; });
    const int green = run.count(250, 100, 550, 350, [](Rgb p) { return p.g > 2 * p.r && p.g > 60; });
    EXPECT_GT(red, 5000);
    EXPECT_GT(green, 5000);
    // Framed: nothing of the cube near the left and right edges.
    EXPECT_EQ(run.count(0, 60, 120, 450, [&](Rgb p) { return p.r != corner.r || p.g != corner.g; }), 0);
}

} // namespace

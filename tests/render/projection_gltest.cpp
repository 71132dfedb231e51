// The projection state and the uniform buffers, read back from the GL buffers bound at
// their binding points.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "gpu/shader_test_support.h"
#include "platform/gl.h"
#include "render/projection.h"
#include "render/uniform_blocks.h"
#include "support/engine_environment.h"

namespace {

constexpr float kWidth = kve::test::kScreenWidth;
constexpr float kHeight = kve::test::kScreenHeight;

// `count` floats at byte `offset` of the buffer bound at uniform binding point `binding`.
std::vector<float> readBound(GLuint binding, int offset, int count)
{
    GLint buffer = 0;
    glGetIntegeri_v(GL_UNIFORM_BUFFER_BINDING, binding, &buffer);
    std::vector<float> values(static_cast<size_t>(count));
    glBindBuffer(GL_UNIFORM_BUFFER, static_cast<GLuint>(buffer));
    glGetBufferSubData(GL_UNIFORM_BUFFER, offset, count * 4, values.data());
    return values;
}

// Column-major matrix (16 floats) times (x, y, z, 1).
std::array<float, 4> transform(const std::vector<float>& m, float x, float y, float z)
{
    std::array<float, 4> out{};
    for (int row = 0; row < 4; ++row)
        out[row] = m[row] * x + m[4 + row] * y + m[8 + row] * z + m[12 + row];
    return out;
}

class Projection : public ::testing::Test {
protected:
    // Back to the start-up projection for the suites that follow.
    void TearDown() override
    {
        KVE_SetProjectionMode(KVE_PROJECTION_PERSPECTIVE);
        KVE_SetProjectionFOV(45.0f);
        KVE_SetProjectionFar(128.0f);
        KVE_SetProjectionNear(0.1f);
    }
};

TEST_F(Projection, StartUpDefaultsAndViewport)
{
    EXPECT_EQ(KVE_GetProjectionMode(), KVE_PROJECTION_PERSPECTIVE);
    EXPECT_FLOAT_EQ(KVE_GetProjectionFOV(), 45.0f);
    EXPECT_FLOAT_EQ(KVE_GetProjectionNear(), 0.1f);
    EXPECT_FLOAT_EQ(KVE_GetProjectionFar(), 128.0f);
    EXPECT_FLOAT_EQ(KVE_GetProjectionAspect(), kWidth / kHeight);
    // The start-up perspective: 1 / tan(22.5 degrees) = 2.4142136 on the diagonal.
    const auto projection = readBound(0, 0, 16);
    EXPECT_NEAR(projection[5], 2.4142136f, 1e-5f);
    EXPECT_NEAR(projection[0], 2.4142136f * kHeight / kWidth, 1e-5f);
    EXPECT_FLOAT_EQ(projection[11], -1.0f);
    EXPECT_EQ(readBound(4, 0, 4), (std::vector<float>{kWidth, kHeight, 0.1f, 128.0f}));
}

TEST_F(Projection, TwoDMatrixMapsPixelCornersToClipCorners)
{
    const auto matrix = readBound(0, 64, 16);
    const auto topLeft = transform(matrix, 0.0f, 0.0f, 0.0f);
    const auto bottomRight = transform(matrix, kWidth, kHeight, 0.0f);
    EXPECT_FLOAT_EQ(topLeft[0], -1.0f);
    EXPECT_FLOAT_EQ(topLeft[1], 1.0f);
    EXPECT_FLOAT_EQ(topLeft[3], 1.0f);
    EXPECT_NEAR(bottomRight[0], 1.0f, 1e-6f);
    EXPECT_NEAR(bottomRight[1], -1.0f, 1e-6f);
    // Depth: z = -512 and 512 map to the near and far clip planes.
    EXPECT_NEAR(transform(matrix, 0.0f, 0.0f, -512.0f)[2], 1.0f, 1e-6f);
    EXPECT_NEAR(transform(matrix, 0.0f, 0.0f, 512.0f)[2], -1.0f, 1e-6f);
    KVE_Matrix fromState{};
    KVE_Get2DMatrix(&fromState);
    EXPECT_EQ(std::vector<float>(&fromState.c[0].x, &fromState.c[0].x + 16), matrix);
}

TEST_F(Projection, DemoSettersUploadMiscAndTheMatchingPerspective)
{
    KVE_SetProjectionFar(200.0f);
    KVE_SetProjectionNear(0.1f);
    KVE_SetProjectionFOV(60.0f);
    EXPECT_EQ(readBound(4, 0, 4), (std::vector<float>{1600.0f, 900.0f, 0.1f, 200.0f}));
    // t = tan(30 degrees) = 0.5773503, aspect 16 / 9.
    const auto m = readBound(0, 0, 16);
    const std::array<float, 16> expected = {
        0.9742786f, 0, 0, 0, 0, 1.7320508f, 0, 0, 0, 0, -200.1f / 199.9f, -1.0f, 0, 0, -40.0f / 199.9f, 0};
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(m[i], expected[i], 1e-5f) << i;
    // The 2D half is untouched.
    EXPECT_FLOAT_EQ(readBound(0, 64, 1)[0], 2.0f / kWidth);
}

TEST_F(Projection, OrthographicModeGetsItsMatrixAndFieldOfViewUploadsNothing)
{
    KVE_SetProjectionMode(KVE_PROJECTION_ORTHOGRAPHIC);
    const auto orthographic = readBound(0, 0, 16);
    // x over 0..aspect*100, y over -(height/width)*100..0, z over near..far.
    EXPECT_NEAR(orthographic[0], 2.0f / (kWidth / kHeight * 100.0f), 1e-7f);
    EXPECT_NEAR(orthographic[5], 2.0f / (kHeight / kWidth * 100.0f), 1e-6f);
    EXPECT_NEAR(orthographic[10], -2.0f / (128.0f - 0.1f), 1e-7f);
    EXPECT_FLOAT_EQ(orthographic[12], -1.0f);
    EXPECT_FLOAT_EQ(orthographic[13], 1.0f);
    EXPECT_NEAR(orthographic[14], -128.1f / 127.9f, 1e-6f);
    EXPECT_FLOAT_EQ(orthographic[15], 1.0f);

    KVE_SetProjectionFOV(30.0f);
    EXPECT_FLOAT_EQ(KVE_GetProjectionFOV(), 30.0f);
    EXPECT_EQ(readBound(0, 0, 16), orthographic);

    // The near setter rebuilds and uploads the orthographic matrix of the current mode.
    KVE_SetProjectionNear(1.0f);
    EXPECT_NEAR(readBound(0, 40, 1)[0], -2.0f / 127.0f, 1e-7f);
    EXPECT_FLOAT_EQ(readBound(4, 8, 1)[0], 1.0f);

    // The perspective was rebuilt for 30 degrees while hidden.
    KVE_SetProjectionMode(KVE_PROJECTION_PERSPECTIVE);
    EXPECT_NEAR(readBound(0, 20, 1)[0], 1.0f / std::tan(15.0f * 3.14159265f / 180.0f), 1e-5f);
}

TEST_F(Projection, BlockWritersUploadTheirRange)
{
    kve::render::MaterialBlock material{{1, 2, 3, 4}, 5, 6, 7, 8, {9, 10, 11, 12}};
    kve::render::writeMaterialBlock(kve::render::MaterialBlock{}, 48);
    kve::render::writeMaterialBlock(material, 24);
    EXPECT_EQ(readBound(2, 0, 12), (std::vector<float>{1, 2, 3, 4, 5, 6, 0, 0, 0, 0, 0, 0}));

    KVE_Matrix modelView{};
    for (int i = 0; i < 16; ++i)
        (&modelView.c[0].x)[i] = static_cast<float>(i + 1);
    kve::render::writeModelBlock(modelView);
    const auto model = readBound(1, 0, 28);
    EXPECT_EQ(std::vector<float>(model.begin(), model.begin() + 16), std::vector<float>(&modelView.c[0].x, &modelView.c[0].x + 16));
    // The normal matrix: the upper-left 3x3 as three columns with an unused fourth float.
    EXPECT_EQ(std::vector<float>(model.begin() + 16, model.end()),
              (std::vector<float>{1, 2, 3, 0, 5, 6, 7, 0, 9, 10, 11, 0}));

    const kve::render::LightBlock light{{1, 2, 3}, 4, {5, 6, 7}, 8, {9, 10, 11}, 12, 1};
    kve::render::writeLightBlock(light);
    GLint buffer = 0;
    glGetIntegeri_v(GL_UNIFORM_BUFFER_BINDING, 3, &buffer);
    kve::render::LightBlock readBack{};
    glBindBuffer(GL_UNIFORM_BUFFER, static_cast<GLuint>(buffer));
    glGetBufferSubData(GL_UNIFORM_BUFFER, 0, sizeof readBack, &readBack);
    EXPECT_EQ(readBack.cone, 12.0f);
    EXPECT_EQ(readBack.staticFlag, 1);

    // A range outside the block is refused whole.
    kve::render::writeBlock(kve::render::Block::Misc, 12, &material, 8);
    EXPECT_EQ(readBound(4, 0, 4), (std::vector<float>{kWidth, kHeight, 0.1f, 128.0f}));
}

TEST_F(Projection, UniformBufferSectionLogsLimitsThenEachBuffer)
{
    const std::string log = kve::test::readLog();
    const size_t head = log.find("font-size:12px;'>Uniform Buffer</big>");
    ASSERT_NE(head, std::string::npos);
    const size_t untitled = log.find("font-size:12px;'></big><blockquote><table>", head);
    ASSERT_NE(untitled, std::string::npos);
    const auto limits = kve::test::logTexts(log.substr(log.find("</big>", head), untitled - head));
    const char* prefixes[] = {"Maximum GEOMETRY UNIFORM components: ",     "Maximum VERTEX UNIFORM components: ",
                              "Maximum FRAGMENT UNIFORM components: ",     "Maximum GEOMETRY UNIFORM BLOCKS components: ",
                              "Maximum VERTEX UNIFORM BLOCKS components: ", "Maximum FRAGMENT UNIFORM BLOCKS components: ",
                              "Maximum UNIFORM BLOCKS size: "};
    ASSERT_GE(limits.size(), 7u);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(limits[i].rfind(prefixes[i], 0), 0u) << limits[i];
        EXPECT_GT(std::atoi(limits[i].c_str() + std::strlen(prefixes[i])), 0) << limits[i];
    }
    GLint blockSize = 0;
    glGetIntegerv(GL_MAX_UNIFORM_BLOCK_SIZE, &blockSize);
    EXPECT_EQ(limits[6], "Maximum UNIFORM BLOCKS size: " + std::to_string(blockSize) + " Bytes");

    const size_t body = untitled + std::string("font-size:12px;'></big>").size();
    const auto buffers = kve::test::logTexts(log.substr(body, log.find("</blockquote>", body) - body));
    EXPECT_EQ(buffers, (std::vector<std::string>{"[Buffer] Projection:", "OK", "[Buffer] Model:", "OK",
                                                 "[Buffer] Material:", "OK", "[Buffer] Light:", "OK",
                                                 "[Buffer] Misc:", "OK"}));
    EXPECT_NE(log.find("<i style='color:#11FF00;'>OK</i>", untitled), std::string::npos);
    EXPECT_NE(log.find("color:#0066D0;font-size:12px;'>Uniform Buffer"), std::string::npos);
}

} // namespace

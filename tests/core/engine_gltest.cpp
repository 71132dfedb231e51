#include <gtest/gtest.h>

#include <vector>

#include "kve.h"
#include "platform/gl.h"
#include "support/engine_environment.h"
#include "support/test_files.h"

namespace {

using kve::test::countOccurrences;
using kve::test::readLog;

// The visible text of the entries in order: each message cell's content.
std::vector<std::string> logTexts(const std::string& log)
{
    std::vector<std::string> texts;
    const std::string open = ";'>";
    for (size_t at = log.find(open); at != std::string::npos; at = log.find(open, at + 1)) {
        const size_t start = at + open.size();
        const size_t end = log.find('<', start);
        texts.push_back(log.substr(start, end - start));
    }
    return texts;
}

TEST(EngineStartUp, LogHoldsBannerVersionSystemAndOpenProgramSection)
{
    const std::string log = readLog();
    const size_t banner = log.find("font-size:14px;'>[KVE] Korvane Engine</big>");
    const size_t version = log.find("<i style='color:#000000;'>0.3.0.g (2014-12-14)</i>");
    const size_t system = log.find("font-size:12px;'>System</big>");
    const size_t program = log.find("color:#FBBE00;font-size:12px;'>Program</big>");
    ASSERT_NE(banner, std::string::npos);
    ASSERT_NE(version, std::string::npos);
    ASSERT_NE(system, std::string::npos);
    ASSERT_NE(program, std::string::npos);
    EXPECT_LT(banner, version);
    EXPECT_LT(version, system);
    EXPECT_LT(system, program);
    EXPECT_NE(log.find("#51BC31;font-size:14px;'>[KVE] Korvane Engine"), std::string::npos);

    // The System section holds exactly the renderer, "OpenGL " and "GLSL " lines.
    const size_t systemEnd = log.find("</table></blockquote>", system);
    const size_t systemBody = log.find("</big>", system);
    const std::string section = log.substr(systemBody, systemEnd - systemBody);
    const auto texts = logTexts(section);
    ASSERT_EQ(texts.size(), 3u) << section;
    EXPECT_FALSE(texts[0].empty());
    EXPECT_EQ(texts[1].rfind("OpenGL ", 0), 0u);
    EXPECT_GT(texts[1].size(), 7u);
    EXPECT_EQ(texts[2].rfind("GLSL ", 0), 0u);
    EXPECT_GT(texts[2].size(), 5u);
    EXPECT_EQ(countOccurrences(section, "<i style='color:#404040;'>"), 3);

    // "Program" is the last section opened and is never closed.
    EXPECT_EQ(log.find("</table></blockquote>", program), std::string::npos);
}

TEST(EngineStartUp, ContextIsOpenGL33CoreOrNewerAtTheScreenSize)
{
    GLint major = 0, minor = 0, profile = 0;
    glGetIntegerv(GL_MAJOR_VERSION, &major);
    glGetIntegerv(GL_MINOR_VERSION, &minor);
    glGetIntegerv(GL_CONTEXT_PROFILE_MASK, &profile);
    EXPECT_GE(major * 10 + minor, 33);
    EXPECT_TRUE(profile & GL_CONTEXT_CORE_PROFILE_BIT);
    EXPECT_EQ(KVE_GetScreenWidth(), kve::test::kScreenWidth);
    EXPECT_EQ(KVE_GetScreenHeight(), kve::test::kScreenHeight);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], kve::test::kScreenWidth);
    EXPECT_EQ(viewport[3], kve::test::kScreenHeight);
}

TEST(EngineStartUp, FunctionTableHoldsEveryRequiredEntry)
{
    EXPECT_EQ(KVE_GetMissingGLFunctions(), 0);
    EXPECT_GT(kve::gl::entryCount(), 600);
    // Every entry the engine calls is a core entry up to 4.4 or a checked extension; the
    // ones the renderer uses most must all be present.
    for (const char* name : {"glCullFace", "glTexImage2D", "glGenBuffers", "glBufferData", "glCreateShader",
                             "glUniformBlockBinding", "glBindBufferBase", "glGenFramebuffers",
                             "glFramebufferTexture2D", "glDrawElements", "glDrawElementsInstanced",
                             "glGetBufferSubData", "glVertexAttribDivisor", "glDebugMessageCallback"})
        EXPECT_TRUE(kve::gl::isLoaded(name)) << name;
    EXPECT_FALSE(kve::gl::isLoaded("glNotAFunction"));
}

TEST(EngineStartUp, DefaultStateMatchesTheEngineDefaults)
{
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_TRUE(glIsEnabled(GL_BLEND));
    GLint depthFunc = 0, blendSource = 0, blendDestination = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    glGetIntegerv(GL_BLEND_SRC_RGB, &blendSource);
    glGetIntegerv(GL_BLEND_DST_RGB, &blendDestination);
    EXPECT_EQ(depthFunc, GL_LEQUAL);
    EXPECT_EQ(blendSource, GL_SRC_ALPHA);
    EXPECT_EQ(blendDestination, GL_ONE_MINUS_SRC_ALPHA);
}

TEST(EngineStartUp, QuadBatchIndexListReadBackFromTheGLBuffer)
{
    // The batch's vertex array holds its index buffer binding.
    GLint vertexArray = 0;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &vertexArray);
    ASSERT_EQ(vertexArray, 0) << "the batch is unbound after start-up";
    GLint buffers = 0;
    std::vector<uint32_t> indices(1536);
    // Find the batch's index buffer through a fresh bind of each candidate vertex array.
    bool found = false;
    for (GLuint name = 1; name < 64 && !found; ++name) {
        if (!glIsVertexArray(name))
            continue;
        glBindVertexArray(name);
        glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &buffers);
        GLint size = 0;
        if (buffers != 0) {
            glGetBufferParameteriv(GL_ELEMENT_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
            if (size == 6144) {
                glGetBufferSubData(GL_ELEMENT_ARRAY_BUFFER, 0, 6144, indices.data());
                found = true;
            }
        }
        glBindVertexArray(0);
    }
    ASSERT_TRUE(found) << "no vertex array with a 6144-byte index buffer";
    const uint32_t first[6] = {3, 1, 0, 3, 2, 1};
    const uint32_t last[6] = {1023, 1021, 1020, 1023, 1022, 1021};
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(indices[i], first[i]) << i;
        EXPECT_EQ(indices[1530 + i], last[i]) << 1530 + i;
    }
}

TEST(EngineStartUp, LogoBadgeIsOffAfterStart)
{
    // Nothing but the cleared background is presented when the switch is 0.
    KVE_SetBackgroundColor(static_cast<int>(0xFF202020));
    KVE_RenderScene(-1);
    std::vector<uint8_t> pixel(4);
    glReadPixels(kve::test::kScreenWidth - 52, 52, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel.data());
    EXPECT_EQ(pixel[0], 0x20);
    EXPECT_EQ(pixel[1], 0x20);
    EXPECT_EQ(pixel[2], 0x20);
}

TEST(EngineStartUp, OpenScreenRefusesAWindowThatDoesNotExist)
{
    EXPECT_EQ(KVE_OpenScreen(987654, 0, 0, 640, 480, 32), 0);
    // The running engine is untouched.
    EXPECT_EQ(KVE_GetScreenWidth(), kve::test::kScreenWidth);
}

TEST(EngineStartUp, ScreenshotWritesAPngOfTheFrame)
{
    KVE_SetBackgroundColor(static_cast<int>(0xFF0000FF));
    KVE_RenderScene(-1);
    ASSERT_EQ(KVE_SaveScreenshot("frame.png"), 1);
    const std::string png = kve::test::readFile("frame.png");
    ASSERT_GT(png.size(), 33u);
    EXPECT_EQ(png.substr(1, 3), "PNG");
    // Width and height from the IHDR chunk (big-endian).
    auto be32 = [&](size_t at) {
        return (static_cast<uint32_t>(static_cast<uint8_t>(png[at])) << 24) |
               (static_cast<uint32_t>(static_cast<uint8_t>(png[at + 1])) << 16) |
               (static_cast<uint32_t>(static_cast<uint8_t>(png[at + 2])) << 8) |
               static_cast<uint32_t>(static_cast<uint8_t>(png[at + 3]));
    };
    EXPECT_EQ(be32(16), 1600u);
    EXPECT_EQ(be32(20), 900u);
    EXPECT_EQ(KVE_SaveScreenshot("no_such_directory/frame.png"), 0);
}

} // namespace

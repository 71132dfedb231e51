#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "kve.h"
#include "platform/gl.h"
#include "render/light_volumes.h"
#include "render/render_targets.h"
#include "render/shadow.h"
#include "support/engine_environment.h"
#include "support/test_files.h"

namespace {

using namespace kve::render;

GLint textureParameter(GLenum target, unsigned texture, GLenum face, GLenum parameter)
{
    GLint value = 0;
    glBindTexture(target, texture);
    glGetTexLevelParameteriv(face, 0, parameter, &value);
    glBindTexture(target, 0);
    return value;
}

template <class T>
std::vector<T> bufferContents(GLenum target, unsigned buffer, size_t count)
{
    std::vector<T> data(count);
    glBindBuffer(target, buffer);
    glGetBufferSubData(target, 0, static_cast<GLsizeiptr>(count * sizeof(T)), data.data());
    glBindBuffer(target, 0);
    return data;
}

TEST(RenderTargets, GBufferIsCompleteWithFiveFloatMapsAndADepthTexture)
{
    const GBuffer& g = gbuffer();
    glBindFramebuffer(GL_FRAMEBUFFER, g.framebuffer);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    for (int i = 0; i < kGBufferColorCount; ++i) {
        GLint drawBuffer = 0, attached = 0;
        glGetIntegerv(GL_DRAW_BUFFER0 + i, &drawBuffer);
        EXPECT_EQ(drawBuffer, GL_COLOR_ATTACHMENT0 + i);
        glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + i,
                                              GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME, &attached);
        EXPECT_EQ(static_cast<unsigned>(attached), g.textures[i]);
        EXPECT_EQ(textureParameter(GL_TEXTURE_2D, g.textures[i], GL_TEXTURE_2D, GL_TEXTURE_INTERNAL_FORMAT),
                  GL_RGBA32F);
    }
    GLint depth = 0;
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME,
                                          &depth);
    EXPECT_EQ(static_cast<unsigned>(depth), g.textures[kDepthMap]);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, g.textures[kDepthMap], GL_TEXTURE_2D, GL_TEXTURE_INTERNAL_FORMAT),
              GL_DEPTH_COMPONENT24);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, g.textures[kPositionMap], GL_TEXTURE_2D, GL_TEXTURE_WIDTH),
              kve::test::kScreenWidth);

    // The scene target draws against the same depth.
    glBindFramebuffer(GL_FRAMEBUFFER, sceneTarget().framebuffer);
    EXPECT_EQ(glCheckFramebufferStatus(GL_FRAMEBUFFER), static_cast<GLenum>(GL_FRAMEBUFFER_COMPLETE));
    glGetFramebufferAttachmentParameteriv(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_FRAMEBUFFER_ATTACHMENT_OBJECT_NAME,
                                          &depth);
    EXPECT_EQ(static_cast<unsigned>(depth), g.textures[kDepthMap]);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

TEST(RenderTargets, GlowIsHalfTheScreenRoundedToTheEvenNeighbour)
{
    EXPECT_EQ(glowExtent(1600, 0.5f), 800);
    EXPECT_EQ(glowExtent(900, 0.5f), 450);
    EXPECT_EQ(glowExtent(1365, 0.5f), 682);
    EXPECT_EQ(glowExtent(767, 0.5f), 384);
    const GlowTarget& glow = glowTarget();
    for (unsigned texture : glow.textures) {
        EXPECT_EQ(textureParameter(GL_TEXTURE_2D, texture, GL_TEXTURE_2D, GL_TEXTURE_WIDTH), 800);
        EXPECT_EQ(textureParameter(GL_TEXTURE_2D, texture, GL_TEXTURE_2D, GL_TEXTURE_HEIGHT), 450);
    }
}

TEST(RenderTargets, DirectLightQuadCoversTheScreenInPixels)
{
    const auto corners = bufferContents<KVE_Vector>(GL_ARRAY_BUFFER, lightVolumes().quadBuffer, 4);
    const float w = kve::test::kScreenWidth, h = kve::test::kScreenHeight;
    const float expected[4][2] = {{0, 0}, {0, h}, {w, 0}, {w, h}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(corners[i].x, expected[i][0]);
        EXPECT_EQ(corners[i].y, expected[i][1]);
        EXPECT_EQ(corners[i].w, 1.0f);
    }
}

TEST(RenderTargets, IcosphereIsAClosedOutwardUnitSphereBesideAnUnusedOrigin)
{
    const auto vertices =
        bufferContents<KVE_Vector>(GL_ARRAY_BUFFER, lightVolumes().sphereBuffer, kIcosphereVertexCount);
    const auto indices =
        bufferContents<uint32_t>(GL_ELEMENT_ARRAY_BUFFER, lightVolumes().sphereIndices, kIcosphereIndexCount);
    EXPECT_EQ(vertices[0].x, 0.0f);
    EXPECT_EQ(vertices[0].y, 0.0f);
    EXPECT_EQ(vertices[0].z, 0.0f);
    for (int i = 1; i < kIcosphereVertexCount; ++i) {
        const KVE_Vector& v = vertices[i];
        EXPECT_NEAR(std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z), 1.0f, 1e-5f) << i;
    }
    std::set<uint32_t> used(indices.begin(), indices.end());
    EXPECT_EQ(used.count(0u), 0u);
    EXPECT_EQ(used.size(), 42u);
    EXPECT_EQ(*used.rbegin(), 42u);
    // Every triangle faces outward, so culling front faces leaves the far side of the volume.
    for (int t = 0; t < kIcosphereTriangleCount; ++t) {
        const KVE_Vector &a = vertices[indices[3 * t]], &b = vertices[indices[3 * t + 1]],
                         &c = vertices[indices[3 * t + 2]];
        const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z, vx = c.x - a.x, vy = c.y - a.y, vz = c.z - a.z;
        const float nx = uy * vz - uz * vy, ny = uz * vx - ux * vz, nz = ux * vy - uy * vx;
        EXPECT_GT(nx * a.x + ny * a.y + nz * a.z, 0.0f) << t;
    }
}

TEST(RenderTargets, ShadowTargetsHoldSquareDepthMapsAndCubeFaceCameras)
{
    const ShadowTargets& shadow = shadowTargets();
    EXPECT_EQ(shadow.size2D, 2048);
    EXPECT_EQ(textureParameter(GL_TEXTURE_2D, shadow.map2D, GL_TEXTURE_2D, GL_TEXTURE_INTERNAL_FORMAT),
              GL_DEPTH_COMPONENT16);
    EXPECT_EQ(textureParameter(GL_TEXTURE_CUBE_MAP, shadow.cubeMap, GL_TEXTURE_CUBE_MAP_NEGATIVE_Z, GL_TEXTURE_WIDTH),
              2048);
    // Each face camera looks down its axis (its -Z is the axis) with the listed up vector.
    const float axes[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    const float ups[6][3] = {{0, -1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}, {0, -1, 0}, {0, -1, 0}};
    for (int face = 0; face < 6; ++face) {
        const KVE_Matrix& m = shadow.faces[face];
        EXPECT_NEAR(-m.c[2].x, axes[face][0], 1e-6f);
        EXPECT_NEAR(-m.c[2].y, axes[face][1], 1e-6f);
        EXPECT_NEAR(-m.c[2].z, axes[face][2], 1e-6f);
        EXPECT_NEAR(m.c[1].x, ups[face][0], 1e-6f);
        EXPECT_NEAR(m.c[1].y, ups[face][1], 1e-6f);
        EXPECT_NEAR(m.c[1].z, ups[face][2], 1e-6f);
    }
}

// Rebuilding the targets (after deleting them as shutdown does) logs the whole section.
TEST(RenderTargets, InitialisationLogsTheGBufferSection)
{
    const size_t before = kve::test::readLog().size();
    deleteRenderTargets();
    ASSERT_EQ(KVE_InitGBuffer(), 1);
    ASSERT_EQ(KVE_InitSceneTargets(), 1);
    ASSERT_EQ(KVE_InitShadowTargets(2048), 1);
    const std::string log = kve::test::readLog().substr(before);
    size_t at = log.find("G-Buffer");
    ASSERT_NE(at, std::string::npos);
    for (const char* text : {"Buffer initialization:", "OK", "Shadow initialization:", "Shadow Caster [VertexShader]",
                             "Direct Light initialization:", "Point Light initialization:",
                             "Spot Light initialization:", "Depth Shader initialization:",
                             "Blur Shader initialization:", "Glow Shader initialization:"}) {
        at = log.find(text, at);
        ASSERT_NE(at, std::string::npos) << text;
    }
    EXPECT_EQ(log.find("FAIL"), std::string::npos);
    EXPECT_EQ(log.find("[Link]"), std::string::npos);
    for (const char* row : {"KVE GBuffer</td><td>44</td>", "KVE GBuffer</td><td>613</td>"})
        EXPECT_NE(log.find(row), std::string::npos) << row << log.substr(0, 600);
}

} // namespace

// KVE_InitSceneTargets and the storage of the screen-sized targets: the scene image that
// the lighting passes add into (sharing the G-buffer's depth), the glow pair and the
// screen quad.
#include "render/render_targets.h"

#include <algorithm>
#include <cmath>

#include "core/engine.h"
#include "kve.h"
#include "platform/gl.h"
#include "render/gbuffer.h"
#include "render/light_volumes.h"
#include "render/shadow.h"
#include "render/uniform_blocks.h"

namespace kve::render {
namespace {

GBuffer gbufferTargets;
SceneTarget scene;
GlowTarget glow;
ScreenQuad quad;

void setSampling(GLenum filter)
{
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(filter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(filter));
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
}

// A colour texture of RGBA bytes attached to the bound framebuffer.
void makeColorTexture(unsigned& texture, int attachment, int width, int height, GLenum filter)
{
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    setSampling(filter);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_COLOR_ATTACHMENT0 + attachment, GL_TEXTURE_2D, texture, 0);
}

// x, y, z, u, v in pixels: the texture's top row (v = 1) at the top of the screen.
void fillScreenQuad(int width, int height)
{
    const float w = static_cast<float>(width), h = static_cast<float>(height);
    const float vertices[] = {0, 0, 0, 0, 1, 0, h, 0, 0, 0, w, 0, 0, 1, 1, w, h, 0, 1, 0};
    glBindBuffer(GL_ARRAY_BUFFER, quad.buffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof vertices, vertices, GL_STATIC_DRAW);
}

void buildScreenQuad(int width, int height)
{
    glGenVertexArrays(1, &quad.vertexArray);
    glBindVertexArray(quad.vertexArray);
    glGenBuffers(1, &quad.buffer);
    fillScreenQuad(width, height);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 20, nullptr);
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, 20, reinterpret_cast<const void*>(12));
    glBindVertexArray(0);
}

bool framebufferComplete()
{
    return glCheckFramebufferStatus(GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void deleteTextures(unsigned* textures, int count)
{
    glDeleteTextures(count, textures);
    for (int i = 0; i < count; ++i)
        textures[i] = 0;
}

void deleteFramebuffer(unsigned& framebuffer)
{
    if (framebuffer)
        glDeleteFramebuffers(1, &framebuffer);
    framebuffer = 0;
}

} // namespace

GBuffer& gbuffer()
{
    return gbufferTargets;
}

SceneTarget& sceneTarget()
{
    return scene;
}

GlowTarget& glowTarget()
{
    return glow;
}

const ScreenQuad& screenQuad()
{
    return quad;
}

int glowExtent(int screenExtent, float scale)
{
    // Never 0: a one-pixel screen still needs a complete glow framebuffer.
    return std::max(1, static_cast<int>(std::nearbyint(static_cast<float>(screenExtent) * scale)));
}

void selectGBufferDrawBuffers()
{
    static const GLenum buffers[kGBufferColorCount] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1,
                                                       GL_COLOR_ATTACHMENT2, GL_COLOR_ATTACHMENT3,
                                                       GL_COLOR_ATTACHMENT4};
    glDrawBuffers(kGBufferColorCount, buffers);
}

void bindGBufferMaps()
{
    for (int unit = 0; unit < kGBufferColorCount; ++unit) {
        glActiveTexture(GL_TEXTURE0 + unit);
        glBindTexture(GL_TEXTURE_2D, gbufferTargets.textures[unit]);
    }
}

void drawScreenQuad()
{
    glBindVertexArray(quad.vertexArray);
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
}

void allocateGBufferStorage()
{
    const auto& screen = engine::state();
    gbufferTargets.width = screen.screenWidth;
    gbufferTargets.height = screen.screenHeight;
    glBindRenderbuffer(GL_RENDERBUFFER, gbufferTargets.depthRenderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, screen.screenWidth, screen.screenHeight);
    for (int i = 0; i < kGBufferTextureCount; ++i) {
        glBindTexture(GL_TEXTURE_2D, gbufferTargets.textures[i]);
        if (i == kDepthMap)
            glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, screen.screenWidth, screen.screenHeight, 0,
                         GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
        else
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, screen.screenWidth, screen.screenHeight, 0, GL_RGBA, GL_FLOAT,
                         nullptr);
    }
}

void allocateGlowStorage()
{
    const auto& screen = engine::state();
    glow.width = glowExtent(screen.screenWidth, glow.scale);
    glow.height = glowExtent(screen.screenHeight, glow.scale);
    for (unsigned texture : glow.textures) {
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, glow.width, glow.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    }
}

void allocateSceneStorage()
{
    const auto& screen = engine::state();
    for (unsigned texture : scene.color) {
        if (!texture)
            continue;
        glBindTexture(GL_TEXTURE_2D, texture);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, screen.screenWidth, screen.screenHeight, 0, GL_RGBA,
                     GL_UNSIGNED_BYTE, nullptr);
    }
    if (quad.buffer)
        fillScreenQuad(screen.screenWidth, screen.screenHeight);
}

void deleteRenderTargets()
{
    deleteGBufferPrograms();
    deleteLightVolumes();
    deleteShadowTargets();
    deleteFramebuffer(gbufferTargets.framebuffer);
    deleteTextures(gbufferTargets.textures, kGBufferTextureCount);
    if (gbufferTargets.depthRenderbuffer)
        glDeleteRenderbuffers(1, &gbufferTargets.depthRenderbuffer);
    gbufferTargets = GBuffer{};
    deleteFramebuffer(scene.framebuffer);
    deleteTextures(scene.color, 2);
    deleteFramebuffer(glow.framebuffer);
    deleteTextures(glow.textures, 2);
    glow = GlowTarget{};
    if (quad.vertexArray) {
        glDeleteVertexArrays(1, &quad.vertexArray);
        glDeleteBuffers(1, &quad.buffer);
    }
    quad = ScreenQuad{};
}

} // namespace kve::render

extern "C" int KVE_InitSceneTargets(void)
{
    using namespace kve::render;
    const auto& screen = kve::engine::state();
    buildScreenQuad(screen.screenWidth, screen.screenHeight);

    glGenFramebuffers(1, &scene.framebuffer);
    glBindFramebuffer(GL_DRAW_FRAMEBUFFER, scene.framebuffer);
    glFramebufferRenderbuffer(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER,
                              gbufferTargets.depthRenderbuffer);
    for (int i = 0; i < 2; ++i)
        makeColorTexture(scene.color[i], i, screen.screenWidth, screen.screenHeight, GL_NEAREST);
    // The forward passes are depth-tested against the opaque scene of the G-buffer.
    glFramebufferTexture2D(GL_DRAW_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D,
                           gbufferTargets.textures[kDepthMap], 0);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    bool complete = framebufferComplete();

    if (complete) {
        glow.scale = 0.5f;
        glow.width = glowExtent(screen.screenWidth, glow.scale);
        glow.height = glowExtent(screen.screenHeight, glow.scale);
        glGenFramebuffers(1, &glow.framebuffer);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, glow.framebuffer);
        for (int i = 0; i < 2; ++i)
            makeColorTexture(glow.textures[i], i, glow.width, glow.height, GL_LINEAR);
        glDrawBuffer(GL_COLOR_ATTACHMENT0);
        complete = framebufferComplete();
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    return complete ? 1 : 0;
}

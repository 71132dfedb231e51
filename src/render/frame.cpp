// The frame: KVE_RenderScene and the renderer settings operations.
#include "core/engine.h"
#include "kve.h"
#include "platform/gl.h"
#include "render/frame_settings.h"

extern "C" {

void KVE_SetBackgroundColor(int color)
{
    auto& background = kve::render::frameSettings().background;
    const auto packed = static_cast<uint32_t>(color);
    for (int i = 0; i < 4; ++i)
        background[i] = static_cast<float>((packed >> (8 * i)) & 0xFF) / 255.0f;
    if ((packed >> 24) == 0)
        background[3] = 1.0f;
    if (kve::engine::state().running)
        glClearColor(background[0], background[1], background[2], background[3]);
}

int KVE_RenderScene(int framebuffer)
{
    if (!kve::engine::state().running)
        return 0;
    // Composition target: the window's default framebuffer for -1.
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer < 0 ? 0 : static_cast<GLuint>(framebuffer));
    glViewport(0, 0, kve::engine::state().screenWidth, kve::engine::state().screenHeight);
    const auto& background = kve::render::frameSettings().background;
    glClearColor(background[0], background[1], background[2], background[3]);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // State left for the 2D overlay.
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    KVE_SetBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    return 0;
}

} // extern "C"

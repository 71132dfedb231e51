// KVE_SaveScreenshot: the frame being drawn, read back from the default framebuffer.
#include <cstdint>
#include <vector>

#include "core/engine.h"
#include "gpu/png_write.h"
#include "kve.h"
#include "platform/gl.h"

extern "C" int KVE_SaveScreenshot(const char* fileName)
{
    const auto& engine = kve::engine::state();
    if (!engine.running || !fileName)
        return 0;
    const int width = engine.screenWidth, height = engine.screenHeight;
    std::vector<uint8_t> pixels(static_cast<size_t>(width) * height * 4);
    GLint readFramebuffer = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer));

    // GL reads bottom-up; the file wants the top row first. The screen is opaque.
    std::vector<uint8_t> rows(pixels.size());
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = pixels.data() + static_cast<size_t>(height - 1 - y) * rowBytes;
        uint8_t* target = rows.data() + static_cast<size_t>(y) * rowBytes;
        for (size_t x = 0; x < rowBytes; x += 4) {
            target[x] = source[x];
            target[x + 1] = source[x + 1];
            target[x + 2] = source[x + 2];
            target[x + 3] = 255;
        }
    }
    return kve::gpu::writePng(fileName, width, height, 4, rows.data()) ? 1 : 0;
}

// Screenshots read back from the default framebuffer: KVE_SaveScreenshot takes the frame
// being drawn; KVE_SavePresentedFrame the copy the flip kept of the last presented one,
// because after the swap the back buffer's contents are undefined.
#include "render/screenshot.h"

#include <cstdint>
#include <vector>

#include "core/engine.h"
#include "core/log.h"
#include "gpu/png_write.h"
#include "kve.h"
#include "platform/gl.h"

namespace kve::render {
namespace {

struct Frame {
    int width = 0, height = 0;
    std::vector<uint8_t> rows; // RGBA, the top row first
};

bool keepWanted = false;
Frame kept;

// The back buffer of the default framebuffer, top row first, opaque.
void readBackBuffer(Frame& frame)
{
    const auto& engine = kve::engine::state();
    frame.width = engine.screenWidth;
    frame.height = engine.screenHeight;
    const size_t rowBytes = static_cast<size_t>(frame.width) * 4;
    std::vector<uint8_t> pixels(rowBytes * static_cast<size_t>(frame.height));
    GLint readFramebuffer = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &readFramebuffer);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, frame.width, frame.height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(readFramebuffer));

    // GL reads bottom-up; the file wants the top row first.
    frame.rows.resize(pixels.size());
    for (int y = 0; y < frame.height; ++y) {
        const uint8_t* source = pixels.data() + static_cast<size_t>(frame.height - 1 - y) * rowBytes;
        uint8_t* target = frame.rows.data() + static_cast<size_t>(y) * rowBytes;
        for (size_t x = 0; x < rowBytes; x += 4) {
            target[x] = source[x];
            target[x + 1] = source[x + 1];
            target[x + 2] = source[x + 2];
            target[x + 3] = 255;
        }
    }
}

bool save(const Frame& frame, const char* fileName, const char* procedure)
{
    if (kve::gpu::writePng(fileName, frame.width, frame.height, 4, frame.rows.data()))
        return true;
    kve::log::fail(std::string("Fail: Could not write the screenshot ") + fileName, procedure);
    return false;
}

} // namespace

void keepPresentedFrameIfWanted()
{
    if (keepWanted && kve::engine::state().running)
        readBackBuffer(kept);
}

void forgetPresentedFrame()
{
    keepWanted = false;
    kept = Frame{};
}

} // namespace kve::render

extern "C" {

int KVE_SaveScreenshot(const char* fileName)
{
    if (!kve::engine::state().running || !fileName)
        return 0;
    kve::render::Frame frame;
    kve::render::readBackBuffer(frame);
    return kve::render::save(frame, fileName, "KVE_SaveScreenshot") ? 1 : 0;
}

void KVE_KeepPresentedFrame(int keep)
{
    kve::render::keepWanted = keep != 0;
    if (!keep)
        kve::render::kept = kve::render::Frame{};
}

int KVE_SavePresentedFrame(const char* fileName)
{
    if (!fileName || kve::render::kept.rows.empty())
        return 0;
    return kve::render::save(kve::render::kept, fileName, "KVE_SavePresentedFrame") ? 1 : 0;
}

} // extern "C"

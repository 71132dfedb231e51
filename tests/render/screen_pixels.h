// Reading what the 2D and line tests drew: the default framebuffer's back buffer as RGBA
// rows with the screen's top row first, and counts of lit pixels in a rectangle.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/gl.h"
#include "support/engine_environment.h"

namespace kve::test {

// Clears the back buffer to opaque black and sets the 2D overlay's blending.
inline void clearScreen()
{
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glViewport(0, 0, kScreenWidth, kScreenHeight);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
}

class Screen {
public:
    Screen() : pixels_(static_cast<size_t>(kScreenWidth) * kScreenHeight * 4)
    {
        glFinish();
        glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
        glReadBuffer(GL_BACK);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, kScreenWidth, kScreenHeight, GL_RGBA, GL_UNSIGNED_BYTE, pixels_.data());
    }
    // Channel c (0 red .. 3 alpha) of the pixel x, y counted from the top-left.
    int at(int x, int y, int c) const
    {
        return pixels_[(static_cast<size_t>(kScreenHeight - 1 - y) * kScreenWidth + x) * 4 + c];
    }
    bool lit(int x, int y, int threshold = 64) const { return at(x, y, 0) + at(x, y, 1) + at(x, y, 2) > threshold; }
    // Lit pixels in [x0, x1) x [y0, y1), clipped to the screen.
    int countLit(int x0, int y0, int x1, int y1, int threshold = 64) const
    {
        int count = 0;
        for (int y = std::max(y0, 0); y < std::min(y1, kScreenHeight); ++y)
            for (int x = std::max(x0, 0); x < std::min(x1, kScreenWidth); ++x)
                count += lit(x, y, threshold);
        return count;
    }

private:
    std::vector<uint8_t> pixels_;
};

} // namespace kve::test

// Korvane Engine - Physics: fly the camera and throw balls, planks and burning bombs
// into a lit, shadowed scene. Start-up, the main loop and shutdown.
#include <cstdio>

#include "demo_options.h"
#include "kve.h"

namespace {

constexpr int kWindowWidth = 1600;
constexpr int kWindowHeight = 900;

// Drains the window's events; false when the window was closed.
bool handleEvents()
{
    KVE_MESSAGE message;
    while (KVE_PeekMessage(&message))
        if (message.message == KVE_WM_CLOSE)
            return false;
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const DemoOptions options = parseDemoOptions(argc, argv);
    if (options.help || !options.error.empty()) {
        if (!options.error.empty())
            std::fprintf(stderr, "physics: %s\n", options.error.c_str());
        std::fputs(demoUsage(), options.help ? stdout : stderr);
        return options.help ? 0 : 2;
    }

    const int window = KVE_OpenWindow("Korvane Engine - Physics", kWindowWidth, kWindowHeight, options.hidden);
    int width = 0, height = 0;
    KVE_GetWindowClientSize(window, &width, &height);
    if (!window || !KVE_OpenScreen(window, 0, 0, width, height, 32)) {
        std::fprintf(stderr, "physics: the window or its OpenGL 3.3 surface could not be made\n");
        return 1;
    }
    if (options.fixedFrameTime > 0)
        KVE_SetFixedFrameTime(options.fixedFrameTime);
    KVE_SetBackgroundColor(static_cast<int>(0xFF808080));

    for (int frame = 1;; ++frame) {
        if (!handleEvents())
            break;
        KVE_RenderScene(-1);
        const bool lastFrame = options.frames > 0 && frame >= options.frames;
        if (lastFrame && !options.screenshot.empty()) {
            if (KVE_SaveScreenshot(options.screenshot.c_str()))
                std::printf("Screenshot written to %s\n", options.screenshot.c_str());
            else
                std::fprintf(stderr, "physics: could not write %s\n", options.screenshot.c_str());
        }
        KVE_FlipBuffers();
        if (lastFrame)
            break;
    }
    KVE_Shutdown();
    return 0;
}

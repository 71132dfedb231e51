// Process-wide engine state shared by the start-up, frame and subsystem units.
#pragma once

#include <cstdint>

namespace kve::engine {

struct State {
    bool running = false; // between a successful KVE_OpenScreen and KVE_Shutdown
    int window = 0;       // the application's window
    int surface = 0;      // the drawing surface's number (the window's, on this platform)
    int screenX = 0, screenY = 0;
    int screenWidth = 0, screenHeight = 0;
    bool minimized = false; // the window has no client area: frames draw nothing
    int bitDepth = 0;
    int swapInterval = 0;
    int blendSource = 0, blendDestination = 0;
    unsigned textureFilter = 0; // default texture filter (GL_LINEAR after start-up)
    int logoSwitch = 0;

    // Default resources made at start-up (registry numbers; -1 until made, since 0 is a
    // number the application may use).
    int logoTexture = -1, logoMaterial = -1, logoSprite = -1;
    int defaultTextures[3] = {-1, -1, -1};
    int defaultCubeMap = -1;
    int defaultMaterial = -1;
};

State& state();

} // namespace kve::engine

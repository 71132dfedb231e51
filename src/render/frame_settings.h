// Renderer settings that persist between frames (glow, background, sky box).
#pragma once

namespace kve::render {

struct FrameSettings {
    int glowEnabled = 1;
    float glowBlurWidth = 2.5f; // blur tap spacing in screen pixels
    float background[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    int skyBoxEnabled = 0;
    int shadowMapReuse = 1; // 0: every shadow map face is cleared and drawn from all casters each frame
    int viewCulling = 1;    // 0: every pass draws every object its filter accepts
    int drawBatching = 1;   // 0: every object binds the Model buffer and its mesh again
};

FrameSettings& frameSettings();

} // namespace kve::render

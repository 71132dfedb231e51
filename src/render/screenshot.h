// Screenshots: the frame being drawn, and a copy of the last frame the flip presented.
#pragma once

namespace kve::render {

// Called by the flip just before the swap: keeps the finished frame when asked to.
void keepPresentedFrameIfWanted();
// Drops the kept frame and the request (engine shutdown).
void forgetPresentedFrame();

} // namespace kve::render

// Which pass of the frame is running, and (when timing is on) its time: from
// GL_TIME_ELAPSED queries read back a frame or more later, once the driver has their
// results, so that nothing waits for the GPU; or, where the driver's queries cannot be
// trusted, on the CPU clock with glFinish at every pass boundary.
#pragma once

namespace kve::render {

enum class RenderPass {
    DirectionalShadow,
    GBuffer,
    SkyBox,
    DirectLight,
    PointShadowMaps,
    PointLights,
    Forward,
    DebugLines,
    LinearDepth,
    Glow,
    Composition,
    OverImage,
    Particles,
    Billboards,
    Count,
    None = Count, // between frames: the 2D overlay, loading, the application's own GL
};

inline constexpr int kRenderPassCount = static_cast<int>(RenderPass::Count);

const char* renderPassName(RenderPass pass);
RenderPass currentRenderPass();

// Closes the running pass and opens `pass` (RenderPass::None closes without opening).
void beginRenderPass(RenderPass pass);
// Closes the last pass of the frame and collects the frames whose results are ready.
void endFrameTiming();

// Frees the queries and stops timing (shutdown; the figures stay readable).
void deletePassTimers();

} // namespace kve::render

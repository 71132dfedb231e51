// The renderer's own targets: the G-buffer of the deferred shading, the lit scene image
// with its second colour texture, the half-size glow pair and the screen quad that the
// full-screen passes draw with. All are sized from the screen and live until shutdown.
#pragma once

namespace kve::render {

// G-buffer textures by colour attachment; the depth texture follows them.
enum GBufferMap : int { kPositionMap = 0, kNormalMap, kDiffuseMap, kSpecularMap, kMiscMap, kDepthMap };
inline constexpr int kGBufferColorCount = 5;
inline constexpr int kGBufferTextureCount = 6;

struct GBuffer {
    unsigned framebuffer = 0;
    unsigned depthRenderbuffer = 0;
    unsigned textures[kGBufferTextureCount] = {};
    int width = 0, height = 0;
};

struct SceneTarget {
    unsigned framebuffer = 0;
    unsigned color[2] = {}; // the lit image, then the second image
};

struct GlowTarget {
    unsigned framebuffer = 0;
    unsigned textures[2] = {}; // A (attachment 0) and B (attachment 1)
    float scale = 0.5f;
    int width = 0, height = 0;
};

struct ScreenQuad {
    unsigned vertexArray = 0, buffer = 0;
};

GBuffer& gbuffer();
SceneTarget& sceneTarget();
GlowTarget& glowTarget();
const ScreenQuad& screenQuad();

// One side of the glow image: screen extent x scale, rounded to the nearest integer with
// halves going to the even neighbour (1365 x 0.5 -> 682, 767 x 0.5 -> 384).
int glowExtent(int screenExtent, float scale);

// Binds the five G-buffer draw buffers of the bound framebuffer (attachments 0 to 4).
void selectGBufferDrawBuffers();
// Binds the G-buffer's five colour maps to texture units 0 to 4.
void bindGBufferMaps();
// Draws the screen quad (a four-vertex strip in pixels, for the 2D matrix).
void drawScreenQuad();

// (Re)allocates the storage of the G-buffer textures and renderbuffer and of the glow
// textures at the current screen size.
void allocateGBufferStorage();
void allocateGlowStorage();
// The same for the scene target's two colour textures and the screen quad's corners.
void allocateSceneStorage();

// Deletes every target, quad and bare program (engine shutdown).
void deleteRenderTargets();

} // namespace kve::render

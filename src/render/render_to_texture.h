// The render-to-texture target: a framebuffer with a depth renderbuffer, made empty at
// start-up and sized when an application first renders into a texture.
#pragma once

namespace kve::render {

struct RenderToTextureTarget {
    unsigned framebuffer = 0;
    unsigned depthRenderbuffer = 0;
};

void createRenderToTextureTarget();
void deleteRenderToTextureTarget();
const RenderToTextureTarget& renderToTextureTarget();

} // namespace kve::render

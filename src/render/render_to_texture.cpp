#include "render/render_to_texture.h"

#include "platform/gl.h"

namespace kve::render {
namespace {

RenderToTextureTarget target;

} // namespace

void createRenderToTextureTarget()
{
    glGenRenderbuffers(1, &target.depthRenderbuffer);
    glGenFramebuffers(1, &target.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, target.framebuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, target.depthRenderbuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, target.depthRenderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
}

void deleteRenderToTextureTarget()
{
    if (target.framebuffer)
        glDeleteFramebuffers(1, &target.framebuffer);
    if (target.depthRenderbuffer)
        glDeleteRenderbuffers(1, &target.depthRenderbuffer);
    target = RenderToTextureTarget{};
}

const RenderToTextureTarget& renderToTextureTarget()
{
    return target;
}

} // namespace kve::render

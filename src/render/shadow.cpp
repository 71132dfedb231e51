// KVE_InitShadowTargets and the shadow-map passes: depth-only renders of the shadow
// casters from the light's point of view, into an orthographic 2D map for the
// directional light or the six faces of a cube map for a point light.
#include "render/shadow.h"

#include "core/engine.h"
#include "core/math.h"
#include "platform/gl.h"
#include "render/projection.h"
#include "render/render_targets.h"
#include "render/uniform_blocks.h"
#include "scene/light.h"
#include "scene/lighting.h"

namespace kve::render {
namespace {

ShadowTargets shadow;

constexpr float kDirectionalFar = 512.0f;
constexpr float kDirectionalExtent = 10.0f;
constexpr float kLightDistance = 128.0f;
constexpr float kCubeNear = 0.1f;
constexpr float kCubeFarPerRange = 0.982f * 32.0f;

void setDepthSampling(GLenum target)
{
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    if (target == GL_TEXTURE_CUBE_MAP)
        glTexParameteri(target, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
}

void beginShadowPass(const KVE_Matrix& projection, int size)
{
    glViewport(0, 0, size, size);
    glBindFramebuffer(GL_FRAMEBUFFER, shadow.framebuffer);
    shadow.lightProjection = projection;
    writeBlock(Block::Projection, 0, &projection, sizeof projection);
}

void endShadowPass(unsigned framebuffer)
{
    const auto& screen = engine::state();
    glViewport(0, 0, screen.screenWidth, screen.screenHeight);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer);
    uploadCurrentProjection();
}

// Queues 0 and 1 through the shadow casters, as seen by the light camera.
void drawCasters(ObjectFilter filter)
{
    KVE_Matrix worldToLightView = shadow.lightMatrix;
    KVE_InvertMatrix(&worldToLightView);
    shadow.worldToLightView = worldToLightView;
    const MeshPass pass{&shadow.worldToLightView, filter, false, true};
    walkQueue(KVE_QUEUE_GBUFFER, pass);
    walkQueue(KVE_QUEUE_FORWARD, pass);
}

} // namespace

ShadowTargets& shadowTargets()
{
    return shadow;
}

void deleteShadowTargets()
{
    for (unsigned texture : {shadow.map2D, shadow.cubeMap})
        if (texture)
            glDeleteTextures(1, &texture);
    if (shadow.renderbuffer)
        glDeleteRenderbuffers(1, &shadow.renderbuffer);
    if (shadow.framebuffer)
        glDeleteFramebuffers(1, &shadow.framebuffer);
    shadow = ShadowTargets{};
}

void renderDirectionalShadowMap()
{
    const auto& lighting = scene::lighting();
    beginShadowPass(orthographicMatrix(-kDirectionalExtent, kDirectionalExtent, -kDirectionalExtent,
                                       kDirectionalExtent, 0.5f, kDirectionalFar),
                    shadow.size2D);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, shadow.map2D, 0);
    glClear(GL_DEPTH_BUFFER_BIT);

    // The light camera sits on the light's side of the shadow centre, looking at it.
    const KVE_Vector origin{0, 0, 0, 1};
    const KVE_Vector lightPosition{-kLightDistance * lighting.direction[0], -kLightDistance * lighting.direction[1],
                                   -kLightDistance * lighting.direction[2], 1.0f};
    const KVE_Vector up{0, 1, 0, 0};
    KVE_LookAtMatrix(&shadow.lightMatrix, &origin, &lightPosition, &up);
    shadow.lightMatrix.c[3] = {lighting.shadowCentre[0] - lightPosition.x, lighting.shadowCentre[1] - lightPosition.y,
                               lighting.shadowCentre[2] - lightPosition.z, 1.0f};
    drawCasters(ObjectFilter::Caster);
    endShadowPass(gbuffer().framebuffer);
}

void renderCubeShadowMap(const KVE_LIGHT& light, unsigned cubeTexture, ObjectFilter filter, unsigned framebuffer)
{
    beginShadowPass(perspectiveMatrix(90.0f, 1.0f, kCubeNear, light.range * kCubeFarPerRange), shadow.sizeCube);
    const KVE_Vector position = scene::lightWorldMatrix(light).c[3];
    for (int face = 0; face < 6; ++face) {
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_CUBE_MAP_POSITIVE_X + face,
                               cubeTexture, 0);
        glClear(GL_DEPTH_BUFFER_BIT);
        shadow.lightMatrix = shadow.faces[face];
        shadow.lightMatrix.c[3] = {position.x, position.y, position.z, 1.0f};
        drawCasters(filter);
    }
    endShadowPass(framebuffer);
}

} // namespace kve::render

extern "C" int KVE_InitShadowTargets(int size)
{
    using namespace kve::render;
    deleteShadowTargets();
    if (size <= 0)
        return 0;
    shadow.size2D = shadow.sizeCube = size;

    glGenTextures(1, &shadow.map2D);
    glBindTexture(GL_TEXTURE_2D, shadow.map2D);
    setDepthSampling(GL_TEXTURE_2D);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT16, size, size, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);

    glGenTextures(1, &shadow.cubeMap);
    glBindTexture(GL_TEXTURE_CUBE_MAP, shadow.cubeMap);
    setDepthSampling(GL_TEXTURE_CUBE_MAP);
    for (int face = 0; face < 6; ++face)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_DEPTH_COMPONENT16, size, size, 0,
                     GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);

    glGenRenderbuffers(1, &shadow.renderbuffer);
    glBindRenderbuffer(GL_RENDERBUFFER, shadow.renderbuffer);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, size, size);
    glGenFramebuffers(1, &shadow.framebuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, shadow.framebuffer);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, shadow.renderbuffer);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, shadow.map2D, 0);
    glDrawBuffer(GL_NONE);
    glReadBuffer(GL_NONE);
    const bool complete = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    if (!complete) {
        deleteShadowTargets();
        return 0;
    }
    // Cube-map face order with the face orientations of the cube-map convention.
    const KVE_Vector axes[6] = {{1, 0, 0, 0}, {-1, 0, 0, 0}, {0, 1, 0, 0}, {0, -1, 0, 0}, {0, 0, 1, 0}, {0, 0, -1, 0}};
    const KVE_Vector ups[6] = {{0, -1, 0, 0}, {0, -1, 0, 0}, {0, 0, 1, 0}, {0, 0, -1, 0}, {0, -1, 0, 0}, {0, -1, 0, 0}};
    const KVE_Vector eye{0, 0, 0, 1};
    for (int face = 0; face < 6; ++face) {
        const KVE_Vector target{axes[face].x, axes[face].y, axes[face].z, 1.0f};
        KVE_LookAtMatrix(&shadow.faces[face], &eye, &target, &ups[face]);
    }
    return 1;
}

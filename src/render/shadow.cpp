// KVE_InitShadowTargets and the shadow-map passes: depth-only renders of the shadow
// casters from the light's point of view, into an orthographic 2D map for the
// directional light or the six faces of a cube map for a point light.
#include "render/shadow.h"

#include <algorithm>
#include <array>
#include <vector>

#include "core/engine.h"
#include "core/math.h"
#include "platform/gl.h"
#include "render/frame_settings.h"
#include "render/projection.h"
#include "render/render_targets.h"
#include "render/uniform_blocks.h"
#include "render/view_culling.h"
#include "scene/light.h"
#include "scene/lighting.h"

namespace kve::render {
namespace {

ShadowTargets shadow;

// A cube map of its own keeps a light's faces between frames; at 2048^2 each costs
// 48 MB, so only the first few shadowed lights get one and the rest share one map.
constexpr size_t kOwnCubeMaps = 3;

struct OwnedCube {
    const KVE_LIGHT* light = nullptr; // only compared: the light may be gone
    unsigned texture = 0;
    ShadowFaceRecord faces[6];
};

std::array<OwnedCube, kOwnCubeMaps> ownedCubes;
ShadowFaceRecord sharedCubeFaces[6];
ShadowFaceRecord directionalRecord;
ShadowSignature signature;           // scratch, kept for its capacity
std::vector<ShadowRect> changedPixels; // scratch
ShadowFaceCounts faceCounts;

constexpr float kDirectionalNear = 0.5f, kDirectionalFar = 512.0f;
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

unsigned makeDepthCube(int size)
{
    unsigned texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_CUBE_MAP, texture);
    setDepthSampling(GL_TEXTURE_CUBE_MAP);
    for (int face = 0; face < 6; ++face)
        glTexImage2D(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face, 0, GL_DEPTH_COMPONENT16, size, size, 0,
                     GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    glBindTexture(GL_TEXTURE_CUBE_MAP, 0);
    return texture;
}

void forget(ShadowFaceRecord* records, int count)
{
    for (int i = 0; i < count; ++i)
        records[i].valid = false;
}

void drawQueues(const MeshPass& pass)
{
    walkQueue(KVE_QUEUE_GBUFFER, pass);
    walkQueue(KVE_QUEUE_FORWARD, pass);
}

// Clears the changed rectangles of the attached map and draws again the casters that
// reach into them: the small ones whole, the large ones scissored to each rectangle
// they meet. Outside the rectangles a caster drawn whole changes nothing: the map there
// already holds the nearest depth of all casters, its own included, and the depth test
// keeps only nearer ones.
void redrawRects(MeshPass pass, ShadowVolume volume, const std::vector<ShadowRect>& rects)
{
    volume.clips = &rects;
    volume.largeArea = 0;
    for (const ShadowRect& rect : rects)
        volume.largeArea += rect.area();
    pass.volume = &volume;
    glEnable(GL_SCISSOR_TEST);
    for (size_t i = 0; i < rects.size(); ++i) {
        const ShadowRect& rect = rects[i];
        glScissor(rect.x0, rect.y0, rect.x1 - rect.x0, rect.y1 - rect.y0);
        glClear(GL_DEPTH_BUFFER_BIT);
        volume.clip = static_cast<int>(i);
        drawQueues(pass);
    }
    glDisable(GL_SCISSOR_TEST);
    volume.clip = -1;
    drawQueues(pass);
}

// Queues 0 and 1 through the shadow casters, as seen by the light camera, into the
// attached `size` square depth map. With a record, only the casters meeting `volume`
// are drawn: nothing at all when the map already holds what they would draw, and only
// within the rectangles that changed when few did.
void drawCasters(ObjectFilter filter, ShadowFaceRecord* record, ShadowVolume volume, int size)
{
    KVE_Matrix worldToLightView = shadow.lightMatrix;
    KVE_InvertMatrix(&worldToLightView);
    shadow.worldToLightView = worldToLightView;
    MeshPass pass{&shadow.worldToLightView, filter, false, true};
    if (record) {
        volume.size = size;
        KVE_MultiplyMatrix(&volume.viewProjection, &shadow.lightProjection, &shadow.worldToLightView);
        buildShadowSignature(signature, shadow.lightProjection, shadow.worldToLightView, filter, volume);
        if (record->valid && record->drawn.words == signature.words) {
            ++faceCounts.kept;
            return;
        }
        pass.volume = &volume;
        ++faceCounts.drawn;
        if (record->valid && changedRects(record->drawn, signature, size, changedPixels)) {
            ++faceCounts.partial;
            redrawRects(pass, volume, changedPixels);
        } else {
            glClear(GL_DEPTH_BUFFER_BIT);
            if (!signature.empty)
                drawQueues(pass);
        }
        std::swap(record->drawn, signature);
        record->valid = true;
        return;
    }
    ++faceCounts.drawn;
    glClear(GL_DEPTH_BUFFER_BIT);
    if (viewCullingEnabled())
        pass.volume = &volume;
    drawQueues(pass);
}

} // namespace

ShadowTargets& shadowTargets()
{
    return shadow;
}

const ShadowFaceCounts& shadowFaceCounts()
{
    return faceCounts;
}

void deleteShadowTargets()
{
    for (unsigned texture : {shadow.map2D, shadow.cubeMap})
        if (texture)
            glDeleteTextures(1, &texture);
    for (OwnedCube& cube : ownedCubes) {
        if (cube.texture)
            glDeleteTextures(1, &cube.texture);
        cube = OwnedCube{};
    }
    forget(sharedCubeFaces, 6);
    directionalRecord.valid = false;
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
                                       kDirectionalExtent, kDirectionalNear, kDirectionalFar),
                    shadow.size2D);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, shadow.map2D, 0);

    // The light camera sits on the light's side of the shadow centre, looking at it.
    const KVE_Vector origin{0, 0, 0, 1};
    const KVE_Vector lightPosition{-kLightDistance * lighting.direction[0], -kLightDistance * lighting.direction[1],
                                   -kLightDistance * lighting.direction[2], 1.0f};
    const KVE_Vector up{0, 1, 0, 0};
    KVE_LookAtMatrix(&shadow.lightMatrix, &origin, &lightPosition, &up);
    shadow.lightMatrix.c[3] = {lighting.shadowCentre[0] - lightPosition.x, lighting.shadowCentre[1] - lightPosition.y,
                               lighting.shadowCentre[2] - lightPosition.z, 1.0f};
    const bool reuse = frameSettings().shadowMapReuse != 0;
    if (!reuse)
        directionalRecord.valid = false;
    drawCasters(ObjectFilter::Caster, reuse ? &directionalRecord : nullptr,
                orthographicVolume(shadow.lightMatrix, kDirectionalExtent, kDirectionalNear, kDirectionalFar),
                shadow.size2D);
    endShadowPass(gbuffer().framebuffer);
}

void renderCubeShadowMap(const KVE_LIGHT& light, unsigned cubeTexture, ObjectFilter filter, unsigned framebuffer,
                         ShadowFaceRecord* faces)
{
    const float far = light.range * kCubeFarPerRange;
    beginShadowPass(perspectiveMatrix(90.0f, 1.0f, kCubeNear, far), shadow.sizeCube);
    const KVE_Vector position = scene::lightWorldMatrix(light).c[3];
    if (!faces && cubeTexture == shadow.cubeMap)
        forget(sharedCubeFaces, 6);
    for (int face = 0; face < 6; ++face) {
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_CUBE_MAP_POSITIVE_X + face,
                               cubeTexture, 0);
        shadow.lightMatrix = shadow.faces[face];
        shadow.lightMatrix.c[3] = {position.x, position.y, position.z, 1.0f};
        drawCasters(filter, faces ? &faces[face] : nullptr, cubeFaceVolume(position, face, kCubeNear, far),
                    shadow.sizeCube);
    }
    endShadowPass(framebuffer);
}

LightCube lightCubeMap(const KVE_LIGHT& light)
{
    OwnedCube* free = nullptr;
    for (OwnedCube& cube : ownedCubes) {
        if (cube.light == &light)
            return {cube.texture, cube.faces};
        if (!cube.light && !free)
            free = &cube;
    }
    if (free && !free->texture && shadow.sizeCube > 0)
        free->texture = makeDepthCube(shadow.sizeCube);
    if (!free || !free->texture)
        return {shadow.cubeMap, sharedCubeFaces};
    // What the faces hold is described by their signatures, whichever light drew them.
    free->light = &light;
    return {free->texture, free->faces};
}

void releaseUnlistedLightCubes()
{
    const auto& lights = scene::pointLights();
    for (OwnedCube& cube : ownedCubes)
        if (cube.light && std::find(lights.begin(), lights.end(), cube.light) == lights.end())
            cube.light = nullptr;
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

    shadow.cubeMap = makeDepthCube(size);

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

extern "C" void KVE_SetShadowMapReuse(int enabled)
{
    kve::render::frameSettings().shadowMapReuse = enabled ? 1 : 0;
}

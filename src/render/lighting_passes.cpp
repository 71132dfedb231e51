// Lighting passes over the G-buffer, and KVE_BakeStaticShadows.
#include "render/lighting_passes.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "core/math.h"
#include "platform/gl.h"
#include "render/frame.h"
#include "render/frame_settings.h"
#include "render/gbuffer.h"
#include "render/light_volumes.h"
#include "render/pass_timer.h"
#include "render/render_targets.h"
#include "render/shadow.h"
#include "render/uniform_blocks.h"
#include "scene/camera.h"
#include "scene/light.h"
#include "scene/lighting.h"

namespace kve::render {
namespace {

// The light volume is drawn slightly inside the range so its edge carries no light.
constexpr float kRangeShrink = 0.982f;

std::vector<PointLightInstance> instances; // grows to the largest light count, never shrinks

KVE_Matrix lightModelView(const KVE_LIGHT& light)
{
    const KVE_Matrix world = scene::lightWorldMatrix(light);
    KVE_Matrix modelView;
    KVE_MultiplyMatrix(&modelView, &frameMatrices().view, &world);
    return modelView;
}

void setMatrix(int location, const KVE_Matrix& matrix)
{
    glUniformMatrix4fv(location, 1, GL_FALSE, &matrix.c[0].x);
}

// Additive light volumes: back faces only, so a camera inside a volume still lights.
void setVolumeState()
{
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_FRONT);
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
}

void drawShadowedPointLight(const KVE_LIGHT& light)
{
    ShadowTargets& shadow = shadowTargets();
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glCullFace(GL_BACK);
    // A static light's static objects are already in its baked map.
    const bool baked = light.isStatic && light.staticShadowMap >= 0;
    const LightCube cube =
        frameSettings().shadowMapReuse ? lightCubeMap(light) : LightCube{shadow.cubeMap, nullptr};
    beginRenderPass(RenderPass::PointShadowMaps);
    renderCubeShadowMap(light, cube.texture, baked ? ObjectFilter::DynamicCaster : ObjectFilter::Caster,
                        sceneTarget().framebuffer, cube.faces);
    beginRenderPass(RenderPass::PointLights);
    const FrameMatrices& frame = frameMatrices();
    KVE_Matrix lightToTexture;
    KVE_MultiplyMatrix(&lightToTexture, &shadow.lightProjection, &shadow.worldToLightView);
    KVE_MultiplyMatrix(&shadow.shadowTextureMatrix, &lightToTexture, &frame.cameraWorld);

    const BareProgram& program = gbufferPrograms().shadowedPointLight;
    glUseProgram(program.program);
    bindGBufferMaps();
    glActiveTexture(GL_TEXTURE5);
    glBindTexture(GL_TEXTURE_CUBE_MAP, cube.texture);
    if (baked) {
        glActiveTexture(GL_TEXTURE6);
        glBindTexture(GL_TEXTURE_CUBE_MAP, static_cast<unsigned>(light.staticShadowMap));
    }
    setMatrix(program.locations[kShadowedWorldView], frame.cameraWorld);
    setMatrix(program.locations[kShadowedShadowTexture], shadow.shadowTextureMatrix);
    setVolumeState();

    LightBlock block;
    std::memcpy(&block, uniformBlock(Block::Light).data, sizeof block);
    std::memcpy(block.position, &light.viewPosition, sizeof block.position);
    block.range = light.range * kRangeShrink;
    std::memcpy(block.color, &light.color, sizeof block.color);
    block.intensity = light.intensity;
    block.staticFlag = baked ? 1 : 0;
    writeLightBlock(block);
    writeModelBlock(lightModelView(light));
    drawPointLightVolume();
}

void appendInstance(const KVE_LIGHT& light)
{
    PointLightInstance instance;
    instance.modelView = lightModelView(light);
    std::memcpy(instance.position, &light.viewPosition, sizeof instance.position);
    instance.range = light.range * kRangeShrink;
    std::memcpy(instance.color, &light.color, sizeof instance.color);
    instance.intensity = light.intensity;
    instances.push_back(instance);
}

} // namespace

void updateLightViewPositions()
{
    const KVE_Matrix& view = frameMatrices().view;
    for (const auto* list : {&scene::pointLights(), &scene::spotLights()})
        for (KVE_LIGHT* light : *list)
            if (light->enabled) {
                light->viewPosition = scene::lightWorldMatrix(*light).c[3];
                KVE_TransformVector(&light->viewPosition, &view);
            }
}

void drawDirectLight()
{
    const auto& lighting = scene::lighting();
    const BareProgram& program = gbufferPrograms().directLight;
    const auto& at = program.locations;
    glDisable(GL_DEPTH_TEST);
    glUseProgram(program.program);
    bindGBufferMaps();
    glActiveTexture(GL_TEXTURE5);
    glBindTexture(GL_TEXTURE_2D, shadowTargets().map2D);
    glUniform4fv(at[kDirectAmbientColor], 1, lighting.ambient);
    int state = 0;
    if (lighting.directEnabled) {
        const FrameMatrices& frame = frameMatrices();
        KVE_Vector direction{-lighting.direction[0], -lighting.direction[1], -lighting.direction[2], 0.0f};
        KVE_TransformVector(&direction, &frame.view);
        glUniform4f(at[kDirectLightDirection], direction.x, direction.y, direction.z, 0.0f);
        glUniform4fv(at[kDirectLightColor], 1, lighting.color);
        glUniform1f(at[kDirectLightIntensity], lighting.intensity);
        state = 1;
        if (lighting.shadowsEnabled) {
            state = 2;
            const ShadowTargets& shadow = shadowTargets();
            setMatrix(at[kDirectWorldToLightView], shadow.worldToLightView);
            setMatrix(at[kDirectLightViewToProjection], shadow.lightProjection);
            setMatrix(at[kDirectWorldToCameraView], frame.view);
        }
    }
    glUniform1i(at[kDirectLightState], state);
    drawDirectLightQuad();
}

void drawPointLights()
{
    const auto& lights = scene::pointLights();
    const bool shadows = scene::lighting().shadowsEnabled != 0 && shadowTargets().framebuffer != 0;
    instances.clear();
    instances.reserve(lights.size());
    releaseUnlistedLightCubes();
    setVolumeState();
    for (const KVE_LIGHT* light : lights) {
        if (!light->enabled)
            continue;
        if (shadows && light->castsShadows)
            drawShadowedPointLight(*light);
        else
            appendInstance(*light);
    }
    if (!instances.empty()) {
        setVolumeState();
        glUseProgram(gbufferPrograms().pointLight.program);
        bindGBufferMaps();
        // More lights than the instance stream holds are drawn in several batches.
        for (size_t first = 0; first < instances.size(); first += kPointLightInstances) {
            const size_t count = std::min<size_t>(kPointLightInstances, instances.size() - first);
            drawPointLightInstances(instances.data() + first, static_cast<int>(count));
        }
    }
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glCullFace(GL_BACK);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
}

} // namespace kve::render

extern "C" void KVE_BakeStaticShadows(void)
{
    using namespace kve::render;
    if (!shadowTargets().framebuffer)
        return;
    kve::scene::updateCamera();
    setFrameMatrices();
    updateLightViewPositions();
    GLint framebuffer = 0;
    glGetIntegerv(GL_DRAW_FRAMEBUFFER_BINDING, &framebuffer);
    writeModelBlock(frameMatrices().view);
    glEnable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    for (const KVE_LIGHT* light : kve::scene::pointLights())
        if (light->isStatic && light->castsShadows && light->staticShadowMap >= 0)
            renderCubeShadowMap(*light, static_cast<unsigned>(light->staticShadowMap), ObjectFilter::StaticCaster,
                                static_cast<unsigned>(framebuffer), nullptr);
}

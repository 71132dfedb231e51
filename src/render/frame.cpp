// The frame: KVE_RenderScene's passes in order (shadow map, G-buffer, deferred lighting,
// forward and over-image passes, glow, composition, particles and billboards) and the
// renderer settings operations.
#include "render/frame.h"

#include "core/engine.h"
#include "gpu/material.h"
#include "gpu/texture.h"
#include "kve.h"
#include "platform/gl.h"
#include "render/builtin_programs.h"
#include "render/frame_passes.h"
#include "render/frame_settings.h"
#include "render/gbuffer.h"
#include "render/lighting_passes.h"
#include "render/pass_timer.h"
#include "render/projection.h"
#include "render/render_targets.h"
#include "render/screen_program.h"
#include "render/shadow.h"
#include "render/sky_box.h"
#include "render/uniform_blocks.h"
#include "render/view_culling.h"
#include "scene/billboard.h"
#include "scene/camera.h"
#include "scene/lighting.h"

namespace kve::render {
namespace {

FrameMatrices matrices;
unsigned billboardArray = 0, billboardBuffer = 0;

// Blur weights of the 11 taps and the strengthening factor live in the blur program.
constexpr GLenum kMiscDrawBuffers[kGBufferColorCount] = {GL_NONE, GL_NONE, GL_NONE, GL_NONE, GL_COLOR_ATTACHMENT4};

void bindTexture2D(int unit, unsigned texture)
{
    glActiveTexture(GL_TEXTURE0 + unit);
    glBindTexture(GL_TEXTURE_2D, texture);
}

void linearizeDepth()
{
    glDisable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glDisable(GL_DEPTH_TEST);
    glBindFramebuffer(GL_FRAMEBUFFER, gbuffer().framebuffer);
    glDrawBuffers(kGBufferColorCount, kMiscDrawBuffers);
    // Only the red channel: the alpha keeps the coverage mark.
    glColorMaski(4, GL_TRUE, GL_FALSE, GL_FALSE, GL_FALSE);
    glUseProgram(gbufferPrograms().depthLinearize.program);
    bindTexture2D(0, gbuffer().textures[kDepthMap]);
    drawScreenQuad();
    glColorMaski(4, GL_TRUE, GL_TRUE, GL_TRUE, GL_TRUE);
    selectGBufferDrawBuffers();
}

// Glow: the emissive share of the diffuse map at half size, blurred horizontally (A to
// B) and vertically (B to A) with the separable Gaussian of the blur program.
void buildGlow()
{
    const GlowTarget& glow = glowTarget();
    const auto& screen = engine::state();
    const GBufferPrograms& programs = gbufferPrograms();
    const float width = frameSettings().glowBlurWidth;
    glBindFramebuffer(GL_FRAMEBUFFER, glow.framebuffer);
    glViewport(0, 0, glow.width, glow.height);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glUseProgram(programs.glow.program);
    bindTexture2D(0, gbuffer().textures[kDiffuseMap]);
    bindTexture2D(1, gbuffer().textures[kMiscMap]);
    drawScreenQuad();

    glUseProgram(programs.blur.program);
    const auto& at = programs.blur.locations;
    glDrawBuffer(GL_COLOR_ATTACHMENT1);
    bindTexture2D(0, glow.textures[0]);
    glUniform1f(at[kBlurUShift], width / static_cast<float>(screen.screenWidth));
    glUniform1f(at[kBlurVShift], 0.0f);
    drawScreenQuad();
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    bindTexture2D(0, glow.textures[1]);
    glUniform1f(at[kBlurUShift], 0.0f);
    glUniform1f(at[kBlurVShift], width / static_cast<float>(screen.screenHeight));
    drawScreenQuad();
    glViewport(0, 0, screen.screenWidth, screen.screenHeight);
}

void copyToOutput(unsigned texture)
{
    const ScreenProgram& screen = screenProgram();
    glUseProgram(screen.program);
    glUniform1i(screen.colorMapLocation, 0);
    bindTexture2D(0, texture);
    drawScreenQuad();
}

void buildBillboardQuad()
{
    // x, y, z, w, u, v: a unit quad centred on the instance's origin.
    const float vertices[] = {-0.5f, 0.5f, 0, 1, 0, 1, -0.5f, -0.5f, 0, 1, 0, 0,
                              0.5f,  0.5f, 0, 1, 1, 1, 0.5f,  -0.5f, 0, 1, 1, 0};
    glGenVertexArrays(1, &billboardArray);
    glBindVertexArray(billboardArray);
    glGenBuffers(1, &billboardBuffer);
    glBindBuffer(GL_ARRAY_BUFFER, billboardBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof vertices, vertices, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 4, GL_FLOAT, GL_FALSE, 24, nullptr);
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, 24, reinterpret_cast<const void*>(16));
}

void drawBillboards()
{
    const ShaderProgram* program = builtinProgram(KVE_SHADER_BILLBOARD);
    if (!program || scene::billboards().size() == 0)
        return;
    if (!billboardArray)
        buildBillboardQuad();
    glUseProgram(program->program);
    const GLuint p = program->program;
    glUniform1i(glGetUniformLocation(p, "ColorMap"), 0);
    glUniform1i(glGetUniformLocation(p, "DepthMap"), 1);
    glUniform1i(glGetUniformLocation(p, "InstancesTextureBuffer"), 2);
    const GLint modeLocation = glGetUniformLocation(p, "iProjectionMode");
    writeModelMatrix(matrices.view);
    bindTexture2D(1, gbuffer().textures[kDepthMap]);
    glBindVertexArray(billboardArray);
    scene::billboards().forEach([&](const KVE_BILLBOARD& set) {
        const auto* material = gpu::findMaterial(set.material);
        if (!set.enabled || !material || set.instanceCount <= 0)
            return;
        glBlendFunc(static_cast<GLenum>(material->blendSource), static_cast<GLenum>(material->blendDestination));
        const auto* texture = gpu::findTexture(material->textures[0]);
        bindTexture2D(0, texture ? texture->texture : 0);
        glActiveTexture(GL_TEXTURE2);
        glBindTexture(GL_TEXTURE_BUFFER, set.instanceTexture);
        glUniform1i(modeLocation, set.projectionMode);
        glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, 4, set.instanceCount);
    });
}

} // namespace

const FrameMatrices& frameMatrices()
{
    return matrices;
}

void setFrameMatrices()
{
    matrices.cameraWorld = scene::cameraWorldMatrix();
    matrices.view = scene::cameraViewMatrix();
}

std::function<void(const KVE_Matrix& view)>& particleDrawHook()
{
    static std::function<void(const KVE_Matrix& view)> hook;
    return hook;
}

void deleteFrameGeometry()
{
    deleteSkyBox();
    if (billboardArray) {
        glDeleteVertexArrays(1, &billboardArray);
        glDeleteBuffers(1, &billboardBuffer);
    }
    billboardArray = billboardBuffer = 0;
    resetProgramSlots();
    deletePassTimers();
}

} // namespace kve::render

extern "C" {

void KVE_SetBackgroundColor(int color)
{
    auto& background = kve::render::frameSettings().background;
    const auto packed = static_cast<uint32_t>(color);
    for (int i = 0; i < 4; ++i)
        background[i] = static_cast<float>((packed >> (8 * i)) & 0xFF) / 255.0f;
    if ((packed >> 24) == 0)
        background[3] = 1.0f;
    if (kve::engine::state().running)
        glClearColor(background[0], background[1], background[2], background[3]);
}

void KVE_SetGlow(int enabled)
{
    kve::render::frameSettings().glowEnabled = enabled;
}

void KVE_SetGlowBlur(float width)
{
    kve::render::frameSettings().glowBlurWidth = width;
}

void KVE_EnableSkyBox(int enabled)
{
    kve::render::frameSettings().skyBoxEnabled = enabled;
}

int KVE_RenderScene(int framebuffer)
{
    using namespace kve::render;
    const auto& screen = kve::engine::state();
    if (!screen.running || screen.minimized)
        return 0;
    const FrameSettings& settings = frameSettings();
    const auto& lighting = kve::scene::lighting();
    const GBuffer& g = gbuffer();

    // 1. Frame set-up.
    kve::scene::updateCamera();
    setFrameMatrices();
    beginDrawCounts();
    KVE_Matrix viewProjection;
    KVE_MultiplyMatrix(&viewProjection, &currentProjectionMatrix(), &matrices.view);
    const ShadowVolume cameraVolume = viewVolume(viewProjection);
    const ShadowVolume* cull = settings.viewCulling ? &cameraVolume : nullptr;
    updateLightViewPositions();
    glViewport(0, 0, screen.screenWidth, screen.screenHeight);
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);

    // 2. Directional shadow map.
    if (lighting.shadowsEnabled && shadowTargets().framebuffer) {
        beginRenderPass(RenderPass::DirectionalShadow);
        renderDirectionalShadowMap();
    }

    // 3. G-buffer pass.
    beginRenderPass(RenderPass::GBuffer);
    glBindFramebuffer(GL_FRAMEBUFFER, g.framebuffer);
    selectGBufferDrawBuffers();
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    walkQueue(KVE_QUEUE_GBUFFER, {&matrices.view, ObjectFilter::Camera, false, false, nullptr, cull});

    // 4. Lighting set-up: the lit image is added up in the scene target.
    glBindFramebuffer(GL_FRAMEBUFFER, sceneTarget().framebuffer);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    glClear(GL_COLOR_BUFFER_BIT);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);

    // 5-7. Sky, ambient with the directional light, point lights.
    if (settings.skyBoxEnabled) {
        beginRenderPass(RenderPass::SkyBox);
        drawSkyBox(matrices.view);
    }
    beginRenderPass(RenderPass::DirectLight);
    drawDirectLight();
    beginRenderPass(RenderPass::PointLights);
    drawPointLights();

    // 8. Unlit forward surfaces, depth-tested against the opaque scene.
    beginRenderPass(RenderPass::Forward);
    walkQueue(KVE_QUEUE_FORWARD, {&matrices.view, ObjectFilter::Visible, true, false, nullptr, cull});

    // 9. Debug lines.
    beginRenderPass(RenderPass::DebugLines);
    KVE_DrawLines();

    // 10-11. Linear depth into the misc map, then the glow image.
    beginRenderPass(RenderPass::LinearDepth);
    linearizeDepth();
    if (settings.glowEnabled) {
        beginRenderPass(RenderPass::Glow);
        buildGlow();
    }

    // 12. Composition over the background colour.
    beginRenderPass(RenderPass::Composition);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer < 0 ? 0 : static_cast<GLuint>(framebuffer));
    glClearColor(settings.background[0], settings.background[1], settings.background[2], settings.background[3]);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    copyToOutput(sceneTarget().color[0]);

    // 13. Water, refraction and mesh glow over the composed image.
    beginRenderPass(RenderPass::OverImage);
    walkQueue(KVE_QUEUE_OVERLAY, {&matrices.view, ObjectFilter::Visible, true, false, nullptr, cull});

    // 14. Glow addition.
    if (settings.glowEnabled) {
        beginRenderPass(RenderPass::Composition);
        glBlendFunc(GL_ONE, GL_ONE);
        copyToOutput(glowTarget().textures[0]);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    }

    // 15. Particles, then billboards.
    beginRenderPass(RenderPass::Particles);
    if (auto& drawParticles = particleDrawHook())
        drawParticles(matrices.view);
    glDepthMask(GL_FALSE);
    glEnable(GL_BLEND);
    beginRenderPass(RenderPass::Billboards);
    drawBillboards();
    endFrameTiming();
    endDrawCounts();

    // 16. State for the 2D overlay.
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_TRUE);
    KVE_SetBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glBindVertexArray(0);
    glActiveTexture(GL_TEXTURE0);
    return 0;
}

} // extern "C"

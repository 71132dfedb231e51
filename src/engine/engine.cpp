// Engine start-up and shutdown: the drawing surface and its GL context, the ordered
// initialisation of every subsystem, and the release of everything at the end.
#include "core/engine.h"

#include <algorithm>
#include <string>

#include "core/log.h"
#include "core/timing.h"
#include "defs/definition_node.h"
#include "engine/resource_reload.h"
#include "geometry/mesh.h"
#include "gpu/material.h"
#include "gpu/shader.h"
#include "gpu/texture_defaults.h"
#include "kve.h"
#include "particles/emitter.h"
#include "physics/physics.h"
#include "platform/audio.h"
#include "platform/context_extensions.h"
#include "platform/gl.h"
#include "platform/platform.h"
#include "render/font.h"
#include "render/frame.h"
#include "render/frame_settings.h"
#include "render/gl_errors.h"
#include "render/lines.h"
#include "render/projection.h"
#include "render/quad_batch.h"
#include "render/render_targets.h"
#include "render/render_to_texture.h"
#include "render/screen_program.h"
#include "render/screenshot.h"
#include "render/sprite.h"
#include "render/uniform_blocks.h"
#include "scene/animation.h"
#include "scene/billboard.h"
#include "scene/light.h"
#include "scene/lighting.h"
#include "scene/node.h"
#include "scene/object.h"
#include "sound/sound.h"

namespace kve::engine {
namespace {

platform::ContextInfo grantedContext;

std::string glText(GLenum name)
{
    const auto* text = reinterpret_cast<const char*>(glGetString(name));
    return text ? text : "";
}

std::string describeGrantedContext()
{
    const auto& c = grantedContext;
    return "Surface: " + std::string(platform::videoDriverName()) + ", OpenGL " + std::to_string(c.major) + "." +
           std::to_string(c.minor) + (c.coreProfile ? " core" : " compatibility") + ", RGBA " +
           std::to_string(c.red) + "/" + std::to_string(c.green) + "/" + std::to_string(c.blue) + "/" +
           std::to_string(c.alpha) + ", depth " + std::to_string(c.depth) +
           (c.doubleBuffered ? ", double-buffered" : ", single-buffered");
}

// Default GL state. The fixed-function calls of older contexts (shade model, lighting
// and texture enables, perspective hint) do not exist in a core context and are skipped.
void setDefaultGLState()
{
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_CULL_FACE);
    glCullFace(GL_BACK);
    glEnable(GL_BLEND);
    KVE_SetBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glEnable(GL_PROGRAM_POINT_SIZE);
    glPointSize(1.0f);
}

void logSystem()
{
    KVE_BeginLogSection("System", 0);
    log::progress(glText(GL_RENDERER), "KVE_Init");
    log::progress("OpenGL " + glText(GL_VERSION), "KVE_Init");
    log::progress("GLSL " + glText(GL_SHADING_LANGUAGE_VERSION), "KVE_Init");
    KVE_EndLogSection();
    log::progress(describeGrantedContext(), "KVE_Init");
}

} // namespace

} // namespace kve::engine

namespace platform = kve::platform;

namespace {
kve::engine::State& engineState = kve::engine::state();
} // namespace

extern "C" {

int KVE_OpenWindow(const char* title, int clientWidth, int clientHeight, int hidden)
{
    return platform::openWindow(title, clientWidth, clientHeight, hidden != 0);
}

void KVE_GetWindowClientSize(int window, int* width, int* height)
{
    platform::clientSize(window, width, height);
}

int KVE_OpenScreen(int window, int x, int y, int width, int height, int bitDepth)
{
    if (engineState.running || width <= 0 || height <= 0 || !platform::windowExists(window))
        return 0;
    const platform::PixelFormatDescriptor format = platform::describePixelFormat(bitDepth);
    if (!platform::createContext(window, format, &kve::engine::grantedContext))
        return 0;
    engineState = kve::engine::State{};
    engineState.window = window;
    engineState.surface = window;
    engineState.screenX = x;
    engineState.screenY = y;
    engineState.screenWidth = width;
    engineState.screenHeight = height;
    engineState.bitDepth = bitDepth;
    if (KVE_Init() != 0) {
        platform::closeWindow(window);
        engineState = kve::engine::State{};
        return 0;
    }
    return engineState.surface;
}

// Returns 0, or -1 when the driver lacks OpenGL functions the engine cannot run without.
int KVE_Init(void)
{
    // 1. The temporary vector pool, then the log.
    KVE_ResetTempVectors();
    KVE_OpenLogFile("KVE LogFile.html", 0, 1);
    KVE_SetLogColumns(KVE_LOG_UNIT | KVE_LOG_LINE);
    // 2-3. Banner and version.
    KVE_BeginLogSection("[KVE] Korvane Engine", static_cast<int>(0xFF31BC51));
    kve::log::entry(KVE_VERSION_TEXT, 0, "KVE_Init");
    // 4. The PNG and JPEG codecs are linked in; nothing to register on this platform.
    // 5-6. Entry-point tables.
    KVE_LoadWGLExtensions();
    KVE_LoadGLFunctions();
    if (KVE_GetMissingGLFunctions() > 0)
        return -1;
    // 7. Default GL state.
    kve::engine::setDefaultGLState();
    kve::render::installGLErrorReports();
    // 8. Graphics system identity.
    kve::engine::logSystem();
    // 9. Lighting defaults.
    kve::scene::resetLighting();
    // 10. Default texture filter.
    engineState.textureFilter = GL_LINEAR;
    // 11. Render-to-texture target.
    kve::render::createRenderToTextureTarget();
    // 12. Glow defaults.
    kve::render::frameSettings() = kve::render::FrameSettings{};
    // 13. Counter frequency.
    kve::timing::start();
    // 14-15. The quad batch.
    kve::render::createQuadBatch();
    // 16. Joysticks.
    KVE_InitJoysticks();

    // 17-18. Projection, uniform blocks, built-in programs.
    KVE_InitProjection();
    KVE_InitShaderBuffers();
    KVE_InitSpriteShaders();
    KVE_InitBuiltinShaders();

    // 19. Sound, physics, G-buffer, scene and shadow targets, screen program, lines, fonts.
    KVE_InitSound();
    KVE_InitPhysics();
    KVE_InitGBuffer();
    KVE_InitSceneTargets();
    KVE_InitScreenShader();
    KVE_InitShadowTargets(2048);
    // Particles are drawn at the frame's step 15, depth-tested against the G-buffer depth
    // (hard particles) or its linear depth (soft particles).
    kve::render::particleDrawHook() = [](const KVE_Matrix& view) {
        const auto& maps = kve::render::gbuffer().textures;
        kve::particles::drawParticleEmitters(view, maps[kve::render::kDepthMap], maps[kve::render::kMiscMap]);
    };
    KVE_InitLines();
    kve::render::createDefaultFonts();

    // 20. Default resources: logo, default textures, cube map, default material.
    kve::gpu::installDefinitionLoaders();
    kve::gpu::createLogoTexture();
    kve::render::createLogoSprite();
    kve::gpu::createDefaultTextures();
    kve::gpu::createDefaultMaterial();

    // 21. The application's own section, left open.
    KVE_BeginLogSection("Program", 0x0000BEFB);
    engineState.running = true;
    return 0;
}

} // extern "C"

namespace {
int missingGLFunctions = 0;
}

extern "C" {

void KVE_LoadGLFunctions(void)
{
    const auto missing = kve::gl::load(platform::glProcAddress);
    for (const std::string& name : missing)
        kve::log::fail("Fail: OpenGL function not found: " + name, "KVE_LoadGLFunctions");
    missingGLFunctions = static_cast<int>(missing.size());
}

int KVE_GetMissingGLFunctions(void)
{
    return missingGLFunctions;
}

void KVE_LoadWGLExtensions(void)
{
    platform::loadContextExtensions();
}

void KVE_SetSwapInterval(int interval)
{
    platform::setSwapInterval(interval);
    engineState.swapInterval = interval;
}

int KVE_GetSwapInterval(void)
{
    return engineState.swapInterval;
}

void KVE_ShowLogo(int show)
{
    engineState.logoSwitch = show;
}

void KVE_SetBlendFunc(int source, int destination)
{
    engineState.blendSource = source;
    engineState.blendDestination = destination;
    glBlendFunc(static_cast<GLenum>(source), static_cast<GLenum>(destination));
}

int KVE_GetScreenWidth(void)
{
    return engineState.screenWidth;
}

int KVE_GetScreenHeight(void)
{
    return engineState.screenHeight;
}

int KVE_ResizeScreen(int width, int height)
{
    if (!engineState.running)
        return 0;
    // A minimised window has no area to draw into: frames are skipped until it returns,
    // and the targets keep their size meanwhile.
    if (width <= 0 || height <= 0) {
        engineState.minimized = true;
        return 1;
    }
    GLint textureLimit = 0, renderbufferLimit = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &textureLimit);
    glGetIntegerv(GL_MAX_RENDERBUFFER_SIZE, &renderbufferLimit);
    const int limit = std::min(textureLimit, renderbufferLimit);
    if (width > limit || height > limit) {
        kve::log::fail("Fail: Screen size " + std::to_string(width) + " x " + std::to_string(height) +
                           " is beyond the largest render target (" + std::to_string(limit) + ")!",
                       "KVE_ResizeScreen");
        return 0;
    }
    engineState.minimized = false;
    if (width == engineState.screenWidth && height == engineState.screenHeight)
        return 1;
    engineState.screenWidth = width;
    engineState.screenHeight = height;
    KVE_ResizeGBuffer();
    kve::render::applyScreenSize();
    kve::render::uploadScreenProjection();
    return 1;
}

void KVE_Shutdown(void)
{
    if (!engineState.running)
        return;
    kve::engine::stopResourceWatching();
    // 1. Uniform buffers.
    kve::render::deleteUniformBuffers();
    // 2. Registries, each through its kind's release.
    // 2a. Fonts and sprites.
    kve::render::releaseFontsAndSprites();

    // 2b. Particle emitters.
    kve::particles::releaseEmitters();

    // 2c. Objects, before the meshes and materials they are drawn with.
    kve::scene::releaseObjects();
    kve::scene::releaseNodes();

    // 2d. Meshes.
    kve::geometry::releaseAllMeshes();

    // 2e. Materials.
    kve::gpu::materials().releaseAll();

    // 2f. Shader programs.
    kve::gpu::releaseAllShaders();
    kve::render::deleteScreenProgram();

    // 2g. Textures.
    kve::gpu::releaseAllTextures();

    // 2h. Lights.
    kve::scene::releaseLights();

    // 2i. Definition trees still held.
    kve::defs::freeAllDefinitions();

    // 2j. Billboards, animations and skeletons.
    kve::scene::billboards().releaseAll();
    kve::scene::animations().releaseAll();
    kve::scene::skeletons().releaseAll();

    // 2k. Bodies and joints.
    kve::physics::releaseAll();

    // 2l. Sounds, then the playback service, so that a restart begins with none.
    kve::sound::releaseSounds();
    kve::platform::audio::stop();
    // 3. The engine's own GL objects.
    kve::render::deleteQuadBatch();
    kve::render::deleteLines();
    kve::render::deleteRenderToTextureTarget();
    kve::render::deleteRenderTargets();
    kve::render::deleteFrameGeometry();
    kve::render::forgetPresentedFrame();
    // 4. The surface and the window. The log stays open.
    platform::closeWindow(engineState.window);
    kve::gl::clear();
    engineState = kve::engine::State{};
}

int KVE_FlipBuffers(void)
{
    kve::render::drawLogoBadge();
    kve::render::keepPresentedFrameIfWanted();
    kve::timing::advanceFrame();
    platform::swapBuffers();
    // Reloaded after the swap, so that the next frame is the first drawn with them.
    kve::engine::reloadChangedResources();
    return 0;
}

int KVE_PeekMessage(KVE_MESSAGE* message)
{
    KVE_MESSAGE taken{};
    if (!platform::nextMessage(&taken))
        return 0;
    KVE_HandleMessage(taken.message, taken.wParam, taken.lParam);
    // The surface is the window's whole client area, so it follows every size change.
    if (taken.message == KVE_WM_SIZE) {
        const auto packed = static_cast<uint32_t>(taken.lParam);
        if (taken.wParam == KVE_SIZE_MINIMIZED)
            KVE_ResizeScreen(0, 0);
        else
            KVE_ResizeScreen(static_cast<int>(packed & 0xFFFFu), static_cast<int>(packed >> 16));
    }
    if (message)
        *message = taken;
    return 1;
}

} // extern "C"

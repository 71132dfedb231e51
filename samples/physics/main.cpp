// Korvane Engine - Physics: fly the camera and throw balls, planks and burning bombs
// into a lit, shadowed scene. Start-up, the main loop and shutdown.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "demo_input.h"
#include "demo_options.h"
#include "kve.h"
#include "overlay.h"
#include "profiler.h"
#include "scene_setup.h"
#include "spawning.h"

namespace {

constexpr int kCamera = 0;      // there is one camera; its number is not looked at
constexpr int kParentSpace = 0; // move and rotate mode: absolute, in the parent's space
constexpr int kSteamSound = 31, kHitSound = 28;
constexpr int kGroundObject = 3;
constexpr int kPlaneMesh = 1, kBallMesh = 5, kCubeMesh = 11, kRocksMesh = 21, kSphereMesh = 27;
constexpr int kPlaneBody = 2, kBombBody = 6, kPlankBody = 12;
constexpr float kLookDegreesPerPixel = 0.3f;
constexpr float kMoveUnitsPerSecond = 10.0f;
constexpr int kProfilerKey = KVE_VK_F1 + 2; // F3

// The demo's data lives in "Resources" beside the executable; the directory part already
// ends in a separator.
void enterResources()
{
    std::error_code ignored;
    std::filesystem::current_path(std::string(KVE_GetExecutableDirectory()) + "Resources", ignored);
}

// Steps 1 to 4: the window, the engine on its client area, the locked mouse and the
// Resources directory. False when no window or surface could be made.
bool openScreen(const DemoOptions& options)
{
    const int window = KVE_OpenWindow("Korvane Engine - Physics", options.width, options.height, options.hidden);
    int width = 0, height = 0;
    KVE_GetWindowClientSize(window, &width, &height);
    if (!window || !KVE_OpenScreen(window, 0, 0, width, height, 32))
        return false;
    KVE_LockMouse(0);
    enterResources();
    return true;
}

// Steps 5 to 22: lights, projection, camera, sounds, fonts, materials, meshes, bodies
// and the ground. Nothing is checked: a missing file leaves its failure in the log.
void loadScene()
{
    // 5-9. Background, the shadowed light, ambient term, projection and camera.
    setUpLightingAndView();
    // 10. The steam sound: looping at (5, 4, -5), turned to face along +x, heard inside a
    // 45 degree cone.
    KVE_LoadSound(kSteamSound, "Steam.ogg", KVE_SOUND_PLAY | KVE_SOUND_LOOP, "");
    KVE_MoveSound(kSteamSound, 5.0f, 4.0f, -5.0f, kParentSpace);
    KVE_SetSoundCone(kSteamSound, 0.0f, 45.0f);
    KVE_RotateSound(kSteamSound, 0.0f, 90.0f, 0.0f, kParentSpace);
    KVE_SetSoundDirection(kSteamSound, 1.0f, 0.0f, 0.0f);

    // 11. Font: loaded with the crosshair after the materials (step 13).
    // 12. Materials.kvd: textures, materials and sounds.
    KVE_ParseDefinitionFiles("Materials.kvd", KVE_DEFINITION_ALL);
    // 13. The crosshair: texture, material and sprite; the statistics font.
    loadOverlay();

    // 14. The hit sound.
    KVE_LoadSound(kHitSound, "Hit.ogg", 0, "");

    // 15. The ground's mesh and body.
    KVE_LoadMesh(kPlaneMesh, "Plane.kvm", "");
    KVE_LoadBody(kPlaneBody, "Plane.kvb", "");

    // 16. The ball: loaded, and generated for the bombs.
    KVE_LoadOBJMesh(kBallMesh, "Ball.obj", "");
    KVE_CreateSphere(kSphereMesh, 1.0f, 36, 18, "");
    KVE_CalculateMeshTangents(kSphereMesh);
    KVE_CalculateMeshTangents(kBallMesh);
    // 17. The bombs' sphere body.
    KVE_CreateSphereBody(kBombBody, 1.0f, "");
    // 18. The planks' cube mesh and box body.
    KVE_LoadMesh(kCubeMesh, "Cube.kvm", "");
    KVE_CreateBodyFromMesh(kPlankBody, kCubeMesh, KVE_BODY_BOX, 1.0f, "");

    // 19. Rocks.
    KVE_LoadOBJMesh(kRocksMesh, "Rocks.obj", "");
    KVE_CalculateMeshTangents(kRocksMesh);

    // 20. Back to Resources: loaders may have changed the directory.
    enterResources();
    // 21. Gravity.
    KVE_SetGravity(0.0f, -9.81f, 0.0f);

    // 22. The ground object.
    KVE_CreateObject(kGroundObject, kPlaneMesh, KVE_FindMaterial("Plane"), "", 0, 0);
    KVE_ScaleObject(kGroundObject, 10.0f, 10.0f, 10.0f, kParentSpace);
    KVE_SetObjectBody(kGroundObject, kPlaneBody, 1.0f);
}

// Step 5: mouse look, turning about the world's up axis and tilting about the camera's own.
void lookAround()
{
    const float yaw = -static_cast<float>(KVE_MouseDX()) * kLookDegreesPerPixel;
    const float pitch = -static_cast<float>(KVE_MouseDY()) * kLookDegreesPerPixel;
    KVE_RotateCamera(kCamera, 0.0f, yaw, 0.0f, KVE_RELATIVE | KVE_GLOBAL);
    KVE_RotateCamera(kCamera, pitch, 0.0f, 0.0f, KVE_RELATIVE | KVE_LOCAL);
}

// Step 6: W/S forwards and back, A/D sideways, along the camera's own axes; W wins over S
// and A over D.
void moveCamera()
{
    const float step = KVE_GetFrameTime() * kMoveUnitsPerSecond;
    if (KVE_KeyDown('W'))
        KVE_MoveCamera(kCamera, 0.0f, 0.0f, -step, KVE_RELATIVE | KVE_LOCAL);
    else if (KVE_KeyDown('S'))
        KVE_MoveCamera(kCamera, 0.0f, 0.0f, step, KVE_RELATIVE | KVE_LOCAL);
    if (KVE_KeyDown('A'))
        KVE_MoveCamera(kCamera, -step, 0.0f, 0.0f, KVE_RELATIVE | KVE_LOCAL);
    else if (KVE_KeyDown('D'))
        KVE_MoveCamera(kCamera, step, 0.0f, 0.0f, KVE_RELATIVE | KVE_LOCAL);
}

using Clock = std::chrono::steady_clock;

// The share of the wall-clock frame spent in the physics step: the step's duration over
// the time from one step's start to the next.
class PhysicsShare {
public:
    void add(Clock::time_point start, Clock::time_point end)
    {
        if (previousStart != Clock::time_point{}) {
            const double frame = std::chrono::duration<double>(start - previousStart).count();
            percent_ = frame > 0.0 ? static_cast<float>(100.0 * previousStep / frame) : 0.0f;
        }
        previousStart = start;
        previousStep = std::chrono::duration<double>(end - start).count();
    }
    float percent() const { return percent_; }

private:
    Clock::time_point previousStart{};
    double previousStep = 0.0;
    float percent_ = 0.0f;
};

// The render passes' times, one line per pass that ran, their sum, and the frame's wall
// time to hold them against; the heading says how they were measured.
void printRenderPassTimes(double frameAverageMs, int frames)
{
    KVE_RENDER_PASS_TIME times[32];
    const int count = std::min(KVE_GetRenderPassTimes(times, 32), 32);
    const bool cpu = KVE_GetRenderPassTimingMethod() == KVE_PASS_TIMING_CPU;
    std::printf("Render pass times, %s\n", cpu ? "CPU clock with glFinish around each pass (this driver's GPU "
                                                  "timer queries are not trusted)"
                                                : "GPU timer queries");
    std::printf("%-24s %8s %12s %10s\n", "Render pass", "frames", "average ms", "max ms");
    double sum = 0;
    for (int i = 0; i < count; ++i) {
        if (times[i].frames == 0)
            continue;
        std::printf("%-24s %8d %12.2f %10.2f\n", times[i].name, times[i].frames, times[i].averageMs, times[i].maxMs);
        sum += times[i].averageMs;
    }
    std::printf("%-24s %8s %12.2f\n", "all passes", "", sum);
    std::printf("%-24s %8d %12.2f\n", "frame (wall clock)", frames, frameAverageMs);
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Shuts the engine down when the run leaves, whichever way; the normal end shuts it down
// earlier itself, and a second shutdown does nothing.
struct EngineSession {
    EngineSession() = default;
    EngineSession(const EngineSession&) = delete;
    EngineSession& operator=(const EngineSession&) = delete;
    ~EngineSession() { KVE_Shutdown(); }
};

// The number of sleeping bodies for the statistics; -1 (no line) where nothing sleeps,
// in the pairwise solver.
int sleepingShown(const DemoOptions& options)
{
    return options.solver == KVE_SOLVER_ITERATIVE ? KVE_GetSleepingObjectCount() : -1;
}

const char* kEndReasons[] = {"the frame limit", "a close", "Escape"};
enum class End { FrameLimit, Close, Escape };

// The screenshot of the last presented frame; false (with a message) when none could be
// written.
bool writeScreenshot(const std::string& path, int presented)
{
    if (presented == 0) {
        std::fprintf(stderr, "physics: no frame was presented, so no screenshot was written to %s\n", path.c_str());
        return false;
    }
    if (!KVE_SavePresentedFrame(path.c_str())) {
        std::fprintf(stderr, "physics: could not write the screenshot %s\n", path.c_str());
        return false;
    }
    std::printf("Screenshot written to %s\n", path.c_str());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const DemoOptions options = parseDemoOptions(argc, argv);
    if (options.help || !options.error.empty()) {
        if (!options.error.empty())
            std::fprintf(stderr, "physics: %s\n", options.error.c_str());
        std::fputs(demoUsage().c_str(), options.help ? stdout : stderr);
        return options.help ? 0 : 2;
    }
    DemoInput input;
    std::string error;
    if (!input.open(options.inputScript, options.record, &error)) {
        std::fprintf(stderr, "physics: %s\n", error.c_str());
        return 2;
    }

    // Closed on every way out; the normal end closes it itself to learn whether it was written.
    std::unique_ptr<std::FILE, FileCloser> frameLog(
        options.frameLog.empty() ? nullptr : std::fopen(options.frameLog.c_str(), "w"));
    if (!options.frameLog.empty() && !frameLog) {
        std::fprintf(stderr, "physics: cannot write the frame log %s\n", options.frameLog.c_str());
        return 2;
    }

    if (!openScreen(options)) {
        std::fprintf(stderr, "physics: the window or its OpenGL 3.3 surface could not be made\n");
        return 1;
    }
    const EngineSession session; // a failure from here on still shuts the engine down
    if (options.shadowSize != 2048 && !KVE_InitShadowTargets(options.shadowSize)) {
        std::fprintf(stderr, "physics: shadow maps of %d pixels could not be made\n", options.shadowSize);
        return 1;
    }
    if (options.fixedFrameTime > 0)
        KVE_SetFixedFrameTime(options.fixedFrameTime);
    // Every flip keeps its frame, so that a run ended by Escape or a close still has one.
    if (!options.screenshot.empty())
        KVE_KeepPresentedFrame(1);
    loadScene();
    KVE_SetPhysicsSolver(options.solver);
    if (!options.model.empty() && !placeModel(options.model)) {
        std::fprintf(stderr, "physics: the glTF scene %s could not be loaded (see KVE LogFile.html)\n",
                     options.model.c_str());
        return 1;
    }
    Profiler profiler;
    profiler.load();
    if (options.profile)
        KVE_SetRenderPassTiming(1);
    KVE_SetResourceWatching(options.watch ? 1 : 0);

    End end = End::FrameLimit;
    PhysicsShare physicsShare;
    double frameMilliseconds = 0; // wall clock of the frames drawn, for the profile
    int frame = 1;
    Clock::time_point previousFrameStart{};
    for (;; ++frame) {
        const auto frameStart = Clock::now();
        const float frameMs = previousFrameStart == Clock::time_point{}
                                  ? 0.0f
                                  : std::chrono::duration<float, std::milli>(frameStart - previousFrameStart).count();
        previousFrameStart = frameStart;
        // 1. Window events (and scripted ones); a close leaves at once.
        if (!input.drainEvents(frame)) {
            end = End::Close;
            break;
        }
        // 2. Particle emitters, mouse and keyboard snapshots, sounds.
        KVE_UpdateParticleEmitters();
        KVE_UpdateMouse();
        KVE_UpdateKeyboard();
        KVE_UpdateSounds();
        // 3. Physics step, timed for the "Benchmark: " share of the frame.
        // With a fixed frame time no wall-clock figure may reach the screen, or two runs
        // would differ: the share then stays 0.
        const auto physicsStart = Clock::now();
        KVE_UpdatePhysics(0);
        const auto physicsEnd = Clock::now();
        if (options.fixedFrameTime == 0)
            physicsShare.add(physicsStart, physicsEnd);
        // 4. Spawning from the mouse buttons.
        spawnFromMouse();
        // 5-6. Camera: mouse look, then W, A, S, D.
        lookAround();
        moveCamera();
        // F3 shows or hides the profiler.
        if (KVE_KeyHit(kProfilerKey))
            profiler.toggle(options.profile);
        // 7. Escape leaves before anything more is drawn; a tap shorter than a frame
        // reads as a hit without down.
        if (KVE_KeyDown(KVE_VK_ESCAPE) || KVE_KeyHit(KVE_VK_ESCAPE)) {
            end = End::Escape;
            break;
        }
        // 8. The scene.
        KVE_RenderScene(-1);
        // 9-10. Crosshair and statistics.
        drawOverlay(physicsShare.percent(), sleepingShown(options));
        profiler.record(std::chrono::duration<float, std::milli>(physicsEnd - physicsStart).count(), frameMs);
        profiler.draw();
        // 11. Present.
        KVE_FlipBuffers();
        const double milliseconds = std::chrono::duration<double, std::milli>(Clock::now() - frameStart).count();
        frameMilliseconds += milliseconds;
        if (frameLog) {
            std::fprintf(frameLog.get(), "%d %.1f %d\n", frame, milliseconds, KVE_GetPhysicsObjectCount(1));
            std::fflush(frameLog.get());
        }
        if (options.frames > 0 && frame >= options.frames)
            break;
    }
    bool frameLogWritten = true;
    if (frameLog) {
        const bool failed = std::ferror(frameLog.get()) != 0;
        frameLogWritten = std::fclose(frameLog.release()) == 0 && !failed;
    }
    if (!frameLogWritten)
        std::fprintf(stderr, "physics: could not write all of the frame log %s\n", options.frameLog.c_str());
    const int presented = end == End::FrameLimit ? frame : frame - 1;
    const bool screenshotWritten = options.screenshot.empty() || writeScreenshot(options.screenshot, presented);
    KVE_Vector camera{};
    KVE_GetCameraPosition(&camera, KVE_GLOBAL);
    if (options.printStatistics)
        printStatistics(physicsShare.percent(), sleepingShown(options));
    if (options.profile)
        printRenderPassTimes(presented > 0 ? frameMilliseconds / presented : 0.0, presented);
    KVE_Shutdown();

    std::printf("Ended by %s in frame %d after %d frames presented\n", kEndReasons[static_cast<int>(end)], frame,
                presented);
    if (options.printCamera)
        std::printf("Camera: %.4f %.4f %.4f\n", camera.x, camera.y, camera.z);
    if (!input.finish(&error)) {
        std::fprintf(stderr, "physics: %s\n", error.c_str());
        return 1;
    }
    return screenshotWritten && frameLogWritten ? 0 : 1;
}

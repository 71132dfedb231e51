// Particles and sound: two emitters read from definition files, a fire and a fountain,
// and a looping sound that circles the listener (the camera), carrying a small white
// ball so you can see where it is. Escape or closing the window quits. Given a file
// name, it runs 45 frames, saves the last one there as a PNG, prints where the sound
// is and quits (its test runs it so, headless, with the null sound output).
#include <kve.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>

namespace {

constexpr int kAbsolute = 0; // move mode: set, in the parent's space
constexpr int kFire = 1, kFountain = 2, kSound = 1, kGroundMesh = 1, kMarkerMesh = 2;
constexpr float kListenerX = 0.0f, kListenerY = 2.0f, kListenerZ = 8.0f, kSoundRadius = 4.0f;

} // namespace

int main(int argc, char** argv)
{
    const char* screenshot = argc > 1 ? argv[1] : nullptr;
    const int window = KVE_OpenWindow("Korvane Engine - Particles and sound", 800, 450, screenshot != nullptr);
    int width = 0, height = 0;
    KVE_GetWindowClientSize(window, &width, &height);
    if (!window || !KVE_OpenScreen(window, 0, 0, width, height, 32))
        return 1;
    if (screenshot) {
        KVE_SetFixedFrameTime(1.0f / 30.0f); // the engine clock follows the frames
        KVE_SeedParticles(1);
    }
    std::error_code ignored;
    std::filesystem::current_path(std::string(KVE_GetExecutableDirectory()) + "Resources", ignored);

    // The ground, and the two emitters placed on it.
    KVE_ParseDefinitionFiles("Materials.kvd", KVE_DEFINITION_ALL);
    KVE_LoadMesh(kGroundMesh, "Plane.kvm", "");
    KVE_CalculateMeshTangents(kGroundMesh);
    const KVE_OBJECT* ground = KVE_CreateObject(-1, kGroundMesh, KVE_FindMaterial("Plane"), "", 0, 0);
    KVE_ScaleObject(ground->number, 10.0f, 10.0f, 10.0f, kAbsolute);
    KVE_LoadParticleEmitter(kFire, "Fire.kvd");
    KVE_MoveEmitter(kFire, -2.0f, 0.2f, 0.0f, kAbsolute);
    KVE_LoadParticleEmitter(kFountain, "Fountain.kvd");
    KVE_MoveEmitter(kFountain, 2.0f, 0.2f, 0.0f, kAbsolute);

    // The sound: a looping clip with a range (full volume within 1 unit, silent beyond
    // 30), and a white ball attached to it that follows wherever it moves.
    KVE_LoadSound(kSound, "Steam.ogg", KVE_SOUND_PLAY | KVE_SOUND_LOOP, "");
    KVE_SetSoundRange(kSound, 1.0f, 30.0f);
    KVE_CreateSphere(kMarkerMesh, 0.2f, 16, 8, "");
    const KVE_MATERIAL* white = KVE_CreateMaterial(-1, KVE_NO_TEXTURE, KVE_SHADER_DEFAULT, "Marker");
    const KVE_OBJECT* marker = KVE_CreateObject(-1, kMarkerMesh, KVE_GetMaterialNumber(white), "", 0, 0);
    KVE_AttachItem(KVE_GetSoundItem(kSound), KVE_GetObjectItem(marker->number), KVE_ATTACH_RIGID);

    // The listener is the camera: above the ground in front of the emitters.
    KVE_MoveCamera(0, kListenerX, kListenerY, kListenerZ, kAbsolute);
    KVE_RotateCamera(0, -8.0f, 0.0f, 0.0f, kAbsolute);
    KVE_SetDirectLightIntensity(0.5f);
    KVE_SetAmbientColor(static_cast<int>(0xFF303030));
    KVE_SetBackgroundColor(static_cast<int>(0xFF301810));

    float seconds = 0.0f;
    bool running = true;
    for (int frame = 1; running; ++frame) {
        KVE_MESSAGE message;
        while (KVE_PeekMessage(&message))
            running = running && message.message != KVE_WM_CLOSE;
        KVE_UpdateKeyboard();
        running = running && !KVE_KeyDown(KVE_VK_ESCAPE);

        // Once round the listener every 16 seconds, at ear height, starting straight
        // ahead; then the sounds' volume and pan follow their places, and the emitters
        // emit, move and fade.
        seconds += KVE_GetFrameTime();
        const float angle = seconds * 6.2831853f / 16.0f;
        KVE_MoveSound(kSound, kListenerX + kSoundRadius * std::sin(angle), kListenerY,
                      kListenerZ - kSoundRadius * std::cos(angle), kAbsolute);
        KVE_UpdateSounds();
        KVE_UpdateParticleEmitters();

        KVE_RenderScene(-1);
        if (screenshot && frame == 45) {
            KVE_SaveScreenshot(screenshot);
            running = false;
        }
        KVE_FlipBuffers();
    }
    const KVE_SOUND* sound = KVE_GetSound(kSound);
    std::printf("Sound playing: %d at %.2f %.2f %.2f\n", sound->playing, sound->position.x, sound->position.y,
                sound->position.z);
    std::printf("Particles: fire %d, fountain %d\n", KVE_GetEmitterParticleCount(kFire),
                KVE_GetEmitterParticleCount(kFountain));
    KVE_Shutdown();
    return 0;
}

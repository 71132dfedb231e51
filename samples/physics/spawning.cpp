#include "spawning.h"

#include <random>

#include "kve.h"

namespace {

constexpr int kBallMesh = 5, kCubeMesh = 11;
constexpr int kBombBody = 6, kPlankBody = 12;
constexpr int kAbsolute = 0;
constexpr int kAddVelocity = 5; // add, in the parent's space
constexpr float kLaunchSpeed = 10.0f;

LastSpawned last;

// Uniform in [min, max): a random integer 0..2^31-1 divided by 2^31.
float randomBetween(float min, float max)
{
    static std::mt19937 engine(20141214u);
    static std::uniform_int_distribution<int> draw(0, 2147483647);
    return min + (max - min) * static_cast<float>(static_cast<double>(draw(engine)) / 2147483648.0);
}

// The launch rule shared by every spawn: start at the camera, get a body and a mass,
// then leave along the view at 10 units per second.
void launch(int object, int body, float mass)
{
    KVE_Vector camera{};
    KVE_GetCameraPosition(&camera, KVE_GLOBAL);
    KVE_MoveObject(object, camera.x, camera.y, camera.z, kAbsolute);
    KVE_SetObjectBody(object, body, 1.0f);
    KVE_SetObjectMass(object, mass);
    KVE_Vector ray{};
    KVE_GetCameraRay(&ray, KVE_DEFAULT_FLOAT, KVE_DEFAULT_FLOAT);
    KVE_ScaleVector(&ray, kLaunchSpeed);
    KVE_SetObjectVelocity(object, &ray, 0.0f, 0.0f, 0.0f, kAddVelocity);
}

// A new object of `mesh` in the material of that name; -1 when it could not be made.
int createObject(int mesh, const char* material)
{
    const KVE_OBJECT* object = KVE_CreateObject(KVE_AUTO_ID, mesh, KVE_FindMaterial(material), "", 0, 0);
    return object ? object->number : -1;
}

void spawnBall()
{
    const int ball = createObject(kBallMesh, "Ball");
    if (ball < 0)
        return;
    KVE_ScaleObject(ball, 0.5f, 0.5f, 0.5f, kAbsolute);
    launch(ball, KVE_BODY_SPHERE, 1.0f);
    last.object = ball;
}

// The bomb carries a light, a fuse emitter and a looping fuse sound, all attached with
// the full transform so that they fly and roll with it.
void spawnBomb()
{
    const int bomb = createObject(kBallMesh, "Ball");
    if (bomb < 0)
        return;
    launch(bomb, kBombBody, 10.0f);
    KVE_SetObjectRestitution(bomb, 1.0f);
    KVE_SetObjectFriction(bomb, 1.0f);
    last.object = bomb;
    KVE_ITEM* carrier = KVE_GetObjectItem(bomb);

    const int light = KVE_GetLightNumber(KVE_CreateLight(KVE_AUTO_ID, 0.0f, 1.2f, 0.0f, KVE_LIGHT_POINT));
    KVE_SetLightColor(light, static_cast<int>(0xFF40A0FF));
    KVE_SetLightIntensity(light, 2.0f);
    KVE_SetLightRange(light, 10.0f);
    KVE_AttachItem(carrier, KVE_GetLightItem(light), KVE_ATTACH_FULL);
    KVE_SetLightShadow(light, 1, 0);
    last.light = light;

    const KVE_EMITTER* emitter = KVE_LoadParticleEmitter(KVE_AUTO_ID, "Particle.kvd");
    last.emitter = emitter ? emitter->number : -1;
    KVE_MoveEmitter(last.emitter, 0.0f, 1.0f, 0.0f, kAbsolute);
    KVE_AttachItem(carrier, KVE_GetEmitterItem(last.emitter), KVE_ATTACH_FULL);

    const KVE_SOUND* fuse = KVE_LoadSound(KVE_AUTO_ID, "Fuze.ogg", KVE_SOUND_PLAY | KVE_SOUND_LOOP, "");
    last.sound = fuse ? fuse->number : -1;
    KVE_MoveSound(last.sound, 0.0f, 1.2f, 0.0f, kAbsolute);
    KVE_SetSoundRange(last.sound, 0.0f, 20.0f);
    KVE_SetSoundDirection(last.sound, 0.0f, 1.0f, 0.0f);
    KVE_SetSoundCone(last.sound, 90.0f, 270.0f);
    KVE_AttachItem(carrier, KVE_GetSoundItem(last.sound), KVE_ATTACH_FULL);
}

void spawnPlank()
{
    const int plank = createObject(kCubeMesh, "Plane");
    if (plank < 0)
        return;
    KVE_ScaleObject(plank, 1.0f, 0.5f, 0.2f, kAbsolute);
    const float x = randomBetween(0.0f, 360.0f), y = randomBetween(0.0f, 360.0f), z = randomBetween(0.0f, 360.0f);
    KVE_RotateObject(plank, x, y, z, kAbsolute);
    launch(plank, kPlankBody, 1.0f);
    last.object = plank;
}

} // namespace

void spawnFromMouse()
{
    if (KVE_MouseDown(KVE_MOUSE_LEFT))
        spawnBall();
    if (KVE_MouseHit(KVE_MOUSE_MIDDLE))
        spawnBomb();
    if (KVE_MouseHit(KVE_MOUSE_RIGHT))
        spawnPlank();
}

const LastSpawned& lastSpawned()
{
    return last;
}

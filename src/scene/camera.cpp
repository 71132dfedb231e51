// The camera and its public operations.
#include "scene/camera.h"

#include "core/engine.h"
#include "render/projection.h"
#include "scene/item.h"

namespace kve::scene {
namespace {

Camera makeCamera()
{
    Camera made{};
    made.rotation = {0, 0, 0, 1};
    made.position = {0, 0, 0, 1};
    KVE_IdentityMatrix(&made.matrix);
    made.world = made.matrix;
    made.view = made.matrix;
    return made;
}

Placement cameraPlacement()
{
    Camera& c = camera();
    return {&c.item, &c.position, nullptr};
}

} // namespace

Camera& camera()
{
    static Camera theCamera = makeCamera();
    [[maybe_unused]] static const bool registered =
        (initItem(theCamera.item, KVE_ITEM_CAMERA, &theCamera.matrix, &theCamera.matrix, &theCamera.rotation), true);
    return theCamera;
}

void resetCamera()
{
    Camera& c = camera();
    attachItem(nullptr, c.item, KVE_ATTACH_NONE);
    KVE_ITEM item = c.item;
    c = makeCamera();
    c.item = item;
}

void updateCamera()
{
    Camera& c = camera();
    rebuildMatrices(cameraPlacement());
    c.world = worldMatrix(c.item, c.matrix);
    KVE_CopyInvertMatrix(&c.view, &c.world);
}

KVE_Vector cameraRay(float x, float y, const KVE_Matrix& projection, int width, int height)
{
    KVE_Vector direction{0, 0, -1, 0};
    const bool centre = x == KVE_DEFAULT_FLOAT && y == KVE_DEFAULT_FLOAT;
    if (!centre && width > 0 && height > 0) {
        KVE_Matrix inverse;
        KVE_CopyInvertMatrix(&inverse, &projection);
        const float ndcX = 2.0f * x / static_cast<float>(width) - 1.0f;
        const float ndcY = 1.0f - 2.0f * y / static_cast<float>(height);
        KVE_Vector nearPoint{ndcX, ndcY, -1, 1};
        KVE_Vector farPoint{ndcX, ndcY, 1, 1};
        KVE_TransformVector(&nearPoint, &inverse);
        KVE_TransformVector(&farPoint, &inverse);
        if (nearPoint.w != 0.0f && farPoint.w != 0.0f) {
            KVE_ScaleVector(&nearPoint, 1.0f / nearPoint.w);
            KVE_ScaleVector(&farPoint, 1.0f / farPoint.w);
            direction = {farPoint.x - nearPoint.x, farPoint.y - nearPoint.y, farPoint.z - nearPoint.z, 0};
        }
    }
    KVE_TransformVector(&direction, &camera().world);
    return *KVE_NormalizeVector(&direction);
}

} // namespace kve::scene

using kve::scene::camera;

extern "C" {

int KVE_MoveCamera(int /*camera*/, float x, float y, float z, int mode)
{
    if (!kve::scene::moveItem(kve::scene::cameraPlacement(), x, y, z, mode))
        return 0;
    kve::scene::updateCamera();
    return 1;
}

int KVE_RotateCamera(int /*camera*/, float x, float y, float z, int mode)
{
    if (!kve::scene::rotateItem(kve::scene::cameraPlacement(), x, y, z, mode))
        return 0;
    kve::scene::updateCamera();
    return 1;
}

void KVE_UpdateCamera(void)
{
    kve::scene::updateCamera();
}

KVE_Vector* KVE_GetCameraPosition(KVE_Vector* out, int mode)
{
    if (!out)
        return nullptr;
    if (mode & 4)
        *out = camera().world.c[3];
    else if (mode & 2)
        *out = {0, 0, 0, 1};
    else
        *out = camera().position;
    return out;
}

KVE_Quaternion* KVE_GetCameraRotation(KVE_Quaternion* out)
{
    return kve::scene::copyField(&camera(), &kve::scene::Camera::rotation, out);
}

KVE_Vector* KVE_GetCameraRay(KVE_Vector* out, float x, float y)
{
    if (!out)
        return nullptr;
    const kve::engine::State& engine = kve::engine::state();
    *out = kve::scene::cameraRay(x, y, kve::render::currentProjectionMatrix(), engine.screenWidth,
                                 engine.screenHeight);
    return out;
}

KVE_ITEM* KVE_GetCameraItem(int /*camera*/)
{
    return &camera().item;
}

} // extern "C"

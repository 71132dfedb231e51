// Light records and their operations.
#include "scene/light.h"

#include <algorithm>
#include <cmath>

#include "core/engine.h"
#include "core/registry_kinds.h"
#include "platform/gl.h"
#include "scene/item.h"

namespace kve::scene {
namespace {

std::vector<KVE_LIGHT*> pointList;
std::vector<KVE_LIGHT*> spotList;

std::vector<KVE_LIGHT*>& listOf(const KVE_LIGHT& light)
{
    return light.type == KVE_LIGHT_SPOT ? spotList : pointList;
}

void deleteStaticShadowMap(KVE_LIGHT& light)
{
    if (light.staticShadowMap == -1)
        return;
    if (engine::state().running) {
        const auto texture = static_cast<GLuint>(light.staticShadowMap);
        glDeleteTextures(1, &texture);
    }
    light.staticShadowMap = -1;
}

// Depth texture without data: six faces for a point light, one image for a spot light.
bool createStaticShadowMap(KVE_LIGHT& light)
{
    if (!engine::state().running)
        return false;
    const GLenum target = light.type == KVE_LIGHT_POINT ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(target, texture);
    const auto allocate = [](GLenum image) {
        glTexImage2D(image, 0, GL_DEPTH_COMPONENT16, kStaticShadowMapSize, kStaticShadowMapSize, 0,
                     GL_DEPTH_COMPONENT, GL_UNSIGNED_SHORT, nullptr);
    };
    if (target == GL_TEXTURE_CUBE_MAP) {
        for (GLenum face = 0; face < 6; ++face)
            allocate(GL_TEXTURE_CUBE_MAP_POSITIVE_X + face);
        glTexParameteri(target, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
    } else {
        allocate(target);
    }
    glTexParameteri(target, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(target, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(target, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(target, 0);
    light.staticShadowMap = static_cast<int32_t>(texture);
    return true;
}

void releaseLight(KVE_LIGHT& light)
{
    releaseItem(light.item);
    std::erase(listOf(light), &light);
    deleteStaticShadowMap(light);
}

core::Registry<KVE_LIGHT>& lights()
{
    static core::Registry<KVE_LIGHT> registry(core::kinds::kSilent, releaseLight);
    return registry;
}

Placement placementOf(KVE_LIGHT& light)
{
    return {&light.item, &light.position, nullptr};
}

void rebuildVolume(KVE_LIGHT& light)
{
    light.matrix = light.placement;
    const float extent = light.range * kLightVolumeMargin;
    for (int axis = 0; axis < 3; ++axis)
        KVE_ScaleVector(&light.matrix.c[axis], extent);
}

} // namespace

KVE_LIGHT* findLight(int number)
{
    return lights().find(number);
}

const std::vector<KVE_LIGHT*>& pointLights()
{
    return pointList;
}

const std::vector<KVE_LIGHT*>& spotLights()
{
    return spotList;
}

KVE_Matrix lightWorldMatrix(const KVE_LIGHT& light)
{
    return worldMatrix(light.item, light.matrix);
}

void releaseLights()
{
    lights().releaseAll();
}

} // namespace kve::scene

namespace {

using kve::scene::findLight;

bool finite(float x, float y, float z)
{
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

// What `read` gives of the light, or a zero value when there is no such light.
template <class Read>
auto readLight(int light, Read&& read)
{
    const KVE_LIGHT* found = findLight(light);
    return found ? read(*found) : decltype(read(*found)){};
}

// Applies `change` to the light when it exists; 1 when it did.
template <class Change>
int withLight(int light, Change&& change)
{
    KVE_LIGHT* found = findLight(light);
    if (!found)
        return 0;
    change(*found);
    return 1;
}

} // namespace

extern "C" {

KVE_LIGHT* KVE_CreateLight(int light, float x, float y, float z, int type)
{
    if ((type != KVE_LIGHT_POINT && type != KVE_LIGHT_SPOT) || !finite(x, y, z))
        return nullptr;
    KVE_LIGHT* made = kve::scene::lights().create(&light);
    if (!made)
        return nullptr;
    made->enabled = 1;
    made->staticShadowMap = -1;
    made->position = {x, y, z, 1};
    made->orientation = {0, 0, 0, 1};
    made->type = type;
    made->range = 128.0f;
    made->color = {1, 1, 1, 1};
    made->intensity = 1.0f;
    made->direction = {0, -1, 0, 0};
    made->coneAngle = 2.0f;
    kve::scene::initItem(made->item, KVE_ITEM_LIGHT, &made->placement, &made->placement, &made->orientation);
    kve::scene::rebuildMatrices(kve::scene::placementOf(*made));
    kve::scene::rebuildVolume(*made);
    kve::scene::listOf(*made).push_back(made);
    return made;
}

int KVE_FreeLight(int light)
{
    KVE_LIGHT* found = findLight(light);
    if (!found)
        return 0;
    kve::scene::lights().release(found);
    return 1;
}

int KVE_SetLightEnabled(int light, int enabled)
{
    return withLight(light, [&](KVE_LIGHT& l) { l.enabled = enabled; });
}

int KVE_GetLightEnabled(int light)
{
    return readLight(light, [](const KVE_LIGHT& l) { return l.enabled; });
}

int KVE_GetLightShadow(int light)
{
    return readLight(light, [](const KVE_LIGHT& l) { return l.castsShadows; });
}

int KVE_SetLightShadow(int light, int castsShadows, int isStatic)
{
    KVE_LIGHT* found = findLight(light);
    if (!found)
        return 0;
    const bool wantsMap = castsShadows != 0 && isStatic != 0;
    if (wantsMap && found->staticShadowMap == -1 && !kve::scene::createStaticShadowMap(*found))
        return 0;
    if (!wantsMap)
        kve::scene::deleteStaticShadowMap(*found);
    found->castsShadows = castsShadows;
    found->isStatic = isStatic;
    return 1;
}

int KVE_SetLightRange(int light, float range)
{
    if (!(range > 0.0f) || !std::isfinite(range))
        return 0;
    return withLight(light, [&](KVE_LIGHT& l) {
        l.range = range;
        kve::scene::rebuildVolume(l);
    });
}

float KVE_GetLightRange(int light)
{
    return readLight(light, [](const KVE_LIGHT& l) { return l.range; });
}

int KVE_SetLightColor(int light, int color)
{
    return withLight(light, [&](KVE_LIGHT& l) { KVE_ColorToVector(&l.color, color); });
}

KVE_Vector* KVE_GetLightColor(int light, KVE_Vector* out)
{
    return kve::scene::copyField(findLight(light), &KVE_LIGHT::color, out);
}

int KVE_SetLightIntensity(int light, float intensity)
{
    if (!std::isfinite(intensity))
        return 0;
    return withLight(light, [&](KVE_LIGHT& l) { l.intensity = intensity; });
}

float KVE_GetLightIntensity(int light)
{
    return readLight(light, [](const KVE_LIGHT& l) { return l.intensity; });
}

int KVE_SetLightDirection(int light, float x, float y, float z)
{
    if (!finite(x, y, z))
        return 0;
    return withLight(light, [&](KVE_LIGHT& l) { l.direction = {x, y, z, 0}; });
}

int KVE_SetLightConeAngle(int light, float angle)
{
    if (!std::isfinite(angle))
        return 0;
    return withLight(light, [&](KVE_LIGHT& l) { l.coneAngle = angle; });
}

float KVE_GetLightX(int light)
{
    return readLight(light, [](const KVE_LIGHT& l) { return l.position.x; });
}

float KVE_GetLightY(int light)
{
    return readLight(light, [](const KVE_LIGHT& l) { return l.position.y; });
}

float KVE_GetLightZ(int light)
{
    return readLight(light, [](const KVE_LIGHT& l) { return l.position.z; });
}

int KVE_MoveLight(int light, float x, float y, float z, int mode)
{
    KVE_LIGHT* found = findLight(light);
    if (!found || !kve::scene::moveItem(kve::scene::placementOf(*found), x, y, z, mode))
        return 0;
    kve::scene::rebuildVolume(*found);
    return 1;
}

int KVE_RotateLight(int light, float x, float y, float z, int mode)
{
    KVE_LIGHT* found = findLight(light);
    if (!found || !kve::scene::rotateItem(kve::scene::placementOf(*found), x, y, z, mode))
        return 0;
    kve::scene::rebuildVolume(*found);
    return 1;
}

KVE_ITEM* KVE_GetLightItem(int light)
{
    KVE_LIGHT* found = findLight(light);
    return found ? &found->item : nullptr;
}

int KVE_GetLightNumber(const KVE_LIGHT* light)
{
    return light ? light->number : -1;
}

} // extern "C"

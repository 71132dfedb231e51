// The object registry and the object operations.
#include "scene/object.h"

#include <cmath>
#include <vector>

#include "core/engine.h"
#include "core/log.h"
#include "core/registry_kinds.h"
#include "geometry/mesh.h"
#include "gpu/material.h"
#include "render/shader_queues.h"
#include "scene/item.h"

namespace kve::scene {
namespace {

// The material record the object names, found by address among the live materials so
// that a material released under its objects is never read.
KVE_MATERIAL* liveMaterial(const KVE_OBJECT& object)
{
    KVE_MATERIAL* live = nullptr;
    if (object.material)
        gpu::materials().forEach([&](KVE_MATERIAL& material) {
            if (&material == object.material)
                live = &material;
        });
    return live;
}

// The frame draws an object through its material's object list in the shader queues:
// these join and leave that list (at most once). A material without a program, or with
// one that is not queued, lists no objects; nor does an object whose mesh is gone.
bool registerWithPipeline(KVE_OBJECT& object)
{
    KVE_MATERIAL* material = liveMaterial(object);
    return object.mesh && material && material->program &&
           render::registerObject(material->program, material, &object);
}

bool unregisterFromPipeline(KVE_OBJECT& object)
{
    KVE_MATERIAL* material = liveMaterial(object);
    return material && material->program && render::unregisterObject(material->program, material, &object);
}

ObjectObservers observers;

void releaseObject(KVE_OBJECT& object)
{
    if (observers.released)
        observers.released(object);
    unregisterFromPipeline(object);
    releaseItem(object.item);
}

std::vector<KVE_OBJECT*> usersOf(const gpu::MaterialRecord* material);
void forgetMaterial(const gpu::MaterialRecord* material);
void forgetMesh(const geometry::MeshRecord& mesh);

// The materials unit re-lists a material's objects when the material changes program.
core::Registry<KVE_OBJECT>& objects()
{
    static core::Registry<KVE_OBJECT> registry(core::kinds::kObject, releaseObject);
    [[maybe_unused]] static const bool followingMaterials =
        (gpu::setMaterialUsers({usersOf, [](KVE_OBJECT* object) { registerWithPipeline(*object); }, forgetMaterial}),
         true);
    [[maybe_unused]] static const bool followingMeshes = (geometry::setMeshReleaseObserver(forgetMesh), true);
    return registry;
}

std::vector<KVE_OBJECT*> usersOf(const gpu::MaterialRecord* material)
{
    std::vector<KVE_OBJECT*> users;
    objects().forEach([&](KVE_OBJECT& object) {
        if (object.material == material)
            users.push_back(&object);
    });
    return users;
}

// An object whose mesh or material is released can no longer be drawn: it leaves the
// pipeline and keeps no reference to the freed record, so that a later record at the same
// address is never taken for it. It can be given another material.
template <class Field, class Record>
void forgetReleased(Field KVE_OBJECT::*field, const Record* released, std::string_view kind,
                    std::string_view procedure)
{
    size_t count = 0;
    objects().forEach([&](KVE_OBJECT& object) {
        if (object.*field == released) {
            unregisterFromPipeline(object);
            object.*field = nullptr;
            ++count;
        }
    });
    log::releasedInUse(kind, count, "are no longer drawn", procedure);
}

void forgetMaterial(const gpu::MaterialRecord* material)
{
    forgetReleased(&KVE_OBJECT::material, material, "Material", "KVE_ReleaseMaterial");
}

void forgetMesh(const geometry::MeshRecord& mesh)
{
    forgetReleased(&KVE_OBJECT::mesh, &mesh, "Mesh", "KVE_ReleaseMesh");
}

Placement placementOf(KVE_OBJECT& object)
{
    return {&object.item, &object.v4fPosition, &object.scale};
}

// A registered object with every field at its creation value, showing `mesh` with
// `material` at the origin.
KVE_OBJECT* makeObject(int number, const char* name, KVE_MESH* mesh, KVE_MATERIAL* material)
{
    KVE_OBJECT* object = KVE_CreateObjectListEntry(&number, name);
    if (!object)
        return nullptr;
    object->visible = 1;
    object->castsShadow = 1;
    object->binding1 = object->binding2 = object->binding3 = -1;
    KVE_OBJECT_BODY& body = object->Body;
    body.sizeFactor = 1.0f;
    body.restitution = 0.4f;
    body.friction = 0.7f;
    KVE_IdentityMatrix(&body.inertia);
    object->v4fPosition = {0, 0, 0, 1};
    object->rotation = {0, 0, 0, 1};
    object->scale = {1, 1, 1, 0};
    object->mesh = mesh;
    object->material = material;
    rebuildMatrices(placementOf(*object));
    return object;
}

// A material number as objects take it: -1 is the engine's default material.
KVE_MATERIAL* resolveMaterial(int material)
{
    return gpu::findMaterial(material == -1 ? engine::state().defaultMaterial : material);
}

bool finite(float x, float y, float z)
{
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

} // namespace

KVE_OBJECT* findObject(int number)
{
    return objects().find(number);
}

KVE_Matrix objectWorldMatrix(const KVE_OBJECT& object)
{
    return worldMatrix(object.item);
}

void rebuildObjectMatrices(KVE_OBJECT& object)
{
    rebuildMatrices(placementOf(object));
}

void releaseObjects()
{
    objects().releaseAll();
}

void forEachObject(const std::function<void(KVE_OBJECT&)>& visit)
{
    objects().forEach(visit);
}

void setObjectObservers(ObjectObservers newObservers)
{
    observers = newObservers;
}

} // namespace kve::scene

using kve::scene::findObject;
using kve::scene::placementOf;

extern "C" {

// Zero apart from the item header, which points into the record itself: not visible, no
// mesh, no material, no body, listed nowhere until the caller fills it.
KVE_OBJECT* KVE_CreateObjectListEntry(int* id, const char* name)
{
    KVE_OBJECT* object = kve::scene::objects().create(id, name);
    if (object)
        kve::scene::initItem(object->item, KVE_ITEM_OBJECT, &object->fullMatrix, &object->rigidMatrix,
                             &object->rotation);
    return object;
}

KVE_OBJECT* KVE_CreateObject(int number, int mesh, int material, const char* name, int animationFlag,
                             int animationValue)
{
    kve::geometry::MeshRecord* meshRecord = kve::geometry::findMesh(mesh);
    if (!meshRecord)
        return nullptr;
    KVE_OBJECT* object = kve::scene::makeObject(number, name, meshRecord, kve::scene::resolveMaterial(material));
    if (!object)
        return nullptr;
    object->animationFlag = animationFlag;
    object->animation = animationFlag != 0 ? animationValue : 0;
    kve::scene::registerWithPipeline(*object);
    return object;
}

KVE_OBJECT* KVE_CopyObject(int number, int source, const char* name)
{
    const KVE_OBJECT* original = findObject(source);
    if (!original)
        return nullptr;
    // The new object may take the source's number or name, which releases the source.
    const KVE_OBJECT copied = *original;
    KVE_OBJECT* object = kve::scene::makeObject(number, name, copied.mesh, copied.material);
    if (!object)
        return nullptr;
    object->v4fPosition = copied.v4fPosition;
    object->rotation = copied.rotation;
    object->scale = copied.scale;
    object->Body.sizeFactor = copied.Body.sizeFactor;
    kve::scene::rebuildObjectMatrices(*object);
    kve::scene::registerWithPipeline(*object);
    return object;
}

KVE_OBJECT* KVE_GetObject(int object)
{
    return findObject(object);
}

int KVE_ReleaseObject(int object)
{
    KVE_OBJECT* found = findObject(object);
    if (!found)
        return 0;
    kve::scene::objects().release(found);
    return 1;
}

int KVE_ScaleObject(int object, float x, float y, float z, int mode)
{
    KVE_OBJECT* found = findObject(object);
    if (!found || !kve::scene::finite(x, y, z))
        return 0;
    KVE_Vector& scale = found->scale;
    if (mode == 1)
        scale = {scale.x * x, scale.y * y, scale.z * z, 0};
    else
        scale = {x, y, z, 0};
    found->Body.sizeFactor = KVE_MaxOf3(scale.x, scale.y, scale.z);
    kve::scene::rebuildObjectMatrices(*found);
    if (kve::scene::observers.scaled)
        kve::scene::observers.scaled(*found);
    return 1;
}

int KVE_MoveObject(int object, float x, float y, float z, int mode)
{
    KVE_OBJECT* found = findObject(object);
    return found && kve::scene::moveItem(placementOf(*found), x, y, z, mode) ? 1 : 0;
}

int KVE_RotateObject(int object, float x, float y, float z, int mode)
{
    KVE_OBJECT* found = findObject(object);
    return found && kve::scene::rotateItem(placementOf(*found), x, y, z, mode) ? 1 : 0;
}

// A velocity is a direction: its w is ignored, and in own axes only the rigid matrix's
// rotation applies.
int KVE_SetObjectVelocity(int object, const KVE_Vector* vector, float x, float y, float z, int mode)
{
    KVE_OBJECT* found = findObject(object);
    KVE_Vector velocity = vector ? *vector : KVE_Vector{x, y, z, 0};
    if (!found || !kve::scene::finite(velocity.x, velocity.y, velocity.z))
        return 0;
    velocity.w = 0;
    if (mode & KVE_LOCAL)
        KVE_TransformVector(&velocity, &found->rigidMatrix);
    KVE_Vector& movement = found->Body.v4fMovement;
    if (mode & KVE_RELATIVE)
        KVE_AddVectorXYZ(&movement, &velocity);
    else
        movement = velocity;
    return 1;
}

KVE_Vector* KVE_GetObjectPosition(int object, KVE_Vector* out)
{
    return kve::scene::copyField(findObject(object), &KVE_OBJECT::v4fPosition, out);
}

KVE_Quaternion* KVE_GetObjectRotation(int object, KVE_Quaternion* out)
{
    return kve::scene::copyField(findObject(object), &KVE_OBJECT::rotation, out);
}

int KVE_SetObjectMaterial(int object, int material)
{
    KVE_OBJECT* found = findObject(object);
    KVE_MATERIAL* record = kve::scene::resolveMaterial(material);
    if (!found || !record)
        return 0;
    kve::scene::unregisterFromPipeline(*found);
    found->material = record;
    kve::scene::registerWithPipeline(*found);
    return 1;
}

int KVE_RegisterObject(int object)
{
    KVE_OBJECT* found = findObject(object);
    return found && kve::scene::registerWithPipeline(*found) ? 1 : 0;
}

int KVE_UnregisterObject(int object)
{
    KVE_OBJECT* found = findObject(object);
    return found && kve::scene::unregisterFromPipeline(*found) ? 1 : 0;
}

KVE_ITEM* KVE_GetObjectItem(int object)
{
    KVE_OBJECT* found = findObject(object);
    return found ? &found->item : nullptr;
}

} // extern "C"

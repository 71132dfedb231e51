// Scene item header: attachment bookkeeping, world walks and the move/rotate family.
#include "scene/item.h"

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

#include "core/log.h"

namespace kve::scene {
namespace {

// Live items and their children. Children are only listed here (not in the header) so
// that a released parent can detach them instead of leaving them pointing at freed memory.
std::unordered_map<const KVE_ITEM*, std::vector<KVE_ITEM*>>& liveItems()
{
    static std::unordered_map<const KVE_ITEM*, std::vector<KVE_ITEM*>> items;
    return items;
}

constexpr KVE_Matrix kIdentity{{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
constexpr KVE_Quaternion kNoRotation{0, 0, 0, 1};

void unlinkFromParent(KVE_ITEM& child)
{
    if (!child.parent)
        return;
    const auto found = liveItems().find(child.parent);
    if (found != liveItems().end())
        std::erase(found->second, &child);
    child.parent = nullptr;
    child.attachMode = KVE_ATTACH_NONE;
}

// The matrix a parent lends to a child attached with `mode`; null for no contribution.
const KVE_Matrix* parentContribution(const KVE_ITEM& parent, int mode)
{
    if (mode == KVE_ATTACH_FULL)
        return parent.fullMatrix;
    if (mode == KVE_ATTACH_RIGID)
        return parent.rigidMatrix;
    return nullptr;
}

bool finite(float x, float y, float z)
{
    return std::isfinite(x) && std::isfinite(y) && std::isfinite(z);
}

// Inverse of a parent chain, refused when its 3x3 part is singular (a zero scale).
bool invertChain(const KVE_Matrix& chain, KVE_Matrix& inverse)
{
    const KVE_Vector& a = chain.c[0];
    const KVE_Vector& b = chain.c[1];
    const KVE_Vector& c = chain.c[2];
    const float det = a.x * (b.y * c.z - b.z * c.y) - b.x * (a.y * c.z - a.z * c.y) + c.x * (a.y * b.z - a.z * b.y);
    if (det == 0.0f || !std::isfinite(det))
        return false;
    KVE_CopyInvertMatrix(&inverse, &chain);
    return true;
}

void normalize(KVE_Quaternion& q)
{
    const float length = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
    if (length > 0.0f && std::isfinite(length)) {
        const float inverse = 1.0f / length;
        q = {q.x * inverse, q.y * inverse, q.z * inverse, q.w * inverse};
    } else {
        q = kNoRotation;
    }
}

KVE_Quaternion conjugate(KVE_Quaternion q)
{
    return *KVE_ConjugateQuaternion(&q);
}

KVE_Quaternion product(const KVE_Quaternion& p, const KVE_Quaternion& q)
{
    KVE_Quaternion out;
    return *KVE_MultiplyQuaternionTo(&out, &p, &q);
}

} // namespace

void initItem(KVE_ITEM& item, int kind, KVE_Matrix* fullMatrix, KVE_Matrix* rigidMatrix, KVE_Quaternion* rotation)
{
    if (isLiveItem(&item))
        releaseItem(item);
    item.kind = kind;
    item.attachMode = KVE_ATTACH_NONE;
    item.parent = nullptr;
    item.fullMatrix = fullMatrix;
    item.rigidMatrix = rigidMatrix;
    item.rotation = rotation;
    liveItems().emplace(&item, std::vector<KVE_ITEM*>{});
}

void releaseItem(KVE_ITEM& item)
{
    auto& items = liveItems();
    const auto found = items.find(&item);
    if (found == items.end())
        return;
    for (KVE_ITEM* child : found->second) {
        child->parent = nullptr;
        child->attachMode = KVE_ATTACH_NONE;
    }
    items.erase(found);
    unlinkFromParent(item);
}

bool isLiveItem(const KVE_ITEM* item)
{
    return item && liveItems().contains(item);
}

bool attachItem(KVE_ITEM* parent, KVE_ITEM& child, int mode)
{
    if (!isLiveItem(&child))
        return false;
    if (!parent || mode == KVE_ATTACH_NONE) {
        unlinkFromParent(child);
        return true;
    }
    if (!isLiveItem(parent) || (mode != KVE_ATTACH_RIGID && mode != KVE_ATTACH_FULL))
        return false;
    for (const KVE_ITEM* above = parent; above; above = above->parent) {
        if (above == &child)
            return false;
    }
    unlinkFromParent(child);
    child.parent = parent;
    child.attachMode = mode;
    liveItems()[parent].push_back(&child);
    return true;
}

KVE_Matrix worldMatrix(const KVE_ITEM& item, const KVE_Matrix& own)
{
    KVE_Matrix world = own;
    for (const KVE_ITEM* child = &item; child->parent; child = child->parent) {
        if (const KVE_Matrix* lent = parentContribution(*child->parent, child->attachMode))
            KVE_MultiplyMatrix(&world, lent, &world);
    }
    return world;
}

KVE_Matrix parentMatrix(const KVE_ITEM& item)
{
    return worldMatrix(item, kIdentity);
}

KVE_Quaternion parentRotation(const KVE_ITEM& item)
{
    KVE_Quaternion world = kNoRotation;
    for (const KVE_ITEM* child = &item; child->parent; child = child->parent) {
        if (parentContribution(*child->parent, child->attachMode))
            world = product(*child->parent->rotation, world);
    }
    return world;
}

KVE_Quaternion worldRotation(const KVE_ITEM& item)
{
    return product(parentRotation(item), *item.rotation);
}

void rebuildMatrices(const Placement& placement)
{
    KVE_ITEM& item = *placement.item;
    KVE_Matrix& rigid = *item.rigidMatrix;
    KVE_QuaternionToMatrix(item.rotation, &rigid);
    rigid.c[3] = {placement.position->x, placement.position->y, placement.position->z, 1.0f};
    if (item.fullMatrix == item.rigidMatrix)
        return;
    KVE_Matrix& full = *item.fullMatrix;
    full = rigid;
    if (const KVE_Vector* scale = placement.scale) {
        KVE_ScaleVector(&full.c[0], scale->x);
        KVE_ScaleVector(&full.c[1], scale->y);
        KVE_ScaleVector(&full.c[2], scale->z);
    }
}

// A local offset is taken through the item's own full matrix: that is its world matrix
// seen from the parent's space, so the item moves along its own axes in the world also
// when its parent is turned or scaled.
bool moveItem(const Placement& placement, float x, float y, float z, int mode)
{
    if (!finite(x, y, z))
        return false;
    const KVE_ITEM& item = *placement.item;
    KVE_Vector& position = *placement.position;
    const bool relative = (mode & KVE_RELATIVE) != 0;
    KVE_Vector value{x, y, z, relative ? 0.0f : 1.0f};
    if (mode & KVE_LOCAL) {
        value.w = 0.0f;
        KVE_TransformVector(&value, item.fullMatrix);
    } else if (mode & KVE_GLOBAL) {
        KVE_Matrix inverse;
        if (!invertChain(parentMatrix(item), inverse))
            return false;
        KVE_TransformVector(&value, &inverse);
    }
    if (relative) {
        KVE_AddVectorXYZ(&position, &value);
    } else {
        position = value;
    }
    position.w = 1.0f;
    rebuildMatrices(placement);
    return true;
}

bool rotateItem(const Placement& placement, float x, float y, float z, int mode)
{
    if (!finite(x, y, z))
        return false;
    KVE_Quaternion& rotation = *placement.item->rotation;
    KVE_Quaternion turn;
    KVE_EulerToQuaternion(&turn, x, y, z, 0);
    const bool relative = (mode & KVE_RELATIVE) != 0;
    if (relative && (mode & KVE_LOCAL)) {
        rotation = product(rotation, turn);
    } else if (mode & KVE_GLOBAL) {
        const KVE_Quaternion parent = parentRotation(*placement.item);
        const KVE_Quaternion worldTurn =
            relative ? product(product(turn, parent), rotation) : turn; // new world rotation
        rotation = product(conjugate(parent), worldTurn);
    } else if (relative) {
        rotation = product(turn, rotation);
    } else {
        rotation = turn;
    }
    normalize(rotation);
    rebuildMatrices(placement);
    return true;
}

} // namespace kve::scene

extern "C" {

int KVE_AttachItem(KVE_ITEM* parent, KVE_ITEM* child, int mode)
{
    if (child && kve::scene::attachItem(parent, *child, mode))
        return 1;
    kve::log::fail("Fail: These items cannot be attached!", "KVE_AttachItem");
    return 0;
}

KVE_Matrix* KVE_GetItemWorldMatrix(const KVE_ITEM* item, KVE_Matrix* out)
{
    if (!out || !kve::scene::isLiveItem(item))
        return nullptr;
    *out = kve::scene::worldMatrix(*item);
    return out;
}

KVE_Quaternion* KVE_GetItemWorldRotation(const KVE_ITEM* item, KVE_Quaternion* out)
{
    if (!out || !kve::scene::isLiveItem(item))
        return nullptr;
    *out = kve::scene::worldRotation(*item);
    return out;
}

} // extern "C"

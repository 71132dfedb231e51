// The scene item header shared by every placeable record: attachment, the world matrix
// and world rotation walks, and the one move/rotate family that objects, nodes, lights,
// sounds, emitters and the camera all place themselves with.
#pragma once

#include "kve.h"

namespace kve::scene {

// A placeable record as the move and rotate family sees it: its header, its position
// and, for kinds with a scale, its scale (null: the full matrix is the rigid one).
struct Placement {
    KVE_ITEM* item = nullptr;
    KVE_Vector* position = nullptr;
    const KVE_Vector* scale = nullptr;
};

// Fills a header whose references point into its own record and makes it attachable.
// Every record that calls this must call releaseItem before it is freed.
void initItem(KVE_ITEM& item, int kind, KVE_Matrix* fullMatrix, KVE_Matrix* rigidMatrix, KVE_Quaternion* rotation);

// Detaches the item from its parent and its children from it (they keep their local
// placement, now read in world space) and forgets it.
void releaseItem(KVE_ITEM& item);

// Whether the header belongs to a live item (initItem called, releaseItem not yet).
bool isLiveItem(const KVE_ITEM* item);

// Sets the child's parent and mode (3 or 7); a null parent or mode 0 detaches. False,
// with nothing changed, for unknown items, other modes and attachments forming a loop.
bool attachItem(KVE_ITEM* parent, KVE_ITEM& child, int mode);

// `own` composed with the item's parent chain: each parent contributes its full matrix
// to a mode 7 child and its rigid matrix to a mode 3 child.
KVE_Matrix worldMatrix(const KVE_ITEM& item, const KVE_Matrix& own);
inline KVE_Matrix worldMatrix(const KVE_ITEM& item)
{
    return worldMatrix(item, *item.fullMatrix);
}
// The parent chain alone (identity without a parent).
KVE_Matrix parentMatrix(const KVE_ITEM& item);

// The item's rotation composed with its parents' (world = parent world (x) local).
KVE_Quaternion worldRotation(const KVE_ITEM& item);
KVE_Quaternion parentRotation(const KVE_ITEM& item);

// Rigid matrix := rotation matrix with the position in the fourth column; the full
// matrix (when it is a separate one) := the same with its columns scaled.
void rebuildMatrices(const Placement& placement);

// The move and rotate family (mode flags KVE_RELATIVE, KVE_LOCAL, KVE_GLOBAL); both
// rebuild the matrices. False, with nothing changed, for values that are not finite or a
// parent chain that cannot be inverted.
bool moveItem(const Placement& placement, float x, float y, float z, int mode);
bool rotateItem(const Placement& placement, float x, float y, float z, int mode);

// Copies one field of a found record to `out` (the public getters); null when the record
// or `out` is missing.
template <class Record, class Value>
Value* copyField(const Record* record, Value Record::*field, Value* out)
{
    if (!record || !out)
        return nullptr;
    *out = record->*field;
    return out;
}

} // namespace kve::scene

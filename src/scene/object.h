// Scene objects: the object registry and what the renderer and the physics read of an
// object beyond its public record.
#pragma once

#include <functional>

#include "kve.h"

namespace kve::scene {

KVE_OBJECT* findObject(int number);

// The object's full matrix composed with its parents.
KVE_Matrix objectWorldMatrix(const KVE_OBJECT& object);

// Rebuilds the rigid and full matrices from position, rotation and scale (after the
// physics step has moved or turned the object).
void rebuildObjectMatrices(KVE_OBJECT& object);

void releaseObjects(); // every object, at shutdown

// Visits every object in creation order. The visitor must not create or release.
void forEachObject(const std::function<void(KVE_OBJECT&)>& visit);

// Lets the physics follow its objects: `released` runs just before an object is released
// (by any route), `scaled` after KVE_ScaleObject changed its scale. One set of observers;
// installing another replaces it; a null member is not called.
struct ObjectObservers {
    void (*released)(KVE_OBJECT& object) = nullptr;
    void (*scaled)(KVE_OBJECT& object) = nullptr;
};
void setObjectObservers(ObjectObservers observers);

} // namespace kve::scene

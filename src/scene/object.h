// Scene objects: the object registry and what the renderer and the physics read of an
// object beyond its public record.
#pragma once

#include "kve.h"

namespace kve::scene {

KVE_OBJECT* findObject(int number);

// The object's full matrix composed with its parents.
KVE_Matrix objectWorldMatrix(const KVE_OBJECT& object);

// Rebuilds the rigid and full matrices from position, rotation and scale (after the
// physics step has moved or turned the object).
void rebuildObjectMatrices(KVE_OBJECT& object);

void releaseObjects(); // every object, at shutdown

} // namespace kve::scene

// Skeletons and animations: registry entries that objects are bound to when created.
// Their data is not defined yet; the records carry the registry's number and name.
#pragma once

#include "core/registry.h"
#include "kve.h"

struct KVE_ANIMATION {
    int number;
    const char* name;
};

struct KVE_SKELETON {
    int number;
    const char* name;
};

namespace kve::scene {

core::Registry<KVE_ANIMATION>& animations();
core::Registry<KVE_SKELETON>& skeletons();

} // namespace kve::scene

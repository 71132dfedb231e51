// The animation and skeleton registries. Their records own nothing yet, so releasing
// one only forgets it.
#include "scene/animation.h"

#include "core/registry_kinds.h"

namespace kve::scene {

core::Registry<KVE_ANIMATION>& animations()
{
    static core::Registry<KVE_ANIMATION> registry{core::kinds::kAnimation};
    return registry;
}

core::Registry<KVE_SKELETON>& skeletons()
{
    static core::Registry<KVE_SKELETON> registry{core::kinds::kSkeleton};
    return registry;
}

} // namespace kve::scene

extern "C" {

KVE_ANIMATION* KVE_CreateAnimationListEntry(int* id, const char* name)
{
    return kve::scene::animations().create(id, name);
}

KVE_SKELETON* KVE_CreateSkeletonListEntry(int* id, const char* name)
{
    return kve::scene::skeletons().create(id, name);
}

void KVE_ReleaseAnimation(int number)
{
    kve::scene::animations().releaseNumber(number);
}

void KVE_ReleaseSkeleton(int number)
{
    kve::scene::skeletons().releaseNumber(number);
}

} // extern "C"

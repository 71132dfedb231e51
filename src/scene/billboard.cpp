// The billboard registry and its release, which frees the set's GL instance storage.
#include "scene/billboard.h"

#include "core/registry_kinds.h"
#include "platform/gl.h"

namespace kve::scene {
namespace {

// The names are only ever set by the billboard pass while a context is current.
void releaseBillboard(KVE_BILLBOARD& billboard)
{
    if (billboard.instanceTexture)
        glDeleteTextures(1, &billboard.instanceTexture);
    if (billboard.instanceBuffer)
        glDeleteBuffers(1, &billboard.instanceBuffer);
}

} // namespace

core::Registry<KVE_BILLBOARD>& billboards()
{
    static core::Registry<KVE_BILLBOARD> registry{core::kinds::kBillboard, releaseBillboard};
    return registry;
}

} // namespace kve::scene

extern "C" {

KVE_BILLBOARD* KVE_CreateBillboardListEntry(int* id, const char* name)
{
    return kve::scene::billboards().create(id, name);
}

void KVE_ReleaseBillboard(int number)
{
    kve::scene::billboards().releaseNumber(number);
}

} // extern "C"

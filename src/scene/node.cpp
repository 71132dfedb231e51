// The node registry and the node operations.
#include "scene/node.h"

#include "core/registry_kinds.h"
#include "scene/item.h"

namespace kve::scene {
namespace {

core::Registry<KVE_NODE>& nodes()
{
    static core::Registry<KVE_NODE> registry(core::kinds::kNode, [](KVE_NODE& node) { releaseItem(node.item); });
    return registry;
}

Placement placementOf(KVE_NODE& node)
{
    return {&node.item, &node.position, nullptr};
}

} // namespace

KVE_NODE* findNode(int number)
{
    return nodes().find(number);
}

void releaseNodes()
{
    nodes().releaseAll();
}

} // namespace kve::scene

using kve::scene::findNode;

extern "C" {

// The record is zero apart from its item header: the header points into the record
// itself, and without it the node would be no scene item that placement could reach.
KVE_NODE* KVE_CreateNodeListEntry(int* id, const char* name)
{
    KVE_NODE* node = kve::scene::nodes().create(id, name);
    if (node)
        kve::scene::initItem(node->item, KVE_ITEM_NODE, &node->matrix, &node->matrix, &node->rotation);
    return node;
}

KVE_NODE* KVE_CreateNode(int number, const char* name)
{
    KVE_NODE* node = KVE_CreateNodeListEntry(&number, name);
    if (!node)
        return nullptr;
    node->position = {0, 0, 0, 1};
    node->rotation = {0, 0, 0, 1};
    kve::scene::rebuildMatrices(kve::scene::placementOf(*node));
    return node;
}

KVE_NODE* KVE_GetNode(int node)
{
    return findNode(node);
}

int KVE_ReleaseNode(int node)
{
    KVE_NODE* found = findNode(node);
    if (!found)
        return 0;
    kve::scene::nodes().release(found);
    return 1;
}

int KVE_MoveNode(int node, float x, float y, float z, int mode)
{
    KVE_NODE* found = findNode(node);
    return found && kve::scene::moveItem(kve::scene::placementOf(*found), x, y, z, mode) ? 1 : 0;
}

int KVE_RotateNode(int node, float x, float y, float z, int mode)
{
    KVE_NODE* found = findNode(node);
    return found && kve::scene::rotateItem(kve::scene::placementOf(*found), x, y, z, mode) ? 1 : 0;
}

KVE_ITEM* KVE_GetNodeItem(int node)
{
    KVE_NODE* found = findNode(node);
    return found ? &found->item : nullptr;
}

} // extern "C"

// Arbitrary bytes as definition text: parse, look paths up, run every reader on every
// node, dispatch to loaders, free single nodes and then the tree.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "defs/definition_node.h"
#include "kve.h"

namespace {

void* countingLoader(int, DefinitionNode* node, const char* name)
{
    return name && *name ? node : nullptr;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    kve::defs::definitionLoaders() = {&countingLoader, &countingLoader, &countingLoader};
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    DefinitionNode* root = kve::defs::parseText(text, "fuzz\\");
    if (!root)
        return 0;

    std::vector<DefinitionNode*> nodes{root};
    for (size_t i = 0; i < nodes.size(); ++i) {
        DefinitionNode* node = nodes[i];
        KVE_Vector v{};
        float range[2] = {};
        float color[4] = {};
        KVE_GetDefinitionVector(node, &v, 1, 2, 3);
        KVE_GetDefinitionRange(node, range, 0, KVE_DEFAULT_FLOAT);
        KVE_GetDefinitionColor(node, i % 2 ? color : nullptr, -1);
        KVE_GetDefinitionInteger(node, 0);
        KVE_GetDefinitionFloat(node, 0);
        KVE_GetDefinitionChild(node, -1);
        KVE_NextDefinitionSibling(node);
        KVE_CountDefinitionChildren(node, node->name);
        KVE_GetDefinitionDirectory(node);
        for (DefinitionNode* child : node->childNodes())
            nodes.push_back(child);
    }

    // Paths made of the names found in the text itself, so that lookups really walk.
    for (size_t i = 1; i < nodes.size() && i < 64; ++i) {
        const std::string_view name = nodes[i]->name;
        const std::string direct = "\\" + std::string(name) + "\\" + nodes[nodes.size() - i]->name;
        KVE_FindDefinitionNode(root, direct.c_str(), "", 1);
        KVE_FindDefinitionNode(root, direct.c_str() + 1, nodes[i]->value, 0);
        KVE_FindDefinitionNode(nodes[i], std::string(name).c_str(), "", 0);
    }
    KVE_LoadDefinitionNode(root, KVE_DEFINITION_ALL);

    // Free every third node (children before their parents are fine too), then the rest.
    for (size_t i = nodes.size(); i-- > 1;)
        if (i % 3 == 0)
            KVE_FreeDefinition(nodes[i], 0);
    // The last node frees the whole tree unless it went with a detached subtree.
    const size_t trees = kve::defs::definitionTreeCount();
    KVE_FreeDefinition(nodes.back(), 1);
    if (kve::defs::definitionTreeCount() == trees)
        KVE_FreeDefinition(root, 1);
    kve::defs::definitionLoaders() = {};
    return 0;
}

// Path lookup in definition trees and the dispatch of Texture, Material and Sound blocks
// to their loaders. Both walk the tree with explicit stacks, never by recursion, so a
// deeply nested file cannot exhaust the call stack.
#include <new>
#include <string_view>
#include <vector>

#include "defs/definition_node.h"

namespace kve::defs {
namespace {

// One step of a lookup path, from offset `at`: "\Name..." (direct: a child named Name)
// or "Name..." (deep: a node named Name anywhere below). `rest` is the offset of the
// remaining path, which keeps its leading '\'.
struct PathStep {
    bool direct = false;
    std::string_view component;
    size_t rest = 0;
};

PathStep splitPath(std::string_view path, size_t at)
{
    const std::string_view tail = path.substr(at);
    const size_t next = tail.find('\\', 1);
    const size_t rest = next == std::string_view::npos ? path.size() : at + next;
    if (!tail.empty() && tail.front() == '\\')
        return {true, tail.substr(1, next == std::string_view::npos ? next : next - 1), rest};
    return {false, tail.substr(0, next), rest};
}

bool valueMatches(const DefinitionNode* node, std::string_view value)
{
    return value.empty() || node->valueText() == value;
}

// A deep-mode search whose children are being tried in order.
struct DeepSearch {
    const DefinitionNode* node;
    PathStep step;
    size_t path; // offset of the path this node is searched with
    uint32_t next = 0;
};

// The lookup without fallback: the first node, in depth-first file order, that the path
// reaches. A direct step hands its one candidate child the rest of the path (its result
// is the step's result); a deep step tries every child until one succeeds.
DefinitionNode* search(DefinitionNode* start, std::string_view path, std::string_view value)
{
    std::vector<DeepSearch> open;
    DefinitionNode* node = start;
    size_t at = 0;
    for (;;) {
        const PathStep step = splitPath(path, at);
        if (step.component.empty() && valueMatches(node, value))
            return node;
        if (step.direct) {
            if (DefinitionNode* child = firstChildNamed(node, step.component)) {
                node = child;
                at = step.rest;
                continue;
            }
        } else {
            if (node->nameText() == step.component && valueMatches(node, value))
                return node;
            open.push_back({node, step, at});
        }
        // The current candidate failed: take the next child of the innermost deep search.
        node = nullptr;
        while (!node && !open.empty()) {
            DeepSearch& deep = open.back();
            if (deep.next >= deep.node->childCount) {
                open.pop_back();
                continue;
            }
            node = deep.node->children[deep.next++];
            at = node->nameText() == deep.step.component ? deep.step.rest : deep.path;
        }
        if (!node)
            return nullptr;
    }
}

DefinitionLoaders loaders;

// Calls the loader of a Texture, Material or Sound node when its mask bit is set and the
// loader is present. False for a node of any other name.
bool dispatchKind(DefinitionNode* node, int kindMask, void*& result)
{
    const std::string_view name = node->nameText();
    DefinitionLoader loader = nullptr;
    const char* resourceName = node->value;
    if (name == "Texture") {
        loader = (kindMask & kTextureBit) ? loaders.texture : nullptr;
    } else if (name == "Material") {
        loader = (kindMask & kMaterialBit) ? loaders.material : nullptr;
    } else if (name == "Sound") {
        loader = (kindMask & kSoundBit) ? loaders.sound : nullptr;
        resourceName = "";
    } else {
        return false;
    }
    if (loader)
        result = loader(KVE_AUTO_ID, node, resourceName);
    return true;
}

} // namespace

DefinitionLoaders& definitionLoaders()
{
    return loaders;
}

} // namespace kve::defs

extern "C" {

DefinitionNode* KVE_FindDefinitionNode(DefinitionNode* start, const char* path, const char* value, int fallback)
{
    if (!start)
        return nullptr;
    DefinitionNode* found = nullptr;
    try {
        found = kve::defs::search(start, path ? path : "", value ? value : "");
    } catch (const std::bad_alloc&) {
        found = nullptr;
    }
    return found ? found : (fallback ? start : nullptr);
}

void* KVE_LoadDefinitionNode(DefinitionNode* node, int kindMask)
{
    if (!node)
        return nullptr;
    void* result = nullptr;
    // Nodes whose children are being dispatched, with the index of the next child. The
    // count is read again at every step, so a loader that frees later siblings is safe.
    std::vector<std::pair<DefinitionNode*, uint32_t>> open;
    try {
        for (DefinitionNode* next = node; next;) {
            if (!kve::defs::dispatchKind(next, kindMask, result))
                open.emplace_back(next, 0);
            next = nullptr;
            while (!next && !open.empty()) {
                auto& [parent, index] = open.back();
                if (index < parent->childCount)
                    next = parent->children[index++];
                else
                    open.pop_back();
            }
        }
    } catch (const std::bad_alloc&) {
    }
    return result;
}

} // extern "C"

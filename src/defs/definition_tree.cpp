// The engine's list of definition trees, their arenas, the current definition, and the
// tree operations: navigation, counting, name lookup and freeing.
#include "defs/definition_tree.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace kve::defs {
namespace {

constexpr size_t kLargestChunk = size_t{4} << 20;
// Nodes with more children than this get a name index on their first lookup.
constexpr size_t kLinearLookupLimit = 16;

struct TreeList {
    DefinitionTree* first = nullptr;
    DefinitionTree* last = nullptr;
    size_t count = 0;
};

TreeList trees;
CurrentDefinition current;

DefinitionNode* scanForName(std::span<DefinitionNode* const> children, std::string_view name)
{
    for (DefinitionNode* child : children)
        if (child->nameText() == name)
            return child;
    return nullptr;
}

// Takes `node` out of its parent's children and name index. The node's memory stays in
// the tree's arena; the flag keeps a second free of the same node harmless.
DefinitionNode* detach(DefinitionNode* node)
{
    DefinitionNode* parent = node->parent;
    if (node->position >= parent->childCount || parent->children[node->position] != node)
        return nullptr;
    for (uint32_t i = node->position; i + 1 < parent->childCount; ++i) {
        parent->children[i] = parent->children[i + 1];
        parent->children[i]->position = i;
    }
    --parent->childCount;
    node->parent = nullptr;
    node->flags |= kDetachedNode;

    if (DefinitionTree* tree = treeOf(parent)) {
        const auto index = tree->nameIndexes.find(parent);
        if (index != tree->nameIndexes.end()) {
            const auto entry = index->second.find(node->nameText());
            if (entry != index->second.end() && entry->second == node) {
                // The next child of the same name becomes the first of its name.
                index->second.erase(entry);
                if (DefinitionNode* next = scanForName(parent->childNodes(), node->nameText()))
                    index->second.emplace(next->nameText(), next);
            }
        }
    }
    return parent;
}

} // namespace

// Chunks come from operator new, aligned for any node or pointer array.
void* Arena::allocateInNewChunk(size_t size)
{
    // A large block gets a chunk of its own so that the current chunk stays in use.
    const bool own = size > nextChunkSize_ / 2;
    std::unique_ptr<std::byte[]> chunk(new std::byte[own ? size : nextChunkSize_]);
    std::byte* const start = chunk.get();
    chunks_.push_back(std::move(chunk));
    if (!own) {
        cursor_ = start + size;
        end_ = start + nextChunkSize_;
        nextChunkSize_ = std::min(nextChunkSize_ * 2, kLargestChunk);
    }
    return start;
}

const char* Arena::copyText(std::string_view text)
{
    if (text.empty())
        return "";
    auto* copy = static_cast<char*>(allocate(text.size() + 1, 1));
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
}

DefinitionTree* treeOf(const DefinitionNode* node)
{
    while (node && node->parent)
        node = node->parent;
    if (!node || !(node->flags & kRootNode))
        return nullptr;
    return static_cast<DefinitionTree*>(const_cast<DefinitionNode*>(node));
}

DefinitionTree* createTree(std::string_view directory)
{
    auto tree = std::make_unique<DefinitionTree>();
    tree->flags = kRootNode;
    tree->directory = withTrailingSeparator(directory);
    tree->previous = trees.last;
    (trees.last ? trees.last->next : trees.first) = tree.get();
    trees.last = tree.get();
    ++trees.count;
    return tree.release();
}

void destroyTree(DefinitionTree* tree)
{
    (tree->previous ? tree->previous->next : trees.first) = tree->next;
    (tree->next ? tree->next->previous : trees.last) = tree->previous;
    --trees.count;
    if (current.root == tree)
        current.root = nullptr;
    delete tree;
}

DefinitionNode* firstChildNamed(const DefinitionNode* node, std::string_view name)
{
    if (!node || name.empty())
        return nullptr;
    DefinitionTree* tree = node->childCount > kLinearLookupLimit ? treeOf(node) : nullptr;
    if (!tree)
        return scanForName(node->childNodes(), name);
    auto [index, made] = tree->nameIndexes.try_emplace(node);
    if (made)
        for (DefinitionNode* child : node->childNodes())
            if (*child->name)
                index->second.try_emplace(child->nameText(), child);
    const auto found = index->second.find(name);
    return found == index->second.end() ? nullptr : found->second;
}

const CurrentDefinition& currentDefinition()
{
    return current;
}

void setCurrentDefinition(DefinitionNode* root, std::string_view path)
{
    current.root = root;
    current.file = filePart(path);
    current.directory = directoryPart(path);
}

std::string_view sourceFileOf(const DefinitionNode* node)
{
    const DefinitionTree* tree = treeOf(node);
    return tree ? std::string_view(tree->path) : std::string_view{};
}

void freeAllDefinitions()
{
    while (trees.first)
        destroyTree(trees.first);
    current = CurrentDefinition{};
}

size_t definitionTreeCount()
{
    return trees.count;
}

} // namespace kve::defs

using kve::defs::DefinitionTree;

extern "C" {

const char* KVE_GetDefinitionDirectory(const DefinitionNode* node)
{
    const DefinitionTree* tree = kve::defs::treeOf(node);
    return tree ? tree->directory.c_str() : "";
}

DefinitionNode* KVE_GetDefinitionChild(const DefinitionNode* node, int index)
{
    if (!node)
        return nullptr;
    const int64_t count = node->childCount;
    const int64_t at = index < 0 ? count + index : index;
    return at >= 0 && at < count ? node->children[at] : nullptr;
}

DefinitionNode* KVE_NextDefinitionSibling(const DefinitionNode* node)
{
    if (!node || !node->parent)
        return nullptr;
    const DefinitionNode* parent = node->parent;
    return node->position + 1 < parent->childCount ? parent->children[node->position + 1] : nullptr;
}

int KVE_CountDefinitionChildren(const DefinitionNode* node, const char* name)
{
    if (!node)
        return 0;
    if (!name || !*name)
        return static_cast<int>(node->childCount);
    const auto children = node->childNodes();
    const std::string_view wanted = name;
    return static_cast<int>(std::count_if(children.begin(), children.end(),
                                          [&](const DefinitionNode* c) { return c->nameText() == wanted; }));
}

DefinitionNode* KVE_FreeDefinition(DefinitionNode* node, int wholeTree)
{
    if (!node || (node->flags & kve::defs::kDetachedNode))
        return nullptr;
    if (wholeTree || !node->parent) {
        if (DefinitionTree* tree = kve::defs::treeOf(node))
            kve::defs::destroyTree(tree);
        return nullptr;
    }
    return kve::defs::detach(node);
}

void KVE_FreeCurrentDefinition(void)
{
    if (kve::defs::current.root)
        kve::defs::destroyTree(static_cast<DefinitionTree*>(kve::defs::current.root));
    kve::defs::current = kve::defs::CurrentDefinition{};
}

} // extern "C"

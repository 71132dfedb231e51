// Storage of one definition tree: every node, text and child array of a tree lives in the
// tree's own bump arena, so parsing allocates in large chunks and freeing a tree is a
// handful of deletes whatever its depth. Private to the definition units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "defs/definition_node.h"

namespace kve::defs {

class Arena {
public:
    void* allocate(size_t size, size_t alignment)
    {
        const auto at = reinterpret_cast<uintptr_t>(cursor_);
        const uintptr_t aligned = (at + alignment - 1) & ~(uintptr_t{alignment} - 1);
        if (aligned + size > reinterpret_cast<uintptr_t>(end_) || !cursor_)
            return allocateInNewChunk(size);
        cursor_ = reinterpret_cast<std::byte*>(aligned + size);
        return reinterpret_cast<void*>(aligned);
    }
    // A NUL-terminated copy of `text` ("" costs nothing).
    const char* copyText(std::string_view text);
    template <class T> T* allocateArray(size_t count)
    {
        return static_cast<T*>(allocate(count * sizeof(T), alignof(T)));
    }

private:
    void* allocateInNewChunk(size_t size);

    std::vector<std::unique_ptr<std::byte[]>> chunks_;
    std::byte* cursor_ = nullptr;
    std::byte* end_ = nullptr;
    size_t nextChunkSize_ = 4096;
};

// The root node of a tree together with what the tree owns. A node detached by
// KVE_FreeDefinition keeps its memory here until the whole tree goes.
struct DefinitionTree : DefinitionNode {
    std::string directory;
    std::string path; // the file the tree was read from; empty for a text parsed in memory
    bool endedInside = false; // the text ended inside a block, a block comment or a quote
    Arena arena;
    // First child of each name, built on the first lookup in a node with many children.
    std::unordered_map<const DefinitionNode*, std::unordered_map<std::string_view, DefinitionNode*>> nameIndexes;
    DefinitionTree* previous = nullptr;
    DefinitionTree* next = nullptr;
};

// The tree a node belongs to; null for a node inside a detached subtree.
DefinitionTree* treeOf(const DefinitionNode* node);

// Appends a new empty root with `directory` (one trailing separator) to the tree list.
DefinitionTree* createTree(std::string_view directory);
// Unlinks and deletes a tree; clears the current definition's root if it was this tree.
void destroyTree(DefinitionTree* tree);

} // namespace kve::defs

// The definition tree as the engine's loaders see it: the node record, the hooks through
// which the texture, material and sound units receive their blocks, and the helpers
// beside the public KVE_ definition operations (paths, in-memory parsing, the current
// definition).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "kve.h"

// One node of a definition tree. Names and values are trimmed, NUL-terminated texts owned
// by the tree; they and the node stay valid until the node or its tree is freed.
struct DefinitionNode {
    DefinitionNode* parent = nullptr; // null for a root and for a freed (detached) node
    const char* name = "";            // the key; may be empty, never null
    const char* value = "";           // value text, whole list text, or the text before "{"
    DefinitionNode** children = nullptr;
    // Every child takes at least two bytes of text except the last, so a text of at most
    // kve::defs::kMaxTextSize bytes gives fewer than 2^30 children per node; the spare
    // bits hold the flags and keep a node at 40 bytes (a mesh file has millions).
    uint32_t childCount : 31 = 0;
    uint32_t group : 1 = 0;     // 1 once a block or list was parsed into the node
    uint32_t position : 30 = 0; // index in the parent's children
    uint32_t flags : 2 = 0;     // kve::defs::kRootNode, kDetachedNode

    std::span<DefinitionNode* const> childNodes() const { return {children, childCount}; }
    std::string_view nameText() const { return name; }
    std::string_view valueText() const { return value; }
};

static_assert(sizeof(DefinitionNode) == 40);

namespace kve::defs {

inline constexpr uint8_t kRootNode = 1;     // the node is a tree's root (a DefinitionTree)
inline constexpr uint8_t kDetachedNode = 2; // removed from its parent by KVE_FreeDefinition

// Kind mask bits of KVE_ParseDefinitionFiles and KVE_LoadDefinitionNode.
inline constexpr int kTextureBit = 1;
inline constexpr int kMaterialBit = 2;
inline constexpr int kSoundBit = 8;

// A kind loader: (registry number or KVE_AUTO_ID, the block's node, resource name).
using DefinitionLoader = void* (*)(int id, DefinitionNode* node, const char* name);

// Filled by the texture, material and sound units at engine start-up. The dispatch calls
// texture and material loaders with the block's value as name and the sound loader with
// an empty name; a hook left null means blocks of that kind are skipped silently.
struct DefinitionLoaders {
    DefinitionLoader texture = nullptr;
    DefinitionLoader material = nullptr;
    DefinitionLoader sound = nullptr;
};
DefinitionLoaders& definitionLoaders();

// The file read last by KVE_ReadDefinitionFile. `root` becomes null when that tree is
// freed by any route; file and directory stay until KVE_FreeCurrentDefinition.
struct CurrentDefinition {
    DefinitionNode* root = nullptr;
    std::string file;      // file part of the path
    std::string directory; // directory part, with its trailing separator
};
const CurrentDefinition& currentDefinition();
void setCurrentDefinition(DefinitionNode* root, std::string_view path);

// The path of the file a node's tree was read from; "" for a text parsed in memory.
std::string_view sourceFileOf(const DefinitionNode* node);

// Parses `text` (up to its first NUL byte) into a new root appended to the tree list.
// `directory` is stored with exactly one trailing separator. Null when memory runs out
// or the text is longer than kMaxTextSize.
DefinitionNode* parseText(std::string_view text, std::string_view directory);
inline constexpr size_t kMaxTextSize = 0x7FFFFFFF; // child counts and indices stay ints

// The first child named `name` (exact); null for an empty name.
DefinitionNode* firstChildNamed(const DefinitionNode* node, std::string_view name);

// The path with every '\' turned into the platform separator, for opening files named
// in definitions written on other systems.
std::string nativePath(std::string_view path);
// The file the node's tree was read from, for messages about its content; "definition
// text" for a tree parsed from memory or a detached node.
std::string definitionSource(const DefinitionNode* node);

// Whether the text of the node's tree ended inside a block, a block comment or a quote:
// the mark of a file cut short.
bool endedInsideBlock(const DefinitionNode* node);
inline constexpr const char* kCutShort = "the text ends inside a block, cut short";

// Why the file at `path` (either separator) cannot be read, for the log: "no such file",
// "a directory, not a file", "cannot be opened" or "cannot be read".
std::string unreadableReason(std::string_view path);

// Directory part (through the last '\' or '/') and file part of a path.
std::string_view directoryPart(std::string_view path);
std::string_view filePart(std::string_view path);
// `directory` with exactly one trailing separator (the one written, else '/'); "" stays "".
std::string withTrailingSeparator(std::string_view directory);

// Frees every tree (engine shutdown, tests) and clears the current definition.
void freeAllDefinitions();
// Number of trees in the engine's list.
size_t definitionTreeCount();

} // namespace kve::defs

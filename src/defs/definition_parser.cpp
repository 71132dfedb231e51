// The definition text parser: one pass over the bytes with an explicit stack of open
// levels (the root, blocks and lists) instead of recursion, so that no nesting depth a
// file can reach exhausts the call stack. Names and values are kept as offsets into the
// text until a node is made, and nodes, texts and child arrays go to the tree's arena.
#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <vector>

#include "defs/definition_tree.h"

namespace kve::defs {
namespace {

// A slice of the text, as offsets.
struct Span {
    size_t begin = 0;
    size_t end = 0;
    bool empty() const { return begin == end; }
};

// One open level: the node that receives children and the state of the entry being read.
struct Level {
    DefinitionNode* node = nullptr;
    size_t runStart = 0;   // where the current unparsed run of text begins
    Span token;            // pending value
    Span name;             // pending name
    size_t firstChild = 0; // the level's first child in Parser::children_
    bool list = false;
};

// Bytes that end a run of ordinary text in the normal scan state.
constexpr std::array<bool, 256> kDelimiter = [] {
    std::array<bool, 256> delimiter{};
    for (const unsigned char c : std::string_view("/':,;\n{}"))
        delimiter[c] = true;
    return delimiter;
}();

// Names and values lose every byte from 1 to 32 at both ends.
bool isBlank(char c)
{
    return static_cast<unsigned char>(c - 1) < 32;
}

class Parser {
public:
    Parser(std::string_view text, DefinitionTree& tree) : text_(text), tree_(tree) {}
    void parse();

private:
    Span trimmed(size_t begin, size_t end) const;
    Span run(const Level& level, size_t p) const { return trimmed(level.runStart, p); }
    std::string_view textOf(Span span) const { return text_.substr(span.begin, span.end - span.begin); }
    size_t find(size_t from, char c) const;
    size_t findCommentEnd(size_t from) const;

    DefinitionNode* addChild(Span name, Span value);
    void commit();
    void open(DefinitionNode* node, size_t runStart, bool list);
    void close();
    void closeList(size_t terminator);
    void closeAll();
    // Whether a block (not only a list) is still open below the root.
    bool blockOpen() const;

    std::string_view text_;
    DefinitionTree& tree_;
    std::vector<Level> levels_;
    std::vector<DefinitionNode*> children_; // children of every open level, innermost last
};

Span Parser::trimmed(size_t begin, size_t end) const
{
    while (begin < end && isBlank(text_[begin]))
        ++begin;
    while (end > begin && isBlank(text_[end - 1]))
        --end;
    return {begin, end};
}

size_t Parser::find(size_t from, char c) const
{
    if (from >= text_.size())
        return std::string_view::npos;
    const void* at = std::memchr(text_.data() + from, c, text_.size() - from);
    return at ? static_cast<size_t>(static_cast<const char*>(at) - text_.data()) : std::string_view::npos;
}

// Position of the "*/" that closes a block comment whose text starts at `from`.
size_t Parser::findCommentEnd(size_t from) const
{
    for (size_t star = find(from, '*'); star != std::string_view::npos; star = find(star + 1, '*'))
        if (star + 1 < text_.size() && text_[star + 1] == '/')
            return star;
    return std::string_view::npos;
}

DefinitionNode* Parser::addChild(Span name, Span value)
{
    const Level& level = levels_.back();
    auto* node = new (tree_.arena.allocate(sizeof(DefinitionNode), alignof(DefinitionNode))) DefinitionNode;
    node->parent = level.node;
    node->name = tree_.arena.copyText(textOf(name));
    node->value = tree_.arena.copyText(textOf(value));
    node->position = static_cast<uint32_t>(children_.size() - level.firstChild);
    children_.push_back(node);
    return node;
}

void Parser::commit()
{
    const Level& level = levels_.back();
    if (!level.token.empty())
        addChild(level.name, level.token);
}

void Parser::open(DefinitionNode* node, size_t runStart, bool list)
{
    node->group = 1;
    levels_.push_back(Level{node, runStart, {}, {}, children_.size(), list});
}

// Ends the innermost level: its children move from the shared stack into the arena.
void Parser::close()
{
    const Level& level = levels_.back();
    const size_t count = children_.size() - level.firstChild;
    if (count > 0) {
        auto** array = tree_.arena.allocateArray<DefinitionNode*>(count);
        std::memcpy(array, children_.data() + level.firstChild, count * sizeof(DefinitionNode*));
        level.node->children = array;
        level.node->childCount = static_cast<uint32_t>(count);
    }
    children_.resize(level.firstChild);
    levels_.pop_back();
}

// Ends a list level at its terminator (";", LF, "}" or the end of the text). The list
// node's value is the whole list text; the enclosing level then scans the terminator
// itself, so a "}" also closes the block around the list.
void Parser::closeList(size_t terminator)
{
    DefinitionNode* list = levels_.back().node;
    close();
    Level& enclosing = levels_.back();
    list->value = tree_.arena.copyText(textOf(trimmed(enclosing.runStart, terminator)));
    enclosing.runStart = terminator;
    enclosing.token = enclosing.name = {};
}

bool Parser::blockOpen() const
{
    return std::any_of(levels_.begin() + 1, levels_.end(), [](const Level& level) { return !level.list; });
}

void Parser::closeAll()
{
    while (!levels_.empty()) {
        if (levels_.back().list)
            closeList(text_.size());
        else
            close();
    }
}

void Parser::parse()
{
    const char* const s = text_.data();
    const size_t n = text_.size();
    levels_.reserve(16);
    children_.reserve(256);
    open(&tree_, 0, false);
    size_t p = 0;
    for (;;) {
        while (p < n && !kDelimiter[static_cast<unsigned char>(s[p])])
            ++p;
        Level& level = levels_.back();
        if (p == n) {
            // The end of the text ends the innermost level like "}", and every other
            // level with it.
            if (level.token.empty())
                level.token = run(level, p);
            commit();
            tree_.endedInside = blockOpen();
            closeAll();
            return;
        }
        switch (s[p]) {
        case '/': {
            const char next = p + 1 < n ? s[p + 1] : '\0';
            if (next != '/' && next != '*') {
                ++p;
                break;
            }
            // The run before a comment replaces the pending token, even when empty: a
            // quoted value followed by a comment on its line is lost.
            level.token = run(level, p);
            const size_t end = next == '/' ? find(p + 2, '\n') : findCommentEnd(p + 2);
            if (end == std::string_view::npos) {
                if (next == '/')
                    commit(); // an unterminated block comment drops the pending entry
                tree_.endedInside = next == '*' || blockOpen();
                closeAll();
                return;
            }
            // A line comment's LF does not end the entry: a pending name and token carry
            // on into the next line.
            p = end + (next == '/' ? 1 : 2);
            level.runStart = p;
            break;
        }
        case '\'': {
            const size_t end = find(p + 1, '\'');
            if (end == std::string_view::npos) {
                tree_.endedInside = true;
                closeAll(); // an unterminated quote drops the pending entry
                return;
            }
            level.token = trimmed(p + 1, end);
            p = end + 1;
            level.runStart = p;
            break;
        }
        case ':':
            if (!level.token.empty()) {
                level.name = level.token;
                level.token = {};
            } else {
                level.name = run(level, p);
            }
            level.runStart = ++p;
            break;
        case ',':
            if (level.token.empty())
                level.token = run(level, p);
            if (level.list) {
                commit();
                level.token = level.name = {};
                level.runStart = ++p;
            } else {
                const Span first = level.token;
                DefinitionNode* list = addChild(level.name, {});
                open(list, p + 1, true);
                if (!first.empty())
                    addChild({}, first);
                ++p;
            }
            break;
        case ';':
        case '\n':
            if (level.token.empty())
                level.token = run(level, p);
            commit();
            level.token = level.name = {};
            level.runStart = p + 1;
            if (level.list)
                closeList(p);
            else
                ++p;
            break;
        case '{': {
            if (level.token.empty())
                level.token = run(level, p);
            DefinitionNode* block = addChild(level.name, level.token);
            level.token = level.name = {};
            open(block, ++p, false);
            break;
        }
        case '}':
            if (level.token.empty())
                level.token = run(level, p);
            commit();
            if (levels_.size() == 1) {
                close(); // a "}" with no open block ends the whole text
                return;
            }
            if (level.list) {
                closeList(p);
            } else {
                close();
                Level& enclosing = levels_.back();
                enclosing.runStart = ++p;
                enclosing.token = enclosing.name = {};
            }
            break;
        }
    }
}

} // namespace

DefinitionNode* parseText(std::string_view text, std::string_view directory)
{
    if (!text.empty())
        if (const void* nul = std::memchr(text.data(), '\0', text.size()))
            text = text.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - text.data()));
    if (text.size() > kMaxTextSize)
        return nullptr;
    DefinitionTree* tree = nullptr;
    try {
        tree = createTree(directory);
        Parser(text, *tree).parse();
    } catch (const std::bad_alloc&) {
        if (tree)
            destroyTree(tree);
        return nullptr;
    }
    return tree;
}

} // namespace kve::defs

extern "C" DefinitionNode* KVE_ParseDefinitionText(const char* text, const char* directory)
{
    return kve::defs::parseText(text ? text : "", directory ? directory : "");
}

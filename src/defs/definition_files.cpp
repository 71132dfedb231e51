// Definition files on disk: paths written with either separator, reading one file into a
// tree, and the batch parser that walks a file, a directory or a "*" pattern and hands
// the blocks it finds to their loaders.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "core/log.h"
#include "defs/definition_node.h"
#include "defs/definition_tree.h"

namespace kve::defs {
namespace {

namespace fs = std::filesystem;

bool isSeparator(char c)
{
    return c == '\\' || c == '/';
}

size_t lastSeparator(std::string_view path)
{
    return path.find_last_of("\\/");
}

// The file's bytes up to the first NUL. None when it cannot be opened or read (a
// directory, say) or is too long to be a definition text.
std::optional<std::string> readText(const std::string& path)
{
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(std::fopen(path.c_str(), "rb"), &std::fclose);
    if (!file)
        return std::nullopt;
    std::error_code error;
    const auto size = fs::file_size(path, error);
    // One read for a regular file; devices and pipes go in chunks until a NUL or the end.
    size_t chunk = !error && size < kMaxTextSize ? static_cast<size_t>(size) + 1 : size_t{1} << 16;
    std::string text;
    for (;;) {
        const size_t used = text.size();
        text.resize(used + chunk);
        const size_t got = std::fread(text.data() + used, 1, chunk, file.get());
        text.resize(used + got);
        if (const void* nul = std::memchr(text.data() + used, '\0', got)) {
            text.resize(static_cast<size_t>(static_cast<const char*>(nul) - text.data()));
            break;
        }
        if (got < chunk)
            break;
        if (text.size() > kMaxTextSize)
            return std::nullopt;
        chunk = size_t{1} << 16;
    }
    if (std::ferror(file.get()))
        return std::nullopt;
    return text;
}

// '*' matches any run of characters, '?' any one; names are compared exactly.
bool matchesPattern(std::string_view pattern, std::string_view name)
{
    size_t p = 0, n = 0;
    size_t star = std::string_view::npos, starName = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
            ++p;
            ++n;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            starName = n;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

void parsePath(const std::string& path, const std::string& pattern, int kindMask, bool named,
               std::vector<fs::path>& walking);

// Whether the tree holds a block the batch parser hands to a loader (walked without
// recursion: a hostile file may nest blocks a million deep).
bool holdsResourceBlock(const DefinitionNode* root)
{
    std::vector<const DefinitionNode*> open{root};
    while (!open.empty()) {
        const DefinitionNode* node = open.back();
        open.pop_back();
        const std::string_view name = node->nameText();
        if (name == "Texture" || name == "Material" || name == "Sound")
            return true;
        for (const DefinitionNode* child : node->childNodes())
            open.push_back(child);
    }
    return false;
}

// Parses the entries of a directory that match `pattern` (all when empty), in name order
// so that loading does not depend on the file system. A directory already being walked
// further up (a link back to an ancestor) is not entered again.
void parseDirectory(const std::string& path, const std::string& pattern, int kindMask, std::vector<fs::path>& walking)
{
    const std::string native = path.empty() ? std::string(".") : nativePath(path);
    std::error_code error;
    fs::path identity = fs::canonical(native, error);
    if (error || std::find(walking.begin(), walking.end(), identity) != walking.end())
        return;
    std::vector<std::string> names;
    for (fs::directory_iterator it(native, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
        if (pattern.empty() || matchesPattern(pattern, name))
            names.push_back(std::move(name));
    }
    std::sort(names.begin(), names.end());
    walking.push_back(std::move(identity));
    const std::string prefix = withTrailingSeparator(path);
    for (const std::string& name : names)
        parsePath(prefix + name, {}, kindMask, !pattern.empty(), walking);
    walking.pop_back();
}

// One file, or a directory with the entries that match `pattern`. Entry names are taken
// literally, even when they hold a '*'. A file that was asked for by name or pattern (not
// one met while walking a whole directory, which may hold anything) and gives no
// resource is a failure worth a red entry.
void parsePath(const std::string& path, const std::string& pattern, int kindMask, bool named,
               std::vector<fs::path>& walking)
{
    // A pattern without a directory part searches the current directory.
    std::error_code error;
    const bool directory = path.empty() ? !pattern.empty() : fs::is_directory(nativePath(path), error);
    if (directory) {
        parseDirectory(path, pattern, kindMask, walking);
    } else {
        constexpr const char* kProcedure = "KVE_ParseDefinitionFiles";
        log::progress("Parse DefinitionFile: " + path, kProcedure, "KVE Definition", __LINE__);
        DefinitionNode* root = KVE_ReadDefinitionFile(path.c_str());
        if (!root && named) {
            log::fail("Fail: File not found!", kProcedure);
            log::failFile(path, unreadableReason(path), kProcedure);
        } else if (root && named && !holdsResourceBlock(root)) {
            log::failFile(path, "no Texture, Material or Sound block", kProcedure);
        } else if (root && endedInsideBlock(root)) {
            log::warnFile(path, kCutShort, kProcedure);
        }
        if (root)
            KVE_LoadDefinitionNode(root, kindMask);
    }
    KVE_WriteLogBreak();
}

} // namespace

std::string nativePath(std::string_view path)
{
    std::string native(path);
    std::replace(native.begin(), native.end(), '\\', '/');
    return native;
}

std::string definitionSource(const DefinitionNode* node)
{
    const DefinitionTree* tree = treeOf(node);
    return tree && !tree->path.empty() ? tree->path : "definition text";
}

bool endedInsideBlock(const DefinitionNode* node)
{
    const DefinitionTree* tree = treeOf(node);
    return tree && tree->endedInside;
}

std::string unreadableReason(std::string_view path)
{
    const std::string native = nativePath(path);
    std::error_code error;
    const fs::file_status status = fs::status(native, error);
    if (!fs::exists(status))
        return "no such file";
    if (fs::is_directory(status))
        return "a directory, not a file";
    std::FILE* file = std::fopen(native.c_str(), "rb");
    if (!file)
        return "cannot be opened";
    std::fclose(file);
    return "cannot be read";
}

std::string_view directoryPart(std::string_view path)
{
    const size_t separator = lastSeparator(path);
    return separator == std::string_view::npos ? std::string_view{} : path.substr(0, separator + 1);
}

std::string_view filePart(std::string_view path)
{
    const size_t separator = lastSeparator(path);
    return separator == std::string_view::npos ? path : path.substr(separator + 1);
}

std::string withTrailingSeparator(std::string_view directory)
{
    if (directory.empty())
        return {};
    char separator = '/';
    while (!directory.empty() && isSeparator(directory.back())) {
        separator = directory.back();
        directory.remove_suffix(1);
    }
    return std::string(directory) + separator;
}

} // namespace kve::defs

extern "C" {

DefinitionNode* KVE_ReadDefinitionFile(const char* path)
{
    if (!path)
        return nullptr;
    try {
        const std::optional<std::string> text = kve::defs::readText(kve::defs::nativePath(path));
        if (!text)
            return nullptr;
        DefinitionNode* root = kve::defs::parseText(*text, kve::defs::directoryPart(path));
        if (kve::defs::DefinitionTree* tree = kve::defs::treeOf(root))
            tree->path = path;
        kve::defs::setCurrentDefinition(root, path);
        return root;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

void KVE_ParseDefinitionFiles(const char* path, int kindMask)
{
    if (!path)
        return;
    std::vector<std::filesystem::path> walking;
    try {
        std::string directory = path, pattern;
        if (directory.find('*') != std::string::npos) {
            pattern = kve::defs::filePart(path);
            directory = kve::defs::directoryPart(path);
        }
        kve::defs::parsePath(directory, pattern, kindMask, true, walking);
    } catch (const std::bad_alloc&) {
    }
}

} // extern "C"

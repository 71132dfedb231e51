#include "platform/gl_table.h"

#include <cstring>

namespace kve::gl {

FunctionTable functions;

namespace {

struct EntryInfo {
    const char* name;
    int version;
    void** slot;
};

std::vector<EntryInfo> entries()
{
    return {
#define KVE_GL_FUNCTION(name, type, version) {#name, version, reinterpret_cast<void**>(&functions.name)},
#include "platform/gl_functions.inc"
#undef KVE_GL_FUNCTION
    };
}

} // namespace

std::vector<std::string> load(void* (*lookup)(const char* name))
{
    std::vector<std::string> missing;
    for (const EntryInfo& entry : entries()) {
        *entry.slot = lookup(entry.name);
        if (!*entry.slot && entry.version != 0 && entry.version <= 33)
            missing.emplace_back(entry.name);
    }
    return missing;
}

void clear()
{
    functions = FunctionTable{};
}

int entryCount()
{
    return static_cast<int>(entries().size());
}

int loadedCount()
{
    int count = 0;
    for (const EntryInfo& entry : entries())
        count += *entry.slot != nullptr;
    return count;
}

bool isLoaded(const char* name)
{
    for (const EntryInfo& entry : entries())
        if (std::strcmp(entry.name, name) == 0)
            return *entry.slot != nullptr;
    return false;
}

} // namespace kve::gl

// The record of where resources came from, kept for the reload. Loaders on any thread
// record into it and every release forgets from it, so one mutex guards it.
#include "core/resource_sources.h"

#include <mutex>
#include <unordered_map>

#include "core/registry.h"

namespace kve::core {
namespace {

uint64_t keyOf(ResourceKind kind, int number)
{
    return (static_cast<uint64_t>(kind) << 32) | static_cast<uint32_t>(number);
}

struct Sources {
    std::mutex mutex;
    std::unordered_map<uint64_t, ResourceSource> byKey;
    uint64_t revision = 0;
};

Sources& sources()
{
    static Sources instance;
    return instance;
}

} // namespace

ResourceKind kindOf(ResourceLoader loader)
{
    switch (loader) {
    case ResourceLoader::TextureFile:
    case ResourceLoader::TextureDefinition: return ResourceKind::Texture;
    case ResourceLoader::MaterialDefinition: return ResourceKind::Material;
    case ResourceLoader::MeshFile:
    case ResourceLoader::ObjMesh: return ResourceKind::Mesh;
    case ResourceLoader::BodyFile: return ResourceKind::Body;
    case ResourceLoader::Emitter: return ResourceKind::Emitter;
    case ResourceLoader::Font: return ResourceKind::Font;
    case ResourceLoader::SoundFile:
    case ResourceLoader::SoundDefinition: return ResourceKind::Sound;
    }
    return ResourceKind::None;
}

void recordResourceSource(ResourceLoader loader, int number, std::string_view file, std::string_view block,
                          std::vector<std::string> dependencies, int option0, int option1)
{
    if (staging() || file.empty())
        return;
    ResourceSource source;
    source.loader = loader;
    source.number = number;
    source.file = file;
    source.block = block;
    source.dependencies = std::move(dependencies);
    source.options[0] = option0;
    source.options[1] = option1;
    Sources& s = sources();
    std::lock_guard lock(s.mutex);
    s.byKey.insert_or_assign(keyOf(kindOf(loader), number), std::move(source));
    ++s.revision;
}

void forgetResourceSource(ResourceKind kind, int number)
{
    Sources& s = sources();
    std::lock_guard lock(s.mutex);
    if (s.byKey.erase(keyOf(kind, number)))
        ++s.revision;
}

void setResourceDependencies(ResourceKind kind, int number, std::vector<std::string> dependencies)
{
    Sources& s = sources();
    std::lock_guard lock(s.mutex);
    const auto found = s.byKey.find(keyOf(kind, number));
    if (found == s.byKey.end() || found->second.dependencies == dependencies)
        return;
    found->second.dependencies = std::move(dependencies);
    ++s.revision;
}

std::optional<ResourceSource> findResourceSource(ResourceKind kind, int number)
{
    Sources& s = sources();
    std::lock_guard lock(s.mutex);
    const auto found = s.byKey.find(keyOf(kind, number));
    if (found == s.byKey.end())
        return std::nullopt;
    return found->second;
}

std::vector<ResourceSource> resourceSources()
{
    Sources& s = sources();
    std::lock_guard lock(s.mutex);
    std::vector<ResourceSource> all;
    all.reserve(s.byKey.size());
    for (const auto& [key, source] : s.byKey)
        all.push_back(source);
    return all;
}

size_t resourceSourceCount()
{
    Sources& s = sources();
    std::lock_guard lock(s.mutex);
    return s.byKey.size();
}

uint64_t resourceSourcesRevision()
{
    Sources& s = sources();
    std::lock_guard lock(s.mutex);
    return s.revision;
}

void clearResourceSources()
{
    Sources& s = sources();
    std::lock_guard lock(s.mutex);
    s.byKey.clear();
    ++s.revision;
}

} // namespace kve::core

// Where each resource loaded from a file came from: the loader, the file (and, for a
// block of a definition file, the block's name and the files the block names), so that
// the reload can repeat the load when one of those files changes. Sources are keyed by
// resource kind and number, recorded by every load and forgotten by every release, and
// may be recorded from any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kve::core {

// The registries whose records may come from files.
enum class ResourceKind : uint8_t { None, Texture, Material, Mesh, Body, Emitter, Font, Sound };

// The loader a reload repeats.
enum class ResourceLoader {
    TextureFile,        // KVE_LoadTextureFile; options: filter, mipmaps
    TextureDefinition,  // a Texture block; `dependencies`: its image file
    MaterialDefinition, // a Material block (also the one inside an emitter file); `dependencies`: inline images
    MeshFile,           // KVE_LoadMesh
    ObjMesh,            // KVE_LoadOBJMesh
    BodyFile,           // KVE_LoadBody
    Emitter,            // KVE_LoadParticleEmitter
    Font,               // KVE_LoadFont
    SoundFile,          // KVE_LoadSound; options: mode
    SoundDefinition,    // a Sound block; `dependencies`: its clip file
};

ResourceKind kindOf(ResourceLoader loader);

struct ResourceSource {
    ResourceLoader loader = ResourceLoader::TextureFile;
    int number = 0;                        // the resource's registry number
    std::string file;                      // the file the loader read
    std::string block;                     // a definition block's resource name
    std::vector<std::string> dependencies; // further files the resource was made from
    int options[2] = {0, 0};

    ResourceKind kind() const { return kindOf(loader); }
};

// Records (or, for a resource already known by kind and number, replaces) the source of a
// resource. Ignored for an empty file name and while this thread stages a reload: the
// live record keeps its source.
void recordResourceSource(ResourceLoader loader, int number, std::string_view file, std::string_view block = {},
                          std::vector<std::string> dependencies = {}, int option0 = 0, int option1 = 0);

// Forgets the source of a released resource (the registries call it on every release).
void forgetResourceSource(ResourceKind kind, int number);

// Replaces the further files of a known source (a reload may name other ones).
void setResourceDependencies(ResourceKind kind, int number, std::vector<std::string> dependencies);

std::optional<ResourceSource> findResourceSource(ResourceKind kind, int number);

// Every recorded source, copied, in no particular order.
std::vector<ResourceSource> resourceSources();
size_t resourceSourceCount();

// Moves on with every record, replacement and forgetting: a watcher compares it with the
// value it last saw.
uint64_t resourceSourcesRevision();

void clearResourceSources();

} // namespace kve::core

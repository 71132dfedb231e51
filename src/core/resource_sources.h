// Where each resource loaded from a file came from: the loader, the file (and, for a
// block of a definition file, the block's name and the file the block names), so that
// the reload can repeat the load when one of those files changes.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>

namespace kve::core {

// The loader a reload repeats.
enum class ResourceLoader {
    TextureFile,        // KVE_LoadTextureFile; options: filter, mipmaps
    TextureDefinition,  // a Texture block; `dependency` is its image file
    MaterialDefinition, // a Material block (also the one inside an emitter file)
    MeshFile,           // KVE_LoadMesh
    ObjMesh,            // KVE_LoadOBJMesh
    BodyFile,           // KVE_LoadBody
    Emitter,            // KVE_LoadParticleEmitter
    Font,               // KVE_LoadFont
    SoundFile,          // KVE_LoadSound; options: mode
    SoundDefinition,    // a Sound block; `dependency` is its clip file
};

struct ResourceSource {
    ResourceLoader loader = ResourceLoader::TextureFile;
    int number = 0;                // the resource's registry number
    const void* record = nullptr;  // the record the number named when it was loaded
    std::string file;              // the file the loader read
    std::string block;             // a definition block's resource name
    std::string dependency;        // a second file the resource was made from, or ""
    int options[2] = {0, 0};
};

// Records (or, for a record already known, replaces) the source of a resource: the
// loader, the number and record it made, the file it read; for a definition block its
// resource name, and a second file it was made from (image, clip); loader options.
// Ignored while a reload stages a resource: the live record keeps its source.
void recordResourceSource(ResourceLoader loader, int number, const void* record, std::string_view file,
                          std::string_view block = {}, std::string_view dependency = {}, int option0 = 0,
                          int option1 = 0);

// Every recorded source by its record. Sources of released resources stay until the
// reload finds them gone.
using ResourceSources = std::unordered_map<const void*, ResourceSource>;
ResourceSources& resourceSources();

} // namespace kve::core

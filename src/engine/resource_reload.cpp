// Resource reload while running: the files resources came from are watched, and a
// changed file's resources are loaded again beside the live ones ("staged", so that the
// live record keeps its number and name) and, when that load succeeds, the new contents
// move into the live record. Everything that refers to the record (objects to meshes and
// bodies, materials to textures, emitters to materials, fonts sharing a glyph set) keeps
// referring to it; a load that fails leaves the live record as it was.
#include "engine/resource_reload.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <mutex>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "core/log.h"
#include "core/physics_lock.h"
#include "core/registry.h"
#include "core/resource_sources.h"
#include "defs/definition_node.h"
#include "geometry/mesh.h"
#include "gpu/material.h"
#include "gpu/texture.h"
#include "kve.h"
#include "particles/emitter.h"
#include "physics/physics.h"
#include "platform/file_watch.h"
#include "render/font.h"
#include "scene/object.h"

namespace kve::engine {
namespace {

using core::ResourceLoader;
using core::ResourceSource;

constexpr const char* kProcedure = "KVE_ReloadChangedResources";
// A file is reloaded once its last write is this old, so that a file written in several
// steps is read once, complete.
constexpr uint64_t kQuietMs = 100;

struct Reloader {
    bool watching = false;
    size_t watchedSources = 0;                        // sources whose files are watched
    std::unordered_set<std::string> watchedPaths;     // as recorded, so each is watched once
    std::unordered_map<std::string, uint64_t> pending; // normal path -> when its change was seen, ms
    std::vector<std::string> changed;                 // reused every frame
    uint64_t clockStart = 0;
};

Reloader& reloader()
{
    static Reloader instance;
    return instance;
}

uint64_t nowMs()
{
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

std::string normalPath(const std::string& path)
{
    return platform::normalFilePath(defs::nativePath(path));
}

// The order in which one pass reloads: what others refer to first.
int rank(ResourceLoader loader)
{
    return static_cast<int>(loader);
}

// Swaps everything but the number and the name, which the registry keeps for the record.
template <class Record>
void swapContents(Record& live, Record& staged)
{
    std::swap(live, staged);
    std::swap(live.number, staged.number);
    std::swap(live.name, staged.name);
}

// Whether the source's record is still the one its number names.
bool alive(const ResourceSource& source)
{
    const int n = source.number;
    switch (source.loader) {
    case ResourceLoader::TextureFile:
    case ResourceLoader::TextureDefinition: return gpu::findTexture(n) == source.record;
    case ResourceLoader::MaterialDefinition: return gpu::findMaterial(n) == source.record;
    case ResourceLoader::MeshFile:
    case ResourceLoader::ObjMesh: return geometry::findMesh(n) == source.record;
    case ResourceLoader::BodyFile: return physics::findBody(n) == source.record;
    case ResourceLoader::Emitter: return particles::findEmitter(n) == source.record;
    case ResourceLoader::Font: return render::findFont(n) == source.record;
    case ResourceLoader::SoundFile:
    case ResourceLoader::SoundDefinition: return KVE_GetSound(n) == source.record;
    }
    return false;
}

// Watches the files of sources recorded since the last call, and forgets the sources of
// resources released since (an application that loads and frees emitters all the time
// would otherwise grow the record without end).
void watchNewSources()
{
    Reloader& r = reloader();
    auto& sources = core::resourceSources();
    if (sources.size() == r.watchedSources)
        return;
    const auto watch = [&](const std::string& path) {
        if (!path.empty() && r.watchedPaths.insert(path).second)
            platform::watchFile(defs::nativePath(path));
    };
    for (auto it = sources.begin(); it != sources.end();) {
        if (!alive(it->second)) {
            it = sources.erase(it);
            continue;
        }
        watch(it->second.file);
        watch(it->second.dependency);
        ++it;
    }
    r.watchedSources = sources.size();
}

// The definition files one pass has read, each once, freed at the end of the pass.
class DefinitionFiles {
public:
    DefinitionFiles() = default;
    DefinitionFiles(const DefinitionFiles&) = delete;
    DefinitionFiles& operator=(const DefinitionFiles&) = delete;
    ~DefinitionFiles()
    {
        for (auto& [file, root] : roots_)
            if (root)
                KVE_FreeDefinition(root, 1);
    }
    // The root of a complete file; null (and a red entry) for one that is missing or cut short.
    DefinitionNode* read(const std::string& file)
    {
        const auto known = roots_.find(file);
        if (known != roots_.end())
            return known->second;
        DefinitionNode* root = KVE_ReadDefinitionFile(file.c_str());
        if (root && defs::endedInsideBlock(root)) {
            log::fail("Fail: Definition file is incomplete: " + file, kProcedure);
            KVE_FreeDefinition(root, 1);
            root = nullptr;
        }
        roots_.emplace(file, root);
        return root;
    }

private:
    std::unordered_map<std::string, DefinitionNode*> roots_;
};

// The first Sound block named `name` by its own value or its nearest named ancestor's.
DefinitionNode* findSoundBlock(DefinitionNode* node, const std::string& name, const std::string& inherited)
{
    const std::string own = *node->value ? node->value : inherited;
    if (node->nameText() == "Sound" && own == name)
        return node;
    for (DefinitionNode* child : node->childNodes())
        if (DefinitionNode* found = findSoundBlock(child, name, own))
            return found;
    return nullptr;
}

// The file a block's "\File" key names, as its loader opens it.
std::string blockFile(DefinitionNode* block)
{
    return std::string(KVE_GetDefinitionDirectory(block)) +
           KVE_GetDefinitionString(KVE_FindDefinitionNode(block, "\\File", nullptr, 0), "");
}

bool reloadTexture(ResourceSource& source, DefinitionFiles& files)
{
    auto* live = static_cast<gpu::TextureRecord*>(const_cast<void*>(source.record));
    gpu::TextureRecord* staged = nullptr;
    {
        core::StagingScope staging;
        if (source.loader == ResourceLoader::TextureFile) {
            staged = KVE_LoadTextureFile(-1, source.file.c_str(), source.options[0], source.options[1], live->name);
        } else if (DefinitionNode* root = files.read(source.file)) {
            DefinitionNode* block = KVE_FindDefinitionNode(root, "Texture", source.block.c_str(), 0);
            staged = block ? KVE_LoadTextureDefinition(-1, block, source.block.c_str()) : nullptr;
            if (staged)
                source.dependency = blockFile(block);
        }
    }
    if (!staged)
        return false;
    swapContents(*live, *staged);
    gpu::textures().release(staged);
    return true;
}

bool reloadMaterial(ResourceSource& source, DefinitionFiles& files)
{
    auto* live = static_cast<KVE_MATERIAL*>(const_cast<void*>(source.record));
    DefinitionNode* root = files.read(source.file);
    if (!root)
        return false;
    KVE_MATERIAL* staged = nullptr;
    {
        core::StagingScope staging;
        staged = KVE_LoadMaterialDefinition(-1, root, source.block.c_str());
    }
    if (!staged)
        return false;
    // The copy keeps the material's objects, under its new program if it has one.
    KVE_CopyMaterialInto(staged->number, live->number);
    gpu::materials().release(staged);
    return true;
}

bool reloadMesh(ResourceSource& source)
{
    auto* live = static_cast<geometry::MeshRecord*>(const_cast<void*>(source.record));
    KVE_MESH* loaded = nullptr;
    {
        core::StagingScope staging;
        loaded = source.loader == ResourceLoader::MeshFile ? KVE_LoadMesh(-1, source.file.c_str(), live->name)
                                                          : KVE_LoadOBJMesh(-1, source.file.c_str(), live->name);
    }
    auto* staged = static_cast<geometry::MeshRecord*>(loaded);
    if (!staged)
        return false;
    swapContents(*live, *staged);
    geometry::releaseMesh(staged);
    return true;
}

bool reloadBody(ResourceSource& source)
{
    auto* live = static_cast<physics::BodyRecord*>(const_cast<void*>(source.record));
    KVE_BODY* loaded = nullptr;
    {
        core::StagingScope staging;
        loaded = KVE_LoadBody(-1, source.file.c_str(), live->name);
    }
    auto* staged = static_cast<physics::BodyRecord*>(loaded);
    if (!staged)
        return false;
    std::lock_guard lock(core::physicsLock());
    swapContents(*live, *staged);
    physics::bodies().release(staged);
    // The inertia of every moving object on the body follows its new extent.
    scene::forEachObject([&](KVE_OBJECT& object) {
        if (physics::bodyOf(object) == live && object.Body.mass != 0.0f)
            KVE_SetObjectMass(object.number, object.Body.mass);
    });
    return true;
}

// What an emitter's file defines moves into the live emitter; its placement, particles,
// clock and material record stay (the material reloads from its own source).
void adoptEmitterSettings(EmitterRecord& live, EmitterRecord& staged)
{
    live.maxParticles = staged.maxParticles;
    live.emissionRotation = staged.emissionRotation;
    live.direction = staged.direction;
    live.areaSize = staged.areaSize;
    std::copy(std::begin(staged.radius), std::end(staged.radius), live.radius);
    live.mode = staged.mode;
    live.area = staged.area;
    live.angle = staged.angle;
    live.frequency = staged.frequency;
    live.force = staged.force;
    std::copy(std::begin(staged.speed), std::end(staged.speed), live.speed);
    std::copy(std::begin(staged.fadeOut), std::end(staged.fadeOut), live.fadeOut);
    std::copy(std::begin(staged.fadeIn), std::end(staged.fadeIn), live.fadeIn);
    std::copy(std::begin(staged.lifetime), std::end(staged.lifetime), live.lifetime);
    std::copy(std::begin(staged.intensity), std::end(staged.intensity), live.intensity);
    std::copy(std::begin(staged.size), std::end(staged.size), live.size);
    std::copy(std::begin(staged.growth), std::end(staged.growth), live.growth);
    std::copy(std::begin(staged.color), std::end(staged.color), live.color);
    // The instance arrays and buffers are sized for max particles: the staged ones fit.
    std::swap(live.instancePositions, staged.instancePositions);
    std::swap(live.instanceSizes, staged.instanceSizes);
    std::swap(live.instanceColors, staged.instanceColors);
    std::swap(live.gpu, staged.gpu);
    live.visibleCount = 0;
}

bool reloadEmitter(ResourceSource& source)
{
    auto* live = static_cast<EmitterRecord*>(const_cast<void*>(source.record));
    KVE_EMITTER* loaded = nullptr;
    {
        core::StagingScope staging;
        loaded = KVE_LoadParticleEmitter(-1, source.file.c_str());
    }
    auto* staged = static_cast<EmitterRecord*>(loaded);
    if (!staged)
        return false;
    std::lock_guard lock(core::physicsLock());
    adoptEmitterSettings(*live, *staged);
    KVE_MATERIAL* stagedMaterial = gpu::findMaterial(staged->material);
    if (stagedMaterial && !gpu::findMaterial(live->material)) {
        // An emitter that had no material takes the new one as an ordinary record.
        gpu::materials().settle(stagedMaterial);
        live->material = stagedMaterial->number;
        live->materialName = staged->materialName;
        core::recordResourceSource(ResourceLoader::MaterialDefinition, stagedMaterial->number, stagedMaterial,
                                   source.file, stagedMaterial->name);
    } else if (stagedMaterial) {
        gpu::materials().release(stagedMaterial);
    }
    particles::emitters().release(staged);
    return true;
}

bool reloadFont(ResourceSource& source)
{
    auto* live = static_cast<KVE_FONT*>(const_cast<void*>(source.record));
    KVE_FONT* staged = nullptr;
    {
        core::StagingScope staging;
        staged = KVE_LoadFont(-1, source.file.c_str());
    }
    if (!staged)
        return false;
    if (live->glyphs && staged->glyphs) {
        // The set's contents move, so that every font sharing it (copies) follows.
        render::GlyphSet& a = *live->glyphs;
        render::GlyphSet& b = *staged->glyphs;
        std::swap(a.texture, b.texture);
        std::swap(a.material, b.material);
        std::swap(a.atlasWidth, b.atlasWidth);
        std::swap(a.atlasHeight, b.atlasHeight);
        std::swap(a.glyphs, b.glyphs);
        std::swap(a.glyphByCode, b.glyphByCode);
        std::swap(a.kerning, b.kerning);
    } else {
        std::swap(live->glyphs, staged->glyphs);
    }
    render::fonts().release(staged);
    return true;
}

bool reloadSound(ResourceSource& source, DefinitionFiles& files)
{
    auto* live = static_cast<KVE_SOUND*>(const_cast<void*>(source.record));
    KVE_SOUND* staged = nullptr;
    {
        core::StagingScope staging;
        if (source.loader == ResourceLoader::SoundFile) {
            staged = KVE_LoadSound(-1, source.file.c_str(), source.options[0] & ~KVE_SOUND_PLAY, live->name);
        } else if (DefinitionNode* root = files.read(source.file)) {
            DefinitionNode* block = findSoundBlock(root, source.block, "");
            staged = block ? KVE_LoadSoundDefinition(block, -1, source.block.c_str()) : nullptr;
            if (staged)
                source.dependency = blockFile(block);
        }
    }
    if (!staged)
        return false;
    std::lock_guard lock(core::physicsLock());
    std::swap(live->clip, staged->clip);
    std::swap(live->baseFrequency, staged->baseFrequency);
    if (source.loader == ResourceLoader::SoundDefinition) {
        live->mode = staged->mode;
        live->direction = staged->direction;
        std::copy(std::begin(staged->range), std::end(staged->range), live->range);
        std::copy(std::begin(staged->cone), std::end(staged->cone), live->cone);
        live->volume = staged->volume;
        live->frequency = staged->frequency;
    }
    const bool restart = live->playing && !(live->mode & KVE_SOUND_CHANNEL);
    // The staged record now holds the old clip: freeing it releases the clip and the
    // channel copies still playing it.
    KVE_FreeSound(staged->number);
    if (restart)
        KVE_PlaySound(live->number, KVE_DEFAULT, nullptr);
    return true;
}

bool reload(ResourceSource& source, DefinitionFiles& files)
{
    // Loaders that read a definition file themselves would take one cut short mid-write
    // for a smaller resource; it is checked complete first.
    const bool readsDefinition = source.loader == ResourceLoader::MeshFile ||
                                 source.loader == ResourceLoader::BodyFile || source.loader == ResourceLoader::Emitter;
    if (readsDefinition && !files.read(source.file))
        return false;
    switch (source.loader) {
    case ResourceLoader::TextureFile:
    case ResourceLoader::TextureDefinition: return reloadTexture(source, files);
    case ResourceLoader::MaterialDefinition: return reloadMaterial(source, files);
    case ResourceLoader::MeshFile:
    case ResourceLoader::ObjMesh: return reloadMesh(source);
    case ResourceLoader::BodyFile: return reloadBody(source);
    case ResourceLoader::Emitter: return reloadEmitter(source);
    case ResourceLoader::Font: return reloadFont(source);
    case ResourceLoader::SoundFile:
    case ResourceLoader::SoundDefinition: return reloadSound(source, files);
    }
    return false;
}

// The loaders read definition files through the current-definition path; the
// application's current definition is put back after a pass.
class CurrentDefinitionKept {
public:
    CurrentDefinitionKept() : saved_(defs::currentDefinition()) {}
    CurrentDefinitionKept(const CurrentDefinitionKept&) = delete;
    CurrentDefinitionKept& operator=(const CurrentDefinitionKept&) = delete;
    ~CurrentDefinitionKept() { defs::setCurrentDefinition(saved_.root, saved_.directory + saved_.file); }

private:
    defs::CurrentDefinition saved_;
};

// Reloads the resources loaded from any of the files (normal paths); the number reloaded.
int reloadFiles(const std::vector<std::string>& normalPaths)
{
    const std::unordered_set<std::string> paths(normalPaths.begin(), normalPaths.end());
    auto& sources = core::resourceSources();
    std::vector<ResourceSource*> due;
    std::vector<const void*> gone;
    for (auto& [record, source] : sources) {
        if (!paths.count(normalPath(source.file)) &&
            (source.dependency.empty() || !paths.count(normalPath(source.dependency))))
            continue;
        if (alive(source))
            due.push_back(&source);
        else
            gone.push_back(record);
    }
    for (const void* record : gone)
        sources.erase(record);
    if (due.empty())
        return 0;
    std::stable_sort(due.begin(), due.end(), [](const ResourceSource* a, const ResourceSource* b) {
        return rank(a->loader) < rank(b->loader) || (rank(a->loader) == rank(b->loader) && a->number < b->number);
    });
    const CurrentDefinitionKept kept;
    DefinitionFiles files;
    int reloaded = 0;
    for (ResourceSource* source : due) {
        const std::string file = source->file;
        log::progress("Reload: " + file, kProcedure);
        if (reload(*source, files)) {
            log::ok(kProcedure);
            ++reloaded;
        } else {
            log::fail("Fail: Reload failed, the old resource stays: " + file, kProcedure);
        }
    }
    // A reload may have moved a source onto another image or clip file.
    reloader().watchedSources = 0;
    return reloaded;
}

// Whether a changed file has been left alone long enough to be read: its modification
// time is at least the quiet time old (a missing file counts from when its change was
// seen, and then fails to load with its red entry).
bool settled(const std::string& path, uint64_t seenMs, uint64_t now)
{
    std::error_code error;
    const auto written = std::filesystem::last_write_time(path, error);
    if (error)
        return now - seenMs >= kQuietMs;
    const auto age = std::filesystem::file_time_type::clock::now() - written;
    return age >= std::chrono::milliseconds(kQuietMs);
}

} // namespace

int reloadChangedResources()
{
    Reloader& r = reloader();
    if (!r.watching)
        return 0;
    watchNewSources();
    const uint64_t now = nowMs();
    r.changed.clear();
    platform::collectChangedFiles(r.changed, now);
    for (const std::string& path : r.changed)
        r.pending.try_emplace(path, now);
    if (r.pending.empty())
        return 0;
    std::vector<std::string> ready;
    for (auto it = r.pending.begin(); it != r.pending.end();) {
        if (settled(it->first, it->second, now)) {
            ready.push_back(it->first);
            it = r.pending.erase(it);
        } else {
            ++it;
        }
    }
    if (ready.empty())
        return 0;
    const int reloaded = reloadFiles(ready);
    watchNewSources();
    return reloaded;
}

void setResourceWatching(bool on)
{
    Reloader& r = reloader();
    if (on == r.watching)
        return;
    platform::unwatchAllFiles();
    r.pending.clear();
    r.watchedPaths.clear();
    r.watchedSources = 0;
    r.watching = on;
    if (on)
        watchNewSources();
}

void stopResourceWatching()
{
    setResourceWatching(false);
    core::resourceSources().clear();
}

} // namespace kve::engine

extern "C" {

void KVE_SetResourceWatching(int watch)
{
    kve::engine::setResourceWatching(watch != 0);
}

int KVE_ReloadChangedResources(void)
{
    return kve::engine::reloadChangedResources();
}

} // extern "C"

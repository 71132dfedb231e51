// Resource reload while running: the files resources came from are watched, and a
// changed file's resources are loaded again beside the live ones ("staged", so that the
// live record keeps its number and name) and, when that load succeeds, the subsystem that
// owns the kind moves the new contents into the live record. Everything that refers to
// the record (the application's numbers and pointers, objects to meshes and bodies,
// materials to textures, emitters to materials, fonts sharing a glyph set, channel copies
// of a sound) keeps referring to it; a load that fails leaves the live record as it was.
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
#include "sound/sound.h"

namespace kve::engine {
namespace {

using core::ResourceKind;
using core::ResourceLoader;
using core::ResourceSource;

constexpr const char* kProcedure = "KVE_ReloadChangedResources";
// A file is reloaded once its last write is this old, so that a file written in several
// steps is read once, complete.
constexpr uint64_t kQuietMs = 100;

struct Reloader {
    // Watching may be switched on another thread than the one whose flip reloads.
    std::recursive_mutex mutex;
    bool watching = false;
    uint64_t watchedRevision = 0;                      // of the sources whose files are watched
    bool watchedAny = false;
    std::unordered_set<std::string> watchedPaths;      // as recorded, so each is watched once
    std::unordered_map<std::string, uint64_t> pending; // normal path -> when its change was seen, ms
    std::vector<std::string> changed;                  // reused every frame
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

// Watches the files of every source recorded since the last call: any load or release
// moves the sources' revision on, whatever record or number it concerned.
void watchNewSources()
{
    Reloader& r = reloader();
    const uint64_t revision = core::resourceSourcesRevision();
    if (r.watchedAny && revision == r.watchedRevision)
        return;
    const auto watch = [&](const std::string& path) {
        if (!path.empty() && r.watchedPaths.insert(path).second)
            platform::watchFile(defs::nativePath(path));
    };
    for (const ResourceSource& source : core::resourceSources()) {
        watch(source.file);
        for (const std::string& dependency : source.dependencies)
            watch(dependency);
    }
    r.watchedRevision = revision;
    r.watchedAny = true;
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

// Loads the new version beside the live record (null: the live one is gone or the load
// failed) and hands both to the owning subsystem's adoption.
template <class Record, class Load, class Adopt>
bool stageAndAdopt(Record* live, Load&& load, Adopt&& adopt)
{
    if (!live)
        return false;
    Record* staged = nullptr;
    {
        core::StagingScope staging;
        staged = load(*live);
    }
    if (!staged)
        return false;
    adopt(*live, *staged);
    return true;
}

bool reloadTexture(const ResourceSource& source, DefinitionFiles& files)
{
    return stageAndAdopt(
        gpu::findTexture(source.number),
        [&](const gpu::TextureRecord& live) -> gpu::TextureRecord* {
            if (source.loader == ResourceLoader::TextureFile)
                return KVE_LoadTextureFile(-1, source.file.c_str(), source.options[0], source.options[1], live.name);
            DefinitionNode* root = files.read(source.file);
            DefinitionNode* block = root ? KVE_FindDefinitionNode(root, "Texture", source.block.c_str(), 0) : nullptr;
            if (!block)
                return nullptr;
            core::setResourceDependencies(ResourceKind::Texture, source.number, {blockFile(block)});
            return KVE_LoadTextureDefinition(-1, block, source.block.c_str());
        },
        gpu::adoptReloadedTexture);
}

bool reloadMaterial(const ResourceSource& source, DefinitionFiles& files)
{
    return stageAndAdopt(
        gpu::findMaterial(source.number),
        [&](const KVE_MATERIAL&) -> KVE_MATERIAL* {
            DefinitionNode* root = files.read(source.file);
            DefinitionNode* block = root ? KVE_FindDefinitionNode(root, "Material", source.block.c_str(), 0) : nullptr;
            if (!block)
                return nullptr;
            core::setResourceDependencies(ResourceKind::Material, source.number, gpu::inlineTextureFiles(block));
            return KVE_LoadMaterialDefinition(-1, root, source.block.c_str());
        },
        gpu::adoptReloadedMaterial);
}

bool reloadMesh(const ResourceSource& source)
{
    return stageAndAdopt(
        geometry::findMesh(source.number),
        [&](const geometry::MeshRecord& live) {
            KVE_MESH* loaded = source.loader == ResourceLoader::MeshFile
                                   ? KVE_LoadMesh(-1, source.file.c_str(), live.name)
                                   : KVE_LoadOBJMesh(-1, source.file.c_str(), live.name);
            return static_cast<geometry::MeshRecord*>(loaded);
        },
        geometry::adoptReloadedMesh);
}

bool reloadBody(const ResourceSource& source)
{
    return stageAndAdopt(
        physics::findBody(source.number),
        [&](const physics::BodyRecord& live) {
            return static_cast<physics::BodyRecord*>(KVE_LoadBody(-1, source.file.c_str(), live.name));
        },
        physics::adoptReloadedBody);
}

bool reloadEmitter(const ResourceSource& source)
{
    return stageAndAdopt(
        particles::findEmitter(source.number),
        [&](const EmitterRecord&) { return static_cast<EmitterRecord*>(KVE_LoadParticleEmitter(-1, source.file.c_str())); },
        [&](EmitterRecord& live, EmitterRecord& staged) { particles::adoptReloadedEmitter(live, staged, source.file); });
}

bool reloadFont(const ResourceSource& source)
{
    return stageAndAdopt(
        render::findFont(source.number), [&](const KVE_FONT&) { return KVE_LoadFont(-1, source.file.c_str()); },
        render::adoptReloadedFont);
}

bool reloadSound(const ResourceSource& source, DefinitionFiles& files)
{
    const bool fromDefinition = source.loader == ResourceLoader::SoundDefinition;
    return stageAndAdopt(
        KVE_GetSound(source.number),
        [&](const KVE_SOUND& live) -> KVE_SOUND* {
            if (!fromDefinition)
                return KVE_LoadSound(-1, source.file.c_str(), source.options[0] & ~KVE_SOUND_PLAY, live.name);
            DefinitionNode* root = files.read(source.file);
            DefinitionNode* block = root ? findSoundBlock(root, source.block, "") : nullptr;
            if (!block)
                return nullptr;
            core::setResourceDependencies(ResourceKind::Sound, source.number, {blockFile(block)});
            return KVE_LoadSoundDefinition(block, -1, source.block.c_str());
        },
        [&](KVE_SOUND& live, KVE_SOUND& staged) { sound::adoptReloadedSound(live, staged, fromDefinition); });
}

bool reload(const ResourceSource& source, DefinitionFiles& files)
{
    // Loaders that read a definition file themselves would take one cut short mid-write
    // for a smaller resource; it is checked complete first.
    const bool readsDefinition = source.loader == ResourceLoader::MeshFile ||
                                 source.loader == ResourceLoader::BodyFile || source.loader == ResourceLoader::Emitter;
    if (readsDefinition && !files.read(source.file))
        return false;
    // Another thread (the physics, a loader) waits while a record changes under it.
    std::lock_guard lock(core::physicsLock());
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
// What refers to others reloads first (textures before materials before emitters), and
// within a kind by number.
int reloadFiles(const std::vector<std::string>& normalPaths)
{
    const std::unordered_set<std::string> paths(normalPaths.begin(), normalPaths.end());
    std::vector<ResourceSource> due;
    for (ResourceSource& source : core::resourceSources()) {
        const bool touched = paths.count(normalPath(source.file)) ||
                             std::any_of(source.dependencies.begin(), source.dependencies.end(),
                                         [&](const std::string& file) { return paths.count(normalPath(file)) > 0; });
        if (touched)
            due.push_back(std::move(source));
    }
    if (due.empty())
        return 0;
    std::sort(due.begin(), due.end(), [](const ResourceSource& a, const ResourceSource& b) {
        return std::pair(static_cast<int>(a.loader), a.number) < std::pair(static_cast<int>(b.loader), b.number);
    });
    const CurrentDefinitionKept kept;
    DefinitionFiles files;
    int reloaded = 0;
    for (const ResourceSource& source : due) {
        // Skipped when released since the list was taken.
        if (!core::findResourceSource(source.kind(), source.number))
            continue;
        log::progress("Reload: " + source.file, kProcedure);
        if (reload(source, files)) {
            log::ok(kProcedure);
            ++reloaded;
        } else {
            log::fail("Fail: Reload failed, the old resource stays: " + source.file, kProcedure);
        }
    }
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
    std::lock_guard lock(r.mutex);
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
    std::lock_guard lock(r.mutex);
    if (on == r.watching)
        return;
    platform::unwatchAllFiles();
    r.pending.clear();
    r.watchedPaths.clear();
    r.watchedAny = false;
    r.watching = on;
    if (on)
        watchNewSources();
}

void stopResourceWatching()
{
    setResourceWatching(false);
    core::clearResourceSources();
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

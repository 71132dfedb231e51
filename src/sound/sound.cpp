// Sound records and their operations: loading a clip into a scene item, playing it on
// its own voice or as channel copies, and the per-frame update that hands each playing
// sound's volume, pan and frequency to the playback service. The list and the copies in
// it are guarded by the physics lock, since the physics step starts collision sounds.
#include "sound/sound.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <mutex>
#include <vector>

#include "core/log.h"
#include "core/math.h"
#include "core/physics_lock.h"
#include "core/registry_kinds.h"
#include "core/resource_sources.h"
#include "defs/definition_node.h"
#include "physics/physics.h"
#include "platform/audio.h"
#include "platform/audio_decode.h"
#include "scene/camera.h"
#include "scene/item.h"
#include "sound/sound_mix.h"

namespace kve::sound {
namespace {

namespace audio = platform::audio;

// The record as the engine keeps it: the public fields, whether the listener distance
// has been measured since the last play (the Doppler shift needs two), and for a channel
// copy the number of the sound it copies, which it goes with.
struct SoundRecord : KVE_SOUND {
    bool distanceKnown;
    int original;
};

struct SoundState {
    float masterVolume = 1.0f;
    float frontVolume = 0.6f;
    float sideVolume = 0.4f;
};
SoundState state;

void releaseRecord(SoundRecord& sound);

core::Registry<SoundRecord>& sounds()
{
    static core::Registry<SoundRecord> registry(core::kinds::kSound, releaseRecord);
    return registry;
}

// Whether a record other than `except` plays or owns the clip.
bool clipInUse(int clip, const SoundRecord* except)
{
    bool used = false;
    sounds().forEach([&](const SoundRecord& other) { used |= &other != except && other.clip == clip; });
    return used;
}

// A copy plays on a channel of its original's clip and goes with the original. A clip
// its sound gave up for a reloaded one goes with the last copy still playing it.
void releaseRecord(SoundRecord& sound)
{
    if (sound.channel != 0) {
        audio::stopChannel(sound.channel);
        if (sound.clip != 0 && !clipInUse(sound.clip, &sound))
            audio::releaseClip(sound.clip);
    } else {
        std::vector<SoundRecord*> copies;
        sounds().forEach([&](SoundRecord& other) {
            if (other.channel != 0 && other.original == sound.number)
                copies.push_back(&other);
        });
        for (SoundRecord* copy : copies)
            sounds().release(copy);
        if (sound.clip != 0 && !clipInUse(sound.clip, &sound))
            audio::releaseClip(sound.clip);
    }
    scene::releaseItem(sound.item);
}

scene::Placement placementOf(SoundRecord& sound)
{
    return {&sound.item, &sound.position, nullptr};
}

SoundRecord* findSound(int number)
{
    return sounds().find(number);
}

// A bare registry entry: zero but for the item header, which points into the record.
SoundRecord* createEntry(int* number, const char* name)
{
    SoundRecord* sound = sounds().create(number, name);
    if (sound)
        scene::initItem(sound->item, KVE_ITEM_SOUND, &sound->matrix, &sound->matrix, &sound->rotation);
    return sound;
}

// A registry entry with the record's initial values, placed at the origin.
SoundRecord* createRecord(int* number, const char* name)
{
    SoundRecord* sound = createEntry(number, name);
    if (!sound)
        return nullptr;
    sound->direction = {0, 0, -1, 0};
    sound->position = {0, 0, 0, 1};
    sound->rotation = {0, 0, 0, 1};
    sound->volume = 1.0f;
    sound->frequency = 1.0f;
    scene::rebuildMatrices(placementOf(*sound));
    return sound;
}

// A new list entry playing `original`'s clip: same settings, no name, its own header,
// attached where the original is.
SoundRecord* createCopy(const SoundRecord& original)
{
    int number = KVE_AUTO_ID;
    SoundRecord* copy = sounds().create(&number, "");
    if (!copy)
        return nullptr;
    const char* name = copy->name;
    static_cast<KVE_SOUND&>(*copy) = original;
    copy->number = number;
    copy->name = name;
    copy->original = original.channel != 0 ? original.original : original.number;
    copy->item = {};
    scene::initItem(copy->item, KVE_ITEM_SOUND, &copy->matrix, &copy->matrix, &copy->rotation);
    scene::attachItem(original.item.parent, copy->item, original.item.attachMode);
    return copy;
}

KVE_Matrix listenerSpace()
{
    KVE_Matrix view;
    KVE_CopyInvertMatrix(&view, &scene::cameraWorldMatrix());
    return view;
}

float length3(const KVE_Vector& v)
{
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}

// Listener-space placement of a positioned sound, then the mix.
Mix mixOf(const SoundRecord& sound, const KVE_Matrix& view, float frameTime)
{
    MixInput in;
    in.mode = sound.mode;
    in.volume = sound.volume;
    in.frequency = sound.frequency;
    in.masterVolume = state.masterVolume;
    in.frontVolume = state.frontVolume;
    in.sideVolume = state.sideVolume;
    if (!(sound.mode & KVE_SOUND_BACKGROUND)) {
        KVE_Matrix placed;
        const KVE_Matrix world = scene::worldMatrix(sound.item);
        KVE_MultiplyMatrix(&placed, &view, &world);
        in.position = placed.c[3];
        in.direction = sound.direction;
        in.direction.w = 0;
        KVE_TransformVector(&in.direction, &placed);
    }
    in.range[0] = sound.range[0];
    in.range[1] = sound.range[1];
    in.cone[0] = sound.cone[0];
    in.cone[1] = sound.cone[1];
    in.previousDistance = sound.previousDistance;
    in.previousKnown = sound.distanceKnown;
    in.frameTime = frameTime;
    return mixSound(in);
}

template <class Change>
int changeSound(int number, Change&& change)
{
    std::lock_guard lock(core::physicsLock());
    if (SoundRecord* sound = findSound(number))
        change(*sound);
    return 0;
}

// KVE_PlaySound; a channel copy gets the original's volume x `copyVolumeFactor` before its
// voice starts.
SoundRecord* startSound(int sound, int mode, const KVE_Vector* position, float copyVolumeFactor)
{
    std::lock_guard lock(core::physicsLock());
    SoundRecord* original = findSound(sound);
    if (!original)
        return nullptr;
    if (position && original->range[1] != 0) {
        KVE_Vector heard{position->x, position->y, position->z, 1.0f};
        const KVE_Matrix view = listenerSpace();
        KVE_TransformVector(&heard, &view);
        if (length3(heard) > original->range[1])
            return nullptr;
    }
    if (mode == KVE_DEFAULT)
        mode = original->mode;
    if (audio::clipRate(original->clip) == 0)
        return nullptr;
    const bool loop = (mode & KVE_SOUND_LOOP) != 0;
    SoundRecord* played = original;
    if (mode & KVE_SOUND_CHANNEL) {
        played = createCopy(*original);
        if (!played)
            return nullptr;
        played->volume *= copyVolumeFactor;
    }
    played->mode = mode;
    played->distanceKnown = false;
    if (position) {
        // A given position is a world position: a copy is heard there whatever its original
        // hangs on.
        if (played != original)
            scene::attachItem(nullptr, played->item, KVE_ATTACH_NONE);
        played->position = {position->x, position->y, position->z, 1.0f};
        scene::rebuildMatrices(placementOf(*played));
    }
    // The voice starts with this sound's own mix; until the next update it would otherwise
    // play at whatever its source was last set to (full volume for a new channel).
    const audio::Output output =
        toOutput(mixOf(*played, listenerSpace(), KVE_GetFrameTime()), played->baseFrequency);
    if (played != original) {
        played->channel = audio::playChannel(original->clip, loop, output);
        if (played->channel == 0) {
            played->clip = 0; // without a channel it would pass for the clip's owner
            sounds().release(played);
            return nullptr;
        }
    } else {
        audio::play(original->clip, loop, output);
    }
    played->playing = 1;
    return played;
}

} // namespace

void adoptReloadedSound(KVE_SOUND& liveSound, KVE_SOUND& stagedSound, bool settings)
{
    std::lock_guard lock(core::physicsLock());
    auto& live = static_cast<SoundRecord&>(liveSound);
    auto& staged = static_cast<SoundRecord&>(stagedSound);
    const int oldClip = live.clip;
    const bool voicePlaying = live.playing && audio::isPlaying(oldClip, 0);
    std::swap(live.clip, staged.clip);
    std::swap(live.baseFrequency, staged.baseFrequency);
    if (settings) {
        live.mode = staged.mode;
        live.direction = staged.direction;
        std::copy(std::begin(staged.range), std::end(staged.range), live.range);
        std::copy(std::begin(staged.cone), std::end(staged.cone), live.cone);
        live.volume = staged.volume;
        live.frequency = staged.frequency;
    }
    // The staged record gives the old clip up instead of releasing it with the copies.
    staged.clip = 0;
    sounds().release(&staged);

    // Looping copies move to the new clip where a channel can be had; one-shots, and a
    // loop that finds no channel, finish on the old clip, which goes with its last copy.
    const KVE_Matrix view = listenerSpace();
    sounds().forEach([&](SoundRecord& copy) {
        if (copy.channel == 0 || copy.original != live.number || copy.clip != oldClip || !(copy.mode & KVE_SOUND_LOOP) ||
            !audio::isPlaying(oldClip, copy.channel))
            return;
        const audio::Output output = toOutput(mixOf(copy, view, KVE_GetFrameTime()), live.baseFrequency);
        const int channel = audio::playChannel(live.clip, true, output);
        if (channel == 0)
            return;
        audio::stopChannel(copy.channel);
        copy.channel = channel;
        copy.clip = live.clip;
        copy.baseFrequency = live.baseFrequency;
    });
    audio::stopClip(oldClip);
    if (!clipInUse(oldClip, nullptr))
        audio::releaseClip(oldClip);
    if (voicePlaying)
        audio::play(live.clip, (live.mode & KVE_SOUND_LOOP) != 0,
                    toOutput(mixOf(live, view, KVE_GetFrameTime()), live.baseFrequency));
}

void playAt(int sound, const KVE_Vector& position, float volumeFactor)
{
    startSound(sound, KVE_SOUND_CHANNEL, &position, volumeFactor);
}

int modeFromKeywords(std::string_view text)
{
    static constexpr std::array<std::pair<std::string_view, int>, 6> kKeywords{{
        {"Play", KVE_SOUND_PLAY},
        {"Loop", KVE_SOUND_LOOP},
        {"Background", KVE_SOUND_BACKGROUND},
        {"Channel", KVE_SOUND_CHANNEL},
        {"Dopplereffect", KVE_SOUND_DOPPLER},
        {"Stream", KVE_SOUND_STREAM},
    }};
    int mode = 0;
    for (const auto& [keyword, flag] : kKeywords)
        if (text.find(keyword) != std::string_view::npos)
            mode |= flag;
    return mode;
}

void releaseSounds()
{
    std::lock_guard lock(core::physicsLock());
    sounds().releaseAll();
}

size_t soundCount()
{
    return sounds().size();
}

} // namespace kve::sound

namespace sound = kve::sound;
namespace audio = kve::platform::audio;

extern "C" {

int KVE_InitSound(void)
{
    sound::state = sound::SoundState{};
    sound::installDefinitionLoader();
    kve::physics::setCollisionSoundPlayer(sound::playAt);
    const bool started = audio::start();
    if (started)
        kve::log::ok("KVE_InitSound");
    return started ? 1 : 0;
}

KVE_SOUND* KVE_CreateSoundListEntry(int* id, const char* name)
{
    std::lock_guard lock(kve::core::physicsLock());
    return sound::createEntry(id, name ? name : "");
}

KVE_SOUND* KVE_GetSound(int sound)
{
    return sound::findSound(sound);
}

KVE_SOUND* KVE_LoadSound(int id, const char* file, int mode, const char* name)
{
    constexpr const char* kProcedure = "KVE_LoadSound";
    const std::string path = file ? file : "";
    kve::log::progress("Load Sound: " + path, kProcedure);
    std::string error;
    const int clip = audio::openClip(kve::defs::nativePath(path), (mode & KVE_SOUND_STREAM) != 0, &error);
    if (!clip) {
        kve::log::fail(error, kProcedure);
        kve::log::failFile(path, audio::isNotFound(error) ? kve::defs::unreadableReason(path) : audio::failureReason(error),
                           kProcedure);
        return nullptr;
    }
    sound::SoundRecord* loaded = nullptr;
    {
        std::lock_guard lock(kve::core::physicsLock());
        loaded = sound::createRecord(&id, name ? name : "");
        if (!loaded) {
            audio::releaseClip(clip);
            return nullptr;
        }
        loaded->mode = mode;
        loaded->clip = clip;
        loaded->baseFrequency = static_cast<float>(audio::clipRate(clip));
    }
    kve::log::ok(kProcedure);
    kve::core::recordResourceSource(kve::core::ResourceLoader::SoundFile, loaded->number, path, {}, {}, mode);
    if (mode & KVE_SOUND_PLAY)
        KVE_PlaySound(loaded->number, KVE_DEFAULT, nullptr);
    return loaded;
}

KVE_SOUND* KVE_PlaySound(int sound, int mode, const KVE_Vector* position)
{
    return sound::startSound(sound, mode, position, 1.0f);
}

int KVE_SetSoundVolume(int sound, float volume)
{
    return sound::changeSound(sound, [&](sound::SoundRecord& s) { s.volume = volume; });
}

int KVE_SetSoundRange(int sound, float min, float max)
{
    return sound::changeSound(sound, [&](sound::SoundRecord& s) {
        s.range[0] = min;
        s.range[1] = max;
    });
}

int KVE_SetSoundCone(int sound, float inner, float outer)
{
    return sound::changeSound(sound, [&](sound::SoundRecord& s) {
        s.cone[0] = inner * kve::math::kDegreesToRadians;
        s.cone[1] = outer * kve::math::kDegreesToRadians;
    });
}

int KVE_SetSoundDirection(int sound, float x, float y, float z)
{
    return sound::changeSound(sound, [&](sound::SoundRecord& s) { s.direction = {x, y, z, 0}; });
}

int KVE_MoveSound(int sound, float x, float y, float z, int mode)
{
    sound::SoundRecord* found = sound::findSound(sound);
    return found && kve::scene::moveItem(sound::placementOf(*found), x, y, z, mode) ? 1 : 0;
}

int KVE_RotateSound(int sound, float x, float y, float z, int mode)
{
    sound::SoundRecord* found = sound::findSound(sound);
    return found && kve::scene::rotateItem(sound::placementOf(*found), x, y, z, mode) ? 1 : 0;
}

KVE_ITEM* KVE_GetSoundItem(int sound)
{
    sound::SoundRecord* found = sound::findSound(sound);
    return found ? &found->item : nullptr;
}

int KVE_UpdateSounds(void)
{
    std::lock_guard lock(kve::core::physicsLock());
    audio::update();
    const KVE_Matrix view = sound::listenerSpace();
    const float frameTime = KVE_GetFrameTime();
    std::vector<sound::SoundRecord*> finished;
    sound::sounds().forEach([&](sound::SoundRecord& s) {
        if (!s.playing)
            return;
        const sound::Mix mix = sound::mixOf(s, view, frameTime);
        audio::setOutput(s.clip, s.channel, sound::toOutput(mix, s.baseFrequency));
        if (s.channel != 0 && !audio::isPlaying(s.clip, s.channel))
            finished.push_back(&s);
        if (!(s.mode & KVE_SOUND_BACKGROUND)) {
            s.previousDistance = mix.distance;
            s.distanceKnown = true;
        }
    });
    for (sound::SoundRecord* copy : finished)
        sound::sounds().release(copy);
    return 0;
}

int KVE_FreeSound(int sound)
{
    std::lock_guard lock(kve::core::physicsLock());
    sound::sounds().release(sound::findSound(sound));
    return 0;
}

void KVE_SetMasterVolume(float volume)
{
    sound::state.masterVolume = volume;
}

float KVE_GetMasterVolume(void)
{
    return sound::state.masterVolume;
}

} // extern "C"

// The sound records (scene items of kind 5 in one registry, channel copies included) and
// the hooks other subsystems use: the physics starts collision sounds through playAt.
#pragma once

#include <string_view>

#include "kve.h"

namespace kve::sound {

// Starts `sound` as a new channel copy at the world `position`, with the copy's volume
// the sound's volume x `volumeFactor`. Nothing happens for an unknown sound or a ranged
// one whose position lies beyond its range from the listener. Takes the physics lock.
void playAt(int sound, const KVE_Vector& position, float volumeFactor);

// A reload's last step, under the physics lock: the staged sound's clip (and, with
// `settings`, the values its definition gives) moves into the live sound, which keeps its
// number, placement and channel copies. A looping copy goes on looping on the new clip
// (on the old one when no channel can be had); other copies finish on the old clip,
// which is released with the last of them. A voice that was playing starts again on the
// new clip. The staged sound is released.
void adoptReloadedSound(KVE_SOUND& live, KVE_SOUND& staged, bool settings);

// The KVE_SOUND_* flags of every keyword ("Play", "Loop", "Background", "Channel",
// "Dopplereffect", "Stream") that occurs anywhere in `text`, case-sensitive.
int modeFromKeywords(std::string_view text);

// Points the definition dispatch's Sound hook at KVE_LoadSoundDefinition.
void installDefinitionLoader();

// Releases every sound and channel copy (engine shutdown; the service stays open).
void releaseSounds();

// Number of records in the sound list, channel copies included.
size_t soundCount();

} // namespace kve::sound

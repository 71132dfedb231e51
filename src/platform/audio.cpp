// The playback service on OpenAL Soft. A clip loaded whole is one buffer that its own
// source and every channel source share; a streamed clip gives each of its sources a
// decoder of its own and a queue of four buffers that update() refills. Pan is a
// listener-relative position on the front unit half-circle with distance roll-off off,
// so only the direction matters; frequency becomes pitch = Hz / the clip's rate.
#include "platform/audio.h"

#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

#include "core/log.h"
#include "platform/audio_decode.h"

namespace kve::platform::audio {
namespace {

constexpr const char* kProcedure = "KVE_InitSound";
constexpr int kStreamBuffers = 4;
constexpr long kStreamPieceFrames = 8192;

struct Voice {
    ALuint source = 0;
    std::unique_ptr<Decoder> stream; // null for a clip loaded whole
    std::array<ALuint, kStreamBuffers> buffers{};
    bool loop = false;
    bool active = false;      // started and not stopped by the service
    bool streamEnded = false; // the decoder has given its last piece
};

struct Clip {
    std::string path;
    PcmFormat format;
    long frames = 0;
    ALuint buffer = 0; // loaded whole
    std::unique_ptr<Voice> own;
};

struct Channel {
    int clip = 0;
    std::unique_ptr<Voice> voice;
};

struct Service {
    ALCdevice* device = nullptr;
    ALCcontext* context = nullptr;
    bool spatializeStereo = false;
    std::map<int, Clip> clips;
    std::map<int, Channel> channels;
    int nextClip = 1;
    int nextChannel = 1;
};

Service service;
// The physics thread may start channels while the application loads or updates; every
// public operation holds this (decoding a whole file happens before taking it).
std::recursive_mutex serviceMutex;

ALenum alFormat(const PcmFormat& format)
{
    return format.channels == 2 ? AL_FORMAT_STEREO16 : AL_FORMAT_MONO16;
}

// Signs of a sound output on this machine: a sound server's socket or an ALSA playback
// device. Without any, OpenAL would pick a back-end that then fails to open.
bool outputDeviceEvident()
{
    std::error_code ignored;
    if (std::getenv("PULSE_SERVER"))
        return true;
    if (const char* runtime = std::getenv("XDG_RUNTIME_DIR")) {
        const std::filesystem::path dir(runtime);
        if (std::filesystem::exists(dir / "pulse" / "native", ignored) ||
            std::filesystem::exists(dir / "pipewire-0", ignored))
            return true;
    }
    for (const auto& entry : std::filesystem::directory_iterator("/dev/snd", ignored)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("pcm") && name.ends_with("p"))
            return true;
    }
    return false;
}

void configureSource(ALuint source)
{
    alSourcei(source, AL_SOURCE_RELATIVE, AL_TRUE);
    alSourcef(source, AL_ROLLOFF_FACTOR, 0.0f);
    alSource3f(source, AL_POSITION, 0.0f, 0.0f, -1.0f);
    if (service.spatializeStereo)
        alSourcei(source, AL_SOURCE_SPATIALIZE_SOFT, AL_TRUE);
}

std::unique_ptr<Voice> makeVoice(const Clip& clip, std::string* error)
{
    auto voice = std::make_unique<Voice>();
    if (clip.buffer == 0) {
        voice->stream = openDecoder(clip.path, error);
        if (!voice->stream)
            return nullptr;
    }
    alGetError();
    alGenSources(1, &voice->source);
    if (alGetError() != AL_NO_ERROR) {
        *error = "Fail: No sound source available!";
        return nullptr;
    }
    configureSource(voice->source);
    if (voice->stream)
        alGenBuffers(kStreamBuffers, voice->buffers.data());
    else
        alSourcei(voice->source, AL_BUFFER, static_cast<ALint>(clip.buffer));
    return voice;
}

void freeVoice(Voice& voice)
{
    alSourceStop(voice.source);
    alSourcei(voice.source, AL_BUFFER, 0);
    alDeleteSources(1, &voice.source);
    if (voice.stream)
        alDeleteBuffers(kStreamBuffers, voice.buffers.data());
}

// Decodes the next piece into `buffer`, wrapping round for a looping voice. False when
// nothing is left (or the data turned out damaged).
bool fillBuffer(Voice& voice, ALuint buffer)
{
    const PcmFormat& format = voice.stream->format();
    std::vector<int16_t> samples(static_cast<size_t>(kStreamPieceFrames * format.channels));
    long got = voice.stream->read(samples.data(), kStreamPieceFrames);
    if (got == 0 && voice.loop && voice.stream->rewind())
        got = voice.stream->read(samples.data(), kStreamPieceFrames);
    if (got <= 0) {
        voice.streamEnded = true;
        return false;
    }
    alBufferData(buffer, alFormat(format), samples.data(),
                 static_cast<ALsizei>(got * format.channels * static_cast<long>(sizeof(int16_t))), format.rate);
    return true;
}

void startVoice(Voice& voice, bool loop)
{
    voice.loop = loop;
    voice.active = true;
    alSourceStop(voice.source);
    if (!voice.stream) {
        alSourcei(voice.source, AL_LOOPING, loop ? AL_TRUE : AL_FALSE);
        alSourceRewind(voice.source);
        alSourcePlay(voice.source);
        return;
    }
    alSourcei(voice.source, AL_BUFFER, 0);
    voice.streamEnded = !voice.stream->rewind();
    for (ALuint buffer : voice.buffers)
        if (!voice.streamEnded && fillBuffer(voice, buffer))
            alSourceQueueBuffers(voice.source, 1, &buffer);
    alSourcePlay(voice.source);
}

void refill(Voice& voice)
{
    if (!voice.stream || !voice.active)
        return;
    ALint processed = 0;
    alGetSourcei(voice.source, AL_BUFFERS_PROCESSED, &processed);
    for (; processed > 0; --processed) {
        ALuint buffer = 0;
        alSourceUnqueueBuffers(voice.source, 1, &buffer);
        if (!voice.streamEnded && fillBuffer(voice, buffer))
            alSourceQueueBuffers(voice.source, 1, &buffer);
    }
    // A frame longer than the queue lets the source run dry; it resumes with the new pieces.
    ALint state = 0, queued = 0;
    alGetSourcei(voice.source, AL_SOURCE_STATE, &state);
    alGetSourcei(voice.source, AL_BUFFERS_QUEUED, &queued);
    if (state != AL_PLAYING && queued > 0)
        alSourcePlay(voice.source);
}

bool voicePlaying(const Voice& voice)
{
    if (!voice.active)
        return false;
    ALint state = 0;
    alGetSourcei(voice.source, AL_SOURCE_STATE, &state);
    return state == AL_PLAYING || (voice.stream && !voice.streamEnded);
}

void applyOutput(const Voice& voice, const Clip& clip, const Output& output)
{
    const float pan = static_cast<float>(std::clamp(output.pan, -100, 100)) / 100.0f;
    alSourcef(voice.source, AL_GAIN, static_cast<float>(std::clamp(output.volume, 0, 100)) / 100.0f);
    alSource3f(voice.source, AL_POSITION, pan, 0.0f, -std::sqrt(1.0f - pan * pan));
    // Pitch must stay positive; a frequency below 1 Hz is taken as 1 Hz.
    const float hz = static_cast<float>(std::max(output.frequency, 1));
    alSourcef(voice.source, AL_PITCH, hz / static_cast<float>(clip.format.rate));
}

Clip* findClip(int clip)
{
    const auto found = service.clips.find(clip);
    return found == service.clips.end() ? nullptr : &found->second;
}

Voice* findVoice(int clip, int channel)
{
    if (channel == 0) {
        Clip* found = findClip(clip);
        return found ? found->own.get() : nullptr;
    }
    const auto found = service.channels.find(channel);
    return found != service.channels.end() && found->second.clip == clip ? found->second.voice.get() : nullptr;
}

} // namespace

bool start()
{
    std::lock_guard lock(serviceMutex);
    if (service.context)
        return true;
    const bool chooseNull = !std::getenv("ALSOFT_DRIVERS") && !outputDeviceEvident();
    if (chooseNull)
        setenv("ALSOFT_DRIVERS", "null", 1);
    service.device = alcOpenDevice(nullptr);
    if (!service.device) {
        log::fail("Fail: No sound output could be opened!", kProcedure);
        return false;
    }
    service.context = alcCreateContext(service.device, nullptr);
    if (!service.context || !alcMakeContextCurrent(service.context)) {
        log::fail("Fail: No sound context could be made!", kProcedure);
        stop();
        return false;
    }
    service.spatializeStereo = alIsExtensionPresent("AL_SOFT_source_spatialize") == AL_TRUE;
    const char* name = alcGetString(service.device, ALC_DEVICE_SPECIFIER);
    const std::string output = std::string("Sound output: ") + (name ? name : "?");
    log::progress(chooseNull ? output + " (no audio device found, the null output is used)" : output, kProcedure);
    return true;
}

void stop()
{
    std::lock_guard lock(serviceMutex);
    while (!service.clips.empty())
        releaseClip(service.clips.begin()->first);
    if (service.context) {
        alcMakeContextCurrent(nullptr);
        alcDestroyContext(service.context);
    }
    if (service.device)
        alcCloseDevice(service.device);
    service.context = nullptr;
    service.device = nullptr;
}

bool running()
{
    std::lock_guard lock(serviceMutex);
    return service.context != nullptr;
}

int openClip(const std::string& path, bool stream, std::string* error)
{
    std::string ignored;
    if (!error)
        error = &ignored;
    if (!running()) {
        *error = "Fail: Sound is not initialised!";
        return 0;
    }
    Clip clip;
    clip.path = path;
    if (stream) {
        std::unique_ptr<Decoder> probe = openDecoder(path, error);
        if (!probe)
            return 0;
        clip.format = probe->format();
    } else {
        std::optional<Pcm> pcm = decodeWhole(path, error);
        if (!pcm)
            return 0;
        clip.format = pcm->format;
        clip.frames = pcm->frames();
        std::lock_guard lock(serviceMutex);
        alGetError();
        alGenBuffers(1, &clip.buffer);
        alBufferData(clip.buffer, alFormat(clip.format), pcm->samples.data(),
                     static_cast<ALsizei>(pcm->samples.size() * sizeof(int16_t)), clip.format.rate);
        if (alGetError() != AL_NO_ERROR) {
            alDeleteBuffers(1, &clip.buffer);
            *error = "Fail: Sound buffer could not be made!";
            return 0;
        }
    }
    std::lock_guard lock(serviceMutex);
    clip.own = makeVoice(clip, error);
    if (!clip.own) {
        if (clip.buffer)
            alDeleteBuffers(1, &clip.buffer);
        return 0;
    }
    const int handle = service.nextClip++;
    service.clips.emplace(handle, std::move(clip));
    return handle;
}

void releaseClip(int clip)
{
    std::lock_guard lock(serviceMutex);
    Clip* found = findClip(clip);
    if (!found)
        return;
    for (auto it = service.channels.begin(); it != service.channels.end();) {
        if (it->second.clip == clip) {
            freeVoice(*it->second.voice);
            it = service.channels.erase(it);
        } else {
            ++it;
        }
    }
    freeVoice(*found->own);
    if (found->buffer)
        alDeleteBuffers(1, &found->buffer);
    service.clips.erase(clip);
}

int clipRate(int clip)
{
    std::lock_guard lock(serviceMutex);
    const Clip* found = findClip(clip);
    return found ? found->format.rate : 0;
}

long clipFrames(int clip)
{
    std::lock_guard lock(serviceMutex);
    const Clip* found = findClip(clip);
    return found ? found->frames : 0;
}

int clipChannels(int clip)
{
    std::lock_guard lock(serviceMutex);
    const Clip* found = findClip(clip);
    return found ? found->format.channels : 0;
}

bool play(int clip, bool loop, const Output& output)
{
    std::lock_guard lock(serviceMutex);
    Clip* found = findClip(clip);
    if (!found)
        return false;
    applyOutput(*found->own, *found, output);
    startVoice(*found->own, loop);
    return true;
}

int playChannel(int clip, bool loop, const Output& output)
{
    std::lock_guard lock(serviceMutex);
    Clip* found = findClip(clip);
    if (!found)
        return 0;
    std::string error;
    std::unique_ptr<Voice> voice = makeVoice(*found, &error);
    if (!voice) {
        log::fail(error, "KVE_PlaySound");
        return 0;
    }
    applyOutput(*voice, *found, output);
    startVoice(*voice, loop);
    const int channel = service.nextChannel++;
    service.channels.emplace(channel, Channel{clip, std::move(voice)});
    return channel;
}

bool setOutput(int clip, int channel, const Output& output)
{
    std::lock_guard lock(serviceMutex);
    Voice* voice = findVoice(clip, channel);
    const Clip* found = findClip(clip);
    if (!voice || !found)
        return false;
    applyOutput(*voice, *found, output);
    return true;
}

bool readOutput(int clip, int channel, Output* output)
{
    std::lock_guard lock(serviceMutex);
    const Voice* voice = findVoice(clip, channel);
    const Clip* found = findClip(clip);
    if (!voice || !found || !output)
        return false;
    float gain = 0, pitch = 0, x = 0, y = 0, z = 0;
    alGetSourcef(voice->source, AL_GAIN, &gain);
    alGetSourcef(voice->source, AL_PITCH, &pitch);
    alGetSource3f(voice->source, AL_POSITION, &x, &y, &z);
    output->volume = static_cast<int>(std::lround(gain * 100.0f));
    output->pan = static_cast<int>(std::lround(x * 100.0f));
    output->frequency = static_cast<int>(std::lround(pitch * static_cast<float>(found->format.rate)));
    return true;
}

bool isPlaying(int clip, int channel)
{
    std::lock_guard lock(serviceMutex);
    const Voice* voice = findVoice(clip, channel);
    return voice && voicePlaying(*voice);
}

void stopChannel(int channel)
{
    std::lock_guard lock(serviceMutex);
    const auto found = service.channels.find(channel);
    if (found == service.channels.end())
        return;
    freeVoice(*found->second.voice);
    service.channels.erase(found);
}

void stopClip(int clip)
{
    std::lock_guard lock(serviceMutex);
    if (Clip* found = findClip(clip)) {
        alSourceStop(found->own->source);
        found->own->active = false;
    }
}

void update()
{
    std::lock_guard lock(serviceMutex);
    for (auto& [handle, clip] : service.clips)
        refill(*clip.own);
    for (auto& [number, channel] : service.channels)
        refill(*channel.voice);
}

} // namespace kve::platform::audio

// The sound playback service: clips (a file loaded whole or streamed), each with its own
// voice and any number of extra channels that play the same clip independently. Volume
// 0..100, pan -100..100 and frequency in Hz are the engine's units; the OpenAL mapping
// stays inside the platform layer.
#pragma once

#include <string>

namespace kve::platform::audio {

// Opens the default output. Where no output device is evident, OpenAL's null output is
// chosen before the first OpenAL call (it cannot be switched to afterwards) and the log
// says so; the service then works the same, without being heard. False when no output,
// not even the null one, can be opened. Calling it again while running does nothing.
bool start();
// Releases every clip and closes the output.
void stop();
bool running();

// A clip handle (> 0), or 0 with `error` set to the log message. A streamed clip keeps
// its file open and decodes it piece by piece as it plays.
int openClip(const std::string& path, bool stream, std::string* error);
void releaseClip(int clip); // stops and frees its voice and all its channels
int clipRate(int clip);     // frames per second; 0 for no clip
long clipFrames(int clip);  // length of a clip loaded whole; 0 for a stream or no clip
int clipChannels(int clip); // 1 or 2; 0 for no clip

// What one voice plays like: volume 0..100, pan -100 (left) .. 100 (right), frequency in
// Hz (the clip's rate plays it unchanged). Values outside the ranges are clamped.
struct Output {
    int volume = 100;
    int pan = 0;
    int frequency = 0;
};

// Starts the clip on its own voice, from the beginning even when it plays, already set
// to `output` so that its first samples are mixed as meant. False for no clip.
bool play(int clip, bool loop, const Output& output);
// Starts the clip on a new channel set to `output`: its number (> 0), or 0 for no clip.
int playChannel(int clip, bool loop, const Output& output);
// Channel 0 is the clip's own voice. False when the clip or channel does not exist.
bool setOutput(int clip, int channel, const Output& output);

// What OpenAL was last told for the voice, read back and turned into the same units.
bool readOutput(int clip, int channel, Output* output);

bool isPlaying(int clip, int channel); // channel 0: the clip's own voice
void stopChannel(int channel);         // stops and frees it; unknown numbers are ignored
void stopClip(int clip);               // stops the clip's own voice; its channels play on

// Refills the buffer queues of the playing streams; once per frame.
void update();

} // namespace kve::platform::audio

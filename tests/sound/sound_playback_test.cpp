// Sounds played through the real service on OpenAL's null output: channel copies that
// end and leave the list, the values the update hands to OpenAL, range refusal, the
// release of a clip with its copies, streams, definitions and failed loads in the log.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "ogg_write.h"
#include "physics/physics.h"
#include "platform/audio.h"
#include "scene/camera.h"
#include "sound/sound.h"
#include "sound/sound_files.h"
#include "support/log_capture.h"

namespace kve::test {
namespace {

namespace audio = platform::audio;

class SoundPlayback : public LogCaptureTest {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(KVE_InitSound(), 1); }
    static void TearDownTestSuite()
    {
        sound::releaseSounds();
        audio::stop();
    }
    void SetUp() override
    {
        LogCaptureTest::SetUp();
        scene::resetCamera();
        KVE_SetMasterVolume(1.0f);
    }
    void TearDown() override
    {
        sound::releaseSounds();
        LogCaptureTest::TearDown();
    }

    // A 16-bit mono clip of `frames` frames at 8000 Hz (20 ms for 160).
    std::string shortWav(int frames = 160)
    {
        writeFile(dir / "short.wav", wavBytes(8000, 1, 16, rampSamples(frames)));
        return (dir / "short.wav").string();
    }

    // Updates until `done` holds, for at most two seconds.
    template <class Done>
    static bool updateUntil(Done&& done)
    {
        for (int i = 0; i < 200 && !done(); ++i) {
            KVE_UpdateSounds();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done();
    }

    TempDir dir{"sound_playback"};
};

TEST_F(SoundPlayback, ChannelCopiesPlayIndependentlyAndLeaveWhenTheyEnd)
{
    KVE_SOUND* original = KVE_LoadSound(40, shortWav().c_str(), KVE_SOUND_CHANNEL, "blip");
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(original->baseFrequency, 8000.0f);
    EXPECT_EQ(original->playing, 0);
    KVE_SetSoundVolume(40, 0.5f);

    const KVE_Vector at{3, 0, -4, 1};
    KVE_SOUND* first = KVE_PlaySound(40, KVE_DEFAULT, &at);
    KVE_SOUND* second = KVE_PlaySound(40, KVE_DEFAULT, nullptr);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_NE(first, original);
    EXPECT_NE(first->channel, second->channel);
    EXPECT_EQ(first->clip, original->clip);
    EXPECT_STREQ(first->name, "");
    EXPECT_EQ(first->volume, 0.5f);
    EXPECT_EQ(first->position.x, 3.0f);
    EXPECT_EQ(second->position.x, 0.0f);
    EXPECT_EQ(original->playing, 0); // the copies play, not the original
    EXPECT_EQ(sound::soundCount(), 3u);

    // The copy's own channel was given the copy's values, not the clip's voice.
    KVE_UpdateSounds();
    if (sound::soundCount() == 3u) {
        audio::Output heard;
        ASSERT_TRUE(audio::readOutput(first->clip, first->channel, &heard));
        EXPECT_EQ(heard.pan, 60);
        EXPECT_EQ(heard.volume, 37); // 0.5 x (0.6 + 0.4 x 0.36) = 0.372
        EXPECT_EQ(heard.frequency, 8000);
    }
    EXPECT_TRUE(updateUntil([] { return sound::soundCount() == 1u; }));
    EXPECT_EQ(KVE_GetSound(40), original);
}

TEST_F(SoundPlayback, UpdateHandsThePositionalMixToTheService)
{
    KVE_SOUND* steam = KVE_LoadSound(41, shortWav(80000).c_str(), KVE_SOUND_LOOP, "");
    ASSERT_NE(steam, nullptr);
    KVE_SetSoundRange(41, 2, 10);
    KVE_SetMasterVolume(0.5f);
    ASSERT_EQ(KVE_MoveSound(41, 0, 0, -6, 0), 1);
    ASSERT_EQ(KVE_PlaySound(41, KVE_DEFAULT, nullptr), steam);
    // The voice starts with its mix already set, not at full volume until the next update.
    audio::Output heard;
    ASSERT_TRUE(audio::readOutput(steam->clip, 0, &heard));
    EXPECT_EQ(heard.volume, 15); // 0.5 x 0.6 x half-way
    KVE_UpdateSounds();
    ASSERT_TRUE(audio::readOutput(steam->clip, 0, &heard));
    EXPECT_EQ(heard.volume, 15);
    EXPECT_EQ(heard.pan, 0);
    EXPECT_TRUE(audio::isPlaying(steam->clip, 0));
    EXPECT_FLOAT_EQ(steam->previousDistance, 6.0f);

    // The listener turns its right side to the sound: panned fully right, full weight.
    KVE_RotateCamera(0, 0, 90, 0, 0);
    KVE_SetSoundRange(41, 0, 0);
    KVE_UpdateSounds();
    ASSERT_TRUE(audio::readOutput(steam->clip, 0, &heard));
    EXPECT_EQ(heard.pan, 100);
    EXPECT_EQ(heard.volume, 50);

    // Attached to a node, it follows it; the listener does not follow the sound.
    KVE_NODE* node = KVE_CreateNode(-1, "");
    ASSERT_EQ(KVE_AttachItem(&node->item, KVE_GetSoundItem(41), KVE_ATTACH_RIGID), 1);
    KVE_MoveNode(node->number, 0, 0, 12, 0);
    KVE_UpdateSounds();
    ASSERT_TRUE(audio::readOutput(steam->clip, 0, &heard));
    EXPECT_EQ(heard.pan, -100);
    KVE_ReleaseNode(node->number);
}

TEST_F(SoundPlayback, PlayingBeyondTheRangeDoesNothing)
{
    ASSERT_NE(KVE_LoadSound(42, shortWav().c_str(), KVE_SOUND_CHANNEL, ""), nullptr);
    KVE_SetSoundRange(42, 0, 20);
    KVE_MoveCamera(0, 100, 0, 0, 0);
    const KVE_Vector far{0, 0, 0, 1}, near{95, 0, 10, 1};
    EXPECT_EQ(KVE_PlaySound(42, KVE_DEFAULT, &far), nullptr);
    EXPECT_EQ(sound::soundCount(), 1u);
    EXPECT_NE(KVE_PlaySound(42, KVE_DEFAULT, &near), nullptr);
    EXPECT_EQ(sound::soundCount(), 2u);
}

TEST_F(SoundPlayback, FreeingASoundTakesItsCopiesAndPlayAtScalesTheVolume)
{
    KVE_SOUND* hit = KVE_LoadSound(43, shortWav(80000).c_str(), 0, "hit");
    ASSERT_NE(hit, nullptr);
    KVE_SetSoundVolume(43, 0.8f);
    // The physics plays collision sounds through the hook start-up gives it.
    ASSERT_TRUE(physics::world().soundPlayer);
    physics::world().soundPlayer(43, KVE_Vector{1, 2, 3, 1}, 0.5f);
    sound::playAt(43, KVE_Vector{1, 2, 3, 1}, 0.25f);
    ASSERT_EQ(sound::soundCount(), 3u);
    int copies = 0;
    for (int number = 0x10000; copies < 2 && number < 0x12000; ++number) {
        if (const KVE_SOUND* copy = KVE_GetSound(number)) {
            EXPECT_FLOAT_EQ(copy->volume, copies == 0 ? 0.4f : 0.2f);
            audio::Output heard; // from its first sample, before any update
            ASSERT_TRUE(audio::readOutput(copy->clip, copy->channel, &heard));
            EXPECT_EQ(heard.volume, copies == 0 ? 25 : 13); // x (0.6 + 0.4 / 14): pan 1 / sqrt(14)
            EXPECT_EQ(copy->mode, KVE_SOUND_CHANNEL);
            ++copies;
        }
    }
    EXPECT_EQ(copies, 2);
    sound::playAt(999, KVE_Vector{0, 0, 0, 1}, 1.0f); // no such sound: nothing

    KVE_FreeSound(43);
    EXPECT_EQ(sound::soundCount(), 0u);
    EXPECT_EQ(KVE_GetSound(43), nullptr);
    KVE_UpdateSounds();
}

TEST_F(SoundPlayback, StreamsPlayThroughTheirQueueAndEnd)
{
    ASSERT_TRUE(tools::writeOgg((dir / "stream.ogg").string(), tone(44100, 11025), 44100));
    KVE_SOUND* stream = KVE_LoadSound(-1, (dir / "stream.ogg").string().c_str(),
                                      KVE_SOUND_STREAM | KVE_SOUND_PLAY | KVE_SOUND_BACKGROUND, "");
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(stream->baseFrequency, 44100.0f);
    EXPECT_EQ(stream->playing, 1);
    EXPECT_TRUE(audio::isPlaying(stream->clip, 0));
    EXPECT_TRUE(updateUntil([&] { return !audio::isPlaying(stream->clip, 0); }));

    // A channel of a streamed clip decodes on its own.
    KVE_SOUND* copy = KVE_PlaySound(stream->number, KVE_SOUND_CHANNEL, nullptr);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(audio::isPlaying(copy->clip, copy->channel));
    EXPECT_TRUE(updateUntil([] { return sound::soundCount() == 1u; }));
}

TEST_F(SoundPlayback, DefinitionsGiveModeKeysAndNames)
{
    writeFile(dir / "tone.wav", wavBytes(11025, 1, 16, rampSamples(100)));
    const std::string text = "Machine: Engine {\n"
                             "  Sound: { File: tone.wav; Mode: 'Channel Dopplereffect'; Direction: 1, 0, 0;\n"
                             "           Cone: 90, 180; Range: 2, 30; Volume: 0.25; Frequency: 2 }\n"
                             "}\n"
                             "Sound: Bell { File: tone.wav }\n"
                             "Sound: Mute { Mode: Play }\n";
    DefinitionNode* root = KVE_ParseDefinitionText(text.c_str(), dir.path().string().c_str());
    ASSERT_NE(root, nullptr);
    KVE_SOUND* engine = KVE_LoadSoundDefinition(KVE_GetDefinitionChild(root, 0), -1, "");
    ASSERT_NE(engine, nullptr);
    EXPECT_STREQ(engine->name, "Engine");
    EXPECT_EQ(engine->mode, KVE_SOUND_CHANNEL | KVE_SOUND_DOPPLER);
    EXPECT_EQ(engine->direction.x, 1.0f);
    EXPECT_NEAR(engine->cone[0], 1.5707963f, 1e-6f);
    EXPECT_NEAR(engine->cone[1], 3.1415927f, 1e-6f);
    EXPECT_EQ(engine->range[0], 2.0f);
    EXPECT_EQ(engine->range[1], 30.0f);
    EXPECT_EQ(engine->volume, 0.25f);
    EXPECT_EQ(engine->frequency, 2.0f);
    EXPECT_EQ(engine->baseFrequency, 11025.0f);

    KVE_SOUND* bell = KVE_LoadSoundDefinition(KVE_GetDefinitionChild(root, 1), 44, "Clock");
    ASSERT_NE(bell, nullptr);
    EXPECT_STREQ(bell->name, "Clock");
    EXPECT_EQ(bell->direction.z, -1.0f);
    EXPECT_EQ(bell->volume, 1.0f);
    EXPECT_EQ(KVE_LoadSoundDefinition(KVE_GetDefinitionChild(root, 2), -1, ""), nullptr);
    EXPECT_EQ(KVE_LoadSoundDefinition(nullptr, -1, ""), nullptr);
    EXPECT_EQ(sound::soundCount(), 2u);
    KVE_FreeDefinition(root, 1);
}

TEST_F(SoundPlayback, AbsurdDefinitionValuesAreClampedWithAWarning)
{
    writeFile(dir / "tone.wav", wavBytes(11025, 1, 16, rampSamples(100)));
    DefinitionNode* root = KVE_ParseDefinitionText(
        "Sound: Loud { File: tone.wav; Volume: 1e6; Frequency: 0; Range: -5, 1e9; Cone: 90, 720; }",
        dir.path().string().c_str());
    KVE_SOUND* loud = KVE_LoadSoundDefinition(root, -1, "");
    KVE_FreeDefinition(root, 1);
    ASSERT_NE(loud, nullptr);
    EXPECT_EQ(loud->volume, 10.0f);
    EXPECT_EQ(loud->frequency, 0.01f);
    EXPECT_EQ(loud->range[0], 0.0f);
    EXPECT_EQ(loud->range[1], 1e6f);
    EXPECT_NEAR(loud->cone[0], 1.5707963f, 1e-6f);
    EXPECT_NEAR(loud->cone[1], 6.2831853f, 1e-6f);
    const std::string log = capturedLog();
    EXPECT_NE(log.find(logRow("Warning: Volume 1e+06 is outside 0 to 10, 10 is used", "#FF8000",
                              "KVE_LoadSoundDefinition")),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("Warning: Range -5 is outside 0 to 1e+06, 0 is used"), std::string::npos);
    EXPECT_EQ(countOccurrences(log, "Warning: "), 5);
}

TEST_F(SoundPlayback, FailedLoadsAreLoggedAndCreateNothing)
{
    EXPECT_EQ(KVE_LoadSound(45, (dir / "missing.ogg").string().c_str(), KVE_SOUND_PLAY, ""), nullptr);
    writeFile(dir / "lying.wav", wavBytes(8000, 1, 16, rampSamples(10), 1 << 30));
    EXPECT_EQ(KVE_LoadSound(45, (dir / "lying.wav").string().c_str(), 0, ""), nullptr);
    EXPECT_EQ(KVE_LoadSound(0x10000, shortWav().c_str(), 0, ""), nullptr);
    EXPECT_EQ(sound::soundCount(), 0u);
    const std::string log = capturedLog();
    EXPECT_NE(log.find(logRow("Fail: Sound file not found!", "#FF0000", "KVE_LoadSound")), std::string::npos);
    EXPECT_NE(log.find(logRow("Fail: Damaged WAV file!", "#FF0000", "KVE_LoadSound")), std::string::npos);
    EXPECT_NE(log.find(logRow("Fail: This ID is not available!", "#FF0000", "KVE_CreateSoundListEntry")),
              std::string::npos);

    // A name in use releases the older sound, with the registry's notice.
    ASSERT_NE(KVE_LoadSound(46, shortWav().c_str(), 0, "twice"), nullptr);
    ASSERT_NE(KVE_LoadSound(47, shortWav().c_str(), 0, "twice"), nullptr);
    EXPECT_EQ(KVE_GetSound(46), nullptr);
    EXPECT_NE(capturedLog().find(logRow("Loaded double: First Sound has been released!", "#0000FF",
                                        "KVE_CreateSoundListEntry")),
              std::string::npos);
}

} // namespace
} // namespace kve::test

// Sound inside the running engine: start-up opens the playback service and hooks the
// Sound blocks of definition files up to their loader; shutdown releases every sound.
#include <gtest/gtest.h>

#include "sound/sound.h"
#include "sound/sound_files.h"
#include "support/test_files.h"

namespace kve::test {
namespace {

TEST(EngineSound, StartUpOpensTheServiceAndDefinitionFilesLoadSounds)
{
    const std::string log = readLog();
    EXPECT_NE(log.find("Sound output: "), std::string::npos);
    EXPECT_EQ(KVE_GetMasterVolume(), 1.0f);

    TempDir dir("engine_sound");
    writeFile(dir / "hum.wav", wavBytes(16000, 1, 16, rampSamples(1600)));
    writeFile(dir / "Sounds.kvd", "Sound: Hum { File: hum.wav; Mode: Loop Play; Volume: 0.5 }\n");
    const std::string file = (dir / "Sounds.kvd").string();

    KVE_ParseDefinitionFiles(file.c_str(), KVE_DEFINITION_TEXTURE | KVE_DEFINITION_MATERIAL);
    EXPECT_EQ(sound::soundCount(), 0u);
    KVE_ParseDefinitionFiles(file.c_str(), KVE_DEFINITION_SOUND);
    ASSERT_EQ(sound::soundCount(), 1u);
    EXPECT_NE(readLog().find("Load Sound: " + (dir / "hum.wav").string()), std::string::npos);

    // The loaded sound is named after its block and plays at once, looping.
    int found = 0;
    for (int number = 0x10000; number < 0x10100 && !found; ++number)
        if (const KVE_SOUND* hum = KVE_GetSound(number)) {
            found = 1;
            EXPECT_STREQ(hum->name, "Hum");
            EXPECT_EQ(hum->mode, KVE_SOUND_PLAY | KVE_SOUND_LOOP);
            EXPECT_EQ(hum->playing, 1);
            EXPECT_EQ(hum->volume, 0.5f);
        }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(KVE_UpdateSounds(), 0);
    sound::releaseSounds();
}

} // namespace
} // namespace kve::test

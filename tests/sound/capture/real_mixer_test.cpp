// Sound through OpenAL Soft's real mixer: its wave output writes everything it mixes to a
// file, and the levels, pan and pitch found there are checked against the engine's
// volume, pan, range, cone and Doppler rules. OpenAL reads its configuration once, at the
// first call, so this executable sets it up in main() before anything else runs.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/timing.h"
#include "kve.h"
#include "platform/audio.h"
#include "scene/camera.h"
#include "sound/sound.h"
#include "sound/sound_files.h"
#include "support/test_files.h"

namespace kve::test {
namespace {

constexpr int kRate = 48000;         // clips and output alike, so pitch 1 is not resampled
constexpr float kAmplitude = 0.5f;   // of every tone, full scale 1
constexpr float kFrameTime = 0.02f;  // the engine's fixed frame time during the capture
constexpr auto kPlayed = std::chrono::milliseconds(300);
constexpr auto kGap = std::chrono::milliseconds(250);

// Levels must match to within this share: the mixer's pan law below fits the capture to
// better than 1%, the rest covers the volume and pan rounded to hundredths.
constexpr double kLevelTolerance = 0.04;
constexpr double kPitchTolerance = 0.005;

std::filesystem::path capturePath()
{
    return std::filesystem::absolute("capture.wav");
}

// One placement of one tone. Each case has a tone of its own, so every stretch of sound in
// the capture can be told apart by its pitch and nothing silent can pass for another case.
struct Case {
    const char* name;
    int toneHz;
    KVE_Vector position;
    int volumePercent;    // the engine's rule, worked out by hand; 0 = silent
    int panPercent;       // -100 left .. 100 right
    float pitch = 1.0f;   // frequency factor heard
    float range[2] = {0, 0};
    float cone[2] = {0, 0}; // degrees
    KVE_Vector direction{0, 0, -1, 0};
    float approachSpeed = 0; // units per second toward the listener along -z
};

Case ranged(Case c, float min, float max)
{
    c.range[0] = min;
    c.range[1] = max;
    return c;
}

Case coned(Case c, float inner, float outer, KVE_Vector direction = {0, 0, -1, 0})
{
    c.cone[0] = inner;
    c.cone[1] = outer;
    c.direction = direction;
    return c;
}

// The listener is the camera at the origin looking down -z, x to the right.
const std::vector<Case>& cases()
{
    static const std::vector<Case> all = [] {
        const float off = 20.0f * static_cast<float>(M_PI) / 180.0f;
        std::vector<Case> c{
            // Fully to a side: 0.6 + 0.4 p^2 = 1 of the volume, pan -100 / 100.
            {"left", 250, {-4, 0, 0, 1}, 100, -100},
            {"right", 280, {4, 0, 0, 1}, 100, 100},
            // Ahead and behind: pan 0 and 0.6 of the volume; behind is heard like ahead.
            {"ahead", 310, {0, 0, -4, 1}, 60, 0},
            {"behind", 340, {0, 0, 4, 1}, 60, 0},
            // Front left at (-3, 0, -4): p = -0.6, 0.6 + 0.4 x 0.36 = 0.744.
            {"front left", 370, {-3, 0, -4, 1}, 74, -60},
            // Range (2, 12) at 11: 0.6 x (1 - 9 / 10) = 0.06; at 13: beyond, silent.
            ranged({"edge of range", 430, {0, 0, -11, 1}, 6, 0}, 2, 12),
            ranged({"beyond range", 460, {0, 0, -13, 1}, 0, 0}, 2, 12),
            // Cone (90, 270) facing away (angle 180): 1 - (180 - 90) / 180 = 0.5 of 0.6.
            coned({"cone, between inner and outer", 560, {0, 0, -4, 1}, 30, 0}, 90, 270),
            // Cone (60, 120) turned 20 degrees off the listener: inside, full 0.6.
            coned({"inside cone", 610, {0, 0, -4, 1}, 60, 0}, 60, 120, {std::sin(off), 0, std::cos(off), 0}),
            // Cone (30, 90) facing away: outside, silent.
            coned({"outside cone", 660, {0, 0, -4, 1}, 0, 0}, 30, 90),
        };
        // Approaching at 68 units per second: 1 / (1 - 68 / 340) = 1.25.
        Case moving{"moving toward the listener", 400, {0, 0, -200, 1}, 60, 0, 1.25f};
        moving.approachSpeed = 68;
        c.push_back(moving);
        return c;
    }();
    return all;
}

// OpenAL Soft 1.19 (Debian 12) pans a mono source to two speakers by a first-order
// Ambisonic decode of its direction, with front azimuths widened by 1.5 (capped at 90
// degrees). The engine places a voice at azimuth asin(pan) on the front half-circle.
double panLaw(double pan, bool left)
{
    const double widened = std::clamp(std::asin(std::clamp(pan, -1.0, 1.0)) * 1.5, -M_PI / 2, M_PI / 2);
    const double side = left ? -std::sin(widened) : std::sin(widened);
    return 0.5 + 0.5 * side + 0.0552305643 * std::sqrt(3.0) * std::cos(widened);
}

struct Stretch {
    long first = 0, end = 0; // frames
    double left = 0, right = 0; // RMS, full scale 1
    double hz = 0;
};

struct Capture {
    int rate = 0;
    std::vector<float> left, right;
};

uint32_t readLe(const std::string& bytes, size_t at, int size)
{
    uint32_t value = 0;
    for (int i = size - 1; i >= 0; --i)
        value = value << 8 | static_cast<uint8_t>(bytes[at + static_cast<size_t>(i)]);
    return value;
}

// The wave output's file: 16-bit PCM (plain or extensible header), two channels.
Capture readCapture(const std::filesystem::path& path)
{
    const std::string bytes = readFile(path);
    Capture capture;
    if (bytes.size() < 12 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 4, "WAVE") != 0)
        return capture;
    int channels = 0, bits = 0;
    for (size_t at = 12; at + 8 <= bytes.size();) {
        const std::string id = bytes.substr(at, 4);
        size_t size = readLe(bytes, at + 4, 4);
        const size_t body = at + 8;
        if (id == "fmt " && size >= 16) {
            channels = static_cast<int>(readLe(bytes, body + 2, 2));
            capture.rate = static_cast<int>(readLe(bytes, body + 4, 4));
            bits = static_cast<int>(readLe(bytes, body + 14, 2));
        } else if (id == "data") {
            size = std::min(size, bytes.size() - body);
            if (channels != 2 || bits != 16)
                return Capture{};
            for (size_t i = 0; i + 4 <= size; i += 4) {
                capture.left.push_back(static_cast<int16_t>(readLe(bytes, body + i, 2)) / 32768.0f);
                capture.right.push_back(static_cast<int16_t>(readLe(bytes, body + i + 2, 2)) / 32768.0f);
            }
            break;
        }
        at = body + size + (size & 1);
    }
    return capture;
}

// Stretches of sound separated by silence (10 ms windows whose peak stays below 0.002),
// each measured over whole periods of its middle half: RMS per channel and pitch from the
// rising zero crossings of the channels' sum.
std::vector<Stretch> findStretches(const Capture& capture)
{
    const long window = capture.rate / 100;
    const long frames = static_cast<long>(capture.left.size());
    std::vector<Stretch> stretches;
    long start = -1;
    for (long w = 0; w * window <= frames; ++w) {
        float peak = 0;
        for (long i = w * window; i < std::min(frames, (w + 1) * window); ++i)
            peak = std::max({peak, std::abs(capture.left[static_cast<size_t>(i)]),
                             std::abs(capture.right[static_cast<size_t>(i)])});
        const bool sounding = peak > 0.002f;
        if (sounding && start < 0)
            start = w * window;
        if (!sounding && start >= 0) {
            stretches.push_back({start, w * window});
            start = -1;
        }
    }
    for (Stretch& s : stretches) {
        const long quarter = (s.end - s.first) / 4;
        const auto sum = [&](long i) { return capture.left[static_cast<size_t>(i)] + capture.right[static_cast<size_t>(i)]; };
        std::vector<double> rises; // fractional frame positions
        for (long i = s.first + quarter; i + 1 < s.end - quarter; ++i)
            if (sum(i) < 0 && sum(i + 1) >= 0)
                rises.push_back(static_cast<double>(i) + sum(i) / (sum(i) - sum(i + 1)));
        if (rises.size() < 3)
            continue;
        s.hz = static_cast<double>(capture.rate) * static_cast<double>(rises.size() - 1) / (rises.back() - rises.front());
        double left = 0, right = 0;
        const long from = static_cast<long>(std::ceil(rises.front()));
        const long to = static_cast<long>(std::ceil(rises.back()));
        for (long i = from; i < to; ++i) {
            left += capture.left[static_cast<size_t>(i)] * capture.left[static_cast<size_t>(i)];
            right += capture.right[static_cast<size_t>(i)] * capture.right[static_cast<size_t>(i)];
        }
        s.left = std::sqrt(left / static_cast<double>(to - from));
        s.right = std::sqrt(right / static_cast<double>(to - from));
    }
    return stretches;
}

// A looping tone of whole periods, one second long.
std::string toneWav(int hz)
{
    std::string data;
    for (int i = 0; i < kRate; ++i) {
        const double value = kAmplitude * std::sin(2.0 * M_PI * hz * i / kRate);
        putLe(data, static_cast<uint16_t>(static_cast<int16_t>(std::lround(value * 32767.0))), 2);
    }
    return wavBytes(kRate, 1, 16, data);
}

class RealMixer : public ::testing::Test {
protected:
    // Plays every case once, in order, then closes the output so that the file is complete.
    static void SetUpTestSuite()
    {
        ASSERT_EQ(KVE_InitSound(), 1) << "OpenAL's wave output could not be opened";
        scene::resetCamera();
        KVE_SetMasterVolume(1.0f);
        KVE_SetFixedFrameTime(kFrameTime);
        timing::advanceFrame();
        timing::advanceFrame();
        ASSERT_FLOAT_EQ(KVE_GetFrameTime(), kFrameTime);

        TempDir dir("real_mixer");
        for (const Case& c : cases()) {
            const std::filesystem::path clip = dir / (std::to_string(c.toneHz) + ".wav");
            writeFile(clip, toneWav(c.toneHz));
            const int mode = KVE_SOUND_LOOP | (c.approachSpeed != 0 ? KVE_SOUND_DOPPLER : 0);
            KVE_SOUND* sound = KVE_LoadSound(1, clip.string().c_str(), mode, "");
            ASSERT_NE(sound, nullptr) << c.name;
            KVE_MoveSound(1, c.position.x, c.position.y, c.position.z, 0);
            KVE_SetSoundRange(1, c.range[0], c.range[1]);
            KVE_SetSoundCone(1, c.cone[0], c.cone[1]);
            KVE_SetSoundDirection(1, c.direction.x, c.direction.y, c.direction.z);
            ASSERT_NE(KVE_PlaySound(1, KVE_DEFAULT, nullptr), nullptr) << c.name;
            for (auto start = std::chrono::steady_clock::now(); std::chrono::steady_clock::now() - start < kPlayed;) {
                KVE_MoveSound(1, 0, 0, c.approachSpeed * kFrameTime, 1);
                KVE_UpdateSounds();
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            KVE_FreeSound(1);
            std::this_thread::sleep_for(kGap);
        }
        platform::audio::stop();
        KVE_SetFixedFrameTime(0);
        stretches = findStretches(readCapture(capturePath()));
    }

    // The stretch heard for each audible case, in order; empty when the capture does not
    // hold exactly one stretch per audible case at that case's pitch.
    static std::vector<std::pair<const Case*, Stretch>> heard(std::string* why)
    {
        std::vector<std::pair<const Case*, Stretch>> pairs;
        std::ostringstream text;
        text << "stretches found (frames, Hz):";
        for (const Stretch& s : stretches)
            text << " [" << s.first << ".." << s.end << " " << s.hz << "]";
        *why = text.str();
        size_t next = 0;
        for (const Case& c : cases()) {
            if (c.volumePercent == 0)
                continue;
            if (next == stretches.size() ||
                std::abs(stretches[next].hz / (c.toneHz * c.pitch) - 1.0) > 0.02)
                return {};
            pairs.emplace_back(&c, stretches[next++]);
        }
        return next == stretches.size() ? pairs : std::vector<std::pair<const Case*, Stretch>>{};
    }

    static inline std::vector<Stretch> stretches;
};

// Full-scale RMS of a tone of kAmplitude at `volumePercent`, through one speaker's pan law.
double expectedLevel(const Case& c, bool left)
{
    return c.volumePercent / 100.0 * panLaw(c.panPercent / 100.0, left) * kAmplitude / std::sqrt(2.0);
}

TEST_F(RealMixer, EachAudibleCaseIsHeardOnceAndTheSilentOnesNot)
{
    std::string why;
    EXPECT_EQ(heard(&why).size(), 9u) << why;
}

TEST_F(RealMixer, LevelsFollowVolumeRangeConeAndTheMixersPanLaw)
{
    std::string why;
    const auto pairs = heard(&why);
    ASSERT_FALSE(pairs.empty()) << why;
    for (const auto& [c, s] : pairs) {
        EXPECT_NEAR(s.left, expectedLevel(*c, true), kLevelTolerance * expectedLevel(*c, true) + 1e-4) << c->name;
        EXPECT_NEAR(s.right, expectedLevel(*c, false), kLevelTolerance * expectedLevel(*c, false) + 1e-4) << c->name;
    }
}

// The same facts without the mixer's law: mirror images, equal channels for pan 0, and
// levels at pan 0 in the ratio of the engine's volumes.
TEST_F(RealMixer, SidesMirrorAndCentredLevelsKeepTheEnginesRatios)
{
    std::string why;
    const auto pairs = heard(&why);
    ASSERT_FALSE(pairs.empty()) << why;
    const Stretch& left = pairs[0].second;
    const Stretch& right = pairs[1].second;
    EXPECT_NEAR(left.left, right.right, kLevelTolerance * left.left);
    EXPECT_NEAR(left.right, right.left, kLevelTolerance * left.left);
    EXPECT_LT(left.right, 0.1 * left.left);
    const Stretch& ahead = pairs[2].second;
    for (const auto& [c, s] : pairs) {
        if (c->panPercent != 0)
            continue;
        EXPECT_NEAR(s.left, s.right, kLevelTolerance * s.left) << c->name;
        const double ratio = c->volumePercent / 60.0;
        EXPECT_NEAR(s.left / ahead.left, ratio, kLevelTolerance * ratio) << c->name;
    }
}

TEST_F(RealMixer, DopplerRaisesThePitchOfAnApproachingSoundAndNothingElse)
{
    std::string why;
    const auto pairs = heard(&why);
    ASSERT_FALSE(pairs.empty()) << why;
    for (const auto& [c, s] : pairs)
        EXPECT_NEAR(s.hz, c->toneHz * c->pitch, kPitchTolerance * c->toneHz * c->pitch) << c->name;
}

} // namespace
} // namespace kve::test

int main(int argc, char** argv)
{
    // The wave output, stereo 16-bit at the clips' rate, with nothing between the mix and
    // the file: no head-related filtering, limiter or dither.
    const std::filesystem::path config = std::filesystem::absolute("alsoft_capture.conf");
    kve::test::writeFile(config, "[general]\ndrivers = wave\nchannels = stereo\nsample-type = int16\nfrequency = " +
                                     std::to_string(kve::test::kRate) +
                                     "\nhrtf = false\nstereo-mode = speakers\noutput-limiter = false\ndither = false\n"
                                     "[wave]\nfile = " +
                                     kve::test::capturePath().string() + "\n");
    setenv("ALSOFT_CONF", config.c_str(), 1);
    setenv("ALSOFT_DRIVERS", "wave", 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

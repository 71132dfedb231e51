#include <gtest/gtest.h>

#include <vector>

#include "kve.h"

namespace {

uint64_t fakeCounter = 0;
uint64_t readFakeCounter()
{
    return fakeCounter;
}

class TimingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fakeCounter = 1'000'000;
        KVE_SetCounterSource(readFakeCounter, 1'000'000); // one count per microsecond
    }
    void TearDown() override { KVE_SetCounterSource(nullptr, 0); }
};

TEST_F(TimingTest, FirstFlipHasNoFrameTimeAndNoRate)
{
    KVE_FlipBuffers();
    EXPECT_EQ(KVE_GetFrameTime(), 0.0f);
    EXPECT_EQ(KVE_GetFPS(), 0.0f);
}

TEST_F(TimingTest, TenMillisecondFlipsGiveOneHundredOnlyAfterHalfASecond)
{
    KVE_FlipBuffers();
    for (int flip = 1; flip <= 49; ++flip) {
        fakeCounter += 10'000;
        KVE_FlipBuffers();
        EXPECT_FLOAT_EQ(KVE_GetFrameTime(), 0.01f);
        EXPECT_EQ(KVE_GetFPS(), 0.0f) << "the window is only " << flip * 10 << " ms long";
    }
    fakeCounter += 10'000;
    KVE_FlipBuffers();
    // The first window also counts the first flip: 51 flips in 0.5 s.
    EXPECT_NEAR(KVE_GetFPS(), 102.0f, 0.01f);
    // Later windows start afresh and keep the last rate until they complete.
    for (int flip = 1; flip <= 49; ++flip) {
        fakeCounter += 10'000;
        KVE_FlipBuffers();
        EXPECT_NEAR(KVE_GetFPS(), 102.0f, 0.01f);
    }
    fakeCounter += 10'000;
    KVE_FlipBuffers();
    EXPECT_NEAR(KVE_GetFPS(), 100.0f, 0.01f);
}

TEST_F(TimingTest, LargeCounterValuesKeepMicrosecondPrecision)
{
    fakeCounter = 0x7FFF'FFFF'0000'0000ull;
    KVE_SetCounterSource(readFakeCounter, 1'000'000'000);
    KVE_FlipBuffers();
    fakeCounter += 16'666'667;
    KVE_FlipBuffers();
    EXPECT_NEAR(KVE_GetFrameTime(), 0.016666667f, 1e-7f);
}

TEST_F(TimingTest, FixedFrameTimeOverridesTheCounter)
{
    KVE_SetFixedFrameTime(0.05f);
    KVE_FlipBuffers();
    EXPECT_EQ(KVE_GetFrameTime(), 0.0f);
    const int clockBefore = KVE_GetMilliseconds();
    for (int flip = 0; flip < 10; ++flip) {
        fakeCounter += 1; // the real counter hardly moves
        KVE_FlipBuffers();
        EXPECT_NEAR(KVE_GetFrameTime(), 0.05f, 1e-6f);
    }
    EXPECT_NEAR(KVE_GetFPS(), 22.0f, 0.01f); // 11 flips over 0.5 s
    EXPECT_NEAR(KVE_GetMilliseconds() - clockBefore, 500, 1);
    KVE_SetFixedFrameTime(0);
}

// The particle clock reads the engine clock; under a fixed frame time it must advance by
// the same whole milliseconds in every run, wherever the real counter stood at the start.
TEST_F(TimingTest, FixedFrameTimeClockRepeatsWhateverTheCounterStartedAt)
{
    std::vector<std::vector<int>> runs;
    for (uint64_t start : {1'000'000ull, 1'000'777ull, 987'654'321ull}) {
        fakeCounter = start;
        KVE_SetCounterSource(readFakeCounter, 1'000'000);
        KVE_SetFixedFrameTime(1.0f / 60.0f);
        const int origin = KVE_GetMilliseconds();
        std::vector<int> clock;
        for (int flip = 0; flip < 30; ++flip) {
            fakeCounter += 12'345; // the real counter's own pace plays no part
            KVE_FlipBuffers();
            clock.push_back(KVE_GetMilliseconds() - origin);
        }
        KVE_SetFixedFrameTime(0);
        runs.push_back(clock);
    }
    EXPECT_EQ(runs[1], runs[0]);
    EXPECT_EQ(runs[2], runs[0]);
    EXPECT_EQ(runs[0][1], 16); // the first flip only starts the count: 16667 us
    EXPECT_EQ(runs[0].back(), 483);
}

} // namespace

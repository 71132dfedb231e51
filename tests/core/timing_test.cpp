#include <gtest/gtest.h>

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

} // namespace

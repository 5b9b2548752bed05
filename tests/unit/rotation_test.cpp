#include <gtest/gtest.h>

#include "plugin/rotation.h"
#include "plugin/state.h"
#include "settings/settings.h"

namespace {

// Puts the rotation state and its three settings to a known start.
struct RotationFixture : ::testing::Test {
    double savedP = gPercentPosition, savedS = gPercentRotationStep, savedT = gUserRefreshTimeout;
    void SetUp() override
    {
        gPercentPosition = 17.4;
        gPercentRotationStep = 12.50;
        gUserRefreshTimeout = 1.35;
        gLastRequestPath[0] = 0;
        gLastSuccessTime = 0;
        gCurrentPosition = 0;
        gPositionActive = false;
    }
    void TearDown() override
    {
        gPercentPosition = savedP;
        gPercentRotationStep = savedS;
        gUserRefreshTimeout = savedT;
    }
    // One request that ends with a bitmap handed over at `now`.
    double request(const wchar_t* path, int now, bool cache = false, bool* force = nullptr)
    {
        gPositionActive = false;
        bool ignored = false;
        rotateFramePosition(path, now, cache, force ? force : &ignored);
        double position = PositionInForce();
        gLastSuccessTime = now;
        return position;
    }
};

TEST_F(RotationFixture, QuickRepeatsWalkTheWholeCycle)
{
    const double expected[] = {17.4, 12.5, 25, 37.5, 50, 62.5, 75, 87.5, 17.4, 0, 12.5, 25};
    int now = 1700000000;
    for (double position : expected) {
        EXPECT_DOUBLE_EQ(position, request(L"C:\\v\\clip.mp4", now));
        now += 1; // the next second is still inside the 1.35 s window
    }
}

TEST_F(RotationFixture, WindowAndPathDecideWhatIsARepeat)
{
    int now = 1700000000;
    EXPECT_DOUBLE_EQ(17.4, request(L"A.mp4", now));
    EXPECT_DOUBLE_EQ(12.5, request(L"A.mp4", now + 1));
    // Window passed: P again, and the cycle resumes where it stopped.
    EXPECT_DOUBLE_EQ(17.4, request(L"A.mp4", now + 10));
    EXPECT_DOUBLE_EQ(25, request(L"A.mp4", now + 11));
    // A, B, A: the second A is not a repeat and starts over.
    EXPECT_DOUBLE_EQ(17.4, request(L"B.mp4", now + 11));
    EXPECT_DOUBLE_EQ(17.4, request(L"A.mp4", now + 11));
    EXPECT_DOUBLE_EQ(12.5, request(L"A.mp4", now + 12));
    // The comparison is case-sensitive.
    EXPECT_DOUBLE_EQ(17.4, request(L"a.mp4", now + 12));
}

TEST_F(RotationFixture, ARefusedRequestStartsNoWindow)
{
    int now = 1700000000;
    // A request that gets past the size checks but hands over no bitmap:
    // the last success time stays where it was.
    rotateFramePosition(L"A.mp4", now, false, nullptr);
    gPositionActive = false;
    rotateFramePosition(L"A.mp4", now, false, nullptr);
    EXPECT_FALSE(gPositionActive);
    EXPECT_DOUBLE_EQ(17.4, PositionInForce());
}

TEST_F(RotationFixture, RepeatForcesACacheRefreshOnlyWithTheCache)
{
    int now = 1700000000;
    bool force = false;
    request(L"A.mp4", now, true, &force);
    EXPECT_FALSE(force);
    request(L"A.mp4", now, false, &force);
    EXPECT_FALSE(force);
    request(L"A.mp4", now, true, &force);
    EXPECT_TRUE(force);
}

TEST_F(RotationFixture, ClockDifferenceWrapsIn32Bits)
{
    gLastSuccessTime = 0x7fffffff;
    gLastRequestPath[0] = 0;
    request(L"A.mp4", 0x7fffffff);
    // One second after the 32-bit clock wrapped is still a quick repeat.
    EXPECT_DOUBLE_EQ(12.5, request(L"A.mp4", (int)0x80000000));
}

TEST_F(RotationFixture, PositionZeroDoesNotLoopOnZero)
{
    gPercentPosition = 0;
    int now = 1700000000;
    EXPECT_DOUBLE_EQ(0, request(L"A.mp4", now));
    EXPECT_DOUBLE_EQ(12.5, request(L"A.mp4", now));
    EXPECT_DOUBLE_EQ(25, request(L"A.mp4", now));
}

} // namespace

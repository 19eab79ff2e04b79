#include "envelope.h"

#include <gtest/gtest.h>

#include <string>

namespace {

class EnvelopeTest : public testing::Test {
protected:
    Envelope env;
    void SetUp() override { testing::internal::CaptureStdout(); }
    std::string printed() { return testing::internal::GetCapturedStdout(); }
    void ticks(int n) {
        for (int i = 0; i < n; ++i) env.tick();
    }
};

TEST_F(EnvelopeTest, UntriggeredDoesNothing) {
    EXPECT_EQ(env.level, 0.0f);
    EXPECT_EQ(env.active, 0);
    EXPECT_EQ(env.segment, SEGMENT_ATTACK);
    EXPECT_EQ(env.elapsed, 0.0f);
    env.level = 0.25f;  // no halving while idle
    ticks(1000);
    EXPECT_EQ(env.level, 0.25f);
    EXPECT_EQ(printed(), "");
}

TEST_F(EnvelopeTest, WholeNote) {
    env.trigger();
    env.tick();
    EXPECT_EQ(env.elapsed, 1.0f);
    EXPECT_EQ(env.level, static_cast<float>(static_cast<double>(1.0f / 100000.0f) / 2.0));
    EXPECT_FLOAT_EQ(env.level, 0.000005f);

    float previous = env.level;
    for (int n = 2; n < 100000; ++n) {
        env.tick();
        ASSERT_GT(env.level, previous) << n;
        previous = env.level;
    }
    EXPECT_FLOAT_EQ(env.level, 0.499995f);
    env.tick();  // 100,000: the attack ends
    EXPECT_EQ(env.level, 0.5f);
    EXPECT_EQ(env.segment, SEGMENT_DECAY);
    EXPECT_EQ(env.elapsed, 0.0f);
    env.tick();
    EXPECT_EQ(env.level, static_cast<float>(static_cast<double>(static_cast<float>(1.0 - 1.0 / 1e6)) / 2.0));

    ticks(999998);
    EXPECT_FLOAT_EQ(env.level, 0.0000005f);
    EXPECT_EQ(env.active, 1);
    env.tick();  // 1,000,000: the decay ends
    EXPECT_EQ(env.level, 0.0f);
    EXPECT_EQ(env.active, 0);
    EXPECT_EQ(env.segment, SEGMENT_ATTACK);
    ticks(10);
    EXPECT_EQ(env.level, 0.0f);
    EXPECT_EQ(printed(), "\nTRIG\nSegment [0]\nSegment [1]\n");
}

TEST_F(EnvelopeTest, ReleaseSilencesUntilTheNextTrigger) {
    env.trigger();
    ticks(5000);
    env.release();
    EXPECT_EQ(env.level, 0.0f);
    ticks(1200000);
    EXPECT_EQ(env.level, 0.0f);
    EXPECT_EQ(env.active, 1);
    EXPECT_EQ(env.segment, SEGMENT_RELEASED);
    EXPECT_EQ(printed(), "\nTRIG\nUNTRIG\n");
}

TEST_F(EnvelopeTest, ReleasedLevelIsHalvedAway) {
    env.trigger();
    ticks(10);
    env.release();
    env.level = 0.5f;  // a ramp step that landed after the release
    env.tick();
    EXPECT_EQ(env.level, 0.25f);
    env.tick();
    EXPECT_EQ(env.level, 0.125f);
    printed();
}

TEST_F(EnvelopeTest, ReleaseWhileIdle) {
    env.release();
    EXPECT_EQ(env.segment, SEGMENT_RELEASED);
    ticks(100);
    EXPECT_EQ(env.level, 0.0f);
    EXPECT_EQ(env.active, 0);
    env.trigger();
    ticks(100000);
    EXPECT_EQ(env.level, 0.5f);
    EXPECT_EQ(printed(), "UNTRIG\n\nTRIG\nSegment [0]\n");
}

TEST_F(EnvelopeTest, RetriggerRestartsTheAttack) {
    env.trigger();
    ticks(100000 + 300000);  // well into the decay
    const float decaying = env.level;
    env.trigger();
    EXPECT_EQ(env.level, decaying);  // held until the next tick
    env.tick();
    EXPECT_FLOAT_EQ(env.level, 0.000005f);

    env.trigger();
    env.trigger();
    ticks(99999);
    EXPECT_EQ(env.segment, SEGMENT_ATTACK);
    env.tick();
    EXPECT_EQ(env.segment, SEGMENT_DECAY);
    EXPECT_EQ(printed(), "\nTRIG\nSegment [0]\n\nTRIG\n\nTRIG\n\nTRIG\nSegment [0]\n");
}

}  // namespace

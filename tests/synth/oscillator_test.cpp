#include "oscillator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "fresh_thread.h"

namespace {

float f(double x) { return static_cast<float>(x); }

TEST(Random, FirstDrawsOfAFreshThread) {
    auto draws = onFreshThread([] {
        std::vector<int> v;
        for (int i = 0; i < 4; ++i) v.push_back(nextRandom());
        return v;
    });
    EXPECT_EQ(draws, (std::vector<int>{41, 18467, 6334, 26500}));
}

TEST(Oscillator, ConstructionAndStatusLine) {
    Oscillator o(1.0f, 440.0f, WAVE_PULSE);
    EXPECT_EQ(o.pos, 0.0f);
    EXPECT_EQ(o.phase, 1.0f);
    EXPECT_EQ(o.aPhase, 1.0f);
    EXPECT_EQ(o.ampl, 1.0f);
    EXPECT_EQ(o.aAmpl, 1.0f);
    EXPECT_EQ(o.freq, 440.0f);
    EXPECT_EQ(o.aFreq, 440.0f);
    EXPECT_EQ(o.type, WAVE_PULSE);

    testing::internal::CaptureStdout();
    o.print();
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "Freq [440.000] Ampl [1.000] Phase [1.000] - AFreq [440.000] AAmpl [1.000] APhase [1.000]  \n");
}

TEST(Oscillator, FirstPulseTickIsInTheMiddleBand) {
    Oscillator o(1.0f, 440.0f, WAVE_PULSE);
    o.tick();
    EXPECT_EQ(o.pos, f(440.0 / 44100.0));
    EXPECT_EQ(o.output(), 0.0f);
}

TEST(Oscillator, SineAtZeroHertzIsNotQuiteZero) {
    Oscillator o(0.5f, 0.0f, WAVE_SINE);
    for (int i = 0; i < 3; ++i) {
        o.tick();
        EXPECT_EQ(o.pos, 0.0f);
        EXPECT_EQ(o.output(), f(std::sin(6.2831853) * 0.5));
    }
    EXPECT_NEAR(o.output(), -3.59e-9, 0.01e-9);
}

TEST(Oscillator, PosWrapsOnceAndOnlyAboveTen) {
    struct Case {
        float pos, aFreq, expected;
    } cases[] = {
        {10.0f, 0.0f, 10.0f},  // equal stays
        {10.5f, 0.0f, 0.5f},
        {25.0f, 0.0f, 15.0f},  // at most once per tick
        {9.99f, 4410.0f, f(f(9.99 + 0.1) - 10.0)},
        {-3.0f, -44100.0f, -4.0f},  // no lower bound
    };
    for (const auto& c : cases) {
        Oscillator o(1.0f, c.aFreq, WAVE_RAMP);
        o.pos = c.pos;
        o.tick();
        EXPECT_EQ(o.pos, c.expected) << "from " << c.pos;
    }
}

TEST(Oscillator, NonFinitePosRestartsTheCycle) {
    Oscillator o(1.0f, std::numeric_limits<float>::infinity(), WAVE_SINE);
    o.tick();
    EXPECT_EQ(o.pos, 0.0f);
    EXPECT_FALSE(std::isnan(o.output()));
    o.aFreq = std::numeric_limits<float>::quiet_NaN();
    o.tick();
    EXPECT_EQ(o.pos, 0.0f);
    o.aFreq = 440.0f;
    o.tick();
    EXPECT_EQ(o.pos, f(440.0 / 44100.0));
}

// A tick that leaves pos where it was may reuse the last value; whatever is
// changed in between, each tick must give what a fresh oscillator gives.
TEST(Oscillator, StillOscillatorFollowsEveryChange) {
    Oscillator o(1.0f, 0.0f, WAVE_SINE);
    const struct Edit {
        const char* what;
        void (*apply)(Oscillator&);
    } edits[] = {
        {"nothing", [](Oscillator&) {}},
        {"amplitude", [](Oscillator& x) { x.aAmpl = 0.5f; }},
        {"phase", [](Oscillator& x) { x.aPhase = 1.25f; }},
        {"spikes", [](Oscillator& x) { x.type = WAVE_SPIKES; }},
        {"sine after spikes", [](Oscillator& x) { x.type = WAVE_SINE; }},
        {"pulse", [](Oscillator& x) { x.type = WAVE_PULSE; }},
        {"ramp", [](Oscillator& x) { x.type = WAVE_RAMP; }},
        {"moving", [](Oscillator& x) { x.aFreq = 44100.0f * 0.3f; }},
        {"at rest again", [](Oscillator& x) { x.aFreq = 0.0f; }},
        {"centred", [](Oscillator& x) { x.type = WAVE_RAMP_CENTRED; }},
        {"negative zero step", [](Oscillator& x) { x.aFreq = -0.0f; }},
    };
    for (const Edit& e : edits) {
        e.apply(o);
        for (int i = 0; i < 2; ++i) {
            Oscillator fresh(o.aAmpl, o.aFreq, o.type);
            fresh.pos = static_cast<float>(o.pos);
            fresh.aPhase = static_cast<float>(o.aPhase);
            o.tick();
            fresh.tick();
            if (o.type == WAVE_SPIKES) continue;  // draws differ between the two
            EXPECT_EQ(o.pos, fresh.pos) << e.what;
            EXPECT_EQ(o.output(), fresh.output()) << e.what;
        }
    }
}

TEST(Oscillator, RampsFollowPos) {
    Oscillator ramp(1.0f, 441.0f, WAVE_RAMP);
    Oscillator centred(1.0f, 441.0f, WAVE_RAMP_CENTRED);
    float highest = 0.0f, lowest = 1.0f;
    for (int i = 0; i < 1000; ++i) {
        ramp.tick();
        centred.tick();
        EXPECT_EQ(ramp.output(), ramp.pos);
        EXPECT_EQ(centred.output(), f(static_cast<double>(centred.pos) - 0.5));
        highest = std::max(highest, static_cast<float>(ramp.output()));
        lowest = std::min(lowest, static_cast<float>(centred.output()));
    }
    EXPECT_GT(highest, 9.9f);
    EXPECT_LE(highest, 10.0f);
    EXPECT_LT(lowest, -0.49f);

    Oscillator silent(0.0f, 441.0f, WAVE_RAMP_CENTRED);
    silent.tick();
    EXPECT_EQ(silent.output(), -0.5f);  // the offset is not scaled
}

TEST(Oscillator, PulseHasThreeLevelsEachAThirdOfAPeriod) {
    Oscillator o(0.3f, 441.0f, WAVE_PULSE);  // 100 frames a period
    int up = 0, mid = 0, down = 0;
    for (int i = 0; i < 1000; ++i) {
        o.tick();
        const float v = o.output();
        if (v == 0.3f)
            ++up;
        else if (v == 0.0f)
            ++mid;
        else if (v == -0.3f)
            ++down;
        else
            ADD_FAILURE() << "level " << v;
    }
    EXPECT_NEAR(up, 333, 10);
    EXPECT_NEAR(down, 333, 10);
    EXPECT_EQ(up + mid + down, 1000);

    Oscillator silent(0.0f, 441.0f, WAVE_PULSE);
    for (int i = 0; i < 100; ++i) {
        silent.tick();
        EXPECT_EQ(silent.output(), 0.0f);
    }
}

// Spikes against the generator's sequence, drawn independently.
struct SpikeCase {
    float aFreq, aAmpl;
    int divisor;  // d; 0 never hits
    int modulus;  // m
};

std::vector<float> spikes(const SpikeCase& c, int ticks) {
    return onFreshThread([&] {
        Oscillator o(c.aAmpl, c.aFreq, WAVE_SPIKES);
        std::vector<float> out;
        for (int i = 0; i < ticks; ++i) {
            o.tick();
            out.push_back(o.output());
        }
        out.push_back(static_cast<float>(nextRandom()));  // where the generator stands
        return out;
    });
}

TEST(Oscillator, SpikesHitWhenTheDrawModuloDIsOne) {
    const SpikeCase cases[] = {
        {440.0f, 1.0f, 2, 211},  {1000.0f, 1.0f, 562, 211}, {0.0f, 1.0f, -438, 211},
        {436.5f, 1.0f, -1, 211}, {439.5f, 1.0f, 1, 211},    {440.0f, 0.01f, 2, 111},  // 0.01f * 100 < 1
        {437.5f, 1.0f, 0, 211},                                                       // d = 0: every frame a miss
        {440.0f, -1.115f, 2, 0},                                                      // m = 0: the hit draws, height 0
    };
    const int ticks = 5000;
    for (const auto& c : cases) {
        const auto got = spikes(c, ticks);
        ReferenceRandom rng;
        int hits = 0;
        for (int i = 0; i < ticks; ++i) {
            const int r = rng.next();
            double v = 0.0;
            if (c.divisor != 0 && r % c.divisor == 1) {
                const int r2 = rng.next();
                v = c.modulus != 0 ? r2 % c.modulus : 0;
                ++hits;
            }
            ASSERT_EQ(got[i], f((static_cast<double>(f(v)) - 50.0 * c.aAmpl) / 100.0))
                << "aFreq " << c.aFreq << " aAmpl " << c.aAmpl << " tick " << i;
        }
        EXPECT_EQ(got[ticks], rng.next()) << "aFreq " << c.aFreq;
        if (c.divisor == 2) {
            EXPECT_GT(hits, 2000);
        }
        if (c.divisor == 0 || c.divisor == 1 || c.divisor == -1) {
            EXPECT_EQ(hits, 0);
        }
    }
}

TEST(Oscillator, FirstSpikeOfAFreshThread) {
    const auto got = spikes({440.0f, 1.0f, 2, 211}, 3);
    EXPECT_EQ(got[0], 0.6f);   // 41 is odd; 18467 % 211 = 110
    EXPECT_EQ(got[1], -0.5f);  // 6334 is even
    EXPECT_EQ(got[2], -0.5f);  // 26500 is even
}

TEST(Oscillator, SilentSpikesLeaveTheGeneratorAlone) {
    for (float a : {0.0f, std::numeric_limits<float>::quiet_NaN()}) {
        const auto got = spikes({440.0f, a, 2, 211}, 10);
        for (int i = 0; i < 10; ++i) EXPECT_EQ(got[i], 0.0f);
        EXPECT_EQ(got[10], 41.0f);
    }
}

TEST(Oscillator, UnknownTypeKeepsTheLastValue) {
    Oscillator o(1.0f, 441.0f, WAVE_RAMP);
    o.tick();
    const float last = o.output();
    o.type = 9;
    o.tick();
    EXPECT_EQ(o.output(), last);
}

}  // namespace

// handleKey and printStatus from a fresh patch: each key's command, the
// selectors, the clamping floor and the exact status display.
#include "keys.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "patch.h"

namespace {

const char* const FRESH_STATUS =
    "Note [58] -> [440.000000]\n"
    "Freq [440.000] Ampl [1.000] Phase [1.000] - AFreq [440.000] AAmpl [1.000] APhase [1.000]  \n"
    "Freq [0.000] Ampl [1.000] Phase [1.000] - AFreq [0.000] AAmpl [1.000] APhase [1.000]  \n"
    "Freq [0.000] Ampl [1.000] Phase [1.000] - AFreq [0.000] AAmpl [1.000] APhase [1.000]  \n"
    "Freq [0.000] Ampl [1.000] Phase [1.000] - AFreq [0.000] AAmpl [1.000] APhase [1.000]  \n"
    "Freq [0.000] Ampl [1.000] Phase [1.000] - AFreq [0.000] AAmpl [1.000] APhase [1.000]  \n";

class Keys : public ::testing::Test {
protected:
    void SetUp() override {
        createPatch();
        note = 58;
        osc1Select = lfo1Select = lfo2Select = lfo3Select = lfo4Select = 0;
    }

    // Presses the keys in order; returns what they printed and the last result.
    std::string press(const std::string& keys, bool* last = nullptr) {
        ::testing::internal::CaptureStdout();
        bool quit = false;
        for (char k : keys) quit = handleKey(static_cast<signed char>(k));
        std::fflush(stdout);
        if (last != nullptr) *last = quit;
        return ::testing::internal::GetCapturedStdout();
    }

    // Every base field and type of the five oscillators, and note.
    static std::string snapshot() {
        std::string s = std::to_string(static_cast<int>(note));
        for (const Oscillator* o : {&osc1, &lfo1, &lfo2, &lfo3, &lfo4}) {
            char line[160];
            std::snprintf(line, sizeof line, "|%a %a %a %d", static_cast<double>(o->freq), static_cast<double>(o->ampl),
                          static_cast<double>(o->phase), static_cast<int>(o->type));
            s += line;
        }
        return s;
    }
};

TEST_F(Keys, FreshStatusDisplayIsExact) {
    ::testing::internal::CaptureStdout();
    printStatus();
    std::fflush(stdout);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), FRESH_STATUS);
}

TEST_F(Keys, KeysWithoutCommandOnlyPrintTheStatus) {
    // Capitals, Enter, space, Escape, '-', digits without a selector, and
    // bytes 128..255, which are negative as signed chars.
    const std::string keys = std::string("AQWZ\n\r -0123560") + '\x1b' + '\x00' + '\xe0' + '\x80' + '\xff' + '\x7f';
    const std::string before = snapshot();
    for (char k : keys) {
        bool quit = true;
        EXPECT_EQ(press(std::string(1, k), &quit), FRESH_STATUS) << "key " << int(k);
        EXPECT_FALSE(quit);
        EXPECT_EQ(snapshot(), before) << "key " << int(k);
    }
    EXPECT_EQ(env.active, 0);  // Escape in the console quits nothing, triggers nothing
}

TEST_F(Keys, DotEndsTheLoopAfterItsStatusDisplay) {
    bool quit = false;
    EXPECT_EQ(press(".", &quit), FRESH_STATUS);
    EXPECT_TRUE(quit);
}

TEST_F(Keys, NoteKeysSetTheNoteAndTrigger) {
    const struct {
        char key;
        int note;
    } cases[] = {{'w', 61}, {'x', 63}, {'c', 65}, {'v', 66}, {'b', 68}, {'n', 70}, {',', 71}, {';', 72}};
    for (const auto& c : cases) {
        env.active = 0;
        const std::string out = press(std::string(1, c.key));
        EXPECT_EQ(note, c.note) << c.key;
        EXPECT_EQ(env.active, 1) << c.key;
        EXPECT_EQ(out.rfind("\nTRIG\nNote [" + std::to_string(c.note) + "] -> [440.000000]\n", 0), 0u) << out;
    }
    // The same note again still restarts the envelope.
    env.elapsed = 500.0f;
    EXPECT_NE(press(";").find("TRIG"), std::string::npos);
    EXPECT_EQ(env.elapsed, 0.0f);
}

TEST_F(Keys, AAndQStepTheNoteWithoutBoundOrTrigger) {
    const std::string out = press("aaq");
    EXPECT_EQ(note, 59);
    EXPECT_EQ(out.find("TRIG"), std::string::npos);
    EXPECT_EQ(env.active, 0);

    note = 0;
    press("q");
    EXPECT_EQ(note, -1);
    note = std::numeric_limits<std::int32_t>::max();
    press("a");  // wraps like every engine counter, no overflow
    EXPECT_EQ(note, std::numeric_limits<std::int32_t>::min());
}

TEST_F(Keys, ParameterKeysStepTheirFieldInDouble) {
    struct Case {
        char key;
        Oscillator* osc;
        SharedFloat Oscillator::*field;
        float start;
        float expected;
    };
    const Case cases[] = {
        {'z', &osc1, &Oscillator::ampl, 1.0f, static_cast<float>(1.0 + 0.01)},
        {'s', &osc1, &Oscillator::ampl, 1.0f, static_cast<float>(1.0 - 0.01)},
        {'r', &lfo1, &Oscillator::ampl, 1.0f, static_cast<float>(1.0 + 0.01)},
        {'f', &lfo1, &Oscillator::ampl, 1.0f, static_cast<float>(1.0 - 0.01)},
        {'y', &lfo2, &Oscillator::ampl, 0.3f, static_cast<float>(double{0.3f} + 0.01)},
        {'h', &lfo2, &Oscillator::ampl, 0.3f, static_cast<float>(double{0.3f} - 0.01)},
        {'i', &lfo3, &Oscillator::ampl, 1.0f, static_cast<float>(1.0 + 0.01)},
        {'k', &lfo3, &Oscillator::ampl, 1.0f, static_cast<float>(1.0 - 0.01)},
        {'p', &lfo4, &Oscillator::ampl, 1.0f, static_cast<float>(1.0 + 0.01)},
        {'m', &lfo4, &Oscillator::ampl, 1.0f, static_cast<float>(1.0 - 0.01)},
        {'e', &lfo1, &Oscillator::freq, 0.0f, 0.5f},
        {'d', &lfo1, &Oscillator::freq, 2.0f, 1.5f},
        {'t', &lfo2, &Oscillator::freq, 0.0f, static_cast<float>(0.1)},
        {'t', &lfo2, &Oscillator::freq, 0.7f, static_cast<float>(double{0.7f} + 0.1)},
        {'g', &lfo2, &Oscillator::freq, 0.7f, static_cast<float>(double{0.7f} - 0.1)},
        {'u', &lfo3, &Oscillator::freq, 0.0f, 1.0f},
        {'j', &lfo3, &Oscillator::freq, 3.0f, 2.0f},
        {'o', &lfo4, &Oscillator::freq, 0.0f, 1.0f},
        {'l', &lfo4, &Oscillator::freq, 3.0f, 2.0f},
    };
    for (const Case& c : cases) {
        SetUp();
        c.osc->*c.field = c.start;
        Oscillator* const all[] = {&osc1, &lfo1, &lfo2, &lfo3, &lfo4};
        press(std::string(1, c.key));
        EXPECT_EQ(static_cast<float>(c.osc->*c.field), c.expected) << c.key;
        // Nothing else moved.
        for (Oscillator* o : all) {
            for (auto f : {&Oscillator::ampl, &Oscillator::freq}) {
                if (o == c.osc && f == c.field) continue;
                const float fresh =
                    f == &Oscillator::freq && o == &osc1 ? 440.0f : (f == &Oscillator::ampl ? 1.0f : 0.0f);
                EXPECT_EQ(static_cast<float>(o->*f), fresh) << c.key;
            }
        }
        EXPECT_EQ(note, 58) << c.key;
    }
}

TEST_F(Keys, StepsDownStopAtZeroAndNeverGoNegative) {
    press(std::string(100, 's'));  // 1.0 - 100 x 0.01 lands near, not on, zero
    EXPECT_EQ(osc1.ampl, 0.0f);
    press("s");
    EXPECT_EQ(osc1.ampl, 0.0f);
    press("d");
    EXPECT_EQ(lfo1.freq, 0.0f);
    lfo1.ampl = 0.0f;
    press("f");
    EXPECT_EQ(lfo1.ampl, 0.0f);
    press("r");
    EXPECT_EQ(lfo1.ampl, 0.01f);
    press("jl");
    EXPECT_EQ(lfo3.freq, 0.0f);
    EXPECT_EQ(lfo4.freq, 0.0f);
}

TEST_F(Keys, ClampSetsEveryBaseParameterAtOrBelowTheFloorToZero) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    // (value, survives): the float nearest 0.0001 is just below it.
    const struct {
        float value;
        bool kept;
    } cases[] = {{0.0001f, false}, {0.00010001f, true}, {0.0f, false}, {-0.0f, false}, {-3.0f, false},
                 {nan, false},     {1e-30f, false},     {2.0f, true},  {1e30f, true}};
    for (const auto& c : cases) {
        SetUp();
        for (Oscillator* o : {&osc1, &lfo1, &lfo2, &lfo3, &lfo4}) {
            o->ampl = c.value;
            o->freq = c.value;
            o->phase = c.value;
        }
        press("A");  // any key clamps
        for (Oscillator* o : {&osc1, &lfo1, &lfo2, &lfo3, &lfo4}) {
            for (auto f : {&Oscillator::ampl, &Oscillator::freq, &Oscillator::phase}) {
                const float v = o->*f;
                if (c.kept)
                    EXPECT_EQ(v, c.value);
                else
                    EXPECT_TRUE(v == 0.0f && !std::signbit(v)) << c.value << " -> " << v;
            }
        }
    }
}

TEST_F(Keys, SelectorsCycleFromTheFirstPress) {
    EXPECT_EQ(osc1.type, WAVE_PULSE);
    std::string seen;
    for (int i = 0; i < 6; ++i) {
        press("+");
        seen += std::to_string(static_cast<int>(osc1.type));
    }
    EXPECT_EQ(seen, "123451");
    EXPECT_EQ(osc1Select, 1);

    const struct {
        char key;
        Oscillator* osc;
        std::int32_t* select;
    } lfos[] = {
        {'7', &lfo1, &lfo1Select}, {'8', &lfo2, &lfo2Select}, {'9', &lfo3, &lfo3Select}, {'4', &lfo4, &lfo4Select}};
    for (const auto& l : lfos) {
        press(std::string(2, l.key));
        EXPECT_EQ(l.osc->type, WAVE_RAMP) << l.key;
        EXPECT_EQ(*l.select, 2) << l.key;
    }
    // A selector never pressed leaves its waveform alone even if it changes.
    SetUp();
    osc1.type = WAVE_SPIKES;
    press("7");
    EXPECT_EQ(osc1.type, WAVE_SPIKES);
    EXPECT_EQ(lfo1.type, WAVE_SINE);
}

}  // namespace

#include "renderer.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "fresh_thread.h"
#include "numeric.h"
#include "patch.h"

namespace {

using Block = std::vector<unsigned char>;

std::int16_t frameAt(const Block& b, int frame) {
    const int at = frame * 4;
    const auto left = static_cast<std::int16_t>(b[at] | (b[at + 1] << 8));
    const auto right = static_cast<std::int16_t>(b[at + 2] | (b[at + 3] << 8));
    EXPECT_EQ(left, right) << "frame " << frame;
    return left;
}

class RendererTest : public testing::Test {
protected:
    void SetUp() override {
        createPatch();
        note = 58;
        screen = nullptr;
        testing::internal::CaptureStdout();
    }
    void TearDown() override { testing::internal::GetCapturedStdout(); }

    Block render(int length, unsigned char fill = 0xAB) {
        Block b(length > 0 ? length : 16, fill);
        EXPECT_EQ(renderStream(nullptr, b.data(), length, nullptr), 1);
        return b;
    }
};

TEST(Pitch, NoteTable) {
    const struct {
        int note;
        const char* printed;
    } table[] = {
        {-11, "8.175799"},  {0, "15.433853"},   {46, "220.000000"}, {58, "440.000000"}, {59, "466.163757"},
        {60, "493.883301"}, {61, "523.251160"}, {70, "880.000000"}, {72, "987.766602"}, {82, "1760.000000"},
    };
    for (const auto& row : table) {
        char text[32];
        std::snprintf(text, sizeof text, "%f", static_cast<double>(notePitch(row.note)));
        EXPECT_STREQ(text, row.printed) << "note " << row.note;
    }
    EXPECT_TRUE(std::isinf(notePitch(1489)));
    EXPECT_FALSE(std::isinf(notePitch(1488)));
}

TEST(Sample, ConversionWrapsWithoutClipping) {
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float s;
        std::int16_t sample;
    } cases[] = {
        {40000.0f, -25536}, {-40000.0f, 25536}, {32768.5f, -32768},    {-2.9f, -2},  {65536.7f, 0},
        {32767.9f, 32767},  {3.0e9f, 24064},    {-3.0e9f, -24064},     {1.0e30f, 0}, {inf, 0},
        {-inf, 0},          {std::nanf(""), 0}, {2147483520.0f, -128},  // largest float below 2^31
    };
    for (const auto& c : cases) EXPECT_EQ(sampleFromFloat(c.s), c.sample) << c.s;
}

TEST_F(RendererTest, BlockLengths) {
    const struct {
        int length;
        int framesWritten;
    } cases[] = {{STREAM_BYTES, 8192}, {0, 0}, {10, 2}, {3, 0}, {-4, 0}, {-32768, 0}};
    for (const auto& c : cases) {
        const Block b = render(c.length);
        const std::size_t written = static_cast<std::size_t>(c.framesWritten) * 4;
        for (std::size_t i = 0; i < b.size(); ++i)
            ASSERT_EQ(b[i], i < written ? 0 : 0xAB) << "length " << c.length << " byte " << i;
    }
}

TEST_F(RendererTest, SilentBeforeTheTriggerButForTheCentredRamp) {
    for (int wave : {WAVE_SINE, WAVE_RAMP, WAVE_RAMP_CENTRED, WAVE_PULSE, WAVE_SPIKES}) {
        createPatch();
        osc1.type = wave;
        const Block b = render(4096);
        for (int i = 0; i < 1024; ++i)
            ASSERT_EQ(frameAt(b, i), wave == WAVE_RAMP_CENTRED ? -5000 : 0) << "wave " << wave << " frame " << i;
        EXPECT_EQ(osc1.aAmpl, 0.0f);
    }
}

TEST_F(RendererTest, NoteChangeIsHeardFromTheSecondFrame) {
    render(4);
    EXPECT_EQ(osc1.aFreq, 440.0f);
    note = 61;
    render(4);
    EXPECT_EQ(osc1.aFreq, 440.0f);
    EXPECT_EQ(osc1.freq, notePitch(61));
    render(4);
    EXPECT_EQ(osc1.aFreq, notePitch(61));
}

TEST_F(RendererTest, RoutesNeedBothAmplitudeAndFrequency) {
    env.trigger();
    const Block plain = render(STREAM_BYTES);
    struct Route {
        Oscillator* lfo;
        float ampl, freq;
        bool changes;
    } routes[] = {
        {&lfo2, 1.0f, 0.0f, false},          {&lfo2, 0.0f, 5.0f, false}, {&lfo2, 1.0f, 5.0f, true},
        {&lfo3, 1.0f, 5.0f, true},           {&lfo4, 1.0f, 5.0f, true},  {&lfo1, 1.0f, 5.0f, false},
        {&lfo2, std::nanf(""), 5.0f, false},
    };
    for (const auto& r : routes) {
        createPatch();
        env.trigger();
        r.lfo->ampl = r.ampl;
        r.lfo->freq = r.freq;
        EXPECT_EQ(render(STREAM_BYTES) != plain, r.changes) << (r.lfo == &lfo1   ? 1
                                                                : r.lfo == &lfo2 ? 2
                                                                : r.lfo == &lfo3 ? 3
                                                                                 : 4)
                                                            << " " << r.ampl << " " << r.freq;
    }
}

TEST_F(RendererTest, ClearsTheSurfaceEvenForAnEmptyBlock) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 64, 8, 32, 0xFF0000, 0xFF00, 0xFF, 0);
    ASSERT_NE(s, nullptr);
    std::memset(s->pixels, 0x7F, static_cast<std::size_t>(s->pitch) * s->h);
    screen = s;
    const Block silentWithSurface = render(0);
    screen = nullptr;
    const auto* px = static_cast<const unsigned char*>(s->pixels);
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w * 4; ++x) ASSERT_EQ(px[y * s->pitch + x], 0) << x << "," << y;
    SDL_FreeSurface(s);
}

// The frames follow the formulas to the bit: an unoptimised renderer,
// written from them directly, must give the same bytes for whole sessions.
struct RefOsc {
    float value = 0, pos = 0, phase = 1, ampl, freq, aPhase = 1, aAmpl, aFreq;
    int type;
    RefOsc(float a, float fr, int t) : ampl(a), freq(fr), aAmpl(a), aFreq(fr), type(t) {}

    void tick(ReferenceRandom& rng) {
        pos = static_cast<float>(pos + aFreq / 44100.0);
        if (pos > 10.0f) pos = static_cast<float>(pos - 10.0);
        if (!std::isfinite(pos)) pos = 0.0f;
        const double arg = (static_cast<double>(pos) + aPhase) * 6.2831853;
        if (type == 1) value = static_cast<float>(std::sin(arg) * aAmpl);
        if (type == 2) value = static_cast<float>(static_cast<double>(pos) * aAmpl);
        if (type == 3) value = static_cast<float>(static_cast<double>(pos) * aAmpl - 0.5);
        if (type == 4) {
            const float s = static_cast<float>(std::sin(arg));
            value = s > 0.5f ? aAmpl : s >= -0.5f ? 0.0f : -aAmpl;
        }
        if (type == 5) {
            if (aAmpl == 0.0f || aAmpl != aAmpl) {
                value = 0.0f;
                return;
            }
            float v = 0.0f;
            const int r = rng.next();
            const int d = truncToInt32(aFreq - 439.0) + 1;
            if (d != 0 && r % d == 1) {
                const int r2 = rng.next();
                const int m = truncToInt32(aAmpl * 100.0) + 111;
                v = static_cast<float>(r2 % m);
            }
            value = static_cast<float>((v - 50.0 * aAmpl) / 100.0);
        }
    }
};

struct RefEnv {
    float elapsed = 0, level = 0;
    int segment = 0, active = 0;
    void trigger() { segment = 0, active = 1, elapsed = 0; }
    void tick() {
        if (active != 1) return;
        const double dur[2] = {100, 1000}, target[2] = {1, 0};
        if (segment < 3) {
            elapsed = static_cast<float>(elapsed + 1.0);
            if (dur[segment] * 1000.0 > elapsed) {
                const float p = static_cast<float>(target[0] * elapsed);
                level = static_cast<float>(segment == 0 ? p / (dur[0] * 1000.0) : target[0] - p / (dur[1] * 1000.0));
            } else {
                level = static_cast<float>(target[segment]);
                elapsed = 0;
                segment = segment == 0 ? 1 : 0;
                if (segment == 0) level = 0, active = 0;
            }
        }
        level = static_cast<float>(level / 2.0);
    }
};

struct RefPatch {
    RefOsc osc1{1, 440, 4}, lfo[5]{{1, 0, 1}, {1, 0, 1}, {1, 0, 1}, {1, 0, 1}, {1, 0, 1}};  // lfo[1..4]
    RefEnv env;
    int note = 58;
    ReferenceRandom rng;

    std::int16_t frame() {
        float o[5];
        for (int k : {4, 3, 2, 1}) {
            RefOsc& l = lfo[k];
            l.aFreq = l.freq, l.aPhase = l.phase, l.aAmpl = l.ampl;
            l.tick(rng);
            o[k] = l.value;
        }
        osc1.aFreq = osc1.freq, osc1.aPhase = osc1.phase;
        osc1.freq = static_cast<float>(8.1757989 * std::pow(2.0, (note + 11) / 12.0));
        auto on = [](const RefOsc& l) {
            return l.aAmpl == l.aAmpl && l.aAmpl != 0 && l.aFreq == l.aFreq && l.aFreq != 0;
        };
        if (on(lfo[2])) osc1.aFreq = static_cast<float>(osc1.aFreq + static_cast<double>(o[2]) * osc1.aFreq);
        if (on(lfo[3])) osc1.aPhase = static_cast<float>(osc1.aPhase + static_cast<double>(o[3]) * osc1.aPhase);
        if (on(lfo[4])) osc1.aFreq = static_cast<float>(osc1.aFreq + static_cast<double>(o[4]) * osc1.aFreq);
        env.tick();
        osc1.aAmpl = env.level;
        osc1.tick(rng);
        const float t = static_cast<float>(osc1.value * 10000.0);
        const float s = static_cast<float>(static_cast<double>(t) * env.level + t);
        return sampleFromFloat(s);
    }
};

// One edit applied to both patches before a given frame.
struct Edit {
    int frame;
    std::function<void(RefPatch&)> ref;
    std::function<void()> engine;
};

Edit setNote(int frame, int n) {
    return {frame, [n](RefPatch& p) { p.note = n; }, [n] { note = n; }};
}
Edit trigger(int frame) {
    return {frame, [](RefPatch& p) { p.env.trigger(); }, [] { env.trigger(); }};
}
Edit setOsc(int frame, int which, float ampl, float freq, int type) {
    Oscillator* eng[] = {&osc1, &lfo1, &lfo2, &lfo3, &lfo4};
    return {frame,
            [=](RefPatch& p) {
                RefOsc& o = which == 0 ? p.osc1 : p.lfo[which];
                o.ampl = ampl, o.freq = freq, o.type = type;
            },
            [=] {
                eng[which]->ampl = ampl;
                eng[which]->freq = freq;
                eng[which]->type = type;
            }};
}

// Renders `frames` frames in blocks of `blockFrames`, edits landing between blocks.
void expectSameAsReference(const std::vector<Edit>& edits, int frames, int blockFrames) {
    const auto mismatch = onFreshThread([&]() -> std::string {
        createPatch();
        note = 58;
        RefPatch ref;
        std::size_t next = 0;
        Block b(static_cast<std::size_t>(blockFrames) * 4);
        for (int at = 0; at < frames; at += blockFrames) {
            for (; next < edits.size() && edits[next].frame <= at; ++next) {
                edits[next].ref(ref);
                edits[next].engine();
            }
            renderStream(nullptr, b.data(), static_cast<int>(b.size()), nullptr);
            for (int i = 0; i < blockFrames; ++i) {
                const std::int16_t want = ref.frame();
                const auto got = static_cast<std::int16_t>(b[i * 4] | (b[i * 4 + 1] << 8));
                if (got != want)
                    return "frame " + std::to_string(at + i) + ": " + std::to_string(got) +
                           " != " + std::to_string(want);
            }
        }
        return "";
    });
    EXPECT_EQ(mismatch, "");
}

TEST_F(RendererTest, StartPatchMatchesTheFormulas) {
    expectSameAsReference({trigger(0), setNote(8192, 61), setNote(20000, 72), trigger(30000), setNote(40000, -20),
                           setNote(50000, 1489), setNote(52000, 58)},
                          110000, 1000);
}

TEST_F(RendererTest, RoutedSineLfosMatchTheFormulas) {
    expectSameAsReference(
        {trigger(0), setOsc(0, 2, 0.3f, 5.0f, 1), setOsc(0, 3, 0.5f, 3.0f, 1), setOsc(0, 4, 0.2f, 7.0f, 1),
         setOsc(0, 1, 1.0f, 2.0f, 1), setNote(30000, 70), setOsc(40000, 0, 1.0f, 0.0f, WAVE_SINE),
         setOsc(50000, 0, 1.0f, 0.0f, WAVE_RAMP), setOsc(60000, 0, 1.0f, 0.0f, WAVE_RAMP_CENTRED)},
        70000, 8192);
}

TEST_F(RendererTest, SpikesMatchTheFormulas) {
    expectSameAsReference({trigger(0), setOsc(0, 0, 1.0f, 0.0f, WAVE_SPIKES), setOsc(0, 1, 1.0f, 2.0f, WAVE_SPIKES),
                           setOsc(0, 2, 0.5f, 3.0f, WAVE_SPIKES), setOsc(0, 3, 0.7f, 1.0f, WAVE_SPIKES),
                           setOsc(0, 4, 0.1f, 500.0f, WAVE_SPIKES), setNote(20000, 60), setNote(30000, 120)},
                          50000, 4096);
}

}  // namespace

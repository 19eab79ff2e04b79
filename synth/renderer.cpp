// renderStream: per frame, the LFOs, the pitch, the routes, the envelope,
// the voice and the 16-bit frame.
#include "renderer.h"

#include <cmath>

#include "numeric.h"
#include "patch.h"

float notePitch(std::int32_t n) noexcept {
    return static_cast<float>(PITCH_REF * std::pow(2.0, static_cast<double>(wrapAdd(n, 11)) / 12.0));
}

namespace {

// The pitch of the last note seen on this thread: the note rarely changes
// between frames, and pow costs as much as the rest of the frame.
struct PitchCache {
    bool valid = false;
    std::int32_t note = 0;
    float pitch = 0.0f;
};
thread_local PitchCache pitchCache;

inline float cachedPitch(std::int32_t n) noexcept {
    if (!pitchCache.valid || n != pitchCache.note) {
        pitchCache = {true, n, notePitch(n)};
    }
    return pitchCache.pitch;
}

inline float advance(Oscillator& o) noexcept {
    o.aFreq = static_cast<float>(o.freq);
    o.aPhase = static_cast<float>(o.phase);
    o.aAmpl = static_cast<float>(o.ampl);
    o.tick();
    return o.output();
}

// A route is on when its LFO's amplitude and frequency are both non-zero;
// NaN counts as zero.
inline bool routeOn(const Oscillator& lfo) noexcept {
    // |x| > 0 is false for both 0 and NaN.
    return std::fabs(static_cast<float>(lfo.aAmpl)) > 0.0f && std::fabs(static_cast<float>(lfo.aFreq)) > 0.0f;
}

inline float scaled(float x, float by) noexcept {
    return static_cast<float>(static_cast<double>(x) + static_cast<double>(by) * static_cast<double>(x));
}

}  // namespace

signed char renderStream(FSOUND_STREAM*, void* block, int length, void*) {
    clearScreen(screen);
    const int frames = length >> 2;
    auto* out = static_cast<unsigned char*>(block);
    for (int i = 0; i < frames; ++i, out += 4) {
        const float o4 = advance(lfo4);
        const float o3 = advance(lfo3);
        const float o2 = advance(lfo2);
        advance(lfo1);

        osc1.aFreq = static_cast<float>(osc1.freq);
        osc1.aPhase = static_cast<float>(osc1.phase);
        osc1.aAmpl = static_cast<float>(osc1.ampl);
        osc1.freq = cachedPitch(note);  // heard from the next frame on

        if (routeOn(lfo2)) osc1.aFreq = scaled(osc1.aFreq, o2);
        if (routeOn(lfo3)) osc1.aPhase = scaled(osc1.aPhase, o3);
        if (routeOn(lfo4)) osc1.aFreq = scaled(osc1.aFreq, o4);

        env.tick();
        osc1.aAmpl = static_cast<float>(env.level);
        osc1.tick();

        const float t = static_cast<float>(static_cast<double>(osc1.output()) * SAMPLE_SCALE);
        const float s =
            static_cast<float>(static_cast<double>(t) * static_cast<double>(env.level) + static_cast<double>(t));
        const auto v = static_cast<std::uint16_t>(sampleFromFloat(s));
        out[0] = out[2] = static_cast<unsigned char>(v & 0xFF);
        out[1] = out[3] = static_cast<unsigned char>(v >> 8);
    }
    return 1;
}

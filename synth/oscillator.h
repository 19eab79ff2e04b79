// Oscillator: the voice and the four LFOs. One sample per tick from a phase
// accumulator that wraps every ten cycles, in one of five waveforms.
#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "numeric.h"
#include "random.h"
#include "relaxed.h"

enum : std::int32_t {
    WAVE_SINE = 1,
    WAVE_RAMP = 2,
    WAVE_RAMP_CENTRED = 3,
    WAVE_PULSE = 4,
    WAVE_SPIKES = 5,
};

// Fields are public and shared between threads without a lock. The main
// thread writes the base fields (freq, ampl, phase) and type; the audio
// thread writes the actual fields (aFreq, aAmpl, aPhase), pos and value.
class Oscillator {
public:
    SharedFloat value;   // sample of the latest tick
    SharedFloat pos;     // phase accumulator, cycles, wraps at 10.0
    SharedFloat phase;   // base phase offset, cycles
    SharedFloat ampl;    // base amplitude, plain factor
    SharedFloat freq;    // base frequency, Hz
    SharedFloat aPhase;  // phase offset used by tick
    SharedFloat aAmpl;   // amplitude used by tick
    SharedFloat aFreq;   // frequency used by tick, Hz
    SharedInt type;      // WAVE_SINE .. WAVE_SPIKES

    Oscillator(float amplitude, float frequency, std::int32_t waveform) noexcept;

    void tick() noexcept;
    float output() const noexcept { return value; }
    // The status line: base then actual frequency, amplitude and phase.
    void print() const;

private:
    // Phase, amplitude and waveform of the last tick, bit for bit. Every
    // waveform but spikes is a function of pos and these, so a tick that
    // leaves pos where it was (0 Hz) with the same shape keeps its value:
    // idle LFOs then cost next to nothing.
    struct Shape {
        std::uint32_t aPhase, aAmpl;
        std::int32_t type;
        bool operator==(const Shape&) const = default;
    };
    Shape last_{0, 0, 0};  // type 0: no tick yet
};

[[gnu::always_inline]] inline void Oscillator::tick() noexcept {
    const float p0 = pos, f = aFreq, ph = aPhase, a = aAmpl;
    const std::int32_t waveform = type;

    float p = static_cast<float>(static_cast<double>(p0) + static_cast<double>(f) / 44100.0);
    if (p > 10.0f) p = static_cast<float>(static_cast<double>(p) - 10.0);
    // A pitch beyond the float range would leave pos infinite or NaN for the
    // rest of the run; restarting the cycle lets the voice recover.
    if (!std::isfinite(p)) p = 0.0f;
    pos = p;

    if (std::bit_cast<std::uint32_t>(p) != std::bit_cast<std::uint32_t>(p0) || waveform == WAVE_SPIKES) {
        last_.type = 0;  // moving, or drawing: the next still tick computes once
    } else {
        const Shape shape{std::bit_cast<std::uint32_t>(ph), std::bit_cast<std::uint32_t>(a), waveform};
        if (shape == last_) return;  // value stands
        last_ = shape;
    }

    const auto sine = [&] { return std::sin((static_cast<double>(p) + static_cast<double>(ph)) * 6.2831853); };
    switch (waveform) {
        case WAVE_SINE:
            value = static_cast<float>(sine() * static_cast<double>(a));
            break;
        case WAVE_RAMP:
            value = static_cast<float>(static_cast<double>(p) * static_cast<double>(a));
            break;
        case WAVE_RAMP_CENTRED:
            value = static_cast<float>(static_cast<double>(p) * static_cast<double>(a) - 0.5);
            break;
        case WAVE_PULSE: {
            const float s = static_cast<float>(sine());
            if (s > 0.5f)
                value = a;
            else if (s >= -0.5f)
                value = 0.0f;
            else
                value = -a;  // also a NaN sine
            break;
        }
        case WAVE_SPIKES: {
            if (a == 0.0f || std::isnan(a)) {
                value = 0.0f;  // silent: the generator is left alone
                break;
            }
            float v = 0.0f;
            const std::int32_t r = nextRandom();
            const std::int32_t d = wrapAdd(truncToInt32(static_cast<double>(f) - 439.0), 1);
            // d is 0 for aFreq in (437, 438]: counted as a miss rather than a division by zero.
            if (d != 0 && r % d == 1) {
                const std::int32_t r2 = nextRandom();
                const std::int32_t m = wrapAdd(truncToInt32(static_cast<double>(a) * 100.0), 111);
                // m is 0 only for amplitudes in (-1.12, -1.11]: the draw stands, the height is 0.
                v = m != 0 ? static_cast<float>(r2 % m) : 0.0f;
            }
            value = static_cast<float>((static_cast<double>(v) - 50.0 * static_cast<double>(a)) / 100.0);
            break;
        }
        default:
            break;  // unknown codes keep the previous value
    }
}

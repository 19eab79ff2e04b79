// Oscillator construction and status line.
#include "oscillator.h"

#include <cstdio>

Oscillator::Oscillator(float amplitude, float frequency, std::int32_t waveform) noexcept {
    phase = 1.0f;  // whatever the arguments
    pos = 0.0f;
    ampl = amplitude;
    freq = frequency;
    aPhase = static_cast<float>(phase);
    aAmpl = amplitude;
    aFreq = frequency;
    type = waveform;
}

void Oscillator::print() const {
    std::printf("Freq [%3.3f] Ampl [%3.3f] Phase [%3.3f] - AFreq [%3.3f] AAmpl [%3.3f] APhase [%3.3f]  \n",
                static_cast<double>(freq), static_cast<double>(ampl), static_cast<double>(phase),
                static_cast<double>(aFreq), static_cast<double>(aAmpl), static_cast<double>(aPhase));
}

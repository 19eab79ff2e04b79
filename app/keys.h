// Console keys: each key's command on the patch, the waveform selectors,
// the clamping of the base parameters, and the status display.
#pragma once

#include <cstdint>

// Presses of '+', '7', '8', '9', '4': pick the waveform of osc1 and lfo1 to
// lfo4. 0 until the key is first pressed, then 1 to 5. Main thread only.
extern std::int32_t osc1Select;
extern std::int32_t lfo1Select;
extern std::int32_t lfo2Select;
extern std::int32_t lfo3Select;
extern std::int32_t lfo4Select;

// Base parameters at or below this (or NaN) are set to 0.0 after every key.
constexpr double PARAM_FLOOR = 0.0001;

// Step sizes of the parameter keys.
constexpr double AMPL_STEP = 0.01;
constexpr double LFO1_FREQ_STEP = 0.5;
constexpr double LFO2_FREQ_STEP = 0.1;
constexpr float LFO34_FREQ_STEP = 1.0f;

// Applies one console key to the patch and prints the status display.
// True when the key was '.', after which the main loop ends.
bool handleKey(signed char key);

// The note line, then one status line per oscillator.
void printStatus();

// The program-wide patch objects.
#include "patch.h"

#include <memory>

Oscillator osc1{1.0f, 440.0f, WAVE_PULSE};
Oscillator lfo1{1.0f, 0.0f, WAVE_SINE};
Oscillator lfo2{1.0f, 0.0f, WAVE_SINE};
Oscillator lfo3{1.0f, 0.0f, WAVE_SINE};
Oscillator lfo4{1.0f, 0.0f, WAVE_SINE};
Envelope env;
SharedInt note{58};
SDL_Surface* screen = nullptr;

void createPatch() {
    std::destroy_at(&osc1);
    std::construct_at(&osc1, 1.0f, 440.0f, WAVE_PULSE);
    for (Oscillator* lfo : {&lfo1, &lfo2, &lfo3, &lfo4}) {
        std::destroy_at(lfo);
        std::construct_at(lfo, 1.0f, 0.0f, WAVE_SINE);
    }
    std::destroy_at(&env);
    std::construct_at(&env);
}

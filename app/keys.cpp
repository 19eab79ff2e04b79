// What each console key does to the patch, then the steps every key runs:
// selectors to waveforms, clamping, status display.
#include "keys.h"

#include <cstdio>

#include "numeric.h"
#include "patch.h"

std::int32_t osc1Select = 0;
std::int32_t lfo1Select = 0;
std::int32_t lfo2Select = 0;
std::int32_t lfo3Select = 0;
std::int32_t lfo4Select = 0;

namespace {

struct Selector {
    char key;
    std::int32_t* count;
    Oscillator* osc;
};

const Selector selectors[] = {
    {'+', &osc1Select, &osc1}, {'7', &lfo1Select, &lfo1}, {'8', &lfo2Select, &lfo2},
    {'9', &lfo3Select, &lfo3}, {'4', &lfo4Select, &lfo4},
};

struct NoteKey {
    char key;
    std::int32_t note;
};

constexpr NoteKey noteKeys[] = {
    {'w', 61}, {'x', 63}, {'c', 65}, {'v', 66}, {'b', 68}, {'n', 70}, {',', 71}, {';', 72},
};

// A parameter key steps one base field by a signed amount.
struct ParamKey {
    char key;
    SharedFloat Oscillator::*field;
    Oscillator* osc;
    double step;
};

const ParamKey paramKeys[] = {
    {'z', &Oscillator::ampl, &osc1, +AMPL_STEP},
    {'s', &Oscillator::ampl, &osc1, -AMPL_STEP},
    {'e', &Oscillator::freq, &lfo1, +LFO1_FREQ_STEP},
    {'d', &Oscillator::freq, &lfo1, -LFO1_FREQ_STEP},
    {'r', &Oscillator::ampl, &lfo1, +AMPL_STEP},
    {'f', &Oscillator::ampl, &lfo1, -AMPL_STEP},
    {'t', &Oscillator::freq, &lfo2, +LFO2_FREQ_STEP},
    {'g', &Oscillator::freq, &lfo2, -LFO2_FREQ_STEP},
    {'y', &Oscillator::ampl, &lfo2, +AMPL_STEP},
    {'h', &Oscillator::ampl, &lfo2, -AMPL_STEP},
    {'u', &Oscillator::freq, &lfo3, +static_cast<double>(LFO34_FREQ_STEP)},
    {'j', &Oscillator::freq, &lfo3, -static_cast<double>(LFO34_FREQ_STEP)},
    {'i', &Oscillator::ampl, &lfo3, +AMPL_STEP},
    {'k', &Oscillator::ampl, &lfo3, -AMPL_STEP},
    {'o', &Oscillator::freq, &lfo4, +static_cast<double>(LFO34_FREQ_STEP)},
    {'l', &Oscillator::freq, &lfo4, -static_cast<double>(LFO34_FREQ_STEP)},
    {'p', &Oscillator::ampl, &lfo4, +AMPL_STEP},
    {'m', &Oscillator::ampl, &lfo4, -AMPL_STEP},
};

void clamp(SharedFloat& field) {
    // Written so that NaN fails the test and becomes 0.0 too.
    if (!(static_cast<double>(field) > PARAM_FLOOR)) field = 0.0f;
}

}  // namespace

bool handleKey(signed char key) {
    const bool quit = key == '.';

    // The note has no bounds; it wraps rather than overflow.
    if (key == 'a')
        note = wrapAdd(note, 1);
    else if (key == 'q')
        note = wrapAdd(note, -1);

    for (const Selector& s : selectors)
        if (key == s.key) ++*s.count;

    for (const Selector& s : selectors) {
        if (*s.count > 5) *s.count = 1;
        if (*s.count >= 1 && *s.count <= 5) s.osc->type = *s.count;
    }

    for (const NoteKey& n : noteKeys) {
        if (key == n.key) {
            note = n.note;
            env.trigger();  // restarts even on the same note
            break;
        }
    }

    for (const ParamKey& p : paramKeys) {
        if (key == p.key) {
            SharedFloat& field = p.osc->*p.field;
            field = static_cast<float>(static_cast<double>(field) + p.step);
            break;
        }
    }

    Oscillator* const all[] = {&osc1, &lfo1, &lfo2, &lfo3, &lfo4};
    for (Oscillator* o : all) clamp(o->ampl);
    for (Oscillator* o : all) clamp(o->freq);
    for (Oscillator* o : all) clamp(o->phase);

    printStatus();
    return quit;
}

void printStatus() {
    std::printf("Note [%d] -> [%f]\n", static_cast<int>(note), static_cast<double>(osc1.freq));
    osc1.print();
    lfo1.print();
    lfo2.print();
    lfo3.print();
    lfo4.print();
}

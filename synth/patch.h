// The patch: the program-wide objects that the renderer plays and the
// key handling edits. They live for the whole process.
#pragma once

#include "envelope.h"
#include "oscillator.h"
#include "relaxed.h"

struct SDL_Surface;

extern Oscillator osc1;  // the voice
extern Oscillator lfo1;  // advanced, modulates nothing
extern Oscillator lfo2;  // scales osc1's frequency
extern Oscillator lfo3;  // scales osc1's phase
extern Oscillator lfo4;  // scales osc1's frequency
extern Envelope env;     // gates the voice
extern SharedInt note;   // note number, main thread; 58 is 440 Hz
// Window surface cleared by the renderer; set before the stream starts,
// null when there is no window.
extern SDL_Surface* screen;

// (Re)creates osc1, lfo1 to lfo4 and env, in that order, at their start
// values. Only while no stream plays.
void createPatch();

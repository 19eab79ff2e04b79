// The frame renderer: the stream callback that turns the patch into
// 16-bit stereo frames, and the per-block clear of the window surface.
#pragma once

#include <cstdint>

#include "realtime.h"

struct FSOUND_STREAM;
struct SDL_Surface;

constexpr int MIX_RATE = 44100;      // frames per second
constexpr int STREAM_BYTES = 32768;  // block length: 8192 frames of 4 bytes
constexpr float SAMPLE_SCALE = 10000.0f;
constexpr double PITCH_REF = 8.1757989;  // Hz of note -11

// osc1's frequency for a note: PITCH_REF * 2^((note + 11) / 12), rounded once.
float notePitch(std::int32_t note) noexcept;

// Fills length >> 2 frames of the block from the patch; always returns 1.
signed char renderStream(FSOUND_STREAM* stream, void* block, int length, void* userdata) KEYSYNTH_NONBLOCKING;

// Fills the surface with black; does nothing for null or a refused lock.
void clearScreen(SDL_Surface* surface);

// The spikes waveform's pseudo-random generator: one state per thread,
// 1 before the thread's first draw, never reseeded.
#pragma once

#include <cstdint>

// The next value, 0 to 32767, of this thread's generator.
inline std::int32_t nextRandom() noexcept {
    thread_local std::uint32_t state = 1;
    state = state * 214013u + 2531011u;
    return static_cast<std::int32_t>((state >> 16) & 0x7FFFu);
}

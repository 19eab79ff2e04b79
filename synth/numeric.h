// Integer conversions that the sound engine needs defined for every input.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

// Truncation toward zero to a 32-bit int. NaN and values outside the int32
// range give INT32_MIN, the value the x86 truncating conversion yields,
// instead of undefined behaviour.
inline std::int32_t truncToInt32(double x) noexcept {
    if (x > -2147483649.0 && x < 2147483648.0) return static_cast<std::int32_t>(x);
    return std::numeric_limits<std::int32_t>::min();
}

// 32-bit signed addition that wraps, as the engine's counters do.
inline std::int32_t wrapAdd(std::int32_t a, std::int32_t b) noexcept {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

// The 16-bit sample of s: the low 16 bits of trunc(s), with no clipping, so
// 40000.0 wraps to -25536. NaN and infinities give 0.
inline std::int16_t sampleFromFloat(float s) noexcept {
    if (std::fabs(s) < 2147483648.0f) return static_cast<std::int16_t>(static_cast<std::int32_t>(s));
    if (!std::isfinite(s)) return 0;
    // |s| >= 2^31 is already a whole number; fmod by 2^16 is exact.
    return static_cast<std::int16_t>(static_cast<std::int32_t>(std::fmod(static_cast<double>(s), 65536.0)));
}

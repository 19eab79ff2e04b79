// Marks for code that runs on the audio thread. Placed after a function's
// parameter list: under clang's RealtimeSanitizer, a call from such a
// function that allocates, locks or blocks aborts the run; other compilers
// ignore it.
#pragma once

#if defined(__clang__) && __clang_major__ >= 20
#define KEYSYNTH_NONBLOCKING [[clang::nonblocking]]
#else
#define KEYSYNTH_NONBLOCKING
#endif

#if defined(__has_feature)
#if __has_feature(realtime_sanitizer)
#include <sanitizer/rtsan_interface.h>
#define KEYSYNTH_HAS_RTSAN 1
#endif
#endif

// The one console write the audio thread is allowed (the envelope's
// segment line) runs inside this scope.
#ifdef KEYSYNTH_HAS_RTSAN
using AllowedIoOnAudioThread = __rtsan::ScopedDisabler;
#else
struct AllowedIoOnAudioThread {};
#endif

// Sanitizer settings for the audio system's tests that load ALSA's plugins
// and libpulse, which are not built with the sanitizers.
#if defined(__SANITIZE_ADDRESS__)
#define FSOUND_TEST_ASAN 1
#endif
#if defined(__SANITIZE_THREAD__)
#define FSOUND_TEST_TSAN 1
#endif
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FSOUND_TEST_ASAN 1
#endif
#if __has_feature(thread_sanitizer)
#define FSOUND_TEST_TSAN 1
#endif
#endif

#ifdef FSOUND_TEST_ASAN
// The system ALSA configuration loads plugins that leak and are unloaded
// before the leak check; only the slow unwinder still finds libasound (which
// the suppressions name) in their stacks.
extern "C" const char* __asan_default_options() { return "fast_unwind_on_malloc=0"; }
#endif

#ifdef FSOUND_TEST_TSAN
// libpulse hands its objects to its own thread through means ThreadSanitizer
// cannot see in an uninstrumented library.
extern "C" const char* __tsan_default_suppressions() { return "race:libpulsecommon\nrace:libpulse.so\n"; }
#endif

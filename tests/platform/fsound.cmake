# Tests of the audio system: the block slicer offline, the operations and
# their error codes, the no-sound pacer, and real devices through ALSA
# (file plugin over null) and a private PulseAudio null sink.
set(FSOUND_TEST_DEFS KEYSYNTH_ALSA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/alsa")

keysynth_test(fsound_slicer_test SOURCES fsound_slicer_test.cpp LIBS keysynth_fsound)

keysynth_test(fsound_api_test SOURCES fsound_api_test.cpp fsound_sanitizer_options.cpp LIBS keysynth_fsound LABELS threads)
target_compile_definitions(fsound_api_test PRIVATE ${FSOUND_TEST_DEFS})

keysynth_test(fsound_nosound_test SOURCES fsound_nosound_test.cpp LIBS keysynth_fsound Threads::Threads LABELS threads)
target_compile_definitions(fsound_nosound_test PRIVATE ${FSOUND_TEST_DEFS})

keysynth_test(fsound_alsa_test SOURCES fsound_alsa_test.cpp fsound_sanitizer_options.cpp LIBS keysynth_fsound Threads::Threads LABELS threads)
target_compile_definitions(fsound_alsa_test PRIVATE ${FSOUND_TEST_DEFS})

keysynth_test(fsound_pulse_test SOURCES fsound_pulse_test.cpp fsound_sanitizer_options.cpp LIBS keysynth_fsound Threads::Threads LABELS threads)
target_compile_definitions(fsound_pulse_test PRIVATE ${FSOUND_TEST_DEFS})

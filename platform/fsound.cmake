add_library(keysynth_fsound STATIC fsound.cpp fsound_portaudio.cpp fsound_nosound.cpp)
target_include_directories(keysynth_fsound PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}
  PRIVATE ${PROJECT_SOURCE_DIR}/synth)  # realtime.h only
target_link_libraries(keysynth_fsound PRIVATE PkgConfig::PORTAUDIO PkgConfig::ALSA Threads::Threads)

add_library(keysynth_console STATIC console.cpp console_keys.cpp)
target_include_directories(keysynth_console PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

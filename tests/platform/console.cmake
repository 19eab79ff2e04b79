# Console key input: the escape-sequence decoder alone, and the whole input
# path through a probe program run on a pseudo-terminal, pipes and files.
keysynth_test(console_keys_test SOURCES console_keys_test.cpp LIBS keysynth_console)

add_executable(console_probe console_probe.cpp)
target_link_libraries(console_probe PRIVATE keysynth_console)

keysynth_test(console_test SOURCES console_test.cpp LIBS util)
target_compile_definitions(console_test PRIVATE CONSOLE_PROBE="$<TARGET_FILE:console_probe>")
add_dependencies(console_test console_probe)

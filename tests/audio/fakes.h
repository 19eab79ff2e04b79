// Test doubles for the audio system and the console key read: scripted
// answers, and a log of every call written straight to a descriptor so it
// survives a process exit inside the code under test.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct FakeAudio {
    float version = 3.74f;
    bool reportSetOutput = true;  // GetOutput gives the last SetOutput code...
    int output = -1;              // ...or else this one
    std::vector<const char*> drivers;
    signed char initResult = 1;
    int error = 0;
};

struct FakeConsole {
    std::vector<int> keys;  // each 0..255; -1 once they are used up
    std::size_t next = 0;
    bool opened = false;
};

extern FakeAudio fakeAudio;
extern FakeConsole fakeConsole;
extern int fakeLogFd;  // one line per call; -1 logs nothing

void fakeLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

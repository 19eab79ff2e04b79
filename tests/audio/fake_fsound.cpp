// A fake audio system: answers from fakeAudio and logs every call.
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "fakes.h"
#include "fsound.h"

FakeAudio fakeAudio;
int fakeLogFd = -1;

void fakeLog(const char* format, ...) {
    if (fakeLogFd < 0) return;
    char line[128];
    va_list args;
    va_start(args, format);
    int n = std::vsnprintf(line, sizeof line - 1, format, args);
    va_end(args);
    if (n < 0) return;
    if (n > static_cast<int>(sizeof line) - 2) n = sizeof line - 2;
    line[n++] = '\n';
    if (write(fakeLogFd, line, n) != n) std::abort();
}

float FSOUND_GetVersion() {
    fakeLog("GetVersion");
    return fakeAudio.version;
}

signed char FSOUND_SetOutput(int output) {
    fakeLog("SetOutput %d", output);
    if (fakeAudio.reportSetOutput) fakeAudio.output = output;
    return 1;
}

int FSOUND_GetOutput() {
    fakeLog("GetOutput");
    return fakeAudio.output;
}

int FSOUND_GetNumDrivers() {
    fakeLog("GetNumDrivers");
    return static_cast<int>(fakeAudio.drivers.size());
}

const char* FSOUND_GetDriverName(int driver) {
    fakeLog("GetDriverName %d", driver);
    if (driver < 0 || driver >= static_cast<int>(fakeAudio.drivers.size())) return "<bad index>";
    return fakeAudio.drivers[driver];
}

signed char FSOUND_SetDriver(int driver) {
    fakeLog("SetDriver %d", driver);
    return 1;
}

signed char FSOUND_Init(int mixRate, int softwareChannels, unsigned int flags) {
    fakeLog("Init %d %d %u", mixRate, softwareChannels, flags);
    return fakeAudio.initResult;
}

int FSOUND_GetError() {
    fakeLog("GetError");
    return fakeAudio.error;
}

// keysynth's main: device selection, window, key guide, patch and stream;
// then window events and console keys until '.'; then the stream and the
// audio system are closed in order.
#include "main.h"

#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "audio.h"
#include "console.h"
#include "fsound.h"
#include "input_wait.h"
#include "keys.h"
#include "patch.h"
#include "renderer.h"
#include "stop_signals.h"
#include "window.h"

namespace {

constexpr int WINDOW_WIDTH = 640;
constexpr int WINDOW_HEIGHT = 800;
// 16-bit, stereo and signed samples, plus the one other bit always passed.
constexpr unsigned int STREAM_MODE = 0x1000150;

[[noreturn]] void failStream() {
    std::printf("Error!\n");
    std::printf("%s\n", audioErrorString(FSOUND_GetError()));
    std::exit(1);
}

// True when SDL fell back to a video driver that shows nothing, which it
// does without a word when there is no display.
bool invisibleDriver() {
    char name[32];
    if (SDL_VideoDriverName(name, sizeof name) == nullptr) return true;
    return std::getenv("SDL_VIDEODRIVER") == nullptr &&
           (std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0);
}

// Opens the window. Returns why there is none to see, or "" when there is.
std::string openWindow() {
    SDL_Init(SDL_INIT_VIDEO);
    screen = SDL_SetVideoMode(WINDOW_WIDTH, WINDOW_HEIGHT, 0, SDL_ANYFORMAT);
    // Without a window the program still plays; the renderer skips the clear.
    if (screen == nullptr) return std::string("no window (") + SDL_GetError() + ")";
    if (invisibleDriver()) return "no display";
    return "";
}

}  // namespace

int keysynthMain(int, char**) {
    osc1Select = 0;
    note = 58;
    catchBrokenPipe();

    if (!selectOutput()) std::exit(1);
    // From here on Ctrl-C and SIGTERM must close the stream before leaving.
    catchStopSignals();

    const std::string noWindow = openWindow();
    (void)std::system("clear");
    // After the clear, so that it stays on the screen.
    if (!noWindow.empty()) std::fprintf(stderr, "keysynth: %s, playing from the console only\n", noWindow.c_str());
    std::printf("[aqzs edrftg yhujik olpm our] modifier les trucs \n");
    std::printf("[+-] change type OSC1 [7894] le type des LFO1234\n");
    std::printf("[wxcvbn,;] pour les notes (foireuxmaismarche)\n");

    createPatch();
    FSOUND_STREAM* stream = FSOUND_Stream_Create(renderStream, STREAM_BYTES, STREAM_MODE, MIX_RATE, &osc1);
    if (stream == nullptr) failStream();
    if (FSOUND_Stream_Play(0, stream) == -1) failStream();

    const int windowEvents = windowFd();
    int running = 1;
    while (running != 0) {
        pollWindow();
        if (stopSignal() != 0) break;
        if (!consoleKeyWaiting()) {
            waitForInput(windowEvents, INPUT_WAIT_MS);
            continue;
        }
        const int key = consoleReadKey();
        if (key < 0) break;  // end of input: shut down as after '.'
        if (handleKey(static_cast<signed char>(key))) running = 0;
    }

    FSOUND_Stream_Close(stream);
    FSOUND_Close();

    const int sig = stopSignal();
    // A hang-up means the console is gone: an ordinary end, like end of input.
    if (sig != 0 && sig != SIGHUP) {
        consoleRestore();
        std::exit(128 + sig);
    }
    return 0;
}

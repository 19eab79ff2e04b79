// The process entry: prepares SDL, then runs the program. SDL 1.2 offers
// no main entry of its own on this platform.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

#include "main.h"

namespace {

// Sets an environment variable unless the user has set it.
void preferEnv(const char* name, const char* value) { setenv(name, value, 0); }

}  // namespace

int main(int argc, char** argv) {
    // Each menu line and status display reaches a pipe or a file at once.
    std::setvbuf(stdout, nullptr, _IOLBF, BUFSIZ);

    // Ctrl-C and SIGTERM are ours to handle: SDL would turn them into a quit
    // event, which the window ignores.
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 1);
    // The surface is only cleared: a software framebuffer, no GPU driver.
    preferEnv("SDL_RENDER_DRIVER", "software");
    preferEnv("SDL_FRAMEBUFFER_ACCELERATION", "0");

    SDL_Init(SDL_INIT_NOPARACHUTE);
    std::atexit(SDL_Quit);
    keysynthMain(argc, argv);
    return 0;
}

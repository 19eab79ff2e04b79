// Window events on the main thread.
#include "window.h"

#include <SDL.h>
#include <SDL_syswm.h>

#include <cstdlib>

#include "patch.h"

void pollWindow() {
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type != SDL_KEYDOWN && event.type != SDL_KEYUP) continue;
        const SDLKey sym = event.key.keysym.sym;
        // The audio system's exit handler stops the stream before SDL_Quit
        // releases the surface that the renderer clears.
        if (sym == SDLK_ESCAPE) std::exit(0);
        if (sym == SDLK_z) {
            if (event.type == SDL_KEYDOWN)
                env.trigger();
            else
                env.release();
        }
    }
}

int windowFd() {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) != 1 || info.subsystem != SDL_SYSWM_X11 || info.info.x11.display == nullptr) return -1;
    return ConnectionNumber(info.info.x11.display);
}

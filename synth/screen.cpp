// The renderer's one touch of SDL: clearing the window surface to black.
#include <SDL.h>

#include <cstring>

#include "renderer.h"

void clearScreen(SDL_Surface* surface) {
    if (surface == nullptr) return;  // no window: the frames do not depend on it
    if (SDL_LockSurface(surface) != 0) return;
    const Uint32 colour = SDL_MapRGB(surface->format, 0, 0, 0);
    const std::size_t rowBytes = static_cast<std::size_t>(surface->w) * surface->format->BytesPerPixel;
    auto* row = static_cast<Uint8*>(surface->pixels);
    for (int y = 0; y < surface->h; ++y, row += surface->pitch)
        std::memset(row, static_cast<int>(colour & 0xFF), rowBytes);
    SDL_UnlockSurface(surface);
}

#include "support/WindowPixels.h"

#include <SDL2/SDL.h>

namespace GAME::test {

std::vector<uint32_t> ReadWindowPixels(void* window, int& width, int& height) {
    width = height = 0;
    SDL_Surface* surface = window != nullptr ? SDL_GetWindowSurface(static_cast<SDL_Window*>(window)) : nullptr;
    if (surface == nullptr) return {};
    width = surface->w;
    height = surface->h;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
    SDL_ConvertPixels(width, height, surface->format->format, surface->pixels, surface->pitch,
                      SDL_PIXELFORMAT_ABGR8888, pixels.data(), width * 4);
    for (uint32_t& pixel : pixels) pixel |= 0xFF000000u;
    return pixels;
}

}  // namespace GAME::test

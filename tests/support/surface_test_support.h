#pragma once
// Terrain surfaces for the game suites and benchmarks: distinct material colours and 32-bit
// surfaces laid out as the terrain is (alpha 24-31, red 16-23, green 8-15, blue 0-7).
#include <SDL/SDL.h>

#include <memory>

#include "engine/core/geometry.h"
#include "game/config/settings.h"

namespace surface_test {

// Distinct colours for the nine materials, air fully transparent as shipped.
inline void set_material_colors() {
    color_air = {0, 0, 0, 0};
    color_earth = {96, 66, 40, 255};
    color_rock = {120, 120, 128, 255};
    color_destructible = {139, 100, 62, 255};
    color_indestructible = {66, 68, 80, 255};
    color_water = {40, 110, 210, 255};
    color_staticwater = {24, 72, 160, 255};
    color_ladder = {196, 150, 78, 255};
    color_explosive = {222, 48, 32, 255};
    material_colors = {color_air,   color_earth,       color_rock,   color_destructible, color_indestructible,
                       color_water, color_staticwater, color_ladder, color_explosive};
}

struct SurfaceDeleter {
    void operator()(SDL_Surface* s) const {
        if (s) SDL_FreeSurface(s);
    }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;

inline SurfacePtr make_surface(int w, int h, ColorRGBA fill = {}) {
    SurfacePtr s(SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u));
    if (s) SDL_FillRect(s.get(), nullptr, fill.to_pixel());
    return s;
}

}  // namespace surface_test

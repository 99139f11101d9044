#include "engine/image/color_grid.h"

#include <SDL/SDL.h>
#include <SDL/SDL_image.h>

#include <algorithm>
#include <cstring>

#include "engine/core/files.h"
#include "platform/paths.h"

void ColorGrid::resize(int new_width, int new_height) {
    new_width = std::max(new_width, 0);
    new_height = std::max(new_height, 0);
    if (new_width == width_ && new_height == height_) return;
    std::vector<ColorRGBA> resized(std::size_t(new_width) * std::size_t(new_height));
    int keep_w = std::min(width_, new_width);
    int keep_h = std::min(height_, new_height);
    for (int y = 0; y < keep_h; ++y) {
        for (int x = 0; x < keep_w; ++x) {
            resized[std::size_t(y) * std::size_t(new_width) + std::size_t(x)] = at(x, y);
        }
    }
    cells_ = std::move(resized);
    width_ = new_width;
    height_ = new_height;
}

ColorRGBA get_surface_pixel(SDL_Surface* surface, int x, int y) {
    ColorRGBA colour;
    if (!surface || x < 0 || y < 0 || x >= surface->w || y >= surface->h) return colour;
    // Read exactly one pixel's bytes: a wider read runs past the row (and the buffer) for 24-bit
    // images and mixes neighbours into the palette index of 8-bit ones.
    const uint8_t* p = static_cast<const uint8_t*>(surface->pixels) + std::size_t(y) * surface->pitch +
                       std::size_t(x) * surface->format->BytesPerPixel;
    Uint32 value = 0;
    switch (surface->format->BytesPerPixel) {
    case 1: value = *p; break;
    case 2: {
        Uint16 v;
        std::memcpy(&v, p, sizeof v);
        value = v;
        break;
    }
    case 3:
        if (SDL_BYTEORDER == SDL_LIL_ENDIAN) {
            value = Uint32(p[0]) | Uint32(p[1]) << 8 | Uint32(p[2]) << 16;
        } else {
            value = Uint32(p[0]) << 16 | Uint32(p[1]) << 8 | Uint32(p[2]);
        }
        break;
    case 4: std::memcpy(&value, p, sizeof value); break;
    default: return colour;
    }
    SDL_GetRGBA(value, surface->format, &colour.r, &colour.g, &colour.b, &colour.a);
    return colour;
}

bool load_image_colors(std::string path, ColorGrid& out) {
    SDL_Surface* image = IMG_Load(platform::native_path(make_absolute_path(path)).c_str());
    if (!image) return false;
    // One 32-bit layout whatever the file held; a colour key becomes transparency.
    SDL_Surface* layout = SDL_CreateRGBSurface(SDL_SWSURFACE, 1, 1, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
    SDL_Surface* converted = layout ? SDL_ConvertSurface(image, layout->format, SDL_SWSURFACE) : nullptr;
    if (layout) SDL_FreeSurface(layout);
    SDL_FreeSurface(image);
    if (!converted) return false;
    bool locked = SDL_MUSTLOCK(converted) && SDL_LockSurface(converted) == 0;
    out.resize(converted->w, converted->h);
    for (int y = 0; y < converted->h; ++y) {
        for (int x = 0; x < converted->w; ++x) out.at(x, y) = get_surface_pixel(converted, x, y);
    }
    if (locked) SDL_UnlockSurface(converted);
    SDL_FreeSurface(converted);
    return true;
}

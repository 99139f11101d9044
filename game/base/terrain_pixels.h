#pragma once
#include <SDL/SDL.h>

#include <cstdint>
#include <cstring>

#include "engine/core/geometry.h"
#include "engine/image/color_grid.h"

// Pixel access to a terrain surface. The generator makes 32-bit surfaces with alpha in bits
// 24-31, red 16-23, green 8-15 and blue 0-7; those take the fast path. Other layouts go through
// SDL's own mapping; only 3- and 4-byte pixels are ever written (3-byte ones without alpha).
// Callers pass coordinates inside the surface.

inline bool is_standard_terrain_format(const SDL_Surface* s) {
    const SDL_PixelFormat* f = s->format;
    return f->BytesPerPixel == 4 && f->Rmask == 0x00FF0000u && f->Gmask == 0x0000FF00u && f->Bmask == 0x000000FFu &&
           f->Amask == 0xFF000000u;
}

class TerrainPixels {
public:
    explicit TerrainPixels(SDL_Surface* s)
        : surface_(s),
          pixels_(static_cast<uint8_t*>(s->pixels)),
          pitch_(s->pitch),
          bytes_(s->format->BytesPerPixel),
          standard_(is_standard_terrain_format(s)),
          width_(s->w),
          height_(s->h) {}

    int width() const { return width_; }
    int height() const { return height_; }
    bool standard() const { return standard_; }

    ColorRGBA get(int x, int y) const {
        if (standard_) return ColorRGBA::from_pixel(raw(x, y));
        return get_surface_pixel(surface_, x, y);
    }

    // The stored 32-bit value of a standard pixel.
    uint32_t raw(int x, int y) const {
        uint32_t v;
        std::memcpy(&v, address(x, y), 4);
        return v;
    }
    void set_raw(int x, int y, uint32_t v) { std::memcpy(address(x, y), &v, 4); }

    // The value to store for a colour in this surface's layout.
    uint32_t map(ColorRGBA c) const {
        if (standard_) return c.to_pixel();
        return SDL_MapRGBA(surface_->format, c.r, c.g, c.b, c.a);
    }

    // Stores a value made by map().
    void put(int x, int y, uint32_t mapped) {
        uint8_t* p = address(x, y);
        if (bytes_ == 4) {
            std::memcpy(p, &mapped, 4);
        } else if (bytes_ == 3) {
            if (SDL_BYTEORDER == SDL_LIL_ENDIAN) {
                p[0] = uint8_t(mapped);
                p[1] = uint8_t(mapped >> 8);
                p[2] = uint8_t(mapped >> 16);
            } else {
                p[0] = uint8_t(mapped >> 16);
                p[1] = uint8_t(mapped >> 8);
                p[2] = uint8_t(mapped);
            }
        }
    }

    void set(int x, int y, ColorRGBA c) { put(x, y, map(c)); }

private:
    uint8_t* address(int x, int y) const {
        return pixels_ + std::size_t(y) * std::size_t(pitch_) + std::size_t(x) * std::size_t(bytes_);
    }

    SDL_Surface* surface_;
    uint8_t* pixels_;
    int pitch_;
    int bytes_;
    bool standard_;
    int width_;
    int height_;
};

// Holds a surface locked while pixels are touched (a no-op for software surfaces).
class SurfaceLock {
public:
    explicit SurfaceLock(SDL_Surface* s) : surface_(s) {
        locked_ = surface_ && SDL_MUSTLOCK(surface_) && SDL_LockSurface(surface_) == 0;
    }
    ~SurfaceLock() {
        if (locked_) SDL_UnlockSurface(surface_);
    }
    SurfaceLock(const SurfaceLock&) = delete;
    SurfaceLock& operator=(const SurfaceLock&) = delete;

private:
    SDL_Surface* surface_;
    bool locked_ = false;
};

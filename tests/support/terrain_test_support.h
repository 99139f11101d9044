#pragma once
// Helpers of the terrain suites and the terrain benchmark: material colours, surfaces, hashes and template image folders.
#include <SDL/SDL.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "engine/core/geometry.h"
#include "game/config/settings.h"
#include "support/surface_test_support.h"

namespace terrain_test {

using surface_test::make_surface;
using surface_test::set_material_colors;
using surface_test::SurfaceDeleter;
using surface_test::SurfacePtr;

inline ColorRGBA pixel(SDL_Surface* s, int x, int y) {
    uint32_t v;
    std::memcpy(&v, static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 4, 4);
    return ColorRGBA::from_pixel(v);
}

inline void put(SDL_Surface* s, int x, int y, ColorRGBA c) {
    uint32_t v = c.to_pixel();
    std::memcpy(static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 4, &v, 4);
}

inline long count(SDL_Surface* s, ColorRGBA c) {
    long n = 0;
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) n += pixel(s, x, y) == c;
    return n;
}

// FNV-1a over the pixel values, row by row.
inline uint64_t surface_hash(SDL_Surface* s) {
    uint64_t h = 1469598103934665603ull;
    for (int y = 0; y < s->h; ++y) {
        for (int x = 0; x < s->w; ++x) {
            uint32_t v = pixel(s, x, y).to_pixel();
            for (int i = 0; i < 4; ++i) {
                h ^= (v >> (8 * i)) & 0xFFu;
                h *= 1099511628211ull;
            }
        }
    }
    return h;
}

// Writes a 24-bit BMP whose pixel (x, y) is colour(x, y); alpha is dropped, so the image reads
// back opaque.
inline bool write_bmp(const std::string& path, int w, int h, const std::function<ColorRGBA(int, int)>& colour) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 24, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0);
    if (!s) return false;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            ColorRGBA c = colour(x, y);
            uint8_t* p = static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 3;
            p[0] = c.b;
            p[1] = c.g;
            p[2] = c.r;
        }
    }
    bool saved = SDL_SaveBMP(s, path.c_str()) == 0;
    SDL_FreeSurface(s);
    return saved;
}

// Key colours of the template images.
constexpr ColorRGBA kBlue{0, 0, 255, 255};
constexpr ColorRGBA kGrey{150, 150, 150, 255};
constexpr ColorRGBA kGreen{0, 255, 0, 255};
constexpr ColorRGBA kRed{255, 0, 0, 255};
constexpr ColorRGBA kWhite{255, 255, 255, 255};

// A small, fixed set of template folders under `root` ("object/<list>/..."), enough to exercise
// every list: solid shapes, water, explosive blocks and object slots. The suites check what was
// read back (list sizes and pixels), so a failed write shows there.
inline void write_template_folders(const std::string& root) {
    const std::string o = root + "/object/";
    write_bmp(o + "swamp_background/bg.bmp", 700, 128, [](int x, int y) {
        if (y > 100) return kBlue;
        if (y > 70 + (x / 40) % 3 * 8) return kGrey;
        if (y == 20 && x % 50 == 0) return kRed;  // not a key colour for the background
        if (x == 350 && y == 40) return kGreen;
        return kWhite;
    });
    write_bmp(o + "swamp/a_tree.bmp", 90, 266, [](int x, int y) {
        if (x >= 35 && x < 55) return kGrey;  // trunk
        if (y < 80 && (x - 45) * (x - 45) + (y - 40) * (y - 40) < 1600) return kGrey;
        if (y > 240 && x < 12) return kRed;  // a barrel
        if (x == 70 && y == 250) return kGreen;
        return kWhite;
    });
    write_bmp(o + "swamp/b_hut.bmp", 120, 266, [](int x, int y) {
        if (y > 180 && (x < 6 || x > 113 || y < 186)) return kGrey;
        if (y > 200 && x > 40 && x < 60) return kBlue;
        if (y == 260 && x == 90) return kGreen;
        return kWhite;
    });
    // Not an image: its entry stays in the list, empty.
    std::filesystem::create_directories(o + "swamp");
    { std::ofstream(o + "swamp/c_readme.txt") << "not an image"; }

    write_bmp(o + "tower/t.bmp", 100, 90, [](int x, int y) {
        if (y < 8 || x < 6 || x > 93) return kGrey;
        if (x == 50 && y == 60) return kGreen;
        return kWhite;
    });
    write_bmp(o + "torpedo/t.bmp", 80, 24, [](int x, int y) { return (x + y) % 7 ? kRed : kGrey; });
    write_bmp(o + "motor/m.bmp", 40, 40, [](int x, int y) { return (x / 8 + y / 8) % 2 ? kGrey : kWhite; });
    write_bmp(o + "hanging/lamp.bmp", 30, 60, [](int x, int y) {
        if (x == 15 && y < 40) return kGrey;
        if (y >= 40 && y < 50) return kRed;
        return kWhite;
    });
    write_bmp(o + "hanging/net.bmp", 50, 30, [](int x, int y) { return (x + y) % 5 == 0 ? kGrey : kWhite; });
    write_bmp(o + "standing/crate.bmp", 64, 99, [](int x, int y) {
        if (y > 60 && (x < 4 || x > 59)) return kGrey;
        if (x == 30 && y == 90) return kGreen;
        return kWhite;
    });
}

}  // namespace terrain_test

#include <gtest/gtest.h>

#include <SDL/SDL.h>

#include <vector>

#include "engine/image/color_grid.h"

namespace {

ColorRGBA rgba(uint8_t r, uint8_t g, uint8_t b, uint8_t a = 255) { return {r, g, b, a}; }

// What the generator writes for gfx/test/odd_width_rgb.png.
ColorRGBA odd_width_expected(int x, int y) {
    return rgba(uint8_t(20 * x), uint8_t(40 * y), uint8_t(255 - 15 * (x + y)));
}

}  // namespace

TEST(ColorGrid, ResizeKeepsTheOverlapAndZeroFills) {
    ColorGrid grid(2, 2);
    grid.at(0, 0) = rgba(1, 2, 3, 4);
    grid.at(1, 0) = rgba(5, 6, 7, 8);
    grid.at(0, 1) = rgba(9, 9, 9, 9);
    grid.at(1, 1) = rgba(10, 10, 10, 10);
    grid.resize(3, 1);
    ASSERT_EQ(grid.width(), 3);
    ASSERT_EQ(grid.height(), 1);
    ASSERT_EQ(grid.cells().size(), 3u);
    EXPECT_EQ(grid.at(0, 0), rgba(1, 2, 3, 4));
    EXPECT_EQ(grid.at(1, 0), rgba(5, 6, 7, 8));
    EXPECT_EQ(grid.at(2, 0), ColorRGBA{});

    grid.resize(3, 1);  // same size: untouched
    EXPECT_EQ(grid.at(1, 0), rgba(5, 6, 7, 8));
    grid.resize(-4, 2);
    EXPECT_EQ(grid.width(), 0);
    EXPECT_EQ(grid.height(), 2);
    EXPECT_TRUE(grid.cells().empty());
}

// Each pixel size is read with exactly its own bytes: a 4-wide 24-bit surface has no row padding,
// so a 4-byte read of its last pixel would run past the pixel buffer.
TEST(SurfacePixel, ReadsTwentyFourBitWithoutOverrun) {
    SDL_Surface* s = SDL_CreateRGBSurface(SDL_SWSURFACE, 4, 3, 24, 0x0000FF, 0x00FF00, 0xFF0000, 0);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(s->pitch, 12);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            uint8_t* p = static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 3;
            p[0] = uint8_t(10 + x);  // red (mask 0xFF)
            p[1] = uint8_t(50 + y);
            p[2] = uint8_t(200 - x - y);
        }
    }
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            EXPECT_EQ(get_surface_pixel(s, x, y), rgba(uint8_t(10 + x), uint8_t(50 + y), uint8_t(200 - x - y)))
                << x << "," << y;
        }
    }
    SDL_FreeSurface(s);
}

TEST(SurfacePixel, ReadsPaletteSixteenBitAndThirtyTwoBit) {
    SDL_Surface* pal = SDL_CreateRGBSurface(SDL_SWSURFACE, 3, 2, 8, 0, 0, 0, 0);
    ASSERT_NE(pal, nullptr);
    SDL_Color colours[3] = {{255, 0, 0, 0}, {0, 128, 0, 0}, {7, 8, 9, 0}};
    SDL_SetColors(pal, colours, 0, 3);
    // Neighbouring indices that a 32-bit read would fold into one huge palette index.
    const uint8_t indices[2][3] = {{0, 1, 2}, {2, 2, 1}};
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) static_cast<uint8_t*>(pal->pixels)[y * pal->pitch + x] = indices[y][x];
    }
    EXPECT_EQ(get_surface_pixel(pal, 0, 0), rgba(255, 0, 0));
    EXPECT_EQ(get_surface_pixel(pal, 1, 0), rgba(0, 128, 0));
    EXPECT_EQ(get_surface_pixel(pal, 2, 0), rgba(7, 8, 9));
    EXPECT_EQ(get_surface_pixel(pal, 2, 1), rgba(0, 128, 0));
    SDL_FreeSurface(pal);

    SDL_Surface* s16 = SDL_CreateRGBSurface(SDL_SWSURFACE, 2, 1, 16, 0xF800, 0x07E0, 0x001F, 0);
    ASSERT_NE(s16, nullptr);
    static_cast<Uint16*>(s16->pixels)[1] = 0xF800;  // pure red in 5-6-5
    EXPECT_EQ(get_surface_pixel(s16, 1, 0), rgba(255, 0, 0));
    EXPECT_EQ(get_surface_pixel(s16, 0, 0), rgba(0, 0, 0));
    SDL_FreeSurface(s16);

    SDL_Surface* s32 = SDL_CreateRGBSurface(SDL_SWSURFACE, 2, 2, 32, 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000);
    ASSERT_NE(s32, nullptr);
    static_cast<Uint32*>(s32->pixels)[s32->pitch / 4 + 1] = rgba(1, 2, 3, 4).to_pixel();
    EXPECT_EQ(get_surface_pixel(s32, 1, 1), rgba(1, 2, 3, 4));
    // Outside the surface there is nothing to read.
    EXPECT_EQ(get_surface_pixel(s32, 2, 0), ColorRGBA{});
    EXPECT_EQ(get_surface_pixel(s32, 0, -1), ColorRGBA{});
    EXPECT_EQ(get_surface_pixel(nullptr, 0, 0), ColorRGBA{});
    SDL_FreeSurface(s32);
}

TEST(LoadImageColors, ReadsRgbaRgbAndPaletteFiles) {
    ColorGrid grid;
    ASSERT_TRUE(load_image_colors("gfx\\test\\quadrants.png", grid));
    ASSERT_EQ(grid.width(), 64);
    ASSERT_EQ(grid.height(), 64);
    EXPECT_EQ(grid.at(5, 5), rgba(255, 0, 0));
    EXPECT_EQ(grid.at(60, 5), rgba(0, 255, 0));
    EXPECT_EQ(grid.at(5, 60), rgba(0, 0, 255));
    EXPECT_EQ(grid.at(63, 63), rgba(255, 255, 255));

    ASSERT_TRUE(load_image_colors("gfx\\test\\odd_width_rgb.png", grid));
    ASSERT_EQ(grid.width(), 13);
    ASSERT_EQ(grid.height(), 7);
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 13; ++x) EXPECT_EQ(grid.at(x, y), odd_width_expected(x, y)) << x << "," << y;
    }

    ASSERT_TRUE(load_image_colors("GFX\\Test\\Palette.png", grid));
    ASSERT_EQ(grid.width(), 16);
    EXPECT_EQ(grid.at(0, 0), rgba(255, 0, 0));
    EXPECT_EQ(grid.at(15, 0), rgba(0, 255, 0));
    EXPECT_EQ(grid.at(0, 15), rgba(0, 0, 255));
    EXPECT_EQ(grid.at(15, 15), rgba(255, 255, 0));
}

TEST(LoadImageColors, FailedLoadLeavesTheGrid) {
    ColorGrid grid(2, 1);
    grid.at(1, 0) = rgba(4, 5, 6, 7);
    EXPECT_FALSE(load_image_colors("gfx\\test\\no_such_image.png", grid));
    EXPECT_FALSE(load_image_colors("snd\\pop.wav", grid));  // exists, but is no image
    EXPECT_EQ(grid.width(), 2);
    EXPECT_EQ(grid.height(), 1);
    EXPECT_EQ(grid.at(1, 0), rgba(4, 5, 6, 7));
}

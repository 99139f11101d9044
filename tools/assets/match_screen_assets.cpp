// Pictures of the client's match screens.
#include "tools/assets/match_screen_assets.h"

#include <cmath>
#include <cstdio>

#include "tools/assets/asset_writers.h"
#include "tools/assets/entity_sprites.h"
#include "tools/assets/level_drawing.h"
#include "tools/assets/sprite_drawing.h"

namespace assets {
namespace {

using namespace sprite_drawing;
namespace ld = level_drawing;

constexpr int kLoadWidth = 1280, kLoadHeight = 720;

// Height of a hill layer at column x, in pixels from the top.
float hill_top(int x, float base, float amplitude, float scale, uint32_t seed) {
    return base - amplitude * ld::fbm(float(x) * scale, 0.5f, 4, seed);
}

// A player frame of `sheet`, clothes tinted with `tint`, scaled up by `scale` onto `image`.
void stamp_player(Image& image, const Image& sheet, int frame, Rgba tint, int scale, int left, int top) {
    const int tile = 64, columns = sheet.width / tile;
    int fx = (frame % columns) * tile, fy = (frame / columns) * tile;
    for (int y = 0; y < tile; ++y) {
        for (int x = 0; x < tile; ++x) {
            Rgba p = sheet.at(fx + x, fy + y);
            if (p.a == 0) continue;
            if (p.r == p.g && p.g == p.b)
                p = {uint8_t(p.r * tint.r / 255), uint8_t(p.g * tint.g / 255), uint8_t(p.b * tint.b / 255), 255};
            for (int sy = 0; sy < scale; ++sy)
                for (int sx = 0; sx < scale; ++sx) {
                    int px = left + x * scale + sx, py = top + y * scale + sy;
                    if (px >= 0 && py >= 0 && px < image.width && py < image.height) image.at(px, py) = p;
                }
        }
    }
}

// Dusk over layered hills, two fighters squaring off on the near hills and a rocket between
// them; the middle stays calm for the status box drawn over it.
Image load_screen() {
    Image image(kLoadWidth, kLoadHeight);
    const Rgba sky_top = rgba(22, 18, 56), sky_low = rgba(236, 124, 82);
    const Rgba far = rgba(124, 64, 112), mid = rgba(78, 40, 86), near = rgba(34, 22, 46);
    for (int x = 0; x < kLoadWidth; ++x) {
        float far_top = hill_top(x, 560, 260, 0.004f, 11), mid_top = hill_top(x, 640, 220, 0.006f, 23);
        float near_top = hill_top(x, 740, 220, 0.005f, 37);
        // The near hills rise toward the edges, where the fighters stand.
        float edge = std::fabs(float(x) - kLoadWidth * 0.5f) / (kLoadWidth * 0.5f);
        near_top -= 120.0f * edge * edge;
        for (int y = 0; y < kLoadHeight; ++y) {
            Rgba p = mix(sky_top, sky_low, std::pow(float(y) / kLoadHeight, 1.6f));
            if (y < 420 && ld::hash01(x, y, 5) > 0.9985f) p = mix(p, rgba(255, 255, 240), 0.8f);
            float sx = x - 820.0f, sy = y - 470.0f;  // the setting sun, cut by bands
            if (sx * sx + sy * sy < 110.0f * 110.0f && !(y > 470 && (y / 9) % 3 == 0))
                p = mix(rgba(255, 220, 120), rgba(255, 120, 80), ld::clamp01((y - 360.0f) / 220.0f));
            if (y >= far_top) p = far;
            if (y >= mid_top) p = mid;
            if (y >= near_top) p = y < near_top + 3 ? shade(near, 1.6f) : near;
            image.at(x, y) = p;
        }
    }
    const int scale = 3;
    auto ground = [&](int x) {
        float edge = std::fabs(float(x) - kLoadWidth * 0.5f) / (kLoadWidth * 0.5f);
        return int(hill_top(x, 740, 220, 0.005f, 37) - 120.0f * edge * edge);
    };
    Image red = entity_sprites::player_sheet(0), blue = entity_sprites::player_sheet(1);
    stamp_player(image, red, 4 + 8 + 3, rgba(220, 40, 40), scale, 150, ground(246) - 64 * scale - 40);  // jumping right
    stamp_player(image, blue, 16 + 2, rgba(40, 100, 235), scale, 940, ground(1036) - 64 * scale + 2);   // walking left
    // A rocket streaking left over the gap, with its smoke trail.
    Image rocket = entity_sprites::projectile_rocket();
    for (int i = 0; i < 14; ++i) {
        Canvas c(image);
        float x = 934.0f + i * 22.0f, y = 252.0f - i * 2.0f, r = 5.0f + i * 1.3f;
        c.ellipse(x, y, r, r * 0.8f, mix(rgba(230, 220, 230), rgba(120, 100, 140), float(i) / 14.0f));
    }
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 16; ++x) {
            Rgba p = rocket.at(x, y);  // first frame, turned to fly left, doubled
            if (p.a == 0) continue;
            for (int s = 0; s < 4; ++s) image.at(860 + y * 2 + s % 2, 236 + x * 2 + s / 2) = p;
        }
    return image;
}

// One flat dark tone: shown stretched and with nearest filtering, so it has no border.
Image blend_panel() {
    Image image(8, 8);
    for (Rgba& p : image.pixels) p = rgba(14, 18, 30, 184);
    return image;
}

// A green frame around a standing figure, drawn at the player's collider size.
Image spawn_marker() {
    Image image = ld::blank(36, 56);
    Canvas c(image);
    const Rgba glow = rgba(70, 230, 120, 90), edge = rgba(120, 255, 160, 235), figure = rgba(240, 255, 244, 200);
    c.rect(0, 0, 36, 56, glow);
    for (int i = 0; i < 36; ++i)
        if ((i / 4) % 2 == 0) {
            c.rect(i, 0, i + 1, 2, edge);
            c.rect(i, 54, i + 1, 56, edge);
        }
    for (int i = 0; i < 56; ++i)
        if ((i / 4) % 2 == 0) {
            c.rect(0, i, 2, i + 1, edge);
            c.rect(34, i, 36, i + 1, edge);
        }
    c.ellipse(18, 13, 6, 6, figure);
    c.line(18, 20, 18, 36, 10, figure);
    c.line(15, 36, 12, 50, 5, figure);
    c.line(21, 36, 24, 50, 5, figure);
    c.line(12, 23, 8, 34, 4, figure);
    c.line(24, 23, 28, 34, 4, figure);
    return image;
}

}  // namespace

bool write_match_screen_assets(const std::string& run_folder) {
    bool ok = true;
    auto save = [&](const char* relative, bool written) {
        if (!written) {
            std::fprintf(stderr, "brawl_assets: could not write %s\n", relative);
            ok = false;
        }
    };
    save("gfx/Load_Screen.png", write_png_rgb(run_folder + "/gfx/Load_Screen.png", load_screen()));
    save("gfx/blend.png", write_png_rgba(run_folder + "/gfx/blend.png", blend_panel()));
    save("gfx/spawn.png", write_png_rgba(run_folder + "/gfx/spawn.png", spawn_marker()));
    return ok;
}

}  // namespace assets

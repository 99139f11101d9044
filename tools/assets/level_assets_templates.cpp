// Level templates in the generator's key colours, drawn from fixed seeds: peers pick templates by
// index and must hold identical folders.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/assets/asset_writers.h"
#include "tools/assets/level_assets.h"
#include "tools/assets/level_drawing.h"

namespace assets {
using namespace level_drawing;
namespace {

// Key colours the level generator reads; every other pixel is air, so air is left clear.
constexpr Rgba kWater{0, 0, 255, 255};
constexpr Rgba kSolid{150, 150, 150, 255};
constexpr Rgba kSlot{0, 255, 0, 255};
constexpr Rgba kBlast{255, 0, 0, 255};

bool inside(const Image& image, int x, int y) { return x >= 0 && y >= 0 && x < image.width && y < image.height; }

Plot paint(Image& image, Rgba colour) {
    return [&image, colour](int x, int y) {
        if (inside(image, x, y)) image.at(x, y) = colour;
    };
}

void fill_rect(Image& image, int x0, int y0, int x1, int y1, Rgba c) { rect_pixels(x0, y0, x1, y1, paint(image, c)); }
void fill_ellipse(Image& image, float cx, float cy, float rx, float ry, Rgba c) {
    ellipse_pixels(cx, cy, rx, ry, paint(image, c));
}
void draw_line(Image& image, float x0, float y0, float x1, float y1, float width, Rgba c) {
    line_pixels(x0, y0, x1, y1, width, paint(image, c));
}
void fill_polygon(Image& image, const std::vector<Point>& points, Rgba c) { polygon_pixels(points, paint(image, c)); }

void clear_pixel(Image& image, int x, int y) {
    if (inside(image, x, y)) image.at(x, y) = kAir;
}

bool same(Rgba a, Rgba b) { return a.r == b.r && a.g == b.g && a.b == b.b && a.a == b.a; }

// The generator requests a crate at every slot pixel, with the crate's top-left corner 20 px
// left of and 64 px above it; the 48 px crate then drops onto whatever lies under the slot. So
// a slot is one pixel on the last free row above a surface, with that box left clear.
void crate_slot(Image& image, int x, int y) {
    if (inside(image, x, y)) image.at(x, y) = kSlot;
}

// A slot on the first surface met going down column x from row `from`.
void crate_slot_on_top(Image& image, int x, int from) {
    for (int y = std::max(from, 1); y < image.height; ++y) {
        if (!same(image.at(x, y), kAir)) {
            crate_slot(image, x, y - 1);
            return;
        }
    }
}

// An explosive barrel standing on row `bottom`. Grey hoops split the red into small patches: a
// connected patch of n explosive pixels blasts with radius n / 10.
void barrel(Image& image, int x0, int bottom, int w, int h) {
    int top = bottom - h + 1, middle = (top + bottom) / 2;
    fill_rect(image, x0, top, x0 + w, bottom + 1, kBlast);
    for (int row : {top, middle, bottom - 1}) fill_rect(image, x0, row, x0 + w, row + 2, kSolid);
    for (int x : {x0, x0 + w - 1})
        for (int y : {top, bottom}) clear_pixel(image, x, y);
}

// Swamp background: 4096 x 128, stamped at the left edge with its bottom row on the ground band,
// so it spans the widest level. Mud banks with reed beds, a few pools and crate slots on the
// banks. The generator reads no red in this list.
Image swamp_bank(uint32_t seed) {
    const int W = 4096, H = 128;
    Image image = blank(W, H);
    Dice dice(seed);

    struct Mound {
        float centre, half, height;
    };
    std::vector<Mound> mounds;
    for (float x = dice.range(40.0f, 160.0f); x < W + 100; x += dice.range(260.0f, 480.0f))
        mounds.push_back({x, dice.range(90.0f, 190.0f), dice.range(26.0f, 84.0f)});

    std::vector<int> top(std::size_t(W), H);  // first mud row of each column
    for (int x = 0; x < W; ++x) {
        float h = 0.0f;
        for (const Mound& m : mounds) {
            float t = (x + 0.5f - m.centre) / m.half;
            if (std::fabs(t) < 1.0f) h = std::fmax(h, m.height * std::pow(1.0f - t * t, 0.6f));
        }
        h += 5.0f + 6.0f * (fbm(float(x) / 23.0f, 0.5f, 3, seed) - 0.5f);
        int row = std::clamp(H - int(h), 0, H);
        top[std::size_t(x)] = row;
        fill_rect(image, x, row, x + 1, H, kSolid);
    }

    // Pools sunk into the tall banks, and crates on some of the others.
    std::vector<std::pair<int, int>> keep_clear;  // column ranges without reeds
    for (const Mound& m : mounds) {
        int c = int(m.centre);
        if (c < 40 || c >= W - 40) continue;
        if (m.height > 56.0f && dice.next() < 0.7f) {
            int r = int(m.half * 0.4f);
            int x0 = std::max(c - r, 1), x1 = std::min(c + r, W - 1);
            int level = 0;
            for (int x = x0; x < x1; ++x) level = std::max(level, top[std::size_t(x)]);
            level += 3;
            float depth = dice.range(12.0f, 18.0f);
            for (int x = x0; x < x1; ++x) {
                float t = (x + 0.5f - float(c)) / float(r);
                int d = int(depth * std::sqrt(std::fmax(0.0f, 1.0f - t * t)));
                fill_rect(image, x, top[std::size_t(x)], x + 1, level, kAir);
                fill_rect(image, x, level, x + 1, std::min(level + d, H - 2), kWater);
                top[std::size_t(x)] = level;
            }
            keep_clear.push_back({x0 - 6, x1 + 6});
        } else if (m.height > 30.0f && dice.next() < 0.5f) {
            crate_slot(image, c, top[std::size_t(c)] - 1);
            keep_clear.push_back({c - 32, c + 32});
        }
    }

    // Reed beds: thin stalks, some with a cattail head.
    for (float x = dice.range(20.0f, 80.0f); x < W - 20; x += dice.range(60.0f, 180.0f)) {
        int stalks = 3 + int(dice.next() * 4.0f);
        for (int i = 0; i < stalks; ++i) {
            int bx = std::clamp(int(x + dice.range(-14.0f, 14.0f)), 0, W - 1);
            bool clear = true;
            for (const auto& [lo, hi] : keep_clear) clear = clear && (bx < lo || bx > hi);
            float height = dice.range(14.0f, 36.0f), lean = dice.range(-5.0f, 5.0f);
            bool cattail = dice.next() < 0.5f;
            if (!clear) continue;
            float base = float(top[std::size_t(bx)]) + 1.0f;
            float tip_x = bx + 0.5f + lean, tip_y = base - height;
            draw_line(image, bx + 0.5f, base, tip_x, tip_y, 2.0f, kSolid);
            if (cattail) fill_ellipse(image, tip_x - lean * 0.15f, tip_y + 6.0f, 2.2f, 5.0f, kSolid);
        }
    }
    return image;
}

// Swamp templates: 250 x 266, stamped every 250 px (plus up to 199) with the bottom row on the
// ground band. The lowest rows stand in the swamp water.
constexpr int kSwampW = 250, kSwampH = 266;

Image swamp_hut() {
    Image image = blank(kSwampW, kSwampH);
    for (int x : {38, 94, 150, 206}) fill_rect(image, x, 158, x + 6, kSwampH, kSolid);  // stilts
    fill_rect(image, 18, 150, 234, 158, kSolid);                                        // platform
    // Walls: a door on the left, a window on the right.
    fill_rect(image, 46, 78, 52, 114, kSolid);
    fill_rect(image, 198, 78, 204, 150, kSolid);
    fill_rect(image, 198, 96, 204, 114, kAir);
    // An A-frame roof over a tie beam, and a chimney.
    fill_polygon(image, {{26, 80}, {224, 80}, {125, 22}}, kSolid);
    fill_polygon(image, {{54, 73}, {196, 73}, {125, 36}}, kAir);
    fill_rect(image, 160, 28, 172, 52, kSolid);
    fill_rect(image, 2, 206, 22, kSwampH, kSolid);  // a stump to climb onto the platform from
    crate_slot(image, 125, 149);
    barrel(image, 212, 149, 16, 24);
    return image;
}

Image swamp_dead_tree() {
    Image image = blank(kSwampW, kSwampH);
    fill_ellipse(image, 125, 268, 80, 24, kSolid);                                 // mud
    fill_polygon(image, {{92, 266}, {113, 226}, {137, 226}, {160, 266}}, kSolid);  // roots
    fill_polygon(image, {{112, 230}, {138, 230}, {132, 66}, {118, 66}}, kSolid);   // trunk
    // Bare crown.
    draw_line(image, 121, 120, 62, 64, 8, kSolid);
    draw_line(image, 62, 64, 40, 28, 5, kSolid);
    draw_line(image, 62, 64, 80, 34, 4, kSolid);
    draw_line(image, 129, 96, 186, 52, 7, kSolid);
    draw_line(image, 186, 52, 212, 18, 4, kSolid);
    draw_line(image, 186, 52, 228, 62, 4, kSolid);
    draw_line(image, 125, 70, 118, 24, 6, kSolid);
    draw_line(image, 118, 24, 104, 4, 3, kSolid);
    draw_line(image, 118, 24, 134, 6, 3, kSolid);
    // A broken bough low on the left, and a thick one on the right that holds a crate.
    draw_line(image, 116, 190, 58, 176, 6, kSolid);
    draw_line(image, 132, 168, 222, 156, 9, kSolid);
    crate_slot_on_top(image, 198, 100);
    return image;
}

Image swamp_jetty() {
    Image image = blank(kSwampW, kSwampH);
    for (int x : {8, 66, 124, 182, 238}) fill_rect(image, x, 218, x + 6, kSwampH, kSolid);  // piles
    fill_rect(image, 0, 210, kSwampW, 218, kSolid);                                         // deck
    // A lantern on a post at the end of the pier.
    fill_rect(image, 226, 140, 230, 210, kSolid);
    fill_rect(image, 220, 128, 236, 142, kSolid);
    fill_rect(image, 223, 131, 233, 139, kAir);
    fill_rect(image, 218, 125, 238, 128, kSolid);
    barrel(image, 150, 209, 16, 24);
    barrel(image, 170, 209, 16, 24);
    crate_slot(image, 60, 209);
    return image;
}

Image swamp_watchtower() {
    Image image = blank(kSwampW, kSwampH);
    draw_line(image, 62, 266, 92, 52, 7, kSolid);  // legs, leaning in
    draw_line(image, 188, 266, 158, 52, 7, kSolid);
    draw_line(image, 70, 206, 178, 134, 3, kSolid);  // cross braces
    draw_line(image, 180, 206, 72, 134, 3, kSolid);
    fill_rect(image, 76, 132, 174, 136, kSolid);
    fill_rect(image, 66, 44, 184, 52, kSolid);  // lookout
    // Short rails at the ends leave room for the crate in the middle.
    fill_rect(image, 68, 22, 72, 44, kSolid);
    fill_rect(image, 68, 22, 94, 25, kSolid);
    fill_rect(image, 178, 22, 182, 44, kSolid);
    fill_rect(image, 156, 22, 182, 25, kSolid);
    fill_rect(image, 179, 0, 181, 22, kSolid);  // flag
    fill_polygon(image, {{181, 2}, {204, 8}, {181, 15}}, kSolid);
    crate_slot(image, 125, 43);
    return image;
}

// Conning tower: 150 x 92, stamped 10 px left of the tower roof's left end and 77 px above
// it. Rows 77 to 91 lie on the roof (the hull is at least 15 px thick), columns 10 to 138 span
// it; the rows above stand on it. The top rows leave the level when the tower is high.
constexpr int kTowerW = 150, kTowerH = 92, kTowerRoof = 77;

Image tower_periscope() {
    Image image = blank(kTowerW, kTowerH);
    fill_rect(image, 10, kTowerRoof, 139, kTowerH, kSolid);
    // Bridge bulwark at the front, with an antenna.
    fill_polygon(image, {{120, 77}, {120, 58}, {130, 55}, {139, 62}, {139, 77}}, kSolid);
    fill_rect(image, 132, 4, 134, 56, kSolid);
    fill_rect(image, 128, 14, 138, 16, kSolid);
    // Periscope and snorkel.
    fill_rect(image, 36, 10, 42, kTowerRoof, kSolid);
    fill_rect(image, 36, 8, 54, 16, kSolid);
    fill_rect(image, 52, 30, 56, kTowerRoof, kSolid);
    fill_rect(image, 50, 28, 60, 32, kSolid);
    // Railing at the back.
    for (int x : {14, 62}) fill_rect(image, x, 60, x + 3, kTowerRoof, kSolid);
    fill_rect(image, 14, 60, 65, 62, kSolid);
    fill_rect(image, 14, 68, 65, 69, kSolid);
    crate_slot(image, 90, kTowerRoof - 1);
    return image;
}

Image tower_radar() {
    Image image = blank(kTowerW, kTowerH);
    fill_rect(image, 10, kTowerRoof, 139, kTowerH, kSolid);
    fill_rect(image, 10, 70, 44, kTowerRoof, kSolid);  // a raised hatch
    fill_rect(image, 16, 66, 38, 70, kSolid);
    // Radar mast with a dish open to the sky.
    fill_rect(image, 70, 26, 76, 70, kSolid);
    fill_polygon(image, {{64, 77}, {82, 77}, {76, 66}, {70, 66}}, kSolid);
    ring_pixels(73, -2, 30, 27, [&](int x, int y) {
        if (y >= 16 && inside(image, x, y)) image.at(x, y) = kSolid;
    });
    fill_rect(image, 72, 10, 74, 27, kSolid);  // feed
    fill_rect(image, 70, 7, 77, 11, kSolid);
    // Flag at the back.
    fill_rect(image, 20, 24, 22, 66, kSolid);
    fill_polygon(image, {{22, 25}, {42, 31}, {22, 37}}, kSolid);
    crate_slot(image, 118, kTowerRoof - 1);
    return image;
}

// Torpedo room: 200 x 64, stamped 200 px left of where the hull first curves down at the bottom
// and 64 px above it, so it rests there; the warheads point at the bow (right).
constexpr int kTorpedoW = 200, kTorpedoH = 64;

// A torpedo lying along the row `axis`, tail at x0 and nose at x1; the red warhead is a half
// ellipse of about pi / 2 * nose * radius pixels.
void torpedo(Image& image, int x0, int x1, int axis, int radius, int nose) {
    int body_end = x1 - nose;
    fill_rect(image, x0 + radius / 2, axis - radius, body_end, axis + radius, kSolid);
    fill_ellipse(image, float(x0 + radius / 2), float(axis), float(radius) * 0.8f, float(radius), kSolid);
    // Tail fins and the propeller.
    fill_polygon(image,
                 {{float(x0), float(axis - radius - 8)},
                  {float(x0 + 3 * radius), float(axis - radius + 1)},
                  {float(x0 + radius), float(axis - radius + 1)}},
                 kSolid);
    fill_polygon(image,
                 {{float(x0), float(axis + radius + 8)},
                  {float(x0 + 3 * radius), float(axis + radius - 1)},
                  {float(x0 + radius), float(axis + radius - 1)}},
                 kSolid);
    fill_rect(image, x0, axis - radius + 3, x0 + 3, axis + radius - 3, kSolid);
    ellipse_pixels(float(body_end), float(axis), float(nose), float(radius), [&](int x, int y) {
        if (x >= body_end && inside(image, x, y)) image.at(x, y) = kBlast;
    });
    fill_rect(image, body_end - 3, axis - radius, body_end + 1, axis + radius, kSolid);  // collar
}

Image torpedo_cradle() {
    Image image = blank(kTorpedoW, kTorpedoH);
    fill_rect(image, 18, 60, 182, 64, kSolid);  // base plate
    for (int x : {40, 140})
        fill_polygon(image, {{float(x - 4), 61}, {float(x + 24), 61}, {float(x + 16), 44}, {float(x + 4), 44}}, kSolid);
    torpedo(image, 4, 198, 32, 11, 20);
    return image;
}

Image torpedo_rack() {
    Image image = blank(kTorpedoW, kTorpedoH);
    for (int x : {46, 150}) fill_rect(image, x, 2, x + 4, kTorpedoH, kSolid);  // uprights
    fill_rect(image, 40, 22, 160, 25, kSolid);                                 // shelves
    fill_rect(image, 40, 59, 160, 64, kSolid);
    torpedo(image, 14, 190, 15, 7, 14);
    torpedo(image, 14, 190, 52, 7, 14);
    return image;
}

// Stern: 128 x 156, stamped so that its left part lies in the notch of the stern, which is open
// to the water on the left; the hull wall runs down columns 34 to 64 (by hull thickness) and the
// engine room lies to its right. The propeller turns in the notch, rows 49 to 147 at least.
constexpr int kMotorW = 128, kMotorH = 156;

void engine_room(Image& image, bool turbine) {
    fill_rect(image, 16, 97, 68, 104, kSolid);  // shaft through the hull
    if (turbine) {
        fill_rect(image, 80, 120, 112, kMotorH, kSolid);  // pedestal
        fill_ellipse(image, 96, 100, 30, 30, kSolid);
        ring_pixels(96, 100, 22, 19, paint(image, kAir));
        fill_ellipse(image, 96, 100, 6, 6, kBlast);  // fuel cell in the hub
    } else {
        fill_rect(image, 70, 128, 76, kMotorH, kSolid);  // feet
        fill_rect(image, 116, 128, 122, kMotorH, kSolid);
        fill_rect(image, 66, 72, 126, 128, kSolid);
        for (int x : {72, 88, 104}) fill_rect(image, x, 62, x + 12, 72, kSolid);  // cylinder heads
        fill_rect(image, 116, 24, 121, 62, kSolid);                               // exhaust
        fill_rect(image, 112, 20, 125, 25, kSolid);
        fill_rect(image, 74, 108, 86, 122, kBlast);  // fuel tank
    }
}

Image motor_propeller() {
    Image image = blank(kMotorW, kMotorH);
    engine_room(image, false);
    fill_ellipse(image, 18, 75, 5, 22, kSolid);  // two blades
    fill_ellipse(image, 18, 125, 5, 22, kSolid);
    fill_ellipse(image, 18, 100, 8, 8, kSolid);  // hub
    return image;
}

Image motor_turbine() {
    Image image = blank(kMotorW, kMotorH);
    engine_room(image, true);
    // Three blades about a hub.
    draw_line(image, 18, 100, 18, 60, 7, kSolid);
    draw_line(image, 18, 100, 5, 130, 7, kSolid);
    draw_line(image, 18, 100, 30, 130, 7, kSolid);
    fill_ellipse(image, 18, 100, 9, 9, kSolid);
    return image;
}

// Room furniture standing on a deck: 100 x 100, the bottom row being the last free row above
// the deck. Rooms are at least 100 px wide and high; players (36 x 56) jump over low pieces.
constexpr int kStandingW = 100, kStandingH = 100;

Image standing_shelf() {
    Image image = blank(kStandingW, kStandingH);
    for (int x : {70, 94}) fill_rect(image, x, 30, x + 4, kStandingH, kSolid);
    for (int y : {30, 62}) fill_rect(image, 70, y, 98, y + 3, kSolid);
    fill_rect(image, 76, 52, 90, 62, kSolid);  // a toolbox on the shelf
    crate_slot(image, 30, kStandingH - 1);
    return image;
}

Image standing_barrels() {
    Image image = blank(kStandingW, kStandingH);
    barrel(image, 12, 99, 18, 24);
    barrel(image, 36, 99, 18, 24);
    barrel(image, 24, 75, 18, 24);
    crate_slot(image, 80, kStandingH - 1);
    return image;
}

Image standing_console() {
    Image image = blank(kStandingW, kStandingH);
    fill_polygon(image, {{8, 100}, {8, 62}, {20, 50}, {52, 50}, {52, 100}}, kSolid);  // desk
    fill_rect(image, 14, 40, 46, 43, kSolid);                                         // screen
    fill_rect(image, 14, 20, 17, 43, kSolid);
    fill_rect(image, 43, 20, 46, 43, kSolid);
    fill_rect(image, 14, 20, 46, 23, kSolid);
    fill_rect(image, 28, 43, 32, 50, kSolid);
    // A chair.
    fill_rect(image, 64, 80, 86, 84, kSolid);
    fill_rect(image, 73, 84, 77, 100, kSolid);
    fill_rect(image, 66, 97, 84, 100, kSolid);
    fill_rect(image, 83, 60, 87, 84, kSolid);
    return image;
}

Image standing_table() {
    Image image = blank(kStandingW, kStandingH);
    fill_rect(image, 20, 66, 80, 70, kSolid);
    for (int x : {24, 72}) fill_rect(image, x, 70, x + 4, kStandingH, kSolid);
    crate_slot(image, 50, 65);
    return image;
}

// Fittings under a deck: 100 x 48, the top row being the first free row under the deck. Kept
// shallow: a room may be only about 100 px high.
constexpr int kHangingW = 100, kHangingH = 48;

Image hanging_lamp() {
    Image image = blank(kHangingW, kHangingH);
    fill_rect(image, 49, 0, 51, 24, kSolid);
    fill_polygon(image, {{34, 36}, {66, 36}, {57, 23}, {43, 23}}, kSolid);
    fill_ellipse(image, 50, 38, 4, 4, kSolid);
    return image;
}

Image hanging_pipes() {
    Image image = blank(kHangingW, kHangingH);
    fill_rect(image, 0, 2, kHangingW, 9, kSolid);
    fill_rect(image, 0, 13, kHangingW, 18, kSolid);
    for (int x : {14, 44, 74}) fill_rect(image, x, 0, x + 4, 20, kSolid);  // brackets and flanges
    // A valve wheel on a stem.
    fill_rect(image, 59, 18, 62, 24, kSolid);
    ring_pixels(60.5f, 31, 8, 5.5f, paint(image, kSolid));
    fill_rect(image, 59, 24, 62, 39, kSolid);
    fill_rect(image, 53, 30, 68, 33, kSolid);
    return image;
}

Image hanging_mine() {
    Image image = blank(kHangingW, kHangingH);
    fill_rect(image, 49, 0, 51, 18, kSolid);  // chain
    // A horned mine: a steel shell round a charge.
    draw_line(image, 50, 42, 50, 46, 3, kSolid);
    draw_line(image, 38, 30, 33, 30, 3, kSolid);
    draw_line(image, 62, 30, 67, 30, 3, kSolid);
    draw_line(image, 41.5f, 38.5f, 38, 42, 3, kSolid);
    draw_line(image, 58.5f, 38.5f, 62, 42, 3, kSolid);
    ring_pixels(50, 30, 12, 8.5f, paint(image, kSolid));
    fill_ellipse(image, 50, 30, 8.5f, 8.5f, kBlast);
    return image;
}

Image hanging_duct() {
    Image image = blank(kHangingW, kHangingH);
    for (int x : {18, 78}) fill_rect(image, x, 0, x + 3, 6, kSolid);  // hangers
    fill_rect(image, 0, 6, kHangingW, 8, kSolid);
    fill_rect(image, 0, 20, kHangingW, 22, kSolid);
    for (int x = 4; x < kHangingW; x += 8) fill_rect(image, x, 8, x + 2, 20, kSolid);  // grille
    return image;
}

}  // namespace

void write_level_templates(const std::string& run_folder, const SaveImage& save) {
    // Each folder must hold exactly these files: a leftover would change which template every
    // peer picks.
    const char* folders[] = {"swamp_background", "swamp", "tower", "torpedo", "standing", "motor", "hanging"};
    for (const char* folder : folders) {
        std::error_code ignored;
        std::filesystem::remove_all(run_folder + "/object/" + folder, ignored);
    }

    save("object/swamp_background/bank_a.png", swamp_bank(101), false);
    save("object/swamp_background/bank_b.png", swamp_bank(202), false);
    save("object/swamp/dead_tree.png", swamp_dead_tree(), false);
    save("object/swamp/hut.png", swamp_hut(), false);
    save("object/swamp/jetty.png", swamp_jetty(), false);
    save("object/swamp/watchtower.png", swamp_watchtower(), false);
    save("object/tower/periscope.png", tower_periscope(), false);
    save("object/tower/radar.png", tower_radar(), false);
    save("object/torpedo/cradle.png", torpedo_cradle(), false);
    save("object/torpedo/rack.png", torpedo_rack(), false);
    save("object/motor/propeller.png", motor_propeller(), false);
    save("object/motor/turbine.png", motor_turbine(), false);
    save("object/standing/barrels.png", standing_barrels(), false);
    save("object/standing/console.png", standing_console(), false);
    save("object/standing/shelf.png", standing_shelf(), false);
    save("object/standing/table.png", standing_table(), false);
    save("object/hanging/duct.png", hanging_duct(), false);
    save("object/hanging/lamp.png", hanging_lamp(), false);
    save("object/hanging/mine.png", hanging_mine(), false);
    save("object/hanging/pipes.png", hanging_pipes(), false);
}

}  // namespace assets

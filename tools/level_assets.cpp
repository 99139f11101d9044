// Level templates in the generator's key colours, the level backgrounds and the terrain's
// placeholder texture. Everything is drawn from fixed seeds, so every build writes the same
// files: peers pick templates by index and must hold identical folders.
#include "level_assets.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "asset_writers.h"

namespace assets {
namespace {

// Numbers -----------------------------------------------------------------------------------------

uint32_t mix_bits(uint32_t h) {
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return h;
}

float hash01(int x, int y, uint32_t seed) {
    uint32_t h = mix_bits(uint32_t(x) * 0x9E3779B1u ^ mix_bits(uint32_t(y) * 0x85EBCA77u ^ seed * 0xC2B2AE3Du));
    return float(h >> 8) / 16777216.0f;
}

// A counter-based sequence of numbers in [0, 1).
class Dice {
public:
    explicit Dice(uint32_t seed) : state_(mix_bits(seed)) {}
    float next() {
        state_ += 0x9E3779B9u;
        return float(mix_bits(state_) >> 8) / 16777216.0f;
    }
    float range(float lo, float hi) { return lo + (hi - lo) * next(); }

private:
    uint32_t state_;
};

float clamp01(float v) { return std::fmin(std::fmax(v, 0.0f), 1.0f); }
float lerp(float a, float b, float t) { return a + (b - a) * t; }
float smoothstep(float e0, float e1, float v) {
    float t = clamp01((v - e0) / (e1 - e0));
    return t * t * (3.0f - 2.0f * t);
}

float value_noise(float x, float y, uint32_t seed) {
    float fx0 = std::floor(x), fy0 = std::floor(y);
    int x0 = int(fx0), y0 = int(fy0);
    float tx = smoothstep(0.0f, 1.0f, x - fx0), ty = smoothstep(0.0f, 1.0f, y - fy0);
    float top = lerp(hash01(x0, y0, seed), hash01(x0 + 1, y0, seed), tx);
    float bottom = lerp(hash01(x0, y0 + 1, seed), hash01(x0 + 1, y0 + 1, seed), tx);
    return lerp(top, bottom, ty);
}

// Octaves of value noise, normalised to [0, 1].
float fbm(float x, float y, int octaves, uint32_t seed) {
    float sum = 0.0f, amplitude = 0.5f, total = 0.0f;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * value_noise(x, y, seed + uint32_t(i) * 101u);
        total += amplitude;
        x *= 2.0f;
        y *= 2.0f;
        amplitude *= 0.5f;
    }
    return total > 0.0f ? sum / total : 0.0f;
}

// Shapes, as the pixels whose centres they cover -------------------------------------------------

using Plot = std::function<void(int, int)>;

struct Point {
    float x, y;
};

// [x0, x1) x [y0, y1)
void rect_pixels(int x0, int y0, int x1, int y1, const Plot& plot) {
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) plot(x, y);
}

void ellipse_pixels(float cx, float cy, float rx, float ry, const Plot& plot) {
    for (int y = int(std::floor(cy - ry)); y <= int(std::ceil(cy + ry)); ++y) {
        for (int x = int(std::floor(cx - rx)); x <= int(std::ceil(cx + rx)); ++x) {
            float dx = (x + 0.5f - cx) / rx, dy = (y + 0.5f - cy) / ry;
            if (dx * dx + dy * dy <= 1.0f) plot(x, y);
        }
    }
}

// A ring between two radii.
void ring_pixels(float cx, float cy, float outer, float inner, const Plot& plot) {
    ellipse_pixels(cx, cy, outer, outer, [&](int x, int y) {
        float dx = x + 0.5f - cx, dy = y + 0.5f - cy;
        if (dx * dx + dy * dy >= inner * inner) plot(x, y);
    });
}

// A stroke of the given width with round ends.
void line_pixels(float x0, float y0, float x1, float y1, float width, const Plot& plot) {
    float r = width * 0.5f;
    float dx = x1 - x0, dy = y1 - y0;
    float length2 = dx * dx + dy * dy;
    for (int y = int(std::floor(std::fmin(y0, y1) - r)); y <= int(std::ceil(std::fmax(y0, y1) + r)); ++y) {
        for (int x = int(std::floor(std::fmin(x0, x1) - r)); x <= int(std::ceil(std::fmax(x0, x1) + r)); ++x) {
            float px = x + 0.5f - x0, py = y + 0.5f - y0;
            float t = length2 > 0.0f ? clamp01((px * dx + py * dy) / length2) : 0.0f;
            float ex = px - t * dx, ey = py - t * dy;
            if (ex * ex + ey * ey <= r * r) plot(x, y);
        }
    }
}

void polygon_pixels(const std::vector<Point>& points, const Plot& plot) {
    if (points.size() < 3) return;
    float min_x = points[0].x, max_x = min_x, min_y = points[0].y, max_y = min_y;
    for (const Point& p : points) {
        min_x = std::fmin(min_x, p.x);
        max_x = std::fmax(max_x, p.x);
        min_y = std::fmin(min_y, p.y);
        max_y = std::fmax(max_y, p.y);
    }
    for (int y = int(std::floor(min_y)); y <= int(std::ceil(max_y)); ++y) {
        float cy = y + 0.5f;
        for (int x = int(std::floor(min_x)); x <= int(std::ceil(max_x)); ++x) {
            float cx = x + 0.5f;
            bool in = false;
            for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
                const Point& a = points[i];
                const Point& b = points[j];
                if ((a.y > cy) != (b.y > cy) && cx < (b.x - a.x) * (cy - a.y) / (b.y - a.y) + a.x) in = !in;
            }
            if (in) plot(x, y);
        }
    }
}

// Templates ---------------------------------------------------------------------------------------

// Key colours the level generator reads; every other pixel is air, so air is left clear.
constexpr Rgba kAir{0, 0, 0, 0};
constexpr Rgba kWater{0, 0, 255, 255};
constexpr Rgba kSolid{150, 150, 150, 255};
constexpr Rgba kSlot{0, 255, 0, 255};
constexpr Rgba kBlast{255, 0, 0, 255};

Image blank(int w, int h) {
    Image image(w, h);
    for (Rgba& p : image.pixels) p = kAir;
    return image;
}

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
    fill_rect(image, 18, 150, 234, 158, kSolid);                                         // platform
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
    fill_rect(image, 0, 210, kSwampW, 218, kSolid);                                        // deck
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
    fill_polygon(image, {{float(x0), float(axis - radius - 8)}, {float(x0 + 3 * radius), float(axis - radius + 1)},
                         {float(x0 + radius), float(axis - radius + 1)}},
                 kSolid);
    fill_polygon(image, {{float(x0), float(axis + radius + 8)}, {float(x0 + 3 * radius), float(axis + radius - 1)},
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
    for (int x : {40, 140}) fill_polygon(image, {{float(x - 4), 61}, {float(x + 24), 61}, {float(x + 16), 44}, {float(x + 4), 44}}, kSolid);
    torpedo(image, 4, 198, 32, 11, 20);
    return image;
}

Image torpedo_rack() {
    Image image = blank(kTorpedoW, kTorpedoH);
    for (int x : {46, 150}) fill_rect(image, x, 2, x + 4, kTorpedoH, kSolid);  // uprights
    fill_rect(image, 40, 22, 160, 25, kSolid);                                   // shelves
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
    fill_rect(image, 14, 40, 46, 43, kSolid);                                        // screen
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

// Backgrounds -------------------------------------------------------------------------------------

struct Rgb {
    float r, g, b;
};

Rgb mix(Rgb a, Rgb b, float t) { return {lerp(a.r, b.r, t), lerp(a.g, b.g, t), lerp(a.b, b.b, t)}; }
Rgb scale(Rgb a, float f) { return {a.r * f, a.g * f, a.b * f}; }

class Canvas {
public:
    Canvas(int w, int h) : width(w), height(h), pixels_(std::size_t(w) * std::size_t(h), Rgb{0, 0, 0}) {}

    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    Rgb& at(int x, int y) { return pixels_[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    void blend(int x, int y, Rgb c, float alpha) {
        if (inside(x, y)) at(x, y) = mix(at(x, y), c, clamp01(alpha));
    }
    Plot brush(Rgb c, float alpha = 1.0f) {
        return [this, c, alpha](int x, int y) { blend(x, y, c, alpha); };
    }

    // Colour stops over the height, as fractions of it.
    void gradient(const std::vector<std::pair<float, Rgb>>& stops) {
        for (int y = 0; y < height; ++y) {
            float f = (y + 0.5f) / float(height);
            Rgb c = stops.front().second;
            for (std::size_t i = 1; i < stops.size(); ++i) {
                if (f <= stops[i].first) {
                    float t = smoothstep(stops[i - 1].first, stops[i].first, f);
                    c = mix(stops[i - 1].second, stops[i].second, t);
                    break;
                }
                c = stops[i].second;
            }
            for (int x = 0; x < width; ++x) at(x, y) = c;
        }
    }

    // Everything below the profile's row in each column.
    void fill_below(const std::function<float(int)>& profile, Rgb c, float alpha = 1.0f) {
        for (int x = 0; x < width; ++x) {
            float edge = profile(x);
            for (int y = std::max(0, int(std::floor(edge))); y < height; ++y)
                blend(x, y, c, alpha * clamp01(y + 1.0f - edge));  // the edge pixel partly
        }
    }

    Image image() const {
        Image out(width, height);
        auto byte = [](float v) { return uint8_t(std::lround(std::fmin(std::fmax(v, 0.0f), 255.0f))); };
        for (std::size_t i = 0; i < pixels_.size(); ++i)
            out.pixels[i] = {byte(pixels_[i].r), byte(pixels_[i].g), byte(pixels_[i].b), 255};
        return out;
    }

    int width, height;

private:
    std::vector<Rgb> pixels_;
};

constexpr int kBgW = 1024, kBgH = 512;

// A bare tree: a trunk and forking branches.
void bare_branch(Canvas& canvas, Dice& dice, float x, float y, float angle, float length, float width, int depth,
                 Rgb c) {
    float x1 = x + std::sin(angle) * length, y1 = y - std::cos(angle) * length;
    line_pixels(x, y, x1, y1, width, canvas.brush(c));
    if (depth == 0) return;
    int forks = dice.next() < 0.3f ? 3 : 2;
    for (int i = 0; i < forks; ++i) {
        float turn = dice.range(0.25f, 0.75f) * (i % 2 ? 1.0f : -1.0f) + dice.range(-0.15f, 0.15f);
        bare_branch(canvas, dice, x1, y1, angle + turn, length * dice.range(0.55f, 0.75f),
                    std::fmax(width * 0.62f, 1.0f), depth - 1, c);
    }
}

Image background_swamp() {
    Canvas canvas(kBgW, kBgH);
    canvas.gradient({{0.0f, {34, 46, 36}}, {0.45f, {86, 104, 70}}, {0.68f, {150, 160, 112}}, {1.0f, {70, 80, 52}}});
    // A pale sun behind the haze.
    ellipse_pixels(700, 190, 70, 70, [&](int x, int y) {
        float d = std::hypot(x + 0.5f - 700.0f, y + 0.5f - 190.0f) / 70.0f;
        canvas.blend(x, y, {214, 216, 170}, (1.0f - d) * 0.6f + (d < 0.45f ? 0.35f : 0.0f));
    });
    const uint32_t seed = 11;
    // Three rows of dead trees, fading into the fog with distance.
    const Rgb fog{150, 160, 112};
    for (int layer = 0; layer < 3; ++layer) {
        float depth = 1.0f - float(layer) / 3.0f;  // 1 = farthest
        Rgb c = mix({24, 32, 24}, fog, 0.65f * depth);
        float ground = 330.0f + 45.0f * float(layer);
        canvas.fill_below([&](int x) { return ground + 10.0f * fbm(x / 90.0f, float(layer), 3, seed + 7); }, c);
        Dice dice(seed + uint32_t(layer) * 31u);
        float scale_f = 0.6f + 0.4f * float(layer);
        for (float x = dice.range(0, 60); x < kBgW + 40; x += dice.range(70.0f, 170.0f) * scale_f) {
            float height = dice.range(90.0f, 170.0f) * scale_f;
            float lean = dice.range(-0.12f, 0.12f);
            bare_branch(canvas, dice, x, ground + 6.0f, lean, height * 0.55f, 7.0f * scale_f, 4, c);
        }
    }
    // Drifting fog and the murky water in front.
    for (int y = 0; y < kBgH; ++y) {
        for (int x = 0; x < kBgW; ++x) {
            float n = fbm(x / 160.0f, y / 40.0f, 4, seed + 3);
            float band = std::exp(-std::pow((y - 360.0f) / 70.0f, 2.0f));
            canvas.blend(x, y, fog, smoothstep(0.45f, 0.8f, n) * 0.5f * band);
        }
    }
    canvas.fill_below([](int) { return 452.0f; }, {44, 58, 38});
    for (int y = 452; y < kBgH; ++y) {
        for (int x = 0; x < kBgW; ++x) {
            float ripple = fbm(x / 40.0f, y / 3.0f, 2, seed + 5);
            canvas.blend(x, y, {120, 134, 88}, smoothstep(0.62f, 0.8f, ripple) * 0.35f);
        }
    }
    return canvas.image();
}

Image background_submarine() {
    Canvas canvas(kBgW, kBgH);
    canvas.gradient({{0.0f, {46, 134, 178}}, {0.35f, {18, 78, 130}}, {1.0f, {4, 18, 42}}});
    const uint32_t seed = 23;
    // Light shafts from the surface, slanting and fading with depth.
    Dice dice(seed);
    std::vector<std::pair<float, float>> rays;  // position at the top, width
    for (int i = 0; i < 9; ++i) rays.push_back({dice.range(-100.0f, float(kBgW)), dice.range(14.0f, 46.0f)});
    for (int y = 0; y < kBgH; ++y) {
        float fade = std::pow(1.0f - float(y) / kBgH, 1.6f);
        for (int x = 0; x < kBgW; ++x) {
            float light = 0.0f;
            for (const auto& [rx, rw] : rays) {
                float d = (x - (rx + y * 0.35f)) / rw;
                light += std::exp(-d * d);
            }
            light *= 0.22f * fade * (0.7f + 0.6f * fbm(x / 50.0f, y / 200.0f, 2, seed + 1));
            canvas.blend(x, y, {190, 235, 245}, light);
        }
    }
    // Drifting specks and a few bubbles.
    for (int i = 0; i < 500; ++i) {
        int x = int(dice.range(0, kBgW)), y = int(dice.range(0, kBgH));
        canvas.blend(x, y, {170, 210, 220}, dice.range(0.15f, 0.5f) * (1.0f - float(y) / kBgH));
    }
    for (int i = 0; i < 24; ++i) {
        float x = dice.range(0, kBgW), y = dice.range(40, 400), r = dice.range(2.0f, 5.0f);
        ring_pixels(x, y, r, r - 1.2f, canvas.brush({200, 235, 245}, 0.45f));
    }
    // Sea floor with rocks and kelp.
    canvas.fill_below([&](int x) { return 455.0f + 30.0f * fbm(x / 120.0f, 0.3f, 4, seed + 2); }, {10, 30, 44});
    for (float x = dice.range(0, 40); x < kBgW; x += dice.range(30.0f, 90.0f)) {
        float base = 470.0f, height = dice.range(40.0f, 120.0f), sway = dice.range(0.0f, 6.28f);
        for (float t = 0.0f; t < 1.0f; t += 0.01f) {
            float kx = x + 8.0f * std::sin(sway + t * 7.0f) * t, ky = base - height * t;
            ellipse_pixels(kx, ky, 2.2f * (1.2f - t), 2.0f, canvas.brush({14, 52, 44}));
        }
    }
    canvas.fill_below([&](int x) { return 485.0f + 12.0f * fbm(x / 60.0f, 2.0f, 3, seed + 4); }, {6, 20, 30});
    return canvas.image();
}

Image background_skyscraper() {
    Canvas canvas(kBgW, kBgH);
    canvas.gradient({{0.0f, {34, 28, 78}}, {0.4f, {126, 62, 112}}, {0.68f, {232, 120, 92}}, {0.85f, {252, 186, 110}}});
    ellipse_pixels(330, 400, 60, 60, canvas.brush({255, 226, 160}, 0.9f));
    const uint32_t seed = 37;
    // A faint far skyline, then the near one with lit windows.
    struct Layer {
        Rgb colour;
        float min_h, max_h, min_w, max_w;
        bool windows;
    };
    const Layer layers[] = {{{150, 82, 120}, 80, 230, 22, 60, false}, {{28, 20, 44}, 110, 330, 34, 96, true}};
    Dice dice(seed);
    for (const Layer& layer : layers) {
        for (float x = -20.0f; x < kBgW;) {
            float w = dice.range(layer.min_w, layer.max_w), h = dice.range(layer.min_h, layer.max_h);
            int x0 = int(x), x1 = int(x + w), top = kBgH - int(h);
            rect_pixels(x0, top, x1, kBgH, canvas.brush(layer.colour));
            if (dice.next() < 0.35f) {  // a stepped crown or an antenna
                rect_pixels(x0 + int(w * 0.25f), top - 14, x1 - int(w * 0.25f), top, canvas.brush(layer.colour));
                rect_pixels(int(x + w * 0.5f) - 1, top - 44, int(x + w * 0.5f) + 1, top - 14, canvas.brush(layer.colour));
            }
            if (layer.windows) {
                uint32_t building = uint32_t(x0 + 1000);
                for (int wy = top + 8; wy < kBgH - 6; wy += 10) {
                    for (int wx = x0 + 5; wx + 4 < x1 - 3; wx += 8) {
                        float lit = hash01(wx, wy, seed + building);
                        if (lit < 0.42f) rect_pixels(wx, wy, wx + 4, wy + 5, canvas.brush({255, 214, 130}, 0.55f + lit));
                    }
                }
            }
            x += w + dice.range(0.0f, 10.0f);
        }
    }
    return canvas.image();
}

// A ridge line: sharp peaks from folded noise.
float ridge(int x, float base, float amplitude, float period, uint32_t seed) {
    float n = fbm(x / period, 0.7f, 5, seed);
    float folded = 1.0f - std::fabs(2.0f * n - 1.0f);
    return base - amplitude * folded * folded;
}

Image background_mountain() {
    Canvas canvas(kBgW, kBgH);
    canvas.gradient({{0.0f, {140, 178, 218}}, {0.6f, {214, 228, 238}}, {1.0f, {232, 238, 240}}});
    const uint32_t seed = 41;
    struct Range {
        float base, amplitude, period;
        Rgb colour;
        bool snow;
    };
    const Range ranges[] = {{330, 230, 260, {168, 184, 206}, true},
                            {400, 170, 190, {124, 144, 172}, true},
                            {470, 120, 140, {86, 104, 128}, false}};
    for (int i = 0; i < 3; ++i) {
        const Range& r = ranges[i];
        uint32_t s = seed + uint32_t(i) * 17u;
        auto profile = [&](int x) { return ridge(x, r.base, r.amplitude, r.period, s); };
        canvas.fill_below(profile, r.colour);
        if (r.snow) {
            // Caps on the high peaks, following the ridge with a ragged lower edge.
            for (int x = 0; x < kBgW; ++x) {
                float top = profile(x);
                float line = r.base - r.amplitude * 0.5f;
                if (top >= line) continue;
                float depth = std::fmin((line - top) * 0.6f, 26.0f + 22.0f * fbm(x / 9.0f, 3.0f, 3, s));
                for (int y = std::max(0, int(top)); y < int(top + depth); ++y) canvas.blend(x, y, {244, 246, 250}, 0.85f);
            }
        }
        // Haze at the foot of each range.
        for (int y = 0; y < kBgH; ++y)
            for (int x = 0; x < kBgW; ++x)
                if (y >= profile(x)) canvas.blend(x, y, {214, 228, 238}, 0.35f * smoothstep(r.base - 120.0f, r.base + 60.0f, float(y)));
    }
    return canvas.image();
}

Image background_cave() {
    Canvas canvas(kBgW, kBgH);
    canvas.gradient({{0.0f, {6, 8, 22}}, {1.0f, {26, 24, 52}}});
    const uint32_t seed = 53;
    // Faint nebula and stars.
    for (int y = 0; y < kBgH; ++y) {
        for (int x = 0; x < kBgW; ++x) {
            float n = fbm(x / 180.0f, y / 120.0f, 5, seed);
            canvas.blend(x, y, {86, 50, 120}, smoothstep(0.5f, 0.85f, n) * 0.4f);
        }
    }
    Dice dice(seed);
    for (int i = 0; i < 700; ++i) {
        int x = int(dice.range(0, kBgW)), y = int(dice.range(0, kBgH));
        float b = dice.next();
        canvas.blend(x, y, {236, 236, 255}, 0.3f + 0.7f * b);
        if (b > 0.93f) {
            for (auto [dx, dy] : {std::pair{1, 0}, {-1, 0}, {0, 1}, {0, -1}}) canvas.blend(x + dx, y + dy, {236, 236, 255}, 0.4f);
        }
    }
    // Distant floating rocks: lumpy, flat on top, tapering below.
    const Rgb rock_far{44, 40, 62};
    for (int i = 0; i < 6; ++i) {
        float cx = 110.0f + 160.0f * float(i) + dice.range(-30, 30), cy = dice.range(150, 360);
        float rx = dice.range(26, 60), ry = rx * 0.45f;
        uint32_t s = seed + uint32_t(i) * 13u;
        for (int y = int(cy - ry); y <= int(cy + 2.6f * ry); ++y) {
            for (int x = int(cx - rx * 1.3f); x <= int(cx + rx * 1.3f); ++x) {
                float dx = (x - cx) / rx, dy = y < cy ? (y - cy) / ry : (y - cy) / (2.4f * ry);
                float lumpy = 1.0f + 0.35f * (fbm(x / 14.0f, y / 14.0f, 3, s) - 0.5f) * 2.0f;
                if (dx * dx + dy * dy < lumpy && dy > -0.55f)
                    canvas.blend(x, y, scale(rock_far, 1.15f - 0.35f * clamp01((y - cy) / (2.4f * ry))), 1.0f);
            }
        }
    }
    // The cave mouth: rock with stalactites above, rubble below, dark walls on the sides.
    const Rgb rock{30, 26, 30};
    auto teeth = [&](int x, uint32_t s) {
        float spike = hash01(x / 18, 0, s);
        float phase = (x % 18) / 18.0f;
        return spike * 70.0f * (1.0f - std::fabs(2.0f * phase - 1.0f));
    };
    for (int x = 0; x < kBgW; ++x) {
        float edge_x = std::fmin(float(x), float(kBgW - 1 - x));
        float top = 40.0f + 40.0f * fbm(x / 70.0f, 1.0f, 4, seed + 1) + teeth(x, seed + 2);
        top += 260.0f * std::exp(-edge_x / 60.0f);
        for (int y = 0; y < int(top) && y < kBgH; ++y) canvas.blend(x, y, rock, 1.0f);
        float bottom = kBgH - 30.0f - 30.0f * fbm(x / 50.0f, 2.0f, 4, seed + 3) - 0.6f * teeth(x + 9, seed + 4);
        bottom -= 260.0f * std::exp(-edge_x / 60.0f);
        for (int y = std::max(0, int(bottom)); y < kBgH; ++y) canvas.blend(x, y, rock, 1.0f);
    }
    // Grain in the rock.
    for (int y = 0; y < kBgH; ++y) {
        for (int x = 0; x < kBgW; ++x) {
            Rgb& p = canvas.at(x, y);
            if (std::fabs(p.r - rock.r) < 0.5f && std::fabs(p.b - rock.b) < 0.5f)
                p = scale(rock, 0.75f + 0.5f * fbm(x / 6.0f, y / 6.0f, 3, seed + 5));
        }
    }
    return canvas.image();
}

Image background_hills() {
    Canvas canvas(kBgW, kBgH);
    canvas.gradient({{0.0f, {62, 132, 226}}, {0.7f, {160, 206, 250}}, {1.0f, {190, 224, 252}}});
    const uint32_t seed = 67;
    ellipse_pixels(170, 90, 90, 90, [&](int x, int y) {
        float d = std::hypot(x + 0.5f - 170.0f, y + 0.5f - 90.0f) / 90.0f;
        canvas.blend(x, y, {255, 250, 220}, d < 0.35f ? 1.0f : (1.0f - d) * 0.5f);
    });
    // Clouds, thinning towards the horizon.
    for (int y = 0; y < kBgH; ++y) {
        float height_fade = 1.0f - smoothstep(150.0f, 330.0f, float(y));
        for (int x = 0; x < kBgW; ++x) {
            float n = fbm(x / 150.0f, y / 55.0f, 5, seed);
            float a = smoothstep(0.52f, 0.72f, n) * height_fade;
            Rgb shade = mix({255, 255, 255}, {206, 220, 238}, smoothstep(0.7f, 0.5f, n));
            canvas.blend(x, y, shade, a * 0.95f);
        }
    }
    // Rolling hills, far to near.
    canvas.fill_below([&](int x) { return 340.0f + 50.0f * std::sin(x / 160.0f) + 40.0f * fbm(x / 120.0f, 1.0f, 4, seed + 1); },
                      {126, 176, 150});
    canvas.fill_below([&](int x) { return 400.0f + 36.0f * std::sin(x / 110.0f + 2.0f) + 30.0f * fbm(x / 90.0f, 2.0f, 4, seed + 2); },
                      {88, 156, 80});
    canvas.fill_below([&](int x) { return 460.0f + 20.0f * std::sin(x / 70.0f + 4.0f) + 18.0f * fbm(x / 60.0f, 3.0f, 3, seed + 3); },
                      {62, 128, 52});
    return canvas.image();
}

// The terrain texture entry that every level's surface replaces, so it only has to load: one
// small image of air.
Image dummy_texture() { return blank(16, 16); }

}  // namespace

bool write_level_assets(const std::string& run_folder) {
    bool ok = true;
    auto save = [&](const std::string& relative, const Image& image, bool opaque) {
        std::string path = run_folder + "/" + relative;
        if (!(opaque ? write_png_rgb(path, image) : write_png_rgba(path, image))) {
            std::fprintf(stderr, "brawl_assets: could not write %s\n", relative.c_str());
            ok = false;
        }
    };

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

    // One per generator preset, in preset order, as config\client.ini [backgrounds] names them.
    save("gfx/bg_swamp.png", background_swamp(), true);
    save("gfx/bg_submarine.png", background_submarine(), true);
    save("gfx/bg_skyscraper.png", background_skyscraper(), true);
    save("gfx/bg_mountain.png", background_mountain(), true);
    save("gfx/bg_cave.png", background_cave(), true);
    save("gfx/bg_hills.png", background_hills(), true);

    save("gfx/dummy.png", dummy_texture(), false);
    return ok;
}

}  // namespace assets

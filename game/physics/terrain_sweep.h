#pragma once
// The pixel side of the terrain pass: the surface as raw words, what a colour is to one object,
// and the sweeps that narrow the span a moving box may take.
#include <SDL/SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>

#include "game/terrain/terrain_pixels.h"

class QGPhysObject;

namespace terrain_sweep {

// Coordinates and sizes of the terrain pass stay within this bound, so that sums of a
// position, a size and a step allowance never overflow an int.
constexpr int kPixelLimit = 1 << 28;

inline int clamp_extent(int64_t v) { return int(std::clamp<int64_t>(v, -kPixelLimit, kPixelLimit)); }

// The size used by the terrain pass: a negative size counts as empty.
inline int box_extent(int v) { return std::clamp(v, 0, kPixelLimit); }

// 0 below 1, the limit above it, else the value.
inline int clamp_to(int v, int limit) {
    if (v < 1) return 0;
    if (v > limit) return limit;
    return v;
}

// One row of 32-bit terrain words (alpha 24-31, red 16-23, green 8-15, blue 0-7), indexed by x.
class PixelRow {
public:
    explicit PixelRow(const uint8_t* base) : base_(base) {}
    uint32_t operator[](int x) const {
        uint32_t v;
        std::memcpy(&v, base_ + size_t(x) * 4, 4);
        return v;
    }
    // The pixels x and x + 1 as one word.
    uint64_t pair(int x) const {
        uint64_t v;
        std::memcpy(&v, base_ + size_t(x) * 4, 8);
        return v;
    }

private:
    const uint8_t* base_;
};

// The end of the run of pixels equal to row[x], at most end. Terrain comes in large areas of
// one colour, so the passes classify a run at a time; the run is found by comparing raw words,
// eight pixels at a time.
inline int run_end(PixelRow row, int x, int end) {
    const uint32_t key = row[x];
    const uint64_t keys = uint64_t(key) << 32 | key;
    ++x;
    while (x + 8 <= end &&
           ((row.pair(x) ^ keys) | (row.pair(x + 2) ^ keys) | (row.pair(x + 4) ^ keys) | (row.pair(x + 6) ^ keys)) == 0)
        x += 8;
    while (x < end && row[x] == key) ++x;
    return x;
}

// The terrain surface seen by one terrain pass of one object: its rows as raw words. Standard
// surfaces are read in place; other layouts are converted a row at a time.
class TerrainView {
public:
    explicit TerrainView(SDL_Surface* s);

    bool present() const { return pixels_.has_value(); }

    // Row y, valid for the columns [x0, x1) (inside the surface) until the next call.
    PixelRow row(int y, int x0, int x1);

    // Asks for the rows of a rectangle ahead of reading them: the objects are spread over the
    // whole level, so their rows are rarely in the nearest caches, and waiting for them one by
    // one is what a terrain pass would otherwise spend its time on.
    void prefetch(int x0, int x1, int y0, int y1) const;

    int width = 0;
    int height = 0;

private:
    SurfaceLock lock_;
    std::optional<TerrainPixels> pixels_;
    bool standard_ = false;
    const uint8_t* base_ = nullptr;
    size_t pitch_ = 0;
};

// What a terrain colour is to one object.
struct PixelClass {
    bool solid = false;
    bool sets_ladder = false;  // whether the pixel test would have set on_ladder
};

// The object's pixel test for one climbing mode, asked once per colour met in a pass: it is a
// pure test of the colour apart from setting on_ladder, and a level holds a handful of
// colours. Whether the test sets on_ladder is recorded rather than done, so that the callers
// decide in which order the pixels count.
class PixelClassifier {
public:
    PixelClassifier(QGPhysObject& o, bool climbing) : object_(o), climbing_(climbing) {}
    PixelClass operator()(uint32_t key);

private:
    static constexpr int kEntries = 8;
    QGPhysObject& object_;
    bool climbing_;
    int used_ = 0;
    unsigned next_ = 0;
    uint32_t keys_[kEntries] = {};
    PixelClass classes_[kEntries];
};

// Where the box test of one box meets its first solid pixel and its first ladder pixel, both
// in column order (x outer, y inner); x is the box's right edge when there is none.
struct BoxScan {
    int solid_x, solid_y;
    int ladder_x, ladder_y;
};
BoxScan scan_box(TerrainView& view, PixelClassifier& classify, int x0, int x1, int y0, int y1);

// One row of the downward (or upward) sweep: narrows the free columns [fl, fr) of a box w wide
// by the solid pixels of row y, left to right; pixels outside the surface are free.
void narrow_by_row(TerrainView& view, PixelClassifier& classify, int y, int w, int& fl, int& fr);

// One object's terrain pass: its box (w x h) moves from the pixel (px, py) to (nx, ny). The
// sweeps narrow the span [L, R) x [T, B) the box may take, horizontally first; a column (or
// row) too narrow for the box ends a sweep.
class TerrainSweep {
    TerrainView& view_;
    PixelClassifier& classify_;

public:
    TerrainSweep(TerrainView& view, PixelClassifier& classify, int w, int h, int px, int py, int nx, int ny);

    void sweep_horizontal();
    void sweep_vertical();

    bool blocked_x() const { return (right && R < nx + w) || (left && L > nx); }
    bool blocked_y() const { return (down && B < ny + h) || (up && T > ny); }

    const int w, h, px, py, nx, ny;
    const bool right, left, down, up;
    int L, R, T, B;

private:
    int clamp_x(int64_t v) const { return clamp_to(clamp_extent(v), view_.width); }
    int clamp_y(int64_t v) const { return clamp_to(clamp_extent(v), view_.height); }
    // After a horizontal sweep: step onto the floor found, or go under the ceiling found.
    void settle_on_span(int ft, int fb);
};

}  // namespace terrain_sweep

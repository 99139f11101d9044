#pragma once
// The sweeps of the terrain pass that narrow the span a moving box may take, over the terrain's
// pixels and solid mask (game/terrain/solid_mask.h).
#include <algorithm>
#include <cstdint>

#include "game/terrain/solid_mask.h"

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

// Where the box test of one box meets its first solid pixel and its first ladder pixel (only
// when climbing), both in column order (x outer, y inner); x is the box's right edge when there
// is none.
struct BoxScan {
    int solid_x, solid_y;
    int ladder_x, ladder_y;
};
BoxScan scan_box(solid_terrain::TerrainView& view, bool climbing, int x0, int x1, int y0, int y1);

// One row of the downward (or upward) sweep: narrows the free columns [fl, fr) of a box w wide
// by the solid pixels of row y, left to right; pixels outside the surface are free.
void narrow_by_row(solid_terrain::TerrainView& view, int y, int w, int& fl, int& fr);

// One object's terrain pass: its box (w x h) moves from the pixel (px, py) to (nx, ny). The
// sweeps narrow the span [L, R) x [T, B) the box may take, horizontally first; a column (or
// row) too narrow for the box ends a sweep.
struct TerrainSweep {
    void sweep_horizontal();
    void sweep_vertical();

    bool blocked_x() const { return (right && R < nx + w) || (left && L > nx); }
    bool blocked_y() const { return (down && B < ny + h) || (up && T > ny); }
    int clamp_x(int64_t v) const { return clamp_to(clamp_extent(v), view.width); }
    int clamp_y(int64_t v) const { return clamp_to(clamp_extent(v), view.height); }
    // After a horizontal sweep: step onto the floor found, or go under the ceiling found.
    void settle_on_span(int ft, int fb);
    // The first row from y a vertical sweep of the columns [fl, fr) narrows by, past the rows
    // without a solid pixel there (from the level's mask).
    [[gnu::noinline]] int first_row_of_long_move(int fl, int fr, int y) const;

    solid_terrain::TerrainView& view;
    const solid_terrain::SolidMask* level_mask;  // null: the sweep classifies the pixels it reads
    const int w, h, px, py, nx, ny;
    const bool right = px < nx, left = nx < px, down = py < ny, up = ny < py;
    int L = clamp_x(std::min(px, nx)), R = clamp_x(std::max(int64_t(px) + w, int64_t(nx) + w));
    int T = clamp_y(std::min(py, ny)), B = clamp_y(std::max(int64_t(py) + h, int64_t(ny) + h));
};

}  // namespace terrain_sweep

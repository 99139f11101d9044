#include "game/physics/terrain_sweep.h"

#include <vector>

#include "game/config/settings.h"

namespace terrain_sweep {

namespace {

// The shortest vertical move whose sweep finds its first row in the level's mask: gathering the
// mask's columns costs about as much as reading a few rows.
constexpr int64_t kLongMove = 16;

}  // namespace

BoxScan scan_box(solid_terrain::TerrainView& view, bool climbing, int x0, int x1, int y0, int y1) {
    // The rows are read whole (see SolidMask) and the column order is worked out: a pixel
    // right of the first solid one found so far cannot come before it.
    const ColorRGBA ladder = material_colors[int(Material::Ladder)];
    view.prefetch(x0, x1, y0, y1);
    BoxScan r{x1, y1, x1, y1};
    for (int y = y0; y < y1; ++y) {
        const solid_terrain::PixelRow row = view.row(y, x0, x1);
        for (int x = x0; x < r.solid_x;) {
            const int end = solid_terrain::run_end(row, x, r.solid_x);
            const ColorRGBA c = ColorRGBA::from_pixel(row[x]);
            if (solid_terrain::is_solid_colour(c)) {
                r.solid_x = x;
                r.solid_y = y;
                break;
            }
            if (climbing && c == ladder && x < r.ladder_x) {
                r.ladder_x = x;
                r.ladder_y = y;
            }
            x = end;
        }
    }
    return r;
}

void narrow_by_row(solid_terrain::TerrainView& view, int y, int w, int& fl, int& fr) {
    if (y < 0 || y >= view.height) return;
    const int first = std::max(fl, 0);
    const solid_terrain::PixelRow row = view.row(y, first, std::min(fr, view.width));
    for (int x = first; x < std::min(fr, view.width);) {
        const int end = solid_terrain::run_end(row, x, std::min(fr, view.width));
        if (!solid_terrain::solid_pixel(row[x])) {
            x = end;
            continue;
        }
        for (; x < end && x < fr; ++x) {
            if (x - fl < w) fl = x;
            else fr = x;
        }
    }
}

void TerrainSweep::settle_on_span(int ft, int fb) {
    if (fb < B) {
        B = clamp_y(fb);
        T = B - h;
    } else if (T < ft) {
        T = ft < 1 ? 0 : std::min(ft, view.height - h);
        B = T + h;
    }
}

// The span of the last column that let the box through is the one it settles in, not the
// narrowed one of the wall.
void TerrainSweep::sweep_horizontal() {
    if (!right && !left) return;
    const int64_t s = (right ? int64_t(R) - (int64_t(px) + w) : int64_t(px) - L) * int64_t(step_height);
    int ft = clamp_y(T - s), fb = clamp_y(B + s);
    // Without the level's mask the sweep classifies the band of pixels it may read.
    const solid_terrain::SolidMask* mask = level_mask;
    if (!mask) {
        static thread_local solid_terrain::SolidMask band;
        band.build(view, right ? px + w : L, right ? R : px, ft, fb);
        mask = &band;
    }
    // The columns entered: px + w up to R - 1, or px - 1 down to L.
    for (int x = right ? px + w : px - 1; right ? x < R : L <= x; x += right ? 1 : -1) {
        const int top = ft, bottom = fb;
        // Narrows the free rows [ft, fb) by the solid pixels of the column, top down.
        for (int y = mask->next_solid(x, ft, fb); y < fb; y = mask->next_solid(x, y + 1, fb)) {
            if (y - ft < h) ft = y;
            else fb = y;
        }
        if (fb - ft < h) {
            ft = top;
            fb = bottom;
            if (right) R = x - 1;
            else L = x + 2;
            break;
        }
    }
    if (right ? px + w < R : L < px) settle_on_span(ft, fb);
}

void TerrainSweep::sweep_vertical() {
    if (!down && !up) return;
    const int64_t m = down ? int64_t(B) - (int64_t(py) + h) : int64_t(py) - T;
    int fl = clamp_x(L - m), fr = clamp_x(R + m);
    // The rows entered: py + h down to B - 1, or py - 1 up to T.
    int y = down ? py + h : py - 1;
    if (level_mask && m >= kLongMove && fr - fl >= w) y = first_row_of_long_move(fl, fr, y);
    for (; down ? y < B : T <= y; y += down ? 1 : -1) {
        narrow_by_row(view, y, w, fl, fr);
        if (fr - fl < w) {
            if (down) B = y - 1;
            else T = y + 2;
            break;
        }
    }
}

// A row with no solid pixel in [fl, fr) narrows nothing, so a long move starts at the first row
// that holds one instead of reading every row of its widening band through the air.
int TerrainSweep::first_row_of_long_move(int fl, int fr, int y) const {
    return down ? level_mask->first_solid_row(fl, fr, y, B) : level_mask->last_solid_row(fl, fr, y + 1, T);
}

}  // namespace terrain_sweep

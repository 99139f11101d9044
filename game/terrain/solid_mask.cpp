#include "game/terrain/solid_mask.h"

#include "game/config/settings.h"

namespace solid_terrain {

bool is_solid_colour(const ColorRGBA& pixel) {
    return !(pixel == material_colors[int(Material::Ladder)] || pixel == material_colors[int(Material::Air)] ||
             pixel == material_colors[int(Material::Water)] || pixel == material_colors[int(Material::StaticWater)]);
}

void SolidMask::build(SDL_Surface* s) {
    TerrainView view(s);
    build(view, 0, view.width, 0, view.height);
    source_ = s;
    tiles_w_ = (view.width + (1 << kTileShift) - 1) >> kTileShift;
    const int tiles_h = (view.height + (1 << kTileShift) - 1) >> kTileShift;
    ladder_tiles_.assign(size_t(tiles_w_) * size_t(tiles_h), 0);
    find_ladders(view, 0, tiles_w_, 0, tiles_h);
}

bool SolidMask::may_hold_ladder(int x0, int x1, int y0, int y1) const {
    if (ladder_tiles_.empty()) return true;
    // Pixels outside the surface hold nothing.
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, x1_);
    y1 = std::min(y1, rows_);
    if (x0 >= x1 || y0 >= y1) return false;
    for (int ty = y0 >> kTileShift; ty <= (y1 - 1) >> kTileShift; ++ty)
        for (int tx = x0 >> kTileShift; tx <= (x1 - 1) >> kTileShift; ++tx)
            if (ladder_tiles_[size_t(ty) * size_t(tiles_w_) + size_t(tx)]) return true;
    return false;
}

void SolidMask::find_ladders(TerrainView& view, int tx0, int tx1, int ty0, int ty1) {
    const uint32_t ladder = material_colors[int(Material::Ladder)].to_pixel();
    for (int ty = ty0; ty < ty1; ++ty)
        for (int tx = tx0; tx < tx1; ++tx) {
            const int x0 = tx << kTileShift, x1 = std::min(x0 + (1 << kTileShift), view.width);
            const int y0 = ty << kTileShift, y1 = std::min(y0 + (1 << kTileShift), view.height);
            bool found = false;
            for (int y = y0; y < y1 && !found; ++y) {
                const PixelRow row = view.row(y, x0, x1);
                for (int x = x0; x < x1 && !found; x = run_end(row, x, x1)) found = row[x] == ladder;
            }
            ladder_tiles_[size_t(ty) * size_t(tiles_w_) + size_t(tx)] = found;
        }
}

void SolidMask::build(TerrainView& view, int x0, int x1, int y0, int y1) {
    // An empty range (a sweep that enters no column) holds nothing.
    source_ = nullptr;
    ladder_tiles_.clear();
    x0_ = x0;
    x1_ = std::max(x1, x0);
    y0_ = y0;
    rows_ = std::max(y1 - y0, 0);
    words_ = std::max((int64_t(rows_) + 63) / 64, int64_t(1));
    bits_.assign(size_t(x1_ - x0_) * size_t(words_), 0);
    mark(view, x0_, x1_, y0_, y0_ + rows_);
}

void SolidMask::update(SDL_Surface* s, const PixelRect& area) {
    if (!s || s != source_) return;
    const int cx0 = std::max(area.x, x0_), cx1 = int(std::min<int64_t>(int64_t(area.x) + area.width, x1_));
    const int cy0 = std::max(area.y, y0_), cy1 = int(std::min<int64_t>(int64_t(area.y) + area.height, y0_ + rows_));
    if (cx0 >= cx1 || cy0 >= cy1) return;
    for (int x = cx0; x < cx1; ++x)
        for (int r = cy0 - y0_; r < cy1 - y0_; ++r) column(x)[r >> 6] &= ~(uint64_t(1) << (r & 63));
    TerrainView view(s);
    mark(view, cx0, cx1, cy0, cy1);
    if (!ladder_tiles_.empty())
        find_ladders(view, cx0 >> kTileShift, ((cx1 - 1) >> kTileShift) + 1, cy0 >> kTileShift,
                     ((cy1 - 1) >> kTileShift) + 1);
}

int SolidMask::next_solid(int x, int y, int limit) const {
    if (x < x0_ || x >= x1_) return limit;
    const uint64_t* bits = column(x);
    int r = std::max(y - y0_, 0);
    const int end = std::min(limit - y0_, rows_);
    while (r < end) {
        const uint64_t word = bits[r >> 6] >> (r & 63);
        if (word != 0) return std::min(y0_ + r + __builtin_ctzll(word), limit);
        r = (r | 63) + 1;
    }
    return limit;
}

uint64_t SolidMask::rows_of(int x0, int x1, int i) const {
    uint64_t any = 0;
    const uint64_t* word = column(x0) + i;
    for (int x = x0; x < x1; ++x, word += words_) any |= *word;
    return any;
}

int SolidMask::first_solid_row(int x0, int x1, int y, int limit) const {
    x0 = std::max(x0, x0_);
    x1 = std::min(x1, x1_);
    if (x0 >= x1) return limit;
    int r = std::max(y - y0_, 0);
    const int end = std::min(limit - y0_, rows_);
    while (r < end) {
        const uint64_t any = rows_of(x0, x1, r >> 6) >> (r & 63);
        if (any != 0) return std::min(y0_ + r + __builtin_ctzll(any), limit);
        r = (r | 63) + 1;
    }
    return limit;
}

int SolidMask::last_solid_row(int x0, int x1, int y, int limit) const {
    x0 = std::max(x0, x0_);
    x1 = std::min(x1, x1_);
    if (x0 >= x1) return limit - 1;
    int r = std::min(y - y0_, rows_) - 1;
    const int stop = std::max(limit - y0_, 0);
    while (r >= stop) {
        const uint64_t any = rows_of(x0, x1, r >> 6) << (63 - (r & 63));
        if (any != 0) return std::max(y0_ + r - __builtin_clzll(any), limit - 1);
        r = (r & ~63) - 1;
    }
    return limit - 1;
}

void SolidMask::mark(TerrainView& view, int x0, int x1, int y0, int y1) {
    // Pixels outside the surface are free.
    const int cx0 = std::max(x0, 0), cx1 = std::min(x1, view.width);
    const int cy0 = std::max(y0, 0), cy1 = std::min(y1, view.height);
    if (cx0 >= cx1) return;
    view.prefetch(cx0, cx1, cy0, cy1);
    for (int y = cy0; y < cy1; ++y) {
        const PixelRow row = view.row(y, cx0, cx1);
        const size_t word = size_t(y - y0_) >> 6;
        const uint64_t bit = uint64_t(1) << ((y - y0_) & 63);
        for (int x = cx0; x < cx1;) {
            const int end = run_end(row, x, cx1);
            if (solid_pixel(row[x]))
                for (; x < end; ++x) column(x)[word] |= bit;
            x = end;
        }
    }
}

}  // namespace solid_terrain

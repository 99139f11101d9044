#pragma once
// The pixel side of the terrain: the surface as raw words, the rule of which colours are solid
// and the mask of its solid pixels, the same for every object that meets the terrain at all.
#include <SDL/SDL.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "game/terrain/terrain_carver.h"
#include "game/base/terrain_pixels.h"

namespace solid_terrain {

// Whether a terrain colour stops the objects that meet the terrain at all: every material but
// air, water and ladders.
bool is_solid_colour(const ColorRGBA& pixel);

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
    explicit TerrainView(SDL_Surface* s) : lock_(s) {
        if (s && s->pixels && s->format && s->w > 0 && s->h > 0) {
            pixels_.emplace(s);
            width = s->w;
            height = s->h;
            standard_ = pixels_->standard();
            base_ = static_cast<const uint8_t*>(s->pixels);
            pitch_ = size_t(s->pitch);
        }
    }

    bool present() const { return pixels_.has_value(); }

    // Row y, valid for the columns [x0, x1) (inside the surface) until the next call.
    PixelRow row(int y, int x0, int x1) {
        if (standard_) return PixelRow(base_ + size_t(y) * pitch_);
        static thread_local std::vector<uint32_t> converted;
        converted.resize(size_t(width));
        for (int x = x0; x < x1; ++x) converted[size_t(x)] = pixels_->get(x, y).to_pixel();
        return PixelRow(reinterpret_cast<const uint8_t*>(converted.data()));
    }

    // Asks for the rows of a rectangle ahead of reading them: the objects are spread over the
    // whole level, so their rows are rarely in the nearest caches, and waiting for them one by
    // one is what a terrain pass would otherwise spend its time on.
    void prefetch(int x0, int x1, int y0, int y1) const {
        x0 = std::max(x0, 0);
        y0 = std::max(y0, 0);
        x1 = std::min(x1, width);
        y1 = std::min(y1, height);
        if (!standard_ || x0 >= x1) return;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; x += 16) __builtin_prefetch(base_ + size_t(y) * pitch_ + size_t(x) * 4);
    }

    int width = 0;
    int height = 0;

private:
    SurfaceLock lock_;
    std::optional<TerrainPixels> pixels_;
    bool standard_ = false;
    const uint8_t* base_ = nullptr;
    size_t pitch_ = 0;
};

// Whether a terrain word stops the objects that meet the terrain at all.
inline bool solid_pixel(uint32_t key) { return is_solid_colour(ColorRGBA::from_pixel(key)); }

// The solid pixels of a rectangle of the terrain as every object's horizontal sweep sees them,
// one bit per pixel in column order. The surface is stored row by row, so a walk down a column
// meets a new cache line at every pixel (with a power-of-two width all in one cache set); the
// mask is filled row by row instead and a sweep then skips the free rows of a column 64 at a
// time. The level keeps one for its whole surface, which whatever writes its pixels updates.
class SolidMask {
public:
    // The whole surface; only this kind of mask takes updates, and only from its own surface.
    void build(SDL_Surface* s);
    // The columns [x0, x1) and rows [y0, y1); pixels outside the surface are free.
    void build(TerrainView& view, int x0, int x1, int y0, int y1);
    // Classifies the area again after its pixels changed.
    void update(SDL_Surface* s, const PixelRect& area);
    // The first solid row of column x in [y, limit), or limit.
    int next_solid(int x, int y, int limit) const;
    // The first row in [y, limit) that holds a solid pixel in any of the columns [x0, x1), or
    // limit; the last such row in [limit, y), or limit - 1.
    int first_solid_row(int x0, int x1, int y, int limit) const;
    int last_solid_row(int x0, int x1, int y, int limit) const;
    // Whether the columns [x0, x1) and rows [y0, y1) may hold a ladder pixel: false only when the
    // mask of the whole surface knows that none of them does.
    bool may_hold_ladder(int x0, int x1, int y0, int y1) const;

private:
    // Ladders are rare and the terrain pass probes every moving box for them, so the whole
    // surface's mask also keeps which tiles of kTile x kTile pixels hold any.
    static constexpr int kTileShift = 6;
    void mark(TerrainView& view, int x0, int x1, int y0, int y1);
    void find_ladders(TerrainView& view, int tx0, int tx1, int ty0, int ty1);
    // The rows of word i, 64 rows from y0_ + 64 i, that hold a solid pixel in any of the columns
    // [x0, x1) (inside the mask).
    uint64_t rows_of(int x0, int x1, int i) const;
    uint64_t* column(int x) { return bits_.data() + size_t(x - x0_) * size_t(words_); }
    const uint64_t* column(int x) const { return bits_.data() + size_t(x - x0_) * size_t(words_); }

    const SDL_Surface* source_ = nullptr;
    std::vector<uint64_t> bits_;
    int x0_ = 0, x1_ = 0, y0_ = 0, rows_ = 0;
    int64_t words_ = 1;
    std::vector<uint8_t> ladder_tiles_;  // by tile row, then column; empty: not known
    int tiles_w_ = 0;
};

}  // namespace solid_terrain

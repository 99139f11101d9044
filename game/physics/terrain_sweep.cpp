#include "game/physics/terrain_sweep.h"

#include <vector>

#include "game/config/settings.h"
#include "game/physics/qg_phys_object.h"

namespace terrain_sweep {

TerrainView::TerrainView(SDL_Surface* s) : lock_(s) {
    if (s && s->pixels && s->format && s->w > 0 && s->h > 0) {
        pixels_.emplace(s);
        width = s->w;
        height = s->h;
        standard_ = pixels_->standard();
        base_ = static_cast<const uint8_t*>(s->pixels);
        pitch_ = size_t(s->pitch);
    }
}

PixelRow TerrainView::row(int y, int x0, int x1) {
    if (standard_) return PixelRow(base_ + size_t(y) * pitch_);
    static thread_local std::vector<uint32_t> converted;
    converted.resize(size_t(width));
    for (int x = x0; x < x1; ++x) converted[size_t(x)] = pixels_->get(x, y).to_pixel();
    return PixelRow(reinterpret_cast<const uint8_t*>(converted.data()));
}

void TerrainView::prefetch(int x0, int x1, int y0, int y1) const {
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    x1 = std::min(x1, width);
    y1 = std::min(y1, height);
    if (!standard_ || x0 >= x1) return;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; x += 16) __builtin_prefetch(base_ + size_t(y) * pitch_ + size_t(x) * 4);
}

PixelClass PixelClassifier::operator()(uint32_t key) {
    for (int i = 0; i < used_; ++i)
        if (keys_[i] == key) return classes_[i];
    const bool before = object_.on_ladder;
    object_.on_ladder = false;
    PixelClass c;
    c.solid = object_.is_solid_pixel(ColorRGBA::from_pixel(key), climbing_);
    c.sets_ladder = object_.on_ladder;
    object_.on_ladder = before;
    const int slot = used_ < kEntries ? used_++ : (next_++ % kEntries);
    keys_[slot] = key;
    classes_[slot] = c;
    return c;
}

BoxScan scan_box(TerrainView& view, PixelClassifier& classify, int x0, int x1, int y0, int y1) {
    // The rows are read whole (see SweepBand) and the column order is worked out: a pixel
    // right of the first solid one found so far cannot come before it.
    view.prefetch(x0, x1, y0, y1);
    BoxScan r{x1, y1, x1, y1};
    for (int y = y0; y < y1; ++y) {
        const PixelRow row = view.row(y, x0, x1);
        for (int x = x0; x < r.solid_x;) {
            const int end = run_end(row, x, r.solid_x);
            const PixelClass c = classify(row[x]);
            if (c.solid) {
                r.solid_x = x;
                r.solid_y = y;
                break;
            }
            if (c.sets_ladder && x < r.ladder_x) {
                r.ladder_x = x;
                r.ladder_y = y;
            }
            x = end;
        }
    }
    return r;
}


// One row of the downward (or upward) sweep: narrows the free columns [fl, fr) of a box w wide
// by the solid pixels of row y, left to right; pixels outside the surface are free.
void narrow_by_row(TerrainView& view, PixelClassifier& classify, int y, int w, int& fl, int& fr) {
    if (y < 0 || y >= view.height) return;
    const int first = std::max(fl, 0);
    const PixelRow row = view.row(y, first, std::min(fr, view.width));
    for (int x = first; x < std::min(fr, view.width);) {
        const int end = run_end(row, x, std::min(fr, view.width));
        if (!classify(row[x]).solid) {
            x = end;
            continue;
        }
        for (; x < end && x < fr; ++x) {
            if (x - fl < w) fl = x;
            else fr = x;
        }
    }
}

namespace {

// The solid pixels of the band a horizontal sweep may read, one bit per pixel in column order.
// The surface is stored row by row, so a walk down a column meets a new cache line at every
// pixel (with a power-of-two width all in one cache set); the band is read row by row instead
// and the sweep then skips the free rows of a column 64 at a time. Very wide bands are held a
// window of columns at a time.
class SweepBand {
public:
    // The columns [x0, x1) and rows [y0, y1), walked towards increasing x unless backwards.
    SweepBand(TerrainView& view, PixelClassifier& classify, int x0, int x1, int y0, int y1, bool backwards)
        : view_(view),
          classify_(classify),
          x0_(x0),
          x1_(x1),
          y0_(y0),
          y1_(y1),
          words_(std::max((int64_t(y1) - y0 + 63) / 64, int64_t(1))),
          window_columns_(int(std::max<int64_t>(kMaxWords / words_, 1))),
          backwards_(backwards) {}

    // The first solid row of column x in [y, limit), or limit; y and limit lie in the band.
    int next_solid(int x, int y, int limit) {
        if (x < win_x0_ || x >= win_x1_) load(x);
        const uint64_t* column = bits().data() + size_t(x - win_x0_) * size_t(words_);
        int r = y - y0_;
        const int end = limit - y0_;
        while (r < end) {
            const uint64_t word = column[r >> 6] >> (r & 63);
            if (word != 0) return std::min(y0_ + r + __builtin_ctzll(word), limit);
            r = (r | 63) + 1;
        }
        return limit;
    }

private:
    static constexpr int64_t kMaxWords = int64_t(1) << 16;

    static std::vector<uint64_t>& bits() {
        static thread_local std::vector<uint64_t> store;
        return store;
    }

    // Reads the window of columns that holds x, ahead of x in the walking direction.
    void load(int x) {
        win_x0_ = backwards_ ? std::max<int64_t>(x0_, int64_t(x) - window_columns_ + 1) : x;
        win_x1_ = backwards_ ? x + 1 : int(std::min<int64_t>(x1_, int64_t(x) + window_columns_));
        std::vector<uint64_t>& store = bits();
        store.assign(size_t(win_x1_ - win_x0_) * size_t(words_), 0);
        // Pixels outside the surface are free.
        const int cx0 = std::max(win_x0_, 0), cx1 = std::min(win_x1_, view_.width);
        const int cy0 = std::max(y0_, 0), cy1 = std::min(y1_, view_.height);
        if (cx0 >= cx1) return;
        view_.prefetch(cx0, cx1, cy0, cy1);
        for (int y = cy0; y < cy1; ++y) {
            const PixelRow row = view_.row(y, cx0, cx1);
            const size_t word = size_t(y - y0_) >> 6;
            const uint64_t bit = uint64_t(1) << ((y - y0_) & 63);
            for (int x = cx0; x < cx1;) {
                const int end = run_end(row, x, cx1);
                if (classify_(row[x]).solid)
                    for (; x < end; ++x) store[size_t(x - win_x0_) * size_t(words_) + word] |= bit;
                x = end;
            }
        }
    }

    TerrainView& view_;
    PixelClassifier& classify_;
    int x0_, x1_, y0_, y1_;
    int64_t words_;
    int window_columns_;
    bool backwards_;
    int win_x0_ = 0, win_x1_ = 0;
};

}  // namespace

TerrainSweep::TerrainSweep(TerrainView& view, PixelClassifier& classify, int w_, int h_, int px_, int py_, int nx_,
                           int ny_)
    : view_(view),
      classify_(classify),
      w(w_),
      h(h_),
      px(px_),
      py(py_),
      nx(nx_),
      ny(ny_),
      right(px < nx),
      left(nx < px),
      down(py < ny),
      up(ny < py),
      L(clamp_x(std::min(px, nx))),
      R(clamp_x(std::max(int64_t(px) + w, int64_t(nx) + w))),
      T(clamp_y(std::min(py, ny))),
      B(clamp_y(std::max(int64_t(py) + h, int64_t(ny) + h))) {}

void TerrainSweep::settle_on_span(int ft, int fb) {
    if (fb < B) {
        B = clamp_y(fb);
        T = B - h;
    } else if (T < ft) {
        T = ft < 1 ? 0 : std::min(ft, view_.height - h);
        B = T + h;
    }
}

// The span of the last column that let the box through is the one it settles in, not the
// narrowed one of the wall.
void TerrainSweep::sweep_horizontal() {
    if (!right && !left) return;
    const int64_t s = (right ? int64_t(R) - (int64_t(px) + w) : int64_t(px) - L) * int64_t(step_height);
    int ft = clamp_y(T - s), fb = clamp_y(B + s);
    SweepBand band(view_, classify_, right ? px + w : L, right ? R : px, ft, fb, left);
    // The columns entered: px + w up to R - 1, or px - 1 down to L.
    for (int x = right ? px + w : px - 1; right ? x < R : L <= x; x += right ? 1 : -1) {
        const int top = ft, bottom = fb;
        // Narrows the free rows [ft, fb) by the solid pixels of the column, top down.
        for (int y = band.next_solid(x, ft, fb); y < fb; y = band.next_solid(x, y + 1, fb)) {
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
    for (int y = down ? py + h : py - 1; down ? y < B : T <= y; y += down ? 1 : -1) {
        narrow_by_row(view_, classify_, y, w, fl, fr);
        if (fr - fl < w) {
            if (down) B = y - 1;
            else T = y + 2;
            break;
        }
    }
}

}  // namespace terrain_sweep

#include "game/terrain/terrain_carver.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>

#include "engine/core/random.h"
#include "engine/core/saturate.h"
#include "game/config/settings.h"
#include "game/base/terrain_pixels.h"

bool is_destructible_colour(const ColorRGBA& c) { return c == color_destructible || c == color_explosive; }

namespace {

// A bound clamped into 0..size and truncated; NaN counts as 0.
int clamp_bound(float v, int size) { return std::clamp(saturate_cast<int>(v), 0, size); }

// Whether pixels [x0, x1) of a row hold the value v; four at a time with SSE2.
bool row_holds(const uint32_t* row, int x0, int x1, uint32_t v) {
    const __m128i want = _mm_set1_epi32(static_cast<int>(v));
    __m128i hits = _mm_setzero_si128();
    int x = x0;
    for (; x + 4 <= x1; x += 4)
        hits = _mm_or_si128(hits, _mm_cmpeq_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(row + x)), want));
    bool found = _mm_movemask_epi8(hits) != 0;
    for (; x < x1; ++x) found |= row[x] == v;
    return found;
}

enum class Kind { Other, Destructible, Explosive, Indestructible };

// Sorts surface pixels into the materials a blast cares about and writes them back.
class Carver {
public:
    explicit Carver(SDL_Surface* s) : px_(s), pixels_(static_cast<uint8_t*>(s->pixels)), pitch_(s->pitch) {
        air_ = px_.map(color_air);
        destructible_ = px_.map(color_destructible);
        if (px_.standard()) {
            raw_destructible_ = color_destructible.to_pixel();
            raw_explosive_ = color_explosive.to_pixel();
            raw_indestructible_ = color_indestructible.to_pixel();
        }
    }

    int width() const { return px_.width(); }
    int height() const { return px_.height(); }

    // Checked in the order the blast applies them, so that a badly configured table where two
    // materials share a colour still behaves like the explosion test by test.
    Kind kind(int x, int y) const {
        if (px_.standard()) {
            uint32_t v = px_.raw(x, y);
            if (v == raw_destructible_) return Kind::Destructible;
            if (v == raw_explosive_) return Kind::Explosive;
            if (v == raw_indestructible_) return Kind::Indestructible;
            return Kind::Other;
        }
        ColorRGBA c = px_.get(x, y);
        if (c == color_destructible) return Kind::Destructible;
        if (c == color_explosive) return Kind::Explosive;
        if (c == color_indestructible) return Kind::Indestructible;
        return Kind::Other;
    }
    bool explosive(int x, int y) const { return kind(x, y) == Kind::Explosive; }

    // Carves a disc row by row when no pixel of it is explosive: the pixels then change
    // independently of each other, so the order of the column scan is not observable. Each
    // row's span is found with the column scan's own test. Answers false, having changed
    // nothing, where the column scan must do the work.
    bool carve_calm_disc(const Explosion& e, const PixelRect& box) {
        if (!px_.standard() || box.empty()) return false;
        const double cx = e.x, cy = e.y;
        const double r2 = static_cast<double>(e.radius) * e.radius;
        spans_.clear();
        // The column nearest the centre has the smallest distance in the box.
        const int mid = static_cast<int>(std::nearbyint(std::clamp(cx, double(box.x), double(box.x + box.width - 1))));
        for (int y = box.y; y < box.y + box.height; ++y) {
            const double dy = y - cy;
            auto inside = [&](int x) {
                const double dx = x - cx;
                return !(dy * dy + dx * dx > r2);
            };
            if (!inside(mid)) continue;
            // Start from the exact half-width, then settle on the test's own edge.
            const double half = std::sqrt(std::max(r2 - dy * dy, 0.0));
            int x0 = static_cast<int>(std::clamp(std::ceil(cx - half), double(box.x), double(mid)));
            while (x0 > box.x && inside(x0 - 1)) --x0;
            while (!inside(x0)) ++x0;
            int x1 = static_cast<int>(std::clamp(std::floor(cx + half), double(mid), double(box.x + box.width - 1)));
            while (x1 < box.x + box.width - 1 && inside(x1 + 1)) ++x1;
            while (!inside(x1)) --x1;
            spans_.push_back({y, x0, x1 + 1});
        }
        // A colour shared with the destructible one counts as destructible, as in kind().
        if (raw_explosive_ != raw_destructible_)
            for (const Span& s : spans_)
                if (row_holds(row(s.y), s.x0, s.x1, raw_explosive_)) return false;
        for (const Span& s : spans_) carve_row(row(s.y), s.x0, s.x1);
        return true;
    }

    void to_air(int x, int y) { px_.put(x, y, air_); }
    // What carving makes of a standard pixel that is not explosive.
    uint32_t carved(uint32_t v) const {
        return v == raw_destructible_ ? air_ : v == raw_indestructible_ ? destructible_ : v;
    }
    void to_destructible(int x, int y) { px_.put(x, y, destructible_); }

    // Floods from an explosive pixel already turned to air; answers the pixels taken, and
    // their bounding box in `box` (the flood reaches past the disc's).
    int flood(int x, int y, PixelRect& box) {
        const int w = width(), h = height();
        queue_.clear();
        queue_.push_back(y * w + x);
        std::size_t head = 0;
        int n = 0;
        int x0 = x, x1 = x, y0 = y, y1 = y;
        auto take = [&](int nx, int ny) {
            if (explosive(nx, ny)) {
                to_air(nx, ny);  // at once, so no pixel is queued twice
                queue_.push_back(ny * w + nx);
            }
        };
        while (head < queue_.size()) {
            int at = queue_[head++];
            int cx = at % w, cy = at / w;
            ++n;
            x0 = std::min(x0, cx), x1 = std::max(x1, cx), y0 = std::min(y0, cy), y1 = std::max(y1, cy);
            if (cx > 0) take(cx - 1, cy);
            if (cx < w - 1) take(cx + 1, cy);
            if (cy > 0) take(cx, cy - 1);
            if (cy < h - 1) take(cx, cy + 1);
        }
        box = {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
        return n;
    }

private:
    // Carves pixels [x0, x1) of a row, none of them explosive; four at a time with SSE2, each
    // material flipped to its new value by an xor (destructible first, as in carved()).
    void carve_row(uint32_t* row, int x0, int x1) const {
        const __m128i destructible = _mm_set1_epi32(static_cast<int>(raw_destructible_));
        const __m128i indestructible = _mm_set1_epi32(static_cast<int>(raw_indestructible_));
        const __m128i to_air = _mm_set1_epi32(static_cast<int>(raw_destructible_ ^ air_));
        const __m128i to_weakened = _mm_set1_epi32(static_cast<int>(raw_indestructible_ ^ destructible_));
        int x = x0;
        for (; x + 4 <= x1; x += 4) {
            __m128i* at = reinterpret_cast<__m128i*>(row + x);
            const __m128i v = _mm_loadu_si128(at);
            const __m128i is_destructible = _mm_cmpeq_epi32(v, destructible);
            const __m128i is_indestructible = _mm_andnot_si128(is_destructible, _mm_cmpeq_epi32(v, indestructible));
            const __m128i flip =
                _mm_or_si128(_mm_and_si128(is_destructible, to_air), _mm_and_si128(is_indestructible, to_weakened));
            _mm_storeu_si128(at, _mm_xor_si128(v, flip));
        }
        for (; x < x1; ++x) row[x] = carved(row[x]);
    }

    // Pixels of a standard (4-byte) surface, row by row.
    uint32_t* row(int y) { return reinterpret_cast<uint32_t*>(pixels_ + std::size_t(y) * std::size_t(pitch_)); }

    TerrainPixels px_;
    uint8_t* pixels_;
    int pitch_;
    uint32_t air_ = 0, destructible_ = 0;
    uint32_t raw_destructible_ = 0, raw_explosive_ = 0, raw_indestructible_ = 0;
    std::vector<int> queue_;
    struct Span {
        int y, x0, x1;
    };
    std::vector<Span> spans_;
};

// One disc being carved; the scan position lets a nested chain explosion run in between.
struct Disc {
    Explosion blast;
    PixelRect box;
    int px, py;
    bool waiting = false;  // a chain at (px, py) is exploding; resume after it
    bool fresh = true;     // not scanned yet
    ChainReaction chain;
};

bool finite_blast(const Explosion& e) { return std::isfinite(e.x) && std::isfinite(e.y) && std::isfinite(e.radius); }

// Back from a chain's own explosion: its effects, then the pixel's own epilogue; the scan goes
// on with the next pixel.
void resume_after_chain(Disc& disc, const ExplosionHooks* hooks, bool pixel_hook) {
    disc.waiting = false;
    if (hooks) hooks->chain_finished(disc.chain);
    if (pixel_hook) hooks->pixel_carved(disc.px, disc.py);
    if (++disc.py >= disc.box.y + disc.box.height) {
        disc.py = disc.box.y;
        ++disc.px;
    }
}

// Carves the disc's pixels from its scan position on, in column order. Answers true, waiting,
// when it stopped at a chain that is to explode on its own first.
bool scan_disc(Disc& disc, Carver& carver, ExplosionSummary& summary, bool nested_chains, const ExplosionHooks* hooks) {
    const bool pixel_hook = hooks && hooks->pixel_carved.is_valid();
    // In double precision, so that no square of a finite blast overflows.
    const double cx = disc.blast.x, cy = disc.blast.y;
    const double r2 = static_cast<double>(disc.blast.radius) * disc.blast.radius;
    const int x1 = disc.box.x + disc.box.width, y1 = disc.box.y + disc.box.height;
    for (; disc.px < x1; ++disc.px) {
        const double dx = disc.px - cx;
        for (; disc.py < y1; ++disc.py) {
            const double dy = disc.py - cy;
            if (dy * dy + dx * dx > r2) continue;
            const int x = disc.px, y = disc.py;
            switch (carver.kind(x, y)) {
            case Kind::Destructible: carver.to_air(x, y); break;
            case Kind::Indestructible: carver.to_destructible(x, y); break;
            case Kind::Explosive: {
                carver.to_air(x, y);
                PixelRect flooded;
                ChainReaction chain{x, y, carver.flood(x, y, flooded)};
                summary.chains.push_back(chain);
                summary.changed = unite(summary.changed, flooded);
                if (nested_chains) {
                    disc.waiting = true;
                    disc.chain = chain;
                    return true;
                }
                break;
            }
            case Kind::Other: break;
            }
            if (pixel_hook) hooks->pixel_carved(x, y);
        }
        disc.py = disc.box.y;
    }
    return false;
}

}  // namespace

PixelRect explosion_box(const Explosion& e, int width, int height) {
    int x0 = clamp_bound(e.x - e.radius, width), x1 = clamp_bound(e.x + e.radius, width);
    int y0 = clamp_bound(e.y - e.radius, height), y1 = clamp_bound(e.y + e.radius, height);
    return {x0, y0, std::max(x1 - x0, 0), std::max(y1 - y0, 0)};
}

ExplosionSummary explode_terrain(SDL_Surface* surface, const Explosion& blast, bool nested_chains,
                                 const ExplosionHooks* hooks) {
    ExplosionSummary summary;
    if (!surface || !finite_blast(blast)) return summary;

    SurfaceLock lock(surface);
    Carver carver(surface);
    const bool pixel_hook = hooks && hooks->pixel_carved.is_valid();

    std::vector<Disc> stack;
    auto open_disc = [&](const Explosion& e) {
        Disc d;
        d.blast = e;
        d.box = explosion_box(e, carver.width(), carver.height());
        d.px = d.box.x;
        d.py = d.box.y;
        stack.push_back(d);
    };
    open_disc(blast);

    while (!stack.empty()) {
        Disc& disc = stack.back();
        if (disc.waiting) resume_after_chain(disc, hooks, pixel_hook);
        if (disc.fresh) {
            disc.fresh = false;
            // Without a per-pixel hook and with no chain to set off, any order gives the same.
            if (!pixel_hook && carver.carve_calm_disc(disc.blast, disc.box)) disc.px = disc.box.x + disc.box.width;
        }
        if (scan_disc(disc, carver, summary, nested_chains, hooks)) {
            // `disc` may move when the stack grows; copy what the nested disc needs first.
            Explosion inner{static_cast<float>(disc.px), static_cast<float>(disc.py), disc.chain.radius()};
            open_disc(inner);
            continue;
        }

        Explosion done = disc.blast;
        PixelRect box = disc.box;
        stack.pop_back();
        ++summary.discs;
        summary.changed = unite(summary.changed, box);
        if (hooks) hooks->disc_carved(done, box);
    }
    return summary;
}

ChainEffectLayout chain_effect_layout(int chain_pixels, float effect_radius) {
    ChainEffectLayout layout;
    const float chain_radius = static_cast<float>(std::max(chain_pixels, 0)) / 10.0f;
    if (effect_radius > 0.0f && std::isfinite(effect_radius)) {
        double k = std::ceil(static_cast<double>(chain_radius) / static_cast<double>(effect_radius));
        double count = k * k;
        layout.count = static_cast<int>(std::clamp(count, 1.0, static_cast<double>(kMaxChainEffects)));
    }
    float radius = std::isfinite(effect_radius) ? std::max(effect_radius, 0.0f) : 0.0f;
    if (chain_radius > radius) layout.spread = std::max(static_cast<int>(std::floor(chain_radius - radius)), 1);
    return layout;
}

fvec2d draw_chain_effect_position(const ChainReaction& chain, int spread) {
    spread = std::max(spread, 1);
    int ey = chain.y + random_below(2 * spread) - spread;
    int ex = chain.x + random_below(2 * spread) - spread;
    return {static_cast<float>(ex), static_cast<float>(ey)};
}

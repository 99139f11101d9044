#include "game/session/broad_phase.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <emmintrin.h>
#include <typeinfo>

#include "game/physics/qg_phys_object.h"

namespace {

// The grid is laid over corners within this distance of the origin, where a float is exact to
// a quarter of a pixel: a query's reach of two pixels past the largest box then covers every
// rounding of the exact test. Corners farther out lie in the border cells.
constexpr float kFar = 4194304.0f;  // 2^22

// How far a query looks past the asking object's box, so that the small moves of its pair
// responses seldom take it out of what it was given.
constexpr float kQueryMargin = 4.0f;

// A box this many times the typical one is kept loose rather than made the cells' size, unless
// that would leave more than about one box in sixteen loose; a box beyond kMaxFiledExtent is
// always loose, which keeps the reach exact.
constexpr uint64_t kMaxExtentToTypical = 4;
constexpr uint64_t kMaxFiledExtent = 1 << 20;

// A filed box whose corner a pair response moves this far at most from where it was filed stays
// in its cell, a query looking that much farther both ways; one moved farther is chained from the
// cell it has come to.
constexpr float kSlack = 12.0f;

static_assert(sizeof(dvec2d) == sizeof(uint64_t) && sizeof(ivec2d) == sizeof(uint64_t));

// The column (row) of a coordinate: monotonic, a coordinate past the grid gives its border column
// (row).
inline uint32_t axis_cell(float v, float origin, float inv_cell, float count) {
    const float c = (v - origin) * inv_cell;
    if (c >= 0.0f && c < count) return uint32_t(c);
    return c < 0.0f ? 0 : uint32_t(count) - 1;
}

}  // namespace

inline BroadPhase::Seen BroadPhase::seen_of(const QGPhysObject& o) {
    Seen s;
    std::memcpy(&s.position, &o.position, sizeof s.position);
    std::memcpy(&s.size, &o.size, sizeof s.size);
    return s;
}

inline BroadPhase::Box BroadPhase::box_of(const QGPhysObject& o) {
    const float x = o.position.x, y = o.position.y;
    if (!(std::isfinite(x) && std::isfinite(y))) return {};
    const float x1 = x + float(o.size.x), y1 = y + float(o.size.y);
    return {std::min(x, x1), std::min(y, y1), std::max(x, x1), std::max(y, y1)};
}

inline bool BroadPhase::fits(const QGPhysObject& o) const {
    return uint32_t(o.size.x) <= extent_ && uint32_t(o.size.y) <= extent_;
}

inline uint32_t BroadPhase::cell_of(const Box& b) const {
    return axis_cell(b.y0, origin_y_, inv_cell_, cells_y_) * grid_w_ + axis_cell(b.x0, origin_x_, inv_cell_, cells_x_);
}

void BroadPhase::build(QGPhysObject* const* list, size_t n) {
    list_ = list;
    stale_from_ = n;
    if (n != n_) {
        n_ = n;
        where_.resize(n);
        cell_.resize(n);
        filed_at_.resize(n);
        seen_.resize(n);
        boxes_.resize(n);
        plain_.resize(n);
        found_.resize(n);  // a query finds each object at most once
    }
    for (size_t k = 0; k < n; ++k) plain_[k] = &typeid(*list[k]) == &typeid(QGPhysObject);
    // The size the cells take follows the list as it grows or shrinks by an eighth, or when
    // many boxes have grown beyond it.
    const bool fresh = !limit_chosen_ || n > limit_n_ + limit_n_ / 8 + 8 || limit_n_ > n + n / 8 + 8;
    if (fresh) choose_limit();
    file_all();
    if (!fresh && loose_.size() > limit_loose_ + n / 8 + 8) {
        choose_limit();
        file_all();
    }
    if (fresh || limit_loose_ > loose_.size()) limit_loose_ = loose_.size();
}

// The cells' size limit is the largest box that is not far beyond the typical (the median) one,
// or not among the largest sixteenth.
void BroadPhase::choose_limit() {
    limit_chosen_ = true;
    limit_n_ = n_;
    sizes_.clear();
    for (size_t k = 0; k < n_; ++k) {
        const QGPhysObject& o = *list_[k];
        if (o.size.x >= 0 && o.size.y >= 0) sizes_.push_back(uint32_t(std::max(o.size.x, o.size.y)));
    }
    size_limit_ = 0;
    if (sizes_.empty()) return;
    auto mid = sizes_.begin() + std::ptrdiff_t(sizes_.size() / 2);
    std::nth_element(sizes_.begin(), mid, sizes_.end());
    uint64_t limit = std::max<uint64_t>(*mid, 1) * kMaxExtentToTypical;
    const size_t loose_share = sizes_.size() / 16 + 8;
    if (size_t(std::count_if(sizes_.begin(), sizes_.end(), [limit](uint32_t e) { return e > limit; })) > loose_share) {
        auto high = sizes_.end() - std::ptrdiff_t(std::min(loose_share, sizes_.size()));
        std::nth_element(sizes_.begin(), high, sizes_.end());
        limit = *high;
    }
    size_limit_ = uint32_t(std::min(limit, kMaxFiledExtent));
}

void BroadPhase::file_all() {
    const size_t n = n_;
    refile_ = false;
    loose_.clear();
    // The boxes as they stand; the reach is the largest filed one, the grid spans their corners.
    uint32_t extent = 0;
    size_t filed = 0;
    float min_x = 0.0f, min_y = 0.0f, max_x = 0.0f, max_y = 0.0f;
    bool any = false;
    for (size_t k = 0; k < n; ++k) {
        const QGPhysObject& o = *list_[k];
        seen_[k] = seen_of(o);
        const Box b = box_of(o);
        boxes_[k] = b;
        if (std::isnan(b.x0)) {
            where_[k] = kNowhere;
            continue;
        }
        if (uint32_t(o.size.x) > size_limit_ || uint32_t(o.size.y) > size_limit_) {  // also a negative size
            where_[k] = kLoose | uint32_t(loose_.size());
            loose_.push_back({b, uint32_t(k)});
            continue;
        }
        where_[k] = 0;
        ++filed;
        extent = std::max(extent, uint32_t(std::max(o.size.x, o.size.y)));
        // Of a box of no negative size, the least corner is its position.
        if (!(std::fabs(b.x0) <= kFar && std::fabs(b.y0) <= kFar)) continue;
        min_x = any ? std::min(min_x, b.x0) : b.x0;
        min_y = any ? std::min(min_y, b.y0) : b.y0;
        max_x = any ? std::max(max_x, b.x0) : b.x0;
        max_y = any ? std::max(max_y, b.y0) : b.y0;
        any = true;
    }
    loose_filed_ = loose_.size();
    extent_ = extent;
    reach_ = float(extent) + 2.0f;

    double cell = double(reach_);
    const double span_x = double(max_x) - double(min_x), span_y = double(max_y) - double(min_y);
    const double cell_limit = 4.0 * double(n) + 256.0;
    while ((std::floor(span_x / cell) + 1.0) * (std::floor(span_y / cell) + 1.0) > cell_limit) cell *= 2.0;
    origin_x_ = min_x;
    origin_y_ = min_y;
    inv_cell_ = float(1.0 / cell);
    grid_w_ = uint32_t(std::floor(span_x / cell)) + 1;
    const uint32_t grid_h = uint32_t(std::floor(span_y / cell)) + 1;
    cells_x_ = float(grid_w_);
    cells_y_ = float(grid_h);
    const size_t cells = size_t(grid_w_) * grid_h;
    moved_.clear();
    moved_head_.assign(cells, kNone);
    moved_rows_.assign(grid_h, 0);

    // A counting sort by cell, in list order within each cell.
    first_.assign(cells + 1, 0);
    for (size_t k = 0; k < n; ++k) {
        if (where_[k] != 0) continue;
        const uint32_t c = cell_of(boxes_[k]);
        cell_[k] = c;
        ++first_[c + 1];
    }
    for (size_t c = 1; c <= cells; ++c) first_[c] += first_[c - 1];
    fill_.assign(first_.begin(), first_.end() - 1);
    for (auto* v : {&x0_, &y0_, &x1_, &y1_}) v->resize(filed + 3);
    k_.resize(filed + 3);
    for (size_t k = 0; k < n; ++k) {
        if (where_[k] != 0) continue;
        const uint32_t at = fill_[cell_[k]]++;
        set_entry(at, boxes_[k]);
        k_[at] = uint32_t(k);
        where_[k] = at;
        filed_at_[k] = {boxes_[k].x0, boxes_[k].y0};
    }
}

// Run for an object after each pair response that moved it.
void BroadPhase::refresh(size_t k) {
    const QGPhysObject& o = *list_[k];
    const uint32_t w = where_[k];
    if (w < kMoved) {
        // Filed, so of no negative size: its least corner is its position. Not finite: refiled.
        const float x = o.position.x, y = o.position.y;
        const dvec2d at = filed_at_[k];
        if (std::fabs(x - at.x) <= kSlack && std::fabs(y - at.y) <= kSlack && fits(o)) {
            set_entry(w, {x, y, x + float(o.size.x), y + float(o.size.y)});
            seen_[k] = seen_of(o);
            return;
        }
    }
    refile(k);
}

void BroadPhase::refile(size_t k) {
    const QGPhysObject& o = *list_[k];
    // What the checks after a reaction compare with: the box the entry holds.
    seen_[k] = seen_of(o);
    const Box b = box_of(o);
    const uint32_t w = where_[k];
    if (w != kNowhere && (w & kLoose)) {
        loose_[w & ~kLoose].box = b;
        return;
    }
    const bool nowhere = std::isnan(b.x0);
    const bool fitting = !nowhere && fits(o);
    if (w != kNowhere && (w & kMoved)) {
        Moved& m = moved_[w & ~kMoved];
        if (fitting && cell_of(b) == m.cell) {
            m.box = b;
            return;
        }
        m.box = Box{};  // meets nothing
    } else if (w != kNowhere) {
        const dvec2d at = filed_at_[k];
        if (fitting && std::fabs(b.x0 - at.x) <= kSlack && std::fabs(b.y0 - at.y) <= kSlack) {
            set_entry(w, b);
            return;
        }
        set_entry(w, Box{});
    }
    if (nowhere) {
        where_[k] = kNowhere;
        return;
    }
    if (!fitting) {
        // Grown beyond the cells or inverted: loose until the next filing.
        where_[k] = kLoose | uint32_t(loose_.size());
        loose_.push_back({b, uint32_t(k)});
        if (loose_.size() > loose_filed_ + 16 + n_ / 16) refile_ = true;
        return;
    }
    const uint32_t c = cell_of(b);
    where_[k] = kMoved | uint32_t(moved_.size());
    moved_.push_back({b, uint32_t(k), c, moved_head_[c]});
    moved_head_[c] = uint32_t(moved_.size() - 1);
    ++moved_rows_[c / grid_w_];
    if (moved_.size() > n_ / 4 + 64) refile_ = true;
}

std::span<const uint32_t> BroadPhase::candidates(size_t i, size_t after) {
    if (stale_from_ < n_) {
        // Only what a reaction moved or resized is filed again.
        for (size_t k = stale_from_; k < n_; ++k) {
            if (seen_of(*list_[k]) != seen_[k]) refile(k);
        }
        stale_from_ = n_;
    }
    if (refile_) file_all();
    const Box b = box_of(*list_[i]);
    queried_ = {b.x0 - kQueryMargin, b.y0 - kQueryMargin, b.x1 + kQueryMargin, b.y1 + kQueryMargin};
    const Box q = queried_;
    if (!(q.x0 <= q.x1)) return {};
    uint32_t* const first_found = found_.data();
    uint32_t* out = first_found;
    const uint32_t a = uint32_t(after);
    // A box meets the query's box where its hull does; a box that overlaps the asking one by
    // the pair test meets the wider query box.
    for (const Entry& e : loose_) {
        const Box& o = e.box;
        if (e.k > a && o.x0 < q.x1 && q.x0 < o.x1 && o.y0 < q.y1 && q.y0 < o.y1) *out++ = e.k;
    }
    if (!k_.empty()) {
        // A filed box that meets the query's has its corner at most its extent before the
        // query's least coordinate, and before its greatest; its filed corner lies within the
        // slack of that.
        const float back = reach_ + kSlack + 1.0f, ahead = kSlack + 1.0f;
        const uint32_t x0 = axis_cell(q.x0 - back, origin_x_, inv_cell_, cells_x_);
        const uint32_t x1 = axis_cell(q.x1 + ahead, origin_x_, inv_cell_, cells_x_);
        const uint32_t y0 = axis_cell(q.y0 - back, origin_y_, inv_cell_, cells_y_);
        const uint32_t y1 = axis_cell(q.y1 + ahead, origin_y_, inv_cell_, cells_y_);
        // Four entries at a time; a dead entry's coordinates are not numbers and meet nothing.
        const __m128 qx0 = _mm_set1_ps(q.x0), qy0 = _mm_set1_ps(q.y0), qx1 = _mm_set1_ps(q.x1), qy1 = _mm_set1_ps(q.y1);
        const __m128i later = _mm_set1_epi32(int32_t(a));
        const float *ex0 = x0_.data(), *ey0 = y0_.data(), *ex1 = x1_.data(), *ey1 = y1_.data();
        const uint32_t* ek = k_.data();
        for (uint32_t y = y0; y <= y1; ++y) {
            const uint32_t* row = first_.data() + size_t(y) * grid_w_;
            const uint32_t end = row[x1 + 1];
            for (uint32_t at = row[x0]; at < end; at += 4) {
                const __m128 in_x =
                    _mm_and_ps(_mm_cmplt_ps(_mm_loadu_ps(ex0 + at), qx1), _mm_cmplt_ps(qx0, _mm_loadu_ps(ex1 + at)));
                const __m128 in_y =
                    _mm_and_ps(_mm_cmplt_ps(_mm_loadu_ps(ey0 + at), qy1), _mm_cmplt_ps(qy0, _mm_loadu_ps(ey1 + at)));
                const __m128i ks = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ek + at));
                const __m128 after_a = _mm_castsi128_ps(_mm_cmpgt_epi32(ks, later));
                unsigned bits = unsigned(_mm_movemask_ps(_mm_and_ps(_mm_and_ps(in_x, in_y), after_a)));
                if (end - at < 4) bits &= (1u << (end - at)) - 1u;
                for (; bits; bits &= bits - 1) *out++ = ek[at + unsigned(__builtin_ctz(bits))];
            }
            if (moved_rows_[y] == 0) continue;
            const uint32_t* heads = moved_head_.data() + size_t(y) * grid_w_;
            for (uint32_t x = x0; x <= x1; ++x) {
                for (uint32_t m = heads[x]; m != kNone; m = moved_[m].next) {
                    const Box& o = moved_[m].box;
                    if (moved_[m].k > a && o.x0 < q.x1 && q.x0 < o.x1 && o.y0 < q.y1 && q.y0 < o.y1)
                        *out++ = moved_[m].k;
                }
            }
        }
    }
    // Mostly few: an insertion sort then.
    if (out - first_found > 32) std::sort(first_found, out);
    for (uint32_t* p = first_found + 1; p < out; ++p) {
        const uint32_t v = *p;
        uint32_t* at = p;
        for (; at != first_found && at[-1] > v; --at) *at = at[-1];
        *at = v;
    }
    return {first_found, size_t(out - first_found)};
}

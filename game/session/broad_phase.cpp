#include "game/session/broad_phase.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
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

}  // namespace

int BroadPhase::to_cell(float v, float origin, float inv_cell, float count, bool& outside) {
    const float c = (v - origin) * inv_cell;
    if (c >= 0.0f && c < count) return int(c);
    outside = true;
    return c < 0.0f ? 0 : int(count) - 1;
}

// Run for every object once a pass and after every pair response.
void BroadPhase::refresh(size_t k) {
    const QGPhysObject& o = *list_[k];
    const Box b = box_of(k);
    boxes_[k] = b;
    Slot s = kUnfiled;
    if (!std::isnan(b.x0)) {
        if (uint32_t(o.size.x) > uint32_t(extent_) || uint32_t(o.size.y) > uint32_t(extent_)) {  // also a negative size
            s = kLoose;
        } else {
            // Of a box of no negative size, the least corner is its position.
            bool outside = false;
            const int cx = to_cell(b.x0, origin_x_, inv_cell_, cells_x_, outside);
            const int cy = to_cell(b.y0, origin_y_, inv_cell_, cells_y_, outside);
            s = cy * grid_w_ + cx + (outside ? kOutside : 0);
        }
    }
    if (s != filed_[k]) refile(k, s);
}

BroadPhase::Box BroadPhase::box_of(size_t k) const {
    const QGPhysObject& o = *list_[k];
    const float x = o.position.x, y = o.position.y;
    if (!(std::isfinite(x) && std::isfinite(y))) return {};
    const float x1 = x + float(o.size.x), y1 = y + float(o.size.y);
    return {std::min(x, x1), std::min(y, y1), std::max(x, x1), std::max(y, y1)};
}

void BroadPhase::build(QGPhysObject* const* list, size_t n) {
    list_ = list;
    stale_from_ = n;
    // Filing depends only on what sits at each position, so a list of the same length, whatever
    // it holds now, is brought up to date like any moved objects.
    if (n != n_) {
        n_ = n;
        lay_out();
        return;
    }
    for (size_t k = 0; k < n; ++k) {
        plain_[k] = typeid(*list[k]) == typeid(QGPhysObject);
        refresh(k);
    }
    // Many boxes have gone past the grid or grown beyond its cells: cells for the boxes as they are now.
    if (misfits_ > laid_out_misfits_ + n / 8 + 8) lay_out();
}

void BroadPhase::lay_out() {
    const size_t n = n_;
    filed_.assign(n, kUnfiled);
    boxes_.resize(n);
    plain_.resize(n);
    loose_.clear();
    misfits_ = 0;

    // The cells' size is the largest box that is not far beyond the typical (the median) one,
    // or not among the largest sixteenth; the grid spans the corners of the boxes as they stand.
    found_.clear();
    for (size_t k = 0; k < n; ++k) {
        plain_[k] = typeid(*list_[k]) == typeid(QGPhysObject);
        const QGPhysObject& o = *list_[k];
        if (o.size.x >= 0 && o.size.y >= 0) found_.push_back(uint32_t(std::max(o.size.x, o.size.y)));
    }
    int extent = 0;
    if (!found_.empty()) {
        auto mid = found_.begin() + std::ptrdiff_t(found_.size() / 2);
        std::nth_element(found_.begin(), mid, found_.end());
        uint64_t limit = std::max<uint64_t>(*mid, 1) * kMaxExtentToTypical;
        const size_t loose_share = found_.size() / 16 + 8;
        if (size_t(std::count_if(found_.begin(), found_.end(), [limit](uint32_t e) { return e > limit; })) >
            loose_share) {
            auto high = found_.end() - std::ptrdiff_t(std::min(loose_share, found_.size()));
            std::nth_element(found_.begin(), high, found_.end());
            limit = *high;
        }
        limit = std::min(limit, kMaxFiledExtent);
        for (uint32_t e : found_)
            if (e <= limit) extent = std::max(extent, int(e));
    }
    extent_ = extent;
    found_.resize(n);  // a query finds each object at most once
    reach_ = float(extent) + 2.0f;

    float min_x = 0.0f, min_y = 0.0f, max_x = 0.0f, max_y = 0.0f;
    bool any = false;
    for (size_t k = 0; k < n; ++k) {
        const QGPhysObject& o = *list_[k];
        const float x = o.position.x, y = o.position.y;
        if (!(std::fabs(x) <= kFar && std::fabs(y) <= kFar)) continue;
        if (o.size.x < 0 || o.size.y < 0 || o.size.x > extent || o.size.y > extent) continue;
        min_x = any ? std::min(min_x, x) : x;
        min_y = any ? std::min(min_y, y) : y;
        max_x = any ? std::max(max_x, x) : x;
        max_y = any ? std::max(max_y, y) : y;
        any = true;
    }
    double cell = double(reach_);
    const double span_x = double(max_x) - double(min_x), span_y = double(max_y) - double(min_y);
    const double cell_limit = 4.0 * double(n) + 256.0;
    while ((std::floor(span_x / cell) + 1.0) * (std::floor(span_y / cell) + 1.0) > cell_limit) cell *= 2.0;
    origin_x_ = min_x;
    origin_y_ = min_y;
    inv_cell_ = float(1.0 / cell);
    grid_w_ = int(std::floor(span_x / cell)) + 1;
    grid_h_ = int(std::floor(span_y / cell)) + 1;
    cells_x_ = float(grid_w_);
    cells_y_ = float(grid_h_);
    const size_t cells = size_t(grid_w_) * size_t(grid_h_);
    if (cells_.size() < cells) cells_.resize(cells);
    for (size_t c = 0; c < cells; ++c) cells_[c].clear();

    for (size_t k = 0; k < n; ++k) {
        refresh(k);
    }
    laid_out_misfits_ = misfits_;
}

void BroadPhase::file(size_t k, Slot s) {
    filed_[k] = s;
    if (s == kUnfiled) return;
    if (s == kLoose) {
        loose_.push_back(uint32_t(k));
        ++misfits_;
        return;
    }
    misfits_ += (s & kOutside) != 0;
    // Ascending, so that a query stops at the objects it does not want.
    std::vector<uint32_t>& v = cells_[size_t(s & ~kOutside)];
    v.insert(std::upper_bound(v.begin(), v.end(), uint32_t(k)), uint32_t(k));
}

void BroadPhase::unfile(size_t k) {
    const Slot s = filed_[k];
    if (s == kUnfiled) return;
    misfits_ -= s == kLoose || (s & kOutside) != 0;
    std::vector<uint32_t>& v = s == kLoose ? loose_ : cells_[size_t(s & ~kOutside)];
    auto at = std::find(v.begin(), v.end(), uint32_t(k));
    if (at != v.end()) v.erase(at);
}

void BroadPhase::refile(size_t k, Slot s) {
    unfile(k);
    file(k, s);
}

std::span<const uint32_t> BroadPhase::candidates(size_t i, size_t after) {
    if (stale_from_ < n_) {
        for (size_t k = stale_from_; k < n_; ++k) refresh(k);
        stale_from_ = n_;
    }
    const Box b = box_of(i);
    queried_ = {b.x0 - kQueryMargin, b.y0 - kQueryMargin, b.x1 + kQueryMargin, b.y1 + kQueryMargin};
    const Box q = queried_;
    if (!(q.x0 <= q.x1)) return {};
    uint32_t* const first_found = found_.data();
    uint32_t* out = first_found;
    // A box meets the query's box where its hull does; a box that overlaps the asking one by
    // the pair test meets the wider query box.
    const Box* boxes = boxes_.data();
    auto take = [&](uint32_t k) {
        const Box& o = boxes[k];
        if (o.x0 < q.x1 && q.x0 < o.x1 && o.y0 < q.y1 && q.y0 < o.y1) *out++ = k;
    };
    for (uint32_t k : loose_)
        if (k > after) take(k);
    // A filed box that meets the query's has its corner at most its extent before the query's
    // least coordinate, and before its greatest.
    bool outside = false;
    const int x0 = to_cell(q.x0 - reach_, origin_x_, inv_cell_, cells_x_, outside);
    const int x1 = to_cell(q.x1, origin_x_, inv_cell_, cells_x_, outside);
    const int y0 = to_cell(q.y0 - reach_, origin_y_, inv_cell_, cells_y_, outside);
    const int y1 = to_cell(q.y1, origin_y_, inv_cell_, cells_y_, outside);
    for (int y = y0; y <= y1; ++y) {
        const std::vector<uint32_t>* row = &cells_[size_t(y) * size_t(grid_w_)];
        for (int x = x0; x <= x1; ++x) {
            const uint32_t* first = row[x].data();
            for (const uint32_t* at = first + row[x].size(); at != first && at[-1] > after;) take(*--at);
        }
    }
    std::sort(first_found, out);
    return {first_found, size_t(out - first_found)};
}

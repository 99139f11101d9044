#include "game/session/broad_phase.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <typeinfo>

#include "game/physics/qg_phys_object.h"

namespace {

// An object spanning more cells than this is met by a walk over the list instead.
constexpr int kMaxCellsPerObject = 64;

struct Box {
    float x0, y0, x1, y1;  // x0 <= x1, y0 <= y1
    bool present;
};

// The closed hull of the box the pair test sees. A box that overlaps another one by that test
// meets it in this hull, whatever the sign of its size. A finite position gives finite ends.
inline Box box_of(const QGPhysObject& o) {
    const float x = o.position.x, y = o.position.y;
    const float x1 = x + float(o.size.x), y1 = y + float(o.size.y);
    return {std::min(x, x1), std::min(y, y1), std::max(x, x1), std::max(y, y1), std::isfinite(x) && std::isfinite(y)};
}

}  // namespace

BroadPhase::Key BroadPhase::key_of(const QGPhysObject& o) {
    return {std::bit_cast<uint64_t>(o.position), std::bit_cast<uint64_t>(o.size)};
}

// A box that kept its bits keeps its cells: most calls end in one compare.
void BroadPhase::refresh(size_t k) {
    if (!(key_of(*list_[k]) == filed_key_[k])) refile(k);
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
    filed_.assign(n, Range{});
    filed_key_.resize(n);
    plain_.resize(n);
    seen_.assign(n, 0);
    stamp_ = 0;
    wide_.clear();
    misfits_ = 0;

    // Cells about the size of a typical object, over the boxes as they stand; a box that moves
    // outside later is filed in the border cells.
    float min_x = 0.0f, min_y = 0.0f, max_x = 0.0f, max_y = 0.0f;
    bool any = false;
    found_.clear();
    for (size_t k = 0; k < n; ++k) {
        plain_[k] = typeid(*list_[k]) == typeid(QGPhysObject);
        const Box b = box_of(*list_[k]);
        if (!b.present) continue;
        min_x = any ? std::min(min_x, b.x0) : b.x0;
        min_y = any ? std::min(min_y, b.y0) : b.y0;
        max_x = any ? std::max(max_x, b.x1) : b.x1;
        max_y = any ? std::max(max_y, b.y1) : b.y1;
        any = true;
        const float extent = std::max(b.x1 - b.x0, b.y1 - b.y0);
        found_.push_back(uint32_t(std::clamp(extent, 1.0f, 65536.0f)));
    }
    double cell = 1.0;
    if (!found_.empty()) {
        auto mid = found_.begin() + found_.size() / 2;
        std::nth_element(found_.begin(), mid, found_.end());
        cell = double(*mid);
    }
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
    bounds_found_ = find_bounds(x_bounds_, origin_x_, grid_w_) && find_bounds(y_bounds_, origin_y_, grid_h_);
    const size_t cells = size_t(grid_w_) * size_t(grid_h_);
    if (cells_.size() < cells) cells_.resize(cells);
    for (size_t c = 0; c < cells; ++c) cells_[c].clear();

    for (size_t k = 0; k < n; ++k) {
        filed_key_[k] = key_of(*list_[k]);
        file(k, range_of(k));
    }
    laid_out_misfits_ = misfits_;
}

BroadPhase::Range BroadPhase::range_of(size_t k) const {
    const Box b = box_of(*list_[k]);
    Range r;
    if (!b.present) return r;
    // Monotonic in the coordinate, so hulls that meet get cell ranges that meet; past the grid
    // lie its border cells.
    auto to_cell = [this, &r](float v, float origin, float count, int last) {
        const float c = cell_coordinate(v, origin);
        if (c >= 0.0f && c < count) return int(c);
        r.outside = true;
        return c < 0.0f ? 0 : last;
    };
    r.x0 = to_cell(b.x0, origin_x_, cells_x_, grid_w_ - 1);
    r.x1 = to_cell(b.x1, origin_x_, cells_x_, grid_w_ - 1);
    r.y0 = to_cell(b.y0, origin_y_, cells_y_, grid_h_ - 1);
    r.y1 = to_cell(b.y1, origin_y_, cells_y_, grid_h_ - 1);
    r.wide = (r.x1 - r.x0 + 1) * (r.y1 - r.y0 + 1) > kMaxCellsPerObject;
    return r;
}

bool BroadPhase::find_bounds(std::vector<float>& bounds, float origin, int count) const {
    // The cell coordinate grows with the coordinate, so each bound is the least float whose cell
    // coordinate reaches the cell's number; it lies a few steps from the product's estimate.
    bounds.resize(size_t(count) + 1);
    for (int c = 0; c <= count; ++c) {
        auto reaches = [&](float v) { return cell_coordinate(v, origin) >= float(c); };
        float v = float(double(origin) + double(c) / double(inv_cell_));
        int steps = 0;
        while (!reaches(v))
            if (++steps > 64 || !std::isfinite(v = std::nextafter(v, INFINITY))) return false;
        for (float below; reaches(below = std::nextafter(v, -INFINITY));)
            if (++steps > 64 || !std::isfinite(v = below)) return false;
        bounds[size_t(c)] = v;
    }
    return true;
}

bool BroadPhase::in_cells(size_t k, const Range& r) const {
    // A coordinate in [bound(c), bound(c + 1)) has cell c, inside the grid.
    if (!bounds_found_ || r.outside || r.wide || r.x1 < r.x0) return false;
    const Box b = box_of(*list_[k]);
    const float* xs = x_bounds_.data();
    const float* ys = y_bounds_.data();
    return b.present && xs[r.x0] <= b.x0 && b.x0 < xs[r.x0 + 1] && xs[r.x1] <= b.x1 && b.x1 < xs[r.x1 + 1] &&
           ys[r.y0] <= b.y0 && b.y0 < ys[r.y0 + 1] && ys[r.y1] <= b.y1 && b.y1 < ys[r.y1 + 1];
}

void BroadPhase::file(size_t k, const Range& r) {
    filed_[k] = r;
    misfits_ += r.wide || r.outside;
    if (r.wide) {
        wide_.push_back(uint32_t(k));
        return;
    }
    for (int y = r.y0; y <= r.y1; ++y)
        for (int x = r.x0; x <= r.x1; ++x) cell(x, y).push_back(uint32_t(k));
}

void BroadPhase::unfile(size_t k) {
    const Range& r = filed_[k];
    auto drop = [k](std::vector<uint32_t>& v) {
        auto at = std::find(v.begin(), v.end(), uint32_t(k));
        if (at == v.end()) return;
        *at = v.back();
        v.pop_back();
    };
    misfits_ -= r.wide || r.outside;
    if (r.wide) drop(wide_);
    else
        for (int y = r.y0; y <= r.y1; ++y)
            for (int x = r.x0; x <= r.x1; ++x) drop(cell(x, y));
    filed_[k] = Range{};
}

void BroadPhase::refile(size_t k) {
    filed_key_[k] = key_of(*list_[k]);
    if (in_cells(k, filed_[k])) return;
    const Range r = range_of(k);
    if (r == filed_[k]) return;
    unfile(k);
    file(k, r);
}

bool BroadPhase::left_cells(size_t i) const {
    return !(key_of(*list_[i]) == queried_key_) && !in_cells(i, queried_) && !(range_of(i) == queried_);
}

const std::vector<uint32_t>& BroadPhase::candidates(size_t i, size_t after) {
    if (stale_from_ < n_) {
        // The hot loop after every reaction that may move others; refile() keeps these arrays in place.
        QGPhysObject* const* list = list_;
        const Key* filed = filed_key_.data();
        for (size_t k = stale_from_, n = n_; k < n; ++k)
            if (!(key_of(*list[k]) == filed[k])) refile(k);
        stale_from_ = n_;
    }
    found_.clear();
    queried_key_ = key_of(*list_[i]);
    // The grid is up to date with i's box as built or refreshed: its filed cells are its range.
    queried_ = queried_key_ == filed_key_[i] ? filed_[i] : range_of(i);
    const Range& r = queried_;
    if (r.wide) {
        for (size_t k = after + 1; k < n_; ++k) found_.push_back(uint32_t(k));
        return found_;
    }
    if (r.x1 < r.x0) return found_;
    if (++stamp_ == 0) {  // the grid lives on for the session: a wrapped stamp must not match old marks
        std::fill(seen_.begin(), seen_.end(), 0);
        stamp_ = 1;
    }
    auto take = [&](const std::vector<uint32_t>& v) {
        for (uint32_t k : v) {
            if (k <= after || seen_[k] == stamp_) continue;
            seen_[k] = stamp_;
            found_.push_back(k);
        }
    };
    take(wide_);
    for (int y = r.y0; y <= r.y1; ++y)
        for (int x = r.x0; x <= r.x1; ++x) take(cell(x, y));
    std::sort(found_.begin(), found_.end());
    return found_;
}

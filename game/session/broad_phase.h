#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

class QGPhysObject;

// The pair pass's index of boxes: a uniform grid over the physics list, filed by list position.
// It only narrows the pairs to look at; the caller still runs the exact box test on the current
// positions, so a cell range needs only to cover every box the object could overlap.
// Boxes with a coordinate that is not finite overlap nothing and are not filed.
// The grid is kept from pass to pass: an object is filed again only when its box has changed.
class BroadPhase {
public:
    // Brings the grid up to date with the objects list[0..n) and their current boxes.
    void build(QGPhysObject* const* list, size_t n);
    // Re-files object k if a pair response has moved or resized it.
    void refresh(size_t k);
    // Code that may have moved any object from k on has run: they are checked before the next
    // candidates() call.
    void refresh_from(size_t k) { stale_from_ = k < stale_from_ ? k : stale_from_; }
    // Objects after list position `after` whose cells meet the box of object i, ascending.
    // The list stays valid until the next call.
    const std::vector<uint32_t>& candidates(size_t i, size_t after);
    // Whether object i's box has left the cells of its last candidates() call.
    bool left_cells(size_t i) const;
    // Whether the object is a plain physics object, whose contact reactions do nothing; any
    // other may move objects from inside a reaction.
    bool plain(size_t k) const { return plain_[k] != 0; }

private:
    struct Range {
        int x0 = 0, y0 = 0, x1 = -1, y1 = -1;  // cells, inclusive; empty when x1 < x0
        bool wide = false;                     // too many cells: kept in wide_ instead
        bool outside = false;                  // reaches past the grid, into the border cells
        bool operator==(const Range&) const = default;
    };
    // What a cell range is computed from, bit for bit: the position and the size.
    struct Key {
        uint64_t position = 0, size = 0;
        bool operator==(const Key& o) const { return ((position ^ o.position) | (size ^ o.size)) == 0; }
    };
    static Key key_of(const QGPhysObject& o);
    void lay_out();
    Range range_of(size_t k) const;
    // Where a world coordinate lies on the grid, in cells: every range is computed from it.
    float cell_coordinate(float v, float origin) const { return (v - origin) * inv_cell_; }
    // The least coordinates that lie in each cell or past it (count + 1 of them), found exactly;
    // false when they could not be.
    bool find_bounds(std::vector<float>& bounds, float origin, int count) const;
    // Whether range_of(k) is r, told from the cells' bounds where r lies inside the grid.
    bool in_cells(size_t k, const Range& r) const;
    void file(size_t k, const Range& r);
    void unfile(size_t k);
    void refile(size_t k);
    std::vector<uint32_t>& cell(int x, int y) { return cells_[size_t(y) * size_t(grid_w_) + size_t(x)]; }

    QGPhysObject* const* list_ = nullptr;
    size_t n_ = 0;
    size_t stale_from_ = 0;
    float origin_x_ = 0.0f, origin_y_ = 0.0f, inv_cell_ = 1.0f;
    int grid_w_ = 1, grid_h_ = 1;
    float cells_x_ = 1.0f, cells_y_ = 1.0f;  // the grid size, as floats
    std::vector<float> x_bounds_, y_bounds_;
    bool bounds_found_ = false;
    std::vector<std::vector<uint32_t>> cells_;
    std::vector<uint32_t> wide_;
    std::vector<Key> filed_key_;
    std::vector<Range> filed_;
    size_t misfits_ = 0, laid_out_misfits_ = 0;  // filed wide or outside, now and at lay_out()
    std::vector<uint8_t> plain_;
    std::vector<uint32_t> seen_;
    uint32_t stamp_ = 0;
    Key queried_key_;
    Range queried_;
    std::vector<uint32_t> found_;
};

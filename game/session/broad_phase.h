#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

class QGPhysObject;

// The pair pass's index of boxes: a uniform grid over the physics list, filed by list position.
// It only narrows the pairs to look at; the caller still runs the exact box test on the current
// positions, so a cell range needs only to cover every box the object could overlap.
// Boxes with a coordinate that is not finite overlap nothing and are not filed.
class BroadPhase {
public:
    // Files the objects list[0..n) by their current boxes.
    void build(QGPhysObject* const* list, size_t n);
    // Takes object k out of the grid: it is done as a later partner for this pass.
    void remove(size_t k);
    // Re-files object k after a pair response may have moved or resized it.
    void refresh(size_t k);
    // Re-files every object from k on, after code that may have moved any of them.
    void refresh_from(size_t k);
    // Filed objects after list position `after` whose cells meet the box of object i,
    // ascending. The list stays valid until the next call.
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
        bool operator==(const Range&) const = default;
    };
    Range range_of(size_t k) const;
    void file(size_t k, const Range& r);
    void unfile(size_t k);
    std::vector<uint32_t>& cell(int x, int y) { return cells_[size_t(y) * size_t(grid_w_) + size_t(x)]; }

    QGPhysObject* const* list_ = nullptr;
    size_t n_ = 0;
    float origin_x_ = 0.0f, origin_y_ = 0.0f, inv_cell_ = 1.0f;
    int grid_w_ = 1, grid_h_ = 1;
    std::vector<std::vector<uint32_t>> cells_;
    std::vector<uint32_t> wide_;
    std::vector<Range> filed_;
    std::vector<uint8_t> plain_;
    std::vector<uint32_t> seen_;
    uint32_t stamp_ = 0;
    Range queried_;
    std::vector<uint32_t> found_;
};

#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

class QGPhysObject;

// The pair pass's index of boxes: a uniform grid over the physics list, filed by list position.
// It only narrows the pairs to look at; the caller still runs the exact box test on the current
// positions, so a query needs only to cover every box the object could overlap.
// Each object is filed in the one cell of its box's corner of least coordinates, and cells are
// at least as large as the boxes filed in them, so a query looks one box extent back from the
// box it asks about. A box larger than the cells or inverted (a negative size) is kept in a loose
// list that every query takes whole; an empty one is filed like any other. Boxes with a
// coordinate that is not finite overlap nothing and are not filed. The grid is kept from pass to pass: an object moves only when its corner
// changes cells.
class BroadPhase {
public:
    // Brings the grid up to date with the objects list[0..n) and their current boxes.
    void build(QGPhysObject* const* list, size_t n);
    // Re-files object k if a pair response has moved or resized it.
    void refresh(size_t k);
    // Code that may have moved any object from k on has run: they are checked before the next
    // candidates() call.
    void refresh_from(size_t k) { stale_from_ = k < stale_from_ ? k : stale_from_; }
    // Objects after list position `after` whose boxes meet object i's box widened by a small
    // margin, ascending. The list stays valid until the next call.
    std::span<const uint32_t> candidates(size_t i, size_t after);
    // Whether a box, given by its least and greatest coordinates, has left what the last
    // candidates() call covered.
    bool left_query(float x0, float y0, float x1, float y1) const {
        const Box& q = queried_;
        return !(q.x0 <= x0 && x1 <= q.x1 && q.y0 <= y0 && y1 <= q.y1);
    }
    // Whether the object is a plain physics object, whose contact reactions do nothing; any
    // other may move objects from inside a reaction.
    bool plain(size_t k) const { return plain_[k] != 0; }

private:
    // A cell number, with kOutside added when the corner lies past the grid; or one of the
    // two lists below.
    using Slot = int32_t;
    static constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    static constexpr Slot kLoose = -1;
    static constexpr Slot kUnfiled = -2;
    static constexpr Slot kOutside = Slot(1) << 30;
    // The closed hull of a box as the pair test sees it: a box that overlaps another by that
    // test meets it in this hull, whatever the sign of its size. Not finite: it meets nothing.
    struct Box {
        float x0 = kNaN, y0 = kNaN, x1 = kNaN, y1 = kNaN;
    };
    Box box_of(size_t k) const;
    void lay_out();
    // The grid column (row) of a coordinate: monotonic, a coordinate past the grid gives its
    // border column (row) and sets outside.
    static int to_cell(float v, float origin, float inv_cell, float count, bool& outside);
    void refile(size_t k, Slot s);
    void file(size_t k, Slot s);
    void unfile(size_t k);

    QGPhysObject* const* list_ = nullptr;
    size_t n_ = 0;
    size_t stale_from_ = 0;
    float origin_x_ = 0.0f, origin_y_ = 0.0f, inv_cell_ = 1.0f;
    float cells_x_ = 1.0f, cells_y_ = 1.0f;  // the grid size, as floats
    float reach_ = 2.0f;                     // how far back a filed box's corner may lie
    int extent_ = 0;                         // the largest width or height filed in the cells
    int grid_w_ = 1, grid_h_ = 1;
    std::vector<std::vector<uint32_t>> cells_;
    std::vector<uint32_t> loose_;
    std::vector<Slot> filed_;
    std::vector<Box> boxes_;                     // each object's hull when last refreshed
    size_t misfits_ = 0, laid_out_misfits_ = 0;  // loose or outside, now and at lay_out()
    std::vector<uint8_t> plain_;
    Box queried_;                  // the last query's box: the asking object's hull widened by kQueryMargin
    std::vector<uint32_t> found_;  // room for every object: a query writes without checks
};

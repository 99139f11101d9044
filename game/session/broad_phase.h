#pragma once
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <vector>

#include "engine/core/geometry.h"

class QGPhysObject;

// The pair pass's index of boxes: a flat uniform grid over the physics list, filed by list
// position. It only narrows the pairs to look at; the caller still runs the exact box test on the
// current positions, so a query needs only to cover every box the object could overlap.
// Each pass files every object anew, by a counting sort, in the cell of its box's corner of least
// coordinates, with its box beside it; the cells of a row lie one after another, so a query reads
// each row it covers as one run, four boxes at a time. Cells are as large as the reach of a query:
// the largest filed box, which a query looks back from the box it asks about. A box that moves
// during the pass is updated where it is filed while its corner stays near where it was filed,
// and is otherwise chained from the cell it has come to. A box far larger than the typical one or
// inverted (a negative size) is kept in a loose list that every query takes whole. Boxes with a
// coordinate that is not finite overlap nothing and are not filed.
class BroadPhase {
public:
    // Files the objects list[0..n) by their current boxes.
    void build(QGPhysObject* const* list, size_t n);
    // Files object k anew if something has moved or resized it.
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
    static constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
    // The closed hull of a box as the pair test sees it: a box that overlaps another by that
    // test meets it in this hull, whatever the sign of its size. Not finite: it meets nothing.
    struct Box {
        float x0 = kNaN, y0 = kNaN, x1 = kNaN, y1 = kNaN;
    };
    struct Entry {
        Box box;
        uint32_t k;
    };
    // The position and size an object's filing was made from, bit for bit.
    struct Seen {
        uint64_t position = 0, size = 0;
        bool operator==(const Seen&) const = default;
    };
    // An entry of a box a pair response or a reaction has moved out of its cell's slack, chained
    // from the cell its corner now lies in.
    struct Moved {
        Box box;
        uint32_t k, cell, next;
    };
    // Where an object's entry is: an index of the cells' entries, of the moved entries with
    // kMoved added or of the loose list with kLoose added; kNowhere for an object that meets
    // nothing.
    static constexpr uint32_t kLoose = 1u << 31;
    static constexpr uint32_t kMoved = 1u << 30;
    static constexpr uint32_t kNone = ~0u;
    static constexpr uint32_t kNowhere = ~0u;

    static inline Seen seen_of(const QGPhysObject& o);
    static inline Box box_of(const QGPhysObject& o);
    // Whether the grid takes a box of this size; a negative size does not fit.
    inline bool fits(const QGPhysObject& o) const;
    // The cell of a box's least corner; a corner past the grid lies in a border cell.
    inline uint32_t cell_of(const Box& b) const;
    void choose_limit();
    void file_all();
    // Files object k by its box as it is now: where it is filed, chained from a new cell, in the
    // loose list or nowhere.
    void refile(size_t k);
    void set_entry(uint32_t at, const Box& b) {
        x0_[at] = b.x0;
        y0_[at] = b.y0;
        x1_[at] = b.x1;
        y1_[at] = b.y1;
    }

    QGPhysObject* const* list_ = nullptr;
    size_t n_ = 0;
    size_t stale_from_ = 0;
    bool refile_ = false;  // the loose or moved entries have grown: file everything anew
    bool limit_chosen_ = false;
    uint32_t size_limit_ = 0;  // the largest width or height the cells take
    uint32_t extent_ = 0;      // the largest width or height filed in the cells
    size_t limit_n_ = 0;       // the list length size_limit_ was chosen for
    size_t limit_loose_ = 0;   // the loose boxes just after it was chosen
    size_t loose_filed_ = 0;   // the loose boxes of the last filing, before any moved
    float origin_x_ = 0.0f, origin_y_ = 0.0f, inv_cell_ = 1.0f;
    float cells_x_ = 1.0f, cells_y_ = 1.0f;  // the grid size, as floats
    float reach_ = 2.0f;                     // how far back a filed box's corner may lie
    uint32_t grid_w_ = 1;
    std::vector<uint32_t> first_;  // per cell, its first entry; one more at the end
    std::vector<uint32_t> fill_;
    // The cells' entries, a box coordinate or the list position per array, with room for one
    // four-wide read past the last.
    std::vector<float> x0_, y0_, x1_, y1_;
    std::vector<uint32_t> k_;
    std::vector<Entry> loose_;
    std::vector<Moved> moved_;
    std::vector<uint32_t> moved_head_;  // per cell, its last moved entry
    std::vector<uint32_t> moved_rows_;  // per row, its moved entries
    std::vector<uint32_t> where_;       // per object
    std::vector<uint32_t> cell_;        // per object filed in the cells, its cell
    std::vector<dvec2d> filed_at_;      // and the corner it was filed by
    std::vector<Seen> seen_;
    std::vector<Box> boxes_;
    std::vector<uint8_t> plain_;
    std::vector<uint32_t> sizes_;  // scratch for choose_limit()
    Box queried_;                  // the last query's box: the asking object's hull widened by kQueryMargin
    std::vector<uint32_t> found_;  // room for every object: a query writes without checks
};

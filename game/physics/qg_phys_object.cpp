#include "game/physics/qg_phys_object.h"

#include <SDL/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include "engine/core/byte_buffer.h"
#include "game/config/settings.h"
#include "game/session/qg_event.h"
#include "game/session/qg_game.h"
#include "game/terrain/terrain_pixels.h"

namespace {

// Coordinates and sizes of the terrain pass stay within this bound, so that sums of a
// position, a size and a step allowance never overflow an int.
constexpr int kPixelLimit = 1 << 28;

int clamp_extent(int64_t v) {
    return int(std::clamp<int64_t>(v, -kPixelLimit, kPixelLimit));
}

// The size used by the terrain pass: a negative size counts as empty.
int box_extent(int v) {
    return std::clamp(v, 0, kPixelLimit);
}

// 0 below 1, the limit above it, else the value.
int clamp_to(int v, int limit) {
    if (v < 1) return 0;
    if (v > limit) return limit;
    return v;
}

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

// What a terrain colour is to one object.
struct PixelClass {
    bool solid = false;
    bool sets_ladder = false;  // whether the pixel test would have set on_ladder
};

// The object's pixel test for one climbing mode, asked once per colour met in a pass: it is a
// pure test of the colour apart from setting on_ladder, and a level holds a handful of
// colours. Whether the test sets on_ladder is recorded rather than done, so that the callers
// decide in which order the pixels count.
class PixelClassifier {
public:
    PixelClassifier(QGPhysObject& o, bool climbing) : object_(o), climbing_(climbing) {}

    PixelClass operator()(uint32_t key) {
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

private:
    static constexpr int kEntries = 8;
    QGPhysObject& object_;
    bool climbing_;
    int used_ = 0;
    unsigned next_ = 0;
    uint32_t keys_[kEntries] = {};
    PixelClass classes_[kEntries];
};

// Where the box test of one box meets its first solid pixel and its first ladder pixel, both
// in column order (x outer, y inner); x is the box's right edge when there is none.
struct BoxScan {
    int solid_x, solid_y;
    int ladder_x, ladder_y;
};

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

SDL_Surface* terrain_of(const QGPhysObject& o) {
    return o.game ? o.game->terrain_surface() : nullptr;
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

// The rows a resting object may sink through before the terrain pass lifts it back: the free
// row a landing leaves under the box, and the floor under that.
constexpr int kRestDrop = 2;

// The fraction of the box (w x h) the level's water covers.
void measure_submersion(QGPhysObject& o, int w, int h) {
    const bool has_water = o.game && o.game->water_coverage.is_valid();
    const float covered = has_water ? o.game->water_coverage(o.position.x, o.position.y, float(w), float(h)) : 0.0f;
    o.submersion = std::isnan(covered) ? 0.0f : std::clamp(covered, 0.0f, 1.0f);
}

// Whether an upward speed vy (after a landing) lifts the box less than a pixel under the pull.
bool on_floor_row_rebound(float vy, float pull) {
    return pull > 0.0f && vy <= 0.0f && vy * vy < 2.0f * pull;
}

// Whether the terrain pass would stop the object sinking kRestDrop rows from where it stands:
// the downward sweep of such a drop, run without moving anything.
bool rests_on_terrain(QGPhysObject& o) {
    if ((o.collision_mask & 1) == 0) return false;
    TerrainView view(terrain_of(o));
    if (!view.present()) return false;
    const int w = box_extent(o.size.x), h = box_extent(o.size.y);
    auto clamp_x = [&view](int64_t v) { return clamp_to(clamp_extent(v), view.width); };
    const int x = to_pixel_coordinate(o.position.x), y = to_pixel_coordinate(o.position.y);
    const int L = clamp_x(x), R = clamp_x(int64_t(x) + w);
    int fl = clamp_x(int64_t(L) - kRestDrop), fr = clamp_x(int64_t(R) + kRestDrop);
    PixelClassifier classify(o, false);
    for (int row = y + h; row < y + h + kRestDrop; ++row) {
        narrow_by_row(view, classify, row, w, fl, fr);
        if (fr - fl < w) return true;
    }
    return false;
}

}  // namespace

int to_pixel_coordinate(float v) {
    if (std::isnan(v)) return 0;
    if (v >= float(kPixelLimit)) return kPixelLimit;
    if (v <= -float(kPixelLimit)) return -kPixelLimit;
    return int(v);
}

QGPhysObject::QGPhysObject(QGGame* game_, unsigned int entity_id_, const ivec2d& size_, bool is_static_,
                           float mass_, float friction_, float air_friction_, float bounce_,
                           unsigned short collision_group_, unsigned short collision_mask_, float buoyancy_,
                           bool keep_out)
    : QGObject(game_, entity_id_, false, keep_out),
      size(size_),
      mass(mass_ == 0.0f || std::isnan(mass_) ? 1.0f : mass_),
      friction(friction_),
      air_friction(air_friction_),
      bounce(bounce_),
      buoyancy(buoyancy_),
      collision_group(collision_group_),
      collision_mask(collision_mask_),
      static_flag(is_static_) {
    // Only objects the registry took join the physics list; a refused or kept-out one would
    // stay there after its owner deleted it.
    if (is_registered()) game->add_pending_physics(this);
}

void QGPhysObject::sync_fields() {
    sync_field(position, default_dvec2d_interpolation);
}

void QGPhysObject::write_creation_event(QGEvent& event) const {
    PhysObjectRecord r;
    r.entity_id = entity_id;
    r.position = position;
    r.size = size;
    r.is_static = is_static();
    r.velocity = velocity;
    r.mass = mass;
    r.friction = friction;
    r.air_friction = air_friction;
    r.bounce = bounce;
    r.buoyancy = buoyancy;
    r.collision_group = collision_group;
    r.collision_mask = collision_mask;
    event.set_type(EQGEventType::CreatePhysObject);
    event.set_delayed(false);
    event.set_payload(record_bytes(r));
}

void QGPhysObject::update(float dt) {
    previous_position = position;
    const bool fixed = is_static();
    // At rest on the terrain the pull would only sink the box into the free row under it for
    // the terrain pass to lift it back a few steps later, so its position would never repeat.
    const bool held = !fixed && on_ground && velocity.y == 0.0f && rests_on_terrain(*this);
    // The terrain pass, which measures the water, skips an object that stays on its pixel; the
    // water may still rise around a resting one.
    if (held) measure_submersion(*this, box_extent(size.x), box_extent(size.y));
    if (!fixed && !(can_climb && on_ladder)) velocity += gravity * gravity_factor * dt;
    // The water lifts in proportion to the submerged part of the box.
    if (!fixed) velocity -= gravity * gravity_factor * buoyancy * submersion * dt;
    if (held && velocity.y > 0.0f) velocity.y = 0.0f;
    position += velocity * dt;
    const float k = on_ground ? friction : air_friction;
    velocity += velocity * (-k) * dt;
    // The contact flags hold only while the object stays on the same whole pixel; the
    // collision passes set them again.
    if (to_pixel_coordinate(position.x) != to_pixel_coordinate(previous_position.x) ||
        to_pixel_coordinate(position.y) != to_pixel_coordinate(previous_position.y)) {
        on_ground = false;
        on_ladder = false;
    }
}

bool QGPhysObject::collides_with(const QGPhysObject& other) const {
    return (collision_mask & other.collision_group) != 0;
}

bool QGPhysObject::is_solid_pixel(const ColorRGBA& pixel, bool climbing) {
    if ((collision_mask & 1) == 0) return false;
    if (pixel == material_colors[int(Material::Ladder)]) {
        if (climbing) on_ladder = true;
        return false;
    }
    if (pixel == material_colors[int(Material::Air)] || pixel == material_colors[int(Material::Water)] ||
        pixel == material_colors[int(Material::StaticWater)])
        return false;
    return true;
}

void QGPhysObject::on_object_collision(QGPhysObject*, const dvec2d&) {}

void QGPhysObject::on_terrain_collision(const dvec2d&) {}

bool QGPhysObject::overlaps_terrain(int x, int y, int width, int height, bool climbing) {
    TerrainView view(terrain_of(*this));
    const int W = view.width, H = view.height;
    if (W == 0 || H == 0 || width <= 0 || height <= 0) return false;
    // Shifted into the surface; a box larger than the surface is cut to it.
    int x0 = x <= 0 ? 0 : std::min(x, W - width);
    int y0 = y <= 0 ? 0 : std::min(y, H - height);
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    const int x1 = int(std::min<int64_t>(int64_t(x0) + width, W));
    const int y1 = int(std::min<int64_t>(int64_t(y0) + height, H));
    // The first solid pixel ends the test; a ladder pixel before it sets on_ladder.
    PixelClassifier classify(*this, climbing);
    const BoxScan r = scan_box(view, classify, x0, x1, y0, y1);
    if (r.ladder_x < x1 && (r.ladder_x < r.solid_x || (r.ladder_x == r.solid_x && r.ladder_y < r.solid_y)))
        on_ladder = true;
    return r.solid_x < x1;
}

void QGPhysObject::collide_pair(QGPhysObject* a, QGPhysObject* b) {
    // The box test first: it is the cheap reject of almost every pair, and neither test has
    // an effect.
    if (!boxes_overlap(*a, *b)) return;
    const bool a_hits = a->collides_with(*b);
    const bool b_hits = b->collides_with(*a);
    if (!a_hits && !b_hits) return;

    const float d[4] = {
        a->position.x + float(a->size.x) - b->position.x,  // a must go left
        b->position.x + float(b->size.x) - a->position.x,  // a must go right
        a->position.y + float(a->size.y) - b->position.y,  // a must go up
        b->position.y + float(b->size.y) - a->position.y,  // a must go down
    };
    int side = 0;
    for (int i = 1; i < 4; ++i)
        if (d[i] < d[side]) side = i;

    const dvec2d impact = side < 2 ? dvec2d(std::fabs(a->velocity.x - b->velocity.x), 0.0f)
                                   : dvec2d(0.0f, std::fabs(a->velocity.y - b->velocity.y));
    if (a_hits) a->on_object_collision(b, impact);
    if (b_hits) b->on_object_collision(a, impact);

    if (!a_hits || !b_hits) return;
    const bool a_static = a->is_static();
    const bool b_static = b->is_static();
    if (a_static && b_static) return;
    if (side == 2) a->on_ground = true;
    if (side == 3) b->on_ground = true;
    const float e = (a->bounce + b->bounce) / 2.0f;

    if (!a_static && !b_static) {
        const float sum = a->mass + b->mass;
        // Masses that cancel out would give no finite share; they split the separation evenly.
        const float wa = (sum != 0.0f && std::isfinite(sum)) ? b->mass / sum : 0.5f;
        const float wb = 1.0f - wa;
        switch (side) {
        case 0:
            a->position.x -= wa * d[0];
            b->position.x += wb * d[0];
            a->velocity.x = -(wa * impact.x * e);
            b->velocity.x = wb * impact.x * e;
            break;
        case 1:
            a->position.x += wa * d[1];
            b->position.x -= wb * d[1];
            a->velocity.x = wa * impact.x * e;
            b->velocity.x = -(wb * impact.x * e);
            break;
        case 2:
            a->position.y -= wa * d[2];
            b->position.y += wb * d[2];
            a->velocity.y = -(wa * impact.y * e);
            b->velocity.y = wb * impact.y * e;
            break;
        default:
            a->position.y += wa * d[3];
            b->position.y -= wb * d[3];
            a->velocity.y = wa * impact.y * e;
            b->velocity.y = -(wb * impact.y * e);
            break;
        }
    } else if (b_static) {
        switch (side) {
        case 0:
            a->position.x = b->position.x - float(a->size.x);
            a->velocity.x = b->velocity.x - std::fabs(a->velocity.x) * e;
            break;
        case 1:
            a->position.x = b->position.x + float(b->size.x);
            a->velocity.x = b->velocity.x + std::fabs(a->velocity.x) * e;
            break;
        case 2:
            a->position.y = b->position.y - float(a->size.y);
            a->velocity.y = b->velocity.y - std::fabs(a->velocity.y) * e;
            break;
        default:
            a->position.y = b->position.y + float(b->size.y);
            a->velocity.y = b->velocity.y + std::fabs(a->velocity.y) * e;
            break;
        }
    } else {
        switch (side) {
        case 0:
            b->position.x = a->position.x + float(a->size.x);
            b->velocity.x = a->velocity.x + std::fabs(b->velocity.x) * e;
            break;
        case 1:
            b->position.x = a->position.x - float(b->size.x);
            b->velocity.x = a->velocity.x - std::fabs(b->velocity.x) * e;
            break;
        case 2:
            b->position.y = a->position.y + float(a->size.y);
            b->velocity.y = a->velocity.y + std::fabs(b->velocity.y) * e;
            break;
        default:
            b->position.y = a->position.y - float(b->size.y);
            b->velocity.y = a->velocity.y - std::fabs(b->velocity.y) * e;
            break;
        }
    }
}

void QGPhysObject::collide_with_terrain(QGPhysObject* o) {
    if ((o->collision_mask & 1) == 0) return;
    TerrainView view(terrain_of(*o));
    // Without a terrain there is nothing to meet.
    if (!view.present()) return;
    const int W = view.width, H = view.height;
    const int w = box_extent(o->size.x), h = box_extent(o->size.y);

    // The previous position is kept inside the level.
    dvec2d& prev = o->previous_position;
    if (prev.x < 0.0f) prev.x = 0.0f;
    if (prev.x + float(w) >= float(W)) prev.x = float(W - w - 1);
    if (prev.y < 0.0f) prev.y = 0.0f;
    if (prev.y + float(h) >= float(H)) prev.y = float(H - h - 1);

    const int px = to_pixel_coordinate(prev.x), py = to_pixel_coordinate(prev.y);
    const int nx = to_pixel_coordinate(o->position.x), ny = to_pixel_coordinate(o->position.y);
    if (px == nx && py == ny) return;

    // The ladder probe counts only for its effect on on_ladder.
    o->overlaps_terrain(nx, ny, w, h, true);

    measure_submersion(*o, w, h);

    auto clamp_x = [W](int64_t v) { return clamp_to(clamp_extent(v), W); };
    auto clamp_y = [H](int64_t v) { return clamp_to(clamp_extent(v), H); };
    PixelClassifier classify(*o, false);

    int L = clamp_x(std::min(px, nx));
    int R = clamp_x(std::max(int64_t(px) + w, int64_t(nx) + w));
    int T = clamp_y(std::min(py, ny));
    int B = clamp_y(std::max(int64_t(py) + h, int64_t(ny) + h));
    const bool right = px < nx, left = nx < px, down = py < ny, up = ny < py;
    const int64_t step = step_height;

    // After a horizontal sweep: step onto the floor found, or go under the ceiling found.
    auto settle_on_span = [&](int ft, int fb) {
        if (fb < B) {
            B = clamp_y(fb);
            T = B - h;
        } else if (T < ft) {
            T = ft < 1 ? 0 : std::min(ft, H - h);
            B = T + h;
        }
    };
    // Narrows the free rows [ft, fb) by the solid pixels of one column of the band, top down.
    auto scan_column = [&](SweepBand& band, int x, int& ft, int& fb) {
        for (int y = band.next_solid(x, ft, fb); y < fb; y = band.next_solid(x, y + 1, fb)) {
            if (y - ft < h) ft = y;
            else fb = y;
        }
    };
    auto scan_row = [&](int y, int& fl, int& fr) { narrow_by_row(view, classify, y, w, fl, fr); };

    // A column (or row) too narrow for the box ends the sweep; the span of the last one that
    // let the box through is the one it settles in, not the narrowed one of the wall.
    if (right) {
        const int64_t s = (int64_t(R) - (int64_t(px) + w)) * step;
        int ft = clamp_y(T - s), fb = clamp_y(B + s);
        SweepBand band(view, classify, px + w, R, ft, fb, false);
        for (int x = px + w; x < R; ++x) {
            const int top = ft, bottom = fb;
            scan_column(band, x, ft, fb);
            if (fb - ft < h) {
                ft = top;
                fb = bottom;
                R = x - 1;
                break;
            }
        }
        if (px + w < R) settle_on_span(ft, fb);
    } else if (left) {
        // The mirror image: the columns entered are px - 1 down to L.
        const int64_t s = (int64_t(px) - L) * step;
        int ft = clamp_y(T - s), fb = clamp_y(B + s);
        SweepBand band(view, classify, L, px, ft, fb, true);
        for (int x = px; L < x; --x) {
            const int top = ft, bottom = fb;
            scan_column(band, x - 1, ft, fb);
            if (fb - ft < h) {
                ft = top;
                fb = bottom;
                L = x + 1;
                break;
            }
        }
        if (L < px) settle_on_span(ft, fb);
    }

    if (down) {
        const int64_t m = int64_t(B) - (int64_t(py) + h);
        int fl = clamp_x(L - m), fr = clamp_x(R + m);
        for (int y = py + h; y < B; ++y) {
            scan_row(y, fl, fr);
            if (fr - fl < w) {
                B = y - 1;
                break;
            }
        }
    } else if (up) {
        const int64_t m = int64_t(py) - T;
        int fl = clamp_x(L - m), fr = clamp_x(R + m);
        // The mirror image of the way down: the rows entered are py - 1 up to T.
        for (int y = py; T < y; --y) {
            scan_row(y - 1, fl, fr);
            if (fr - fl < w) {
                T = y + 1;
                break;
            }
        }
    }

    const bool blocked_x = (right && R < nx + w) || (left && L > nx);
    const bool blocked_y = (down && B < ny + h) || (up && T > ny);
    if (!blocked_x && !blocked_y) return;
    if (B <= ny + h) o->on_ground = true;

    dvec2d impact = o->velocity;
    if (o->is_static()) return;

    // A span narrower than the box centres it.
    if (R - L < w) o->position.x = float(L + ((R - w) - L) / 2);
    else if (right) o->position.x = float(R - w);
    else if (left) o->position.x = float(L);
    if (B - T < h) o->position.y = float(T + ((B - h) - T) / 2);
    else if (down) o->position.y = float(B - h);
    else if (up) o->position.y = float(T);

    if (blocked_x) {
        if (right) o->velocity.x = -std::fabs(o->bounce * o->velocity.x);
        else if (left) o->velocity.x = std::fabs(o->bounce * o->velocity.x);
    }
    if (blocked_y) {
        if (down) o->velocity.y = -std::fabs(o->bounce * o->velocity.y);
        else if (up) o->velocity.y = std::fabs(o->bounce * o->velocity.y);
        // A rebound too weak to lift the box out of its pixel row only sinks it back into the
        // floor: the object comes to rest instead (see QGPhysObject::update).
        const float pull = gravity.y * o->gravity_factor;
        if (down && on_floor_row_rebound(o->velocity.y, pull)) o->velocity.y = 0.0f;
    }

    if (!blocked_x) impact.x = 0.0f;
    if (!blocked_y) impact.y = 0.0f;
    o->on_terrain_collision(impact);
}

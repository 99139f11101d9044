#include "game/physics/qg_phys_object.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>

#include "engine/core/byte_buffer.h"
#include "engine/core/saturate.h"
#include "game/config/settings.h"
#include "game/physics/terrain_sweep.h"
#include "game/base/qg_event.h"
#include "game/base/game_session.h"
#include "game/terrain/qg_level.h"

using namespace solid_terrain;
using namespace terrain_sweep;

namespace {

// Whole pixels of a world coordinate, truncated towards zero and held to a range every pixel
// computation can add sizes to without overflowing (NaN counts as 0). Well inside the limit the
// plain truncation is the answer.
inline int to_pixel_coordinate(float v) {
    if (std::fabs(v) < float(kPixelLimit)) return int(v);
    return std::clamp(saturate_cast<int>(v), -kPixelLimit, kPixelLimit);
}

SDL_Surface* terrain_of(const QGPhysObject& o) { return o.game ? o.game->terrain().surface() : nullptr; }

// The level's solid mask while the level's surface is the terrain.
const SolidMask* level_mask_of(const QGPhysObject& o) {
    const QGLevel* level = o.game ? o.game->level : nullptr;
    return level && level->surface() && level->surface() == terrain_of(o) ? &level->solid_mask : nullptr;
}

// The rows a resting object may sink through before the terrain pass lifts it back: the free
// row a landing leaves under the box, and the floor under that.
constexpr int kRestDrop = 2;

// The fraction of the box (w x h) the level's water covers.
void measure_submersion(QGPhysObject& o, int w, int h) {
    const bool has_water = o.game && o.game->terrain().has_water_coverage();
    const float covered =
        has_water ? o.game->terrain().water_coverage(o.position.x, o.position.y, float(w), float(h)) : 0.0f;
    o.submersion = std::isnan(covered) ? 0.0f : std::clamp(covered, 0.0f, 1.0f);
}

// Whether an upward speed vy (after a landing) lifts the box less than a pixel under the pull.
bool on_floor_row_rebound(float vy, float pull) { return pull > 0.0f && vy <= 0.0f && vy * vy < 2.0f * pull; }

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
    for (int row = y + h; row < y + h + kRestDrop; ++row) {
        narrow_by_row(view, row, w, fl, fr);
        if (fr - fl < w) return true;
    }
    return false;
}

// A coordinate of a vector along one axis.
template <class V>
auto& along(V& v, bool vertical) {
    return vertical ? v.y : v.x;
}

// The side a must leave b by, the one of least overlap (0 left, 1 right, 2 up, 3 down), and
// that overlap.
int separation_side(const QGPhysObject& a, const QGPhysObject& b, float& depth) {
    const float d[4] = {
        a.position.x + float(a.size.x) - b.position.x,  // a must go left
        b.position.x + float(b.size.x) - a.position.x,  // a must go right
        a.position.y + float(a.size.y) - b.position.y,  // a must go up
        b.position.y + float(b.size.y) - a.position.y,  // a must go down
    };
    int side = 0;
    for (int i = 1; i < 4; ++i)
        if (d[i] < d[side]) side = i;
    depth = d[side];
    return side;
}

// Two moving objects share the separation in inverse proportion to their masses, and each
// takes its share of the rebound; a goes towards lower coordinates when a_back.
void share_separation(QGPhysObject& a, QGPhysObject& b, bool vertical, bool a_back, float depth, float speed, float e) {
    const float sum = a.mass + b.mass;
    // Masses that cancel out would give no finite share; they split the separation evenly.
    const float wa = (sum != 0.0f && std::isfinite(sum)) ? b.mass / sum : 0.5f;
    const float wb = 1.0f - wa;
    float& ap = along(a.position, vertical);
    float& bp = along(b.position, vertical);
    float& av = along(a.velocity, vertical);
    float& bv = along(b.velocity, vertical);
    if (a_back) {
        ap -= wa * depth;
        bp += wb * depth;
        av = -(wa * speed * e);
        bv = wb * speed * e;
    } else {
        ap += wa * depth;
        bp -= wb * depth;
        av = wa * speed * e;
        bv = -(wb * speed * e);
    }
}

// A moving object is put against the side of a fixed one and rebounds off it; it goes
// towards lower coordinates when back.
void push_off(QGPhysObject& moving, const QGPhysObject& fixed, bool vertical, bool back, float e) {
    float& p = along(moving.position, vertical);
    float& v = along(moving.velocity, vertical);
    if (back) {
        p = along(fixed.position, vertical) - float(along(moving.size, vertical));
        v = along(fixed.velocity, vertical) - std::fabs(v) * e;
    } else {
        p = along(fixed.position, vertical) + float(along(fixed.size, vertical));
        v = along(fixed.velocity, vertical) + std::fabs(v) * e;
    }
}

// After a sweep stopped the box: puts it at the edge of its span (centred in a span narrower
// than the box), sends it back off what it met and reports the impact.
bool settle_after_sweep(QGPhysObject& o, const TerrainSweep& s) {
    const bool blocked_x = s.blocked_x(), blocked_y = s.blocked_y();
    if (s.B <= s.ny + s.h) o.on_ground = true;
    dvec2d impact = o.velocity;
    if (o.is_static()) return false;

    if (s.R - s.L < s.w) o.position.x = float(s.L + ((s.R - s.w) - s.L) / 2);
    else if (s.right) o.position.x = float(s.R - s.w);
    else if (s.left) o.position.x = float(s.L);
    if (s.B - s.T < s.h) o.position.y = float(s.T + ((s.B - s.h) - s.T) / 2);
    else if (s.down) o.position.y = float(s.B - s.h);
    else if (s.up) o.position.y = float(s.T);

    if (blocked_x) {
        if (s.right) o.velocity.x = -std::fabs(o.bounce * o.velocity.x);
        else if (s.left) o.velocity.x = std::fabs(o.bounce * o.velocity.x);
    }
    if (blocked_y) {
        if (s.down) o.velocity.y = -std::fabs(o.bounce * o.velocity.y);
        else if (s.up) o.velocity.y = std::fabs(o.bounce * o.velocity.y);
        // A rebound too weak to lift the box out of its pixel row only sinks it back into the
        // floor: the object comes to rest instead (see QGPhysObject::update).
        const float pull = gravity.y * o.gravity_factor;
        if (s.down && on_floor_row_rebound(o.velocity.y, pull)) o.velocity.y = 0.0f;
    }

    if (!blocked_x) impact.x = 0.0f;
    if (!blocked_y) impact.y = 0.0f;
    o.on_terrain_collision(impact);
    return true;
}

}  // namespace

QGPhysObject::QGPhysObject(GameSession* game_, unsigned int entity_id_, const ivec2d& size_, bool is_static_,
                           float mass_, float friction_, float air_friction_, float bounce_,
                           unsigned short collision_group_, unsigned short collision_mask_, float buoyancy_)
    : QGObject(game_, entity_id_, false),
      size(size_),
      mass(mass_ == 0.0f || std::isnan(mass_) ? 1.0f : mass_),
      friction(friction_),
      air_friction(air_friction_),
      bounce(bounce_),
      buoyancy(buoyancy_),
      collision_group(collision_group_),
      collision_mask(collision_mask_),
      static_flag(is_static_) {}

QGPhysObject::QGPhysObject(GameSession* game_, unsigned int entity_id_, const PhysObjectRecord& r)
    : QGPhysObject(game_, entity_id_, r.size, r.is_static, r.mass, r.friction, r.air_friction, r.bounce,
                   r.collision_group, r.collision_mask, r.buoyancy) {
    position = r.position;
    velocity = r.velocity;
}

void QGPhysObject::admitted() { game->registry().add_physics(this); }

void QGPhysObject::sync_fields() { sync_field(position, kPositionRange, default_dvec2d_interpolation); }

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
    event.set_record<EQGEventType::CreatePhysObject>(r);
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
    if (climbing && pixel == material_colors[int(Material::Ladder)]) on_ladder = true;
    return solid_terrain::is_solid_colour(pixel);
}

void QGPhysObject::on_object_collision(QGPhysObject*, const dvec2d&) {}

void QGPhysObject::on_terrain_collision(const dvec2d&) {}

bool QGPhysObject::overlaps_terrain(int x, int y, int width, int height, bool climbing) {
    TerrainView view(terrain_of(*this));
    return overlaps_terrain(view, nullptr, x, y, width, height, climbing);
}

bool QGPhysObject::overlaps_terrain(TerrainView& view, const SolidMask* probe_mask, int x, int y, int width, int height,
                                    bool climbing) {
    const int W = view.width, H = view.height;
    // Without bit 0 in the mask no pixel counts.
    if (W == 0 || H == 0 || width <= 0 || height <= 0 || (collision_mask & 1) == 0) return false;
    // Shifted into the surface; a box larger than the surface is cut to it.
    int x0 = x <= 0 ? 0 : std::min(x, W - width);
    int y0 = y <= 0 ? 0 : std::min(y, H - height);
    x0 = std::max(x0, 0);
    y0 = std::max(y0, 0);
    const int x1 = int(std::min<int64_t>(int64_t(x0) + width, W));
    const int y1 = int(std::min<int64_t>(int64_t(y0) + height, H));
    if (probe_mask && !probe_mask->may_hold_ladder(x0, x1, y0, y1)) return false;
    // The first solid pixel ends the test; a ladder pixel before it sets on_ladder.
    const BoxScan r = scan_box(view, climbing, x0, x1, y0, y1);
    if (r.ladder_x < x1 && (r.ladder_x < r.solid_x || (r.ladder_x == r.solid_x && r.ladder_y < r.solid_y)))
        on_ladder = true;
    return r.solid_x < x1;
}

namespace {

// The pair response; Plain when both objects are of the base class, whose contact reactions
// do nothing and whose tests are the base ones.
template <bool Plain>
bool respond_to_pair(QGPhysObject* a, QGPhysObject* b) {
    const bool a_hits = Plain ? a->QGPhysObject::collides_with(*b) : a->collides_with(*b);
    const bool b_hits = Plain ? b->QGPhysObject::collides_with(*a) : b->collides_with(*a);
    if (!a_hits && !b_hits) return false;

    float depth;
    const int side = separation_side(*a, *b, depth);
    const bool vertical = side >= 2, a_back = side % 2 == 0;
    const dvec2d impact = vertical ? dvec2d(0.0f, std::fabs(a->velocity.y - b->velocity.y))
                                   : dvec2d(std::fabs(a->velocity.x - b->velocity.x), 0.0f);
    if (!Plain) {
        if (a_hits) a->on_object_collision(b, impact);
        if (b_hits) b->on_object_collision(a, impact);
    }

    if (!a_hits || !b_hits) return true;
    const bool a_static = Plain ? a->QGPhysObject::is_static() : a->is_static();
    const bool b_static = Plain ? b->QGPhysObject::is_static() : b->is_static();
    if (a_static && b_static) return true;
    if (side == 2) a->on_ground = true;
    if (side == 3) b->on_ground = true;
    const float e = (a->bounce + b->bounce) / 2.0f;
    if (!a_static && !b_static) share_separation(*a, *b, vertical, a_back, depth, along(impact, vertical), e);
    else if (b_static) push_off(*a, *b, vertical, a_back, e);
    else push_off(*b, *a, vertical, !a_back, e);
    return true;
}

}  // namespace

bool QGPhysObject::collide_pair(QGPhysObject* a, QGPhysObject* b) {
    // The box test first: it is the cheap reject of almost every pair, and neither test has
    // an effect.
    if (!boxes_overlap(*a, *b)) return false;
    return respond_to_pair<false>(a, b);
}

bool QGPhysObject::collide_plain_pair(QGPhysObject* a, QGPhysObject* b) { return respond_to_pair<true>(a, b); }

bool QGPhysObject::collide_with_terrain(QGPhysObject* o) {
    if ((o->collision_mask & 1) == 0) return false;
    SDL_Surface* const surface = terrain_of(*o);
    // A surface that needs no lock gives its size without being prepared for reading, which an
    // object that stays on its pixels never needs.
    std::optional<TerrainView> view;
    const bool direct = surface && !SDL_MUSTLOCK(surface);
    if (!direct) view.emplace(surface);
    // Without a terrain there is nothing to meet.
    if (direct ? !(surface->pixels && surface->format && surface->w > 0 && surface->h > 0) : !view->present())
        return false;
    const int width = direct ? surface->w : view->width, height = direct ? surface->h : view->height;
    const int w = box_extent(o->size.x), h = box_extent(o->size.y);
    // The previous position is kept inside the level.
    dvec2d& prev = o->previous_position;
    if (prev.x < 0.0f) prev.x = 0.0f;
    if (prev.x + float(w) >= float(width)) prev.x = float(width - w - 1);
    if (prev.y < 0.0f) prev.y = 0.0f;
    if (prev.y + float(h) >= float(height)) prev.y = float(height - h - 1);
    const int px = to_pixel_coordinate(o->previous_position.x), py = to_pixel_coordinate(o->previous_position.y);
    const int nx = to_pixel_coordinate(o->position.x), ny = to_pixel_coordinate(o->position.y);
    if (px == nx && py == ny) return false;

    // The ladder probe counts only for its effect on on_ladder.
    if (!view) view.emplace(surface);
    const SolidMask* const mask = level_mask_of(*o);
    o->overlaps_terrain(*view, mask, nx, ny, w, h, true);
    measure_submersion(*o, w, h);

    TerrainSweep sweep{*view, mask, w, h, px, py, nx, ny};
    sweep.sweep_horizontal();
    sweep.sweep_vertical();
    return (sweep.blocked_x() || sweep.blocked_y()) && settle_after_sweep(*o, sweep);
}

#pragma once
#include <cstdint>

#include "engine/core/geometry.h"
#include "game/base/qg_object.h"
#include "game/base/record_stream.h"
#include "game/base/session_records.h"

struct PhysObjectRecord;

struct SDL_Surface;
class ByteBuffer;
namespace solid_terrain {
class TerrainView;
class SolidMask;
}  // namespace solid_terrain

// An axis-aligned box that moves under gravity, buoyancy and drag, collides with other
// physics objects and with the terrain pixels, and reports impacts to its subclasses. Only the
// server simulates; clients receive the position and interpolate it. Always on the UDP channel.
class QGPhysObject : public QGObject {
public:
    QGPhysObject(GameSession* game, unsigned int entity_id, const ivec2d& size, bool is_static, float mass,
                 float friction, float air_friction, float bounce, unsigned short collision_group,
                 unsigned short collision_mask, float buoyancy);
    // The object its creation record describes (the id comes through spawn, as for every object).
    QGPhysObject(GameSession* game, unsigned int entity_id, const PhysObjectRecord& record);

    // Joins the physics list of the next commit.
    void admitted() override;
    void sync_fields() override;
    void write_creation_event(QGEvent& event) const override;
    // The physics step (server only, through the world step).
    void update(float dt) override;

    virtual bool is_static() const { return static_flag; }
    // Whether this object's mask meets the other's group.
    virtual bool collides_with(const QGPhysObject& other) const;
    // Whether the terrain pixel stops this object; a ladder pixel with climbing sets on_ladder.
    // A pure test of the colour apart from that flag, the same for every object that meets the
    // terrain at all, so that the level's solid mask can hold it once for all of them.
    bool is_solid_pixel(const ColorRGBA& pixel, bool climbing);
    virtual void on_object_collision(QGPhysObject* other, const dvec2d& impact);
    virtual void on_terrain_collision(const dvec2d& impact);

    // Whether the box, shifted into the terrain surface, holds a solid pixel. Reads column by
    // column; never reads outside the surface (false without one).
    bool overlaps_terrain(int x, int y, int width, int height, bool climbing);

    // The two collision passes of the server's world step: a before b in the physics list.
    // Each answers whether it ran a contact reaction (on_object_collision or
    // on_terrain_collision), the only code of a pass that may move objects other than its own.
    static bool collide_pair(QGPhysObject* a, QGPhysObject* b);
    static bool collide_with_terrain(QGPhysObject* o);
    // collide_pair() of two objects of this very class whose boxes are known to overlap: the
    // same response, without the calls to overrides they cannot have.
    static bool collide_plain_pair(QGPhysObject* a, QGPhysObject* b);

    // The cheap reject of the pair pass: whether the two boxes overlap at all.
    static bool boxes_overlap(const QGPhysObject& a, const QGPhysObject& b) {
        return a.position.x < b.position.x + float(b.size.x) && a.position.y < b.position.y + float(b.size.y) &&
               b.position.x < a.position.x + float(a.size.x) && b.position.y < a.position.y + float(a.size.y);
    }

    dvec2d position;
    ivec2d size;
    dvec2d velocity;
    float gravity_factor = 1.0f;
    dvec2d previous_position;
    float mass;
    float friction;
    float air_friction;
    float bounce;
    float buoyancy;
    uint16_t collision_group;
    uint16_t collision_mask;
    bool on_ground = false;
    bool on_ladder = false;
    float submersion = 0.0f;
    bool static_flag;
    bool can_climb = false;

private:
    // The box test over a view of the terrain. With a mask it runs for its effect on on_ladder
    // alone (the answer then means nothing), which a box the mask knows holds no ladder pixel
    // cannot have.
    bool overlaps_terrain(solid_terrain::TerrainView& view, const solid_terrain::SolidMask* probe_mask, int x, int y,
                          int width, int height, bool climbing);
};

// The physics object's creation record (CreatePhysObject).
struct PhysObjectRecord {
    uint32_t entity_id = 0;
    dvec2d position;
    ivec2d size;
    bool is_static = false;
    dvec2d velocity;
    float mass = 0.0f;
    float friction = 0.0f;
    float air_friction = 0.0f;
    float bounce = 0.0f;
    float buoyancy = 0.0f;
    uint16_t collision_group = 0;
    uint16_t collision_mask = 0;
};
template <class S>
bool serialize(S& s, PhysObjectRecord& r) {
    return s.value(r.entity_id) && s.value(r.position, kPositionRange) &&
           s.value(r.size, {0, 0}, {kMaxRecordColliderSide, kMaxRecordColliderSide}) && s.value(r.is_static) &&
           s.pad(3) && s.finite(r.velocity) && s.finite(r.mass) && s.finite(r.friction) && s.finite(r.air_friction) &&
           s.finite(r.bounce) && s.finite(r.buoyancy) && s.value(r.collision_group) && s.value(r.collision_mask);
}

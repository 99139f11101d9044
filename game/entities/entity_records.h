#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/core/geometry.h"
#include "game/session/record_stream.h"
#include "game/session/session_records.h"

// The payloads of the player's events and of the creation records of players, items, weapons,
// projectiles, tombstones, portals and sweetrolls, each one field list in its wire layout. The
// field lists are where untrusted values are checked: a record whose floats are not finite,
// whose player index names no player slot or whose sizes are out of range is refused, and
// nothing downstream checks again.

// Most carried-item, projectile and object sides a record may claim, in pixels.
constexpr int32_t kMaxRecordColliderSide = 4096;

template <class S>
bool player_index_field(S& s, uint32_t& index) {
    return s.value(index) && s.check(index < kMaxPlayers, "player index names no player slot.");
}

// CreatePlayer.
struct PlayerRecord {
    uint32_t entity_id = 0;
    dvec2d position;
    dvec2d velocity;
    uint32_t player_index = 0;
    uint32_t team = 0;
    std::string name;
};
template <class S>
bool serialize(S& s, PlayerRecord& r) {
    return s.value(r.entity_id) && s.finite(r.position) && s.finite(r.velocity) &&
           player_index_field(s, r.player_index) && s.value(r.team) && s.text(r.name, 16);
}

// Input. Kinds: 1 left, 2 right, 3 up, 4 down, 5 secondary, 6 use, 7 select slot.
struct PlayerInput {
    uint32_t player_index = 0;
    uint32_t kind = 0;
    uint32_t value = 0;
};
template <class S>
bool serialize(S& s, PlayerInput& r) {
    return player_index_field(s, r.player_index) && s.value(r.kind) && s.value(r.value);
}

// Aim: the world point the player aims at.
struct PlayerAim {
    uint32_t player_index = 0;
    float x = 0.0f;
    float y = 0.0f;
};
template <class S>
bool serialize(S& s, PlayerAim& r) {
    return player_index_field(s, r.player_index) && s.finite(r.x) && s.finite(r.y);
}

// CreateItem: a plain carried item described by its physics values.
struct ItemRecord {
    uint32_t entity_id = 0;
    dvec2d position;
    ivec2d collider_size;
    dvec2d rotation_center;
    float mass = 1.0f;
    float friction = 0.0f;
    float air_friction = 0.0f;
    float bounce = 0.0f;
    float pickup_cooldown = 0.0f;
    float buoyancy = 0.0f;
    uint32_t owner = kNoPlayerIndex;
};
template <class S>
bool serialize(S& s, ItemRecord& r) {
    const auto side_ok = [](int32_t v) { return v >= 0 && v <= kMaxRecordColliderSide; };
    return s.value(r.entity_id) && s.finite(r.position) && s.value(r.collider_size) &&
           s.check(side_ok(r.collider_size.x) && side_ok(r.collider_size.y), "collider size out of range.") &&
           s.finite(r.rotation_center) && s.finite(r.mass) && s.finite(r.friction) && s.finite(r.air_friction) &&
           s.finite(r.bounce) && s.finite(r.pickup_cooldown) && s.finite(r.buoyancy) && s.value(r.owner);
}

// CreateWeapon and CreateSpecialItem: an object made from a definition of its table.
struct DefinedItemRecord {
    uint32_t entity_id = 0;
    dvec2d position;
    uint32_t definition = 0;
    uint32_t owner = kNoPlayerIndex;
};
template <class S>
bool serialize(S& s, DefinedItemRecord& r) {
    return s.value(r.entity_id) && s.finite(r.position) && s.value(r.definition) && s.value(r.owner);
}

// CreateProjectile.
struct ProjectileRecord {
    uint32_t entity_id = 0;
    dvec2d position;
    dvec2d velocity;
    uint32_t weapon_definition = 0;
    uint32_t shooter = 0;
};
template <class S>
bool serialize(S& s, ProjectileRecord& r) {
    return s.value(r.entity_id) && s.finite(r.position) && s.finite(r.velocity) && s.value(r.weapon_definition) &&
           s.value(r.shooter);
}

// CreateTombstone. Any cause number is kept: an unknown one reads as an unknown death.
struct TombstoneRecord {
    uint32_t entity_id = 0;
    uint32_t player_index = 0;
    dvec2d position;
    DamageCause cause;
};
template <class S>
bool serialize(S& s, TombstoneRecord& r) {
    return s.value(r.entity_id) && s.value(r.player_index) && s.finite(r.position) && s.value(r.cause.type) &&
           s.value(r.cause.weapon_definition) && s.value(r.cause.source_player);
}

// CreateSweetroll and CreatePortal: an id and a position.
struct PlacedObjectRecord {
    uint32_t entity_id = 0;
    dvec2d position;
};
template <class S>
bool serialize(S& s, PlacedObjectRecord& r) {
    return s.value(r.entity_id) && s.finite(r.position);
}

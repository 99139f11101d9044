#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/core/geometry.h"
#include "game/config/object_definitions.h"
#include "game/base/record_stream.h"
#include "game/base/session_records.h"

// The payloads of the player's events and of the creation records of players, items, weapons,
// projectiles, tombstones, portals and sweetrolls, each one field list in its wire layout. The
// field lists are where untrusted values are checked, each field's range where it is listed: a
// record whose floats are not finite, whose own player (a player's, an input's, an aim's) names
// no player slot, whose definition index names no definition, whose input kind is none of the
// kinds or whose sizes are out of range is refused. A player the record only names (a holder,
// a shooter) may be any number: it is looked up where it is used.

// Ranges the creation or event records and the objects' state records declare for the same
// value: the point a player aims at, the point an item turns about, a player's animation.
inline constexpr Finite kAimRange{};
inline constexpr Finite kRotationCenterRange{};
inline constexpr Within kPlayerAnimations{EQGPlayerAnimation::IdleLeft, EQGPlayerAnimation::Die};

template <class S>
bool player_index_field(S& s, uint32_t& index) {
    return s.index(index, kMaxPlayers);
}

// A player named by a creation record (a holder, a shooter, a victim): any number, and one that
// names no player slot (kNoPlayerIndex among them) names nobody; every use looks the player up.
template <class S>
bool named_player_field(S& s, uint32_t& index) {
    return s.value(index);
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
    return s.value(r.entity_id) && s.value(r.position, kPositionRange) && s.finite(r.velocity) &&
           player_index_field(s, r.player_index) && s.value(r.team) && s.text(r.name, 16);
}

// What an Input record does: a key pressed (any value but 0) or released (value 0), or the
// inventory slot to select (value: the slot; beyond the inventory its last one).
enum class InputKind : uint32_t {
    Left = 1,
    Right = 2,
    Up = 3,
    Down = 4,
    Secondary = 5,
    Use = 6,
    SelectSlot = 7,
};
// Input.
struct PlayerInput {
    uint32_t player_index = 0;
    InputKind kind = InputKind::Left;
    uint32_t value = 0;
};
template <class S>
bool serialize(S& s, PlayerInput& r) {
    return player_index_field(s, r.player_index) && s.value(r.kind, InputKind::Left, InputKind::SelectSlot) &&
           s.value(r.value);
}

// Aim: the world point the player aims at.
struct PlayerAim {
    uint32_t player_index = 0;
    float x = 0.0f;
    float y = 0.0f;
};
template <class S>
bool serialize(S& s, PlayerAim& r) {
    return player_index_field(s, r.player_index) && s.value(r.x, kAimRange) && s.value(r.y, kAimRange);
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
    return s.value(r.entity_id) && s.value(r.position, kPositionRange) &&
           s.value(r.collider_size, {0, 0}, {kMaxRecordColliderSide, kMaxRecordColliderSide}) &&
           s.value(r.rotation_center, kRotationCenterRange) && s.finite(r.mass) && s.finite(r.friction) &&
           s.finite(r.air_friction) && s.finite(r.bounce) && s.finite(r.pickup_cooldown) && s.finite(r.buoyancy) &&
           named_player_field(s, r.owner);
}

// An object made from a definition of its table: CreateWeapon (WeaponRecord, the weapon
// definitions) and CreateSpecialItem (SpecialItemRecord, the item definitions).
struct DefinedItemRecord {
    uint32_t entity_id = 0;
    dvec2d position;
    uint32_t definition = 0;
    uint32_t owner = kNoPlayerIndex;
};
struct WeaponRecord : DefinedItemRecord {};
struct SpecialItemRecord : DefinedItemRecord {};
template <class S>
bool defined_item_fields(S& s, DefinedItemRecord& r, size_t definitions) {
    return s.value(r.entity_id) && s.value(r.position, kPositionRange) && s.index(r.definition, definitions) &&
           named_player_field(s, r.owner);
}
template <class S>
bool serialize(S& s, WeaponRecord& r) {
    return defined_item_fields(s, r, weapon_definition_count());
}
template <class S>
bool serialize(S& s, SpecialItemRecord& r) {
    return defined_item_fields(s, r, item_definitions.size());
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
    return s.value(r.entity_id) && s.value(r.position, kPositionRange) && s.finite(r.velocity) &&
           s.index(r.weapon_definition, weapon_definition_count()) && named_player_field(s, r.shooter);
}

// CreateTombstone. Any cause number is kept: an unknown type, weapon or source reads as an unknown
// death or an unknown killer.
struct TombstoneRecord {
    uint32_t entity_id = 0;
    uint32_t player_index = 0;
    dvec2d position;
    DamageCause cause;
};
template <class S>
bool serialize(S& s, TombstoneRecord& r) {
    return s.value(r.entity_id) && named_player_field(s, r.player_index) && s.value(r.position, kPositionRange) &&
           s.value(r.cause.type) && s.value(r.cause.weapon_definition) && s.value(r.cause.source_player);
}

// CreateSweetroll and CreatePortal: an id and a position.
struct PlacedObjectRecord {
    uint32_t entity_id = 0;
    dvec2d position;
};
template <class S>
bool serialize(S& s, PlacedObjectRecord& r) {
    return s.value(r.entity_id) && s.value(r.position, kPositionRange);
}

#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/core/byte_buffer.h"
#include "engine/core/geometry.h"
#include "game/session/session_records.h"

// The payloads of the player's events and of the creation records of players, items, weapons,
// projectiles, tombstones, portals and sweetrolls. Each is written and read field by field,
// little-endian, in its wire layout. The readers are where untrusted values are checked: a
// record whose bytes are short, whose floats are not finite, whose player index names no
// player slot or whose sizes are out of range is refused (false, logged), and nothing
// downstream checks again.

// Most carried-item, projectile and object sides a record may claim, in pixels.
constexpr int32_t kMaxRecordColliderSide = 4096;

// The 16 name bytes of a record: at most 15 characters and their NUL, the rest zero.
void write_name16(ByteBuffer& out, const std::string& name);
// The bytes up to the first NUL, or all 16 when the sender put none.
std::string read_name16(ByteBuffer& in);

// CreatePlayer (44 bytes).
struct PlayerRecord {
    uint32_t entity_id = 0;
    dvec2d position;
    dvec2d velocity;
    uint32_t player_index = 0;
    uint32_t team = 0;
    std::string name;
};
constexpr size_t kPlayerRecordSize = 44;
void write_player_record(ByteBuffer& out, const PlayerRecord& r);
bool read_player_record(ByteBuffer& in, PlayerRecord& out);

// Input (12 bytes). Kinds: 1 left, 2 right, 3 up, 4 down, 5 secondary, 6 use, 7 select slot.
struct PlayerInput {
    uint32_t player_index = 0;
    uint32_t kind = 0;
    uint32_t value = 0;
};
constexpr size_t kPlayerInputSize = 12;
void write_player_input(ByteBuffer& out, const PlayerInput& r);
bool read_player_input(ByteBuffer& in, PlayerInput& out);

// Aim (12 bytes): the world point the player aims at.
struct PlayerAim {
    uint32_t player_index = 0;
    float x = 0.0f;
    float y = 0.0f;
};
constexpr size_t kPlayerAimSize = 12;
void write_player_aim(ByteBuffer& out, const PlayerAim& r);
bool read_player_aim(ByteBuffer& in, PlayerAim& out);

// CreateItem (56 bytes): a plain carried item described by its physics values.
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
constexpr size_t kItemRecordSize = 56;
void write_item_record(ByteBuffer& out, const ItemRecord& r);
bool read_item_record(ByteBuffer& in, ItemRecord& out);

// CreateWeapon and CreateSpecialItem (20 bytes): an object made from a definition of its table.
struct DefinedItemRecord {
    uint32_t entity_id = 0;
    dvec2d position;
    uint32_t definition = 0;
    uint32_t owner = kNoPlayerIndex;
};
constexpr size_t kDefinedItemRecordSize = 20;
void write_defined_item_record(ByteBuffer& out, const DefinedItemRecord& r);
bool read_defined_item_record(ByteBuffer& in, DefinedItemRecord& out);

// CreateProjectile (28 bytes).
struct ProjectileRecord {
    uint32_t entity_id = 0;
    dvec2d position;
    dvec2d velocity;
    uint32_t weapon_definition = 0;
    uint32_t shooter = 0;
};
constexpr size_t kProjectileRecordSize = 28;
void write_projectile_record(ByteBuffer& out, const ProjectileRecord& r);
bool read_projectile_record(ByteBuffer& in, ProjectileRecord& out);

// CreateTombstone (28 bytes).
struct TombstoneRecord {
    uint32_t entity_id = 0;
    uint32_t player_index = 0;
    dvec2d position;
    DamageCause cause;
};
constexpr size_t kTombstoneRecordSize = 28;
void write_tombstone_record(ByteBuffer& out, const TombstoneRecord& r);
bool read_tombstone_record(ByteBuffer& in, TombstoneRecord& out);

// CreateSweetroll and CreatePortal (12 bytes): an id and a position.
struct PlacedObjectRecord {
    uint32_t entity_id = 0;
    dvec2d position;
};
constexpr size_t kPlacedObjectRecordSize = 12;
void write_placed_object_record(ByteBuffer& out, const PlacedObjectRecord& r);
bool read_placed_object_record(ByteBuffer& in, PlacedObjectRecord& out);

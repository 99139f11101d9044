#include "game/entities/entity_records.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <typeinfo>

#include "engine/core/logger.h"

namespace {

constexpr size_t kNameBytes = 16;

// Whether a whole record of n bytes is there; marks the buffer failed when not.
bool has_record(ByteBuffer& in, size_t n) {
    if (in.ok() && in.remaining() >= n) return true;
    in.fail();
    return false;
}

bool finite(const dvec2d& v) { return std::isfinite(v.x) && std::isfinite(v.y); }

bool refuse(const std::type_info& record, const std::string& why) {
    log_message(LogLevel::Warning, "Dropped a record: " + why, log_class_name(record));
    return false;
}

bool valid_player_index(const std::type_info& record, uint32_t index) {
    if (index < kMaxPlayers) return true;
    return refuse(record, "player index " + std::to_string(index) + " names no player slot.");
}

bool valid_position(const std::type_info& record, const dvec2d& p) {
    return finite(p) || refuse(record, "position is not a number.");
}

void write_vec(ByteBuffer& out, const dvec2d& v) {
    out.write_f32_le(v.x);
    out.write_f32_le(v.y);
}

void read_vec(ByteBuffer& in, dvec2d& v) {
    in.read_f32_le(v.x);
    in.read_f32_le(v.y);
}

void write_cause(ByteBuffer& out, const DamageCause& c) {
    out.write_u32_le(uint32_t(c.type));
    out.write_u32_le(c.weapon_definition);
    out.write_u32_le(c.source_player);
}

}  // namespace

void write_name16(ByteBuffer& out, const std::string& name) {
    char bytes[kNameBytes] = {};
    std::memcpy(bytes, name.data(), std::min(name.size(), kNameBytes - 1));
    out.append(bytes, kNameBytes);
}

std::string read_name16(ByteBuffer& in) {
    char bytes[kNameBytes] = {};
    if (!in.read(bytes, kNameBytes)) return {};
    const char* end = static_cast<const char*>(std::memchr(bytes, 0, kNameBytes));
    return std::string(bytes, end ? size_t(end - bytes) : kNameBytes);
}

void write_player_record(ByteBuffer& out, const PlayerRecord& r) {
    out.write_u32_le(r.entity_id);
    write_vec(out, r.position);
    write_vec(out, r.velocity);
    out.write_u32_le(r.player_index);
    out.write_u32_le(r.team);
    write_name16(out, r.name);
}

bool read_player_record(ByteBuffer& in, PlayerRecord& out) {
    if (!has_record(in, kPlayerRecordSize)) return false;
    PlayerRecord r;
    in.read_u32_le(r.entity_id);
    read_vec(in, r.position);
    read_vec(in, r.velocity);
    in.read_u32_le(r.player_index);
    in.read_u32_le(r.team);
    r.name = read_name16(in);
    const auto& type = typeid(PlayerRecord);
    if (!valid_player_index(type, r.player_index) || !valid_position(type, r.position) ||
        !valid_position(type, r.velocity))
        return false;
    out = r;
    return true;
}

void write_player_input(ByteBuffer& out, const PlayerInput& r) {
    out.write_u32_le(r.player_index);
    out.write_u32_le(r.kind);
    out.write_u32_le(r.value);
}

bool read_player_input(ByteBuffer& in, PlayerInput& out) {
    if (!has_record(in, kPlayerInputSize)) return false;
    PlayerInput r;
    in.read_u32_le(r.player_index);
    in.read_u32_le(r.kind);
    in.read_u32_le(r.value);
    if (!valid_player_index(typeid(PlayerInput), r.player_index)) return false;
    out = r;
    return true;
}

void write_player_aim(ByteBuffer& out, const PlayerAim& r) {
    out.write_u32_le(r.player_index);
    out.write_f32_le(r.x);
    out.write_f32_le(r.y);
}

bool read_player_aim(ByteBuffer& in, PlayerAim& out) {
    if (!has_record(in, kPlayerAimSize)) return false;
    PlayerAim r;
    in.read_u32_le(r.player_index);
    in.read_f32_le(r.x);
    in.read_f32_le(r.y);
    const auto& type = typeid(PlayerAim);
    if (!valid_player_index(type, r.player_index) || !valid_position(type, {r.x, r.y})) return false;
    out = r;
    return true;
}

void write_item_record(ByteBuffer& out, const ItemRecord& r) {
    out.write_u32_le(r.entity_id);
    write_vec(out, r.position);
    out.write_i32_le(r.collider_size.x);
    out.write_i32_le(r.collider_size.y);
    write_vec(out, r.rotation_center);
    for (float v : {r.mass, r.friction, r.air_friction, r.bounce, r.pickup_cooldown, r.buoyancy}) out.write_f32_le(v);
    out.write_u32_le(r.owner);
}

bool read_item_record(ByteBuffer& in, ItemRecord& out) {
    if (!has_record(in, kItemRecordSize)) return false;
    ItemRecord r;
    in.read_u32_le(r.entity_id);
    read_vec(in, r.position);
    in.read_i32_le(r.collider_size.x);
    in.read_i32_le(r.collider_size.y);
    read_vec(in, r.rotation_center);
    bool numbers = true;
    for (float* v : {&r.mass, &r.friction, &r.air_friction, &r.bounce, &r.pickup_cooldown, &r.buoyancy}) {
        in.read_f32_le(*v);
        numbers = numbers && std::isfinite(*v);
    }
    in.read_u32_le(r.owner);
    const auto& type = typeid(ItemRecord);
    if (!valid_position(type, r.position) || !valid_position(type, r.rotation_center)) return false;
    if (!numbers) return refuse(type, "a physics value is not a number.");
    const auto side_ok = [](int32_t v) { return v >= 0 && v <= kMaxRecordColliderSide; };
    if (!side_ok(r.collider_size.x) || !side_ok(r.collider_size.y))
        return refuse(type, "collider size out of range.");
    out = r;
    return true;
}

void write_defined_item_record(ByteBuffer& out, const DefinedItemRecord& r) {
    out.write_u32_le(r.entity_id);
    write_vec(out, r.position);
    out.write_u32_le(r.definition);
    out.write_u32_le(r.owner);
}

bool read_defined_item_record(ByteBuffer& in, DefinedItemRecord& out) {
    if (!has_record(in, kDefinedItemRecordSize)) return false;
    DefinedItemRecord r;
    in.read_u32_le(r.entity_id);
    read_vec(in, r.position);
    in.read_u32_le(r.definition);
    in.read_u32_le(r.owner);
    if (!valid_position(typeid(DefinedItemRecord), r.position)) return false;
    out = r;
    return true;
}

void write_projectile_record(ByteBuffer& out, const ProjectileRecord& r) {
    out.write_u32_le(r.entity_id);
    write_vec(out, r.position);
    write_vec(out, r.velocity);
    out.write_u32_le(r.weapon_definition);
    out.write_u32_le(r.shooter);
}

bool read_projectile_record(ByteBuffer& in, ProjectileRecord& out) {
    if (!has_record(in, kProjectileRecordSize)) return false;
    ProjectileRecord r;
    in.read_u32_le(r.entity_id);
    read_vec(in, r.position);
    read_vec(in, r.velocity);
    in.read_u32_le(r.weapon_definition);
    in.read_u32_le(r.shooter);
    const auto& type = typeid(ProjectileRecord);
    if (!valid_position(type, r.position) || !valid_position(type, r.velocity)) return false;
    out = r;
    return true;
}

void write_tombstone_record(ByteBuffer& out, const TombstoneRecord& r) {
    out.write_u32_le(r.entity_id);
    out.write_u32_le(r.player_index);
    write_vec(out, r.position);
    write_cause(out, r.cause);
}

bool read_tombstone_record(ByteBuffer& in, TombstoneRecord& out) {
    if (!has_record(in, kTombstoneRecordSize)) return false;
    TombstoneRecord r;
    uint32_t cause_type = 0;
    in.read_u32_le(r.entity_id);
    in.read_u32_le(r.player_index);
    read_vec(in, r.position);
    in.read_u32_le(cause_type);
    in.read_u32_le(r.cause.weapon_definition);
    in.read_u32_le(r.cause.source_player);
    // Any cause number is kept: an unknown one reads as an unknown death.
    r.cause.type = DamageType(cause_type);
    if (!valid_position(typeid(TombstoneRecord), r.position)) return false;
    out = r;
    return true;
}

void write_placed_object_record(ByteBuffer& out, const PlacedObjectRecord& r) {
    out.write_u32_le(r.entity_id);
    write_vec(out, r.position);
}

bool read_placed_object_record(ByteBuffer& in, PlacedObjectRecord& out) {
    if (!has_record(in, kPlacedObjectRecordSize)) return false;
    PlacedObjectRecord r;
    in.read_u32_le(r.entity_id);
    read_vec(in, r.position);
    if (!valid_position(typeid(PlacedObjectRecord), r.position)) return false;
    out = r;
    return true;
}

#include "game/config/object_definitions.h"

#include <algorithm>

#include "game/config/ini_field.h"
#include "game/config/settings.h"

std::array<PlayerDefinition, kPlayerDefinitionCount> player_definitions;
PortalDefinition portal_definition;
std::vector<WeaponDefinition> weapon_definitions;
std::vector<ItemDefinition> item_definitions;

namespace {

PortalAnimation portal_animation(const std::string& prefix) {
    PortalAnimation a;
    a.first_frame = ini_read_int("portal", prefix + "Start", 0, kClientIni);
    a.last_frame = ini_read_int("portal", prefix + "End", 0, kClientIni);
    a.repeat = ini_read_int("portal", prefix + "Repeat", -1, kClientIni);
    a.speed = ini_read_float("portal", prefix + "Speed", 1.0f, kClientIni);
    return a;
}

std::size_t table_count(const char* section) {
    int count = ini_read_int(section, "count", 0, kServerIni);
    return std::size_t(std::clamp(count, 0, kMaxDefinitions));
}

// A definition's fields as rows: member, file, key, default. Weapons and items share the fields
// of a pickup lying in the world. "projectileStickOnContat" is spelled so in every file.
#define PICKUP_FIELDS(X)                                                        \
    X(type, kServerIni, "type", 0)                                              \
    X(collider_size, kServerIni, "colliderSize", {})                            \
    X(gravity_factor, kServerIni, "gravityFactor", 1)                           \
    X(mass, kServerIni, "mass", 1)                                              \
    X(bounce, kServerIni, "bounce", 0)                                          \
    X(friction, kServerIni, "friction", 0)                                      \
    X(air_friction, kServerIni, "airFriction", 0)                               \
    X(pickup_cooldown, kServerIni, "pickupCooldown", 1)                         \
    X(buoyancy, kServerIni, "buoyancy", 1)                                      \
    X(allow_item_decay, kServerIni, "allowItemDecay", true)                     \
    X(name, kClientIni, "name", "")                                             \
    X(display_size, kClientIni, "displaySize", {})                              \
    X(display_rotation_center, kClientIni, "displayRotationCenter", (fvec2d{0.5f, 0.5f}))

#define WEAPON_FIELDS(X)                                                                          \
    PICKUP_FIELDS(X)                                                                              \
    X(default_ammo, kServerIni, "defaultAmmo", 0)                                                 \
    X(max_ammo, kServerIni, "maxAmmo", 0)                                                         \
    X(damage, kServerIni, "damage", 0)                                                            \
    X(force, kServerIni, "force", 0)                                                              \
    X(radius, kServerIni, "radius", 0)                                                            \
    X(eject_speed, kServerIni, "ejectSpeed", 0)                                                   \
    X(fire_timeout, kServerIni, "fireTimeout", 0)                                                 \
    X(projectile_spray_angle, kServerIni, "projectileSprayAngle", 0)                              \
    X(projectiles_per_shot, kServerIni, "projectilesPerShot", 1)                                  \
    X(projectile_collider_size, kServerIni, "projectileColliderSize", {})                         \
    X(projectile_gravity_factor, kServerIni, "projectileGravityFactor", 1)                        \
    X(projectile_mass, kServerIni, "projectileMass", 1)                                           \
    X(projectile_bounce, kServerIni, "projectileBounce", 0)                                       \
    X(projectile_friction, kServerIni, "projectileFriction", 0)                                   \
    X(projectile_air_friction, kServerIni, "projectileAirFriction", 0)                            \
    X(projectile_life_time, kServerIni, "projectileLifeTime", 5)                                  \
    X(projectile_buoyancy, kServerIni, "projectileBuoyancy", 1)                                   \
    X(projectile_explode_on_player_contact, kServerIni, "projectileExplodeOnPlayerContact", true) \
    X(projectile_explode_on_world_contact, kServerIni, "projectileExplodeOnWorldContact", true)   \
    X(projectile_stick_on_contact, kServerIni, "projectileStickOnContat", false)                  \
    X(explosion_effect_id, kCommonIni, "explosionEffectID", 0)                                    \
    X(explosion_particles, kCommonIni, "explosionParticles", 0)                                   \
    X(explosion_particle_time, kCommonIni, "explosionParticleTime", 0)                            \
    X(projectile_display_size, kClientIni, "projectileDisplaySize", {})                           \
    X(weapon_texture, kClientIni, "weaponTexture", "")                                            \
    X(projectile_texture, kClientIni, "projectileTexture", "")                                    \
    X(death_messages, kClientIni, "deathMessage", {})                                             \
    X(snd_fire, kClientIni, "sndFire", -1)                                                        \
    X(snd_explode, kClientIni, "sndExplode", -1)                                                  \
    X(projectile_tile_size, kClientIni, "projectileTileSize", {})                                 \
    X(projectile_anim_speed, kClientIni, "projectileAnimSpeed", 0)

#define ITEM_FIELDS(X)                                                   \
    PICKUP_FIELDS(X)                                                     \
    X(default_amount, kServerIni, "defaultAmount", 0)                    \
    X(max_amount, kServerIni, "maxAmount", 0)                            \
    X(use_timeout, kServerIni, "useTimeout", 1)                          \
    X(parameter, kServerIni, "parameter", 0)                             \
    X(activate_on_pickup, kServerIni, "activateOnPickup", false)         \
    X(use_effect_id, kCommonIni, "useEffectID", 0)                       \
    X(use_effect_particles, kCommonIni, "useEffectParticles", 0)         \
    X(use_effect_particle_time, kCommonIni, "useEffectParticleTime", 0)  \
    X(texture, kClientIni, "texture", "")                                \
    X(snd_use, kClientIni, "sndUse", -1)

#define READ_FIELD(member, file, key, fallback) read_field(d.member, file, s, key, fallback);

void read_weapon(WeaponDefinition& d, const std::string& s) { WEAPON_FIELDS(READ_FIELD) }

void read_item(ItemDefinition& d, const std::string& s) { ITEM_FIELDS(READ_FIELD) }

// Sections prefix + "0", prefix + "1", ..., as many as the server file's count says.
template <class Definition>
void load_table(std::vector<Definition>& table, const char* count_section, const char* prefix,
                void (*read)(Definition&, const std::string&)) {
    table.assign(table_count(count_section), Definition());
    for (std::size_t i = 0; i < table.size(); ++i) read(table[i], prefix + std::to_string(i));
}

}  // namespace

void load_player_definition(PlayerDefinition& out, unsigned int index) {
    static const char* const kAnimationKeys[kPlayerAnimationCount] = {
        "idleLeft", "idleRight", "walkLeft", "walkRight", "jumpLeft", "jumpRight", "die"};
    const std::string section = "player" + std::to_string(index);
    out.texture = ini_read_string(section, "texture", "", kClientIni);
    out.tombstone_texture = ini_read_string(section, "tombstoneTexture", "", kClientIni);
    out.visual_size = ini_read_float_pair(section, "visualSize", {64, 64}, kClientIni);
    out.tile_size = ini_read_int_pair(section, "tileSize", {64, 64}, kClientIni);
    ini_read_rgb(out.color, section, "color", kClientIni);
    for (int i = 0; i < kPlayerAnimationCount; ++i)
        ini_read_animation(out.animations[i], section, kAnimationKeys[i], kClientIni);
    out.snd_spawn = ini_read_int(section, "sndSpawn", -1, kClientIni);
    out.snd_die = ini_read_int(section, "sndDie", -1, kClientIni);
    out.snd_jump = ini_read_int(section, "sndJump", -1, kClientIni);
}

void load_player_definitions() {
    for (unsigned int i = 0; i < kPlayerDefinitionCount; ++i)
        load_player_definition(player_definitions[i], i);
}

void load_portal_definition() {
    PortalDefinition& p = portal_definition;
    p.collider_size = ini_read_int_pair("portal", "size", {0, 0}, kServerIni);
    p.cooldown_time = ini_read_float("portal", "cooldownTime", 0, kServerIni);
    p.display_size = ini_read_float_pair("portal", "displaySize", {0, 0}, kClientIni);
    fvec2d tile = ini_read_float_pair("portal", "tileSize", {0, 0}, kClientIni);
    p.tile_size = {int32_t(tile.x), int32_t(tile.y)};
    p.idle_animation = portal_animation("idleAnim");
    p.enter_animation = portal_animation("enterAnim");
    p.exit_animation = portal_animation("exitAnim");
    p.enter_sound = ini_read_int("portal", "enterSound", -1, kClientIni);
    p.exit_sound = ini_read_int("portal", "exitSound", -1, kClientIni);
    p.texture = ini_read_string("portal", "texture", "", kClientIni);
}

void load_weapon_definitions() { load_table(weapon_definitions, "weapons", "weapon", read_weapon); }

void load_item_definitions() { load_table(item_definitions, "items", "item", read_item); }

unsigned int weapon_definition_count() { return unsigned(weapon_definitions.size()); }

const WeaponDefinition& weapon_definition(unsigned int index) { return weapon_definitions[index]; }

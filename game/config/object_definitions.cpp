#include "game/config/object_definitions.h"

#include <algorithm>

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

// The fields weapons and items share: both lie in the world as pickups.
template <class Definition>
void read_pickup(Definition& d, const std::string& s) {
    const char* S = kServerIni;
    d.type = ini_read_int(s, "type", 0, S);
    d.collider_size = ini_read_int_pair(s, "colliderSize", {0, 0}, S);
    d.gravity_factor = ini_read_float(s, "gravityFactor", 1, S);
    d.mass = ini_read_float(s, "mass", 1, S);
    d.bounce = ini_read_float(s, "bounce", 0, S);
    d.friction = ini_read_float(s, "friction", 0, S);
    d.air_friction = ini_read_float(s, "airFriction", 0, S);
    d.pickup_cooldown = ini_read_float(s, "pickupCooldown", 1, S);
    d.buoyancy = ini_read_float(s, "buoyancy", 1, S);
    d.allow_item_decay = ini_read_bool(s, "allowItemDecay", true, S);
    d.name = ini_read_string(s, "name", "", kClientIni);
    d.display_size = ini_read_float_pair(s, "displaySize", {0, 0}, kClientIni);
    d.display_rotation_center = ini_read_float_pair(s, "displayRotationCenter", {0.5f, 0.5f}, kClientIni);
}

// Sections prefix + "0", prefix + "1", ..., as many as the server file's count says.
template <class Definition>
void load_table(std::vector<Definition>& table, const char* count_section, const char* prefix,
                void (*read_own)(Definition&, const std::string&)) {
    table.assign(table_count(count_section), Definition());
    for (std::size_t i = 0; i < table.size(); ++i) {
        const std::string s = prefix + std::to_string(i);
        read_pickup(table[i], s);
        read_own(table[i], s);
    }
}

void read_weapon(WeaponDefinition& w, const std::string& s) {
    const char* S = kServerIni;
    w.default_ammo = ini_read_int(s, "defaultAmmo", 0, S);
    w.max_ammo = ini_read_int(s, "maxAmmo", 0, S);
    w.damage = ini_read_float(s, "damage", 0, S);
    w.force = ini_read_float(s, "force", 0, S);
    w.radius = ini_read_float(s, "radius", 0, S);
    w.eject_speed = ini_read_float(s, "ejectSpeed", 0, S);
    w.fire_timeout = ini_read_float(s, "fireTimeout", 0, S);
    w.projectile_spray_angle = ini_read_float(s, "projectileSprayAngle", 0, S);
    w.projectiles_per_shot = ini_read_int(s, "projectilesPerShot", 1, S);
    w.projectile_collider_size = ini_read_int_pair(s, "projectileColliderSize", {0, 0}, S);
    w.projectile_gravity_factor = ini_read_float(s, "projectileGravityFactor", 1, S);
    w.projectile_mass = ini_read_float(s, "projectileMass", 1, S);
    w.projectile_bounce = ini_read_float(s, "projectileBounce", 0, S);
    w.projectile_friction = ini_read_float(s, "projectileFriction", 0, S);
    w.projectile_air_friction = ini_read_float(s, "projectileAirFriction", 0, S);
    w.projectile_life_time = ini_read_float(s, "projectileLifeTime", 5, S);
    w.projectile_buoyancy = ini_read_float(s, "projectileBuoyancy", 1, S);
    w.projectile_explode_on_player_contact = ini_read_bool(s, "projectileExplodeOnPlayerContact", true, S);
    w.projectile_explode_on_world_contact = ini_read_bool(s, "projectileExplodeOnWorldContact", true, S);
    // The key is spelled so in every configuration file.
    w.projectile_stick_on_contact = ini_read_bool(s, "projectileStickOnContat", false, S);

    w.explosion_effect_id = ini_read_int(s, "explosionEffectID", 0, kCommonIni);
    w.explosion_particles = ini_read_int(s, "explosionParticles", 0, kCommonIni);
    w.explosion_particle_time = ini_read_float(s, "explosionParticleTime", 0, kCommonIni);

    const char* L = kClientIni;
    w.projectile_display_size = ini_read_float_pair(s, "projectileDisplaySize", {0, 0}, L);
    w.weapon_texture = ini_read_string(s, "weaponTexture", "", L);
    w.projectile_texture = ini_read_string(s, "projectileTexture", "", L);
    ini_read_string_list(w.death_messages, s, "deathMessage", L);
    w.snd_fire = ini_read_int(s, "sndFire", -1, L);
    w.snd_explode = ini_read_int(s, "sndExplode", -1, L);
    w.projectile_tile_size = ini_read_int_pair(s, "projectileTileSize", {0, 0}, L);
    w.projectile_anim_speed = ini_read_float(s, "projectileAnimSpeed", 0, L);
}

void read_item(ItemDefinition& d, const std::string& s) {
    const char* S = kServerIni;
    d.default_amount = ini_read_int(s, "defaultAmount", 0, S);
    d.max_amount = ini_read_int(s, "maxAmount", 0, S);
    d.use_timeout = ini_read_float(s, "useTimeout", 1, S);
    d.parameter = ini_read_float(s, "parameter", 0, S);
    d.activate_on_pickup = ini_read_bool(s, "activateOnPickup", false, S);

    d.use_effect_id = ini_read_int(s, "useEffectID", 0, kCommonIni);
    d.use_effect_particles = ini_read_int(s, "useEffectParticles", 0, kCommonIni);
    d.use_effect_particle_time = ini_read_float(s, "useEffectParticleTime", 0, kCommonIni);

    d.texture = ini_read_string(s, "texture", "", kClientIni);
    d.snd_use = ini_read_int(s, "sndUse", -1, kClientIni);
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

#pragma once
#include <array>
#include <string>
#include <vector>

#include "engine/core/geometry.h"
#include "engine/core/ini.h"

// What players, the portal, weapons and special items look like and how they behave; read with
// the settings. Weapons and items are named everywhere by their index in their table.

enum class EQGPlayerAnimation : uint32_t {
    IdleLeft = 0,
    IdleRight = 1,
    WalkLeft = 2,
    WalkRight = 3,
    JumpLeft = 4,
    JumpRight = 5,
    Die = 6,
};
constexpr int kPlayerAnimationCount = 7;
constexpr int kPlayerDefinitionCount = 16;

enum class WeaponType : int { Projectile = 0, NoSelfDamage = 1, Thrust = 2 };
enum class SpecialItemType : int { Heal = 0, Invisibility = 1, SpeedLimit = 2, Crate = 3 };

struct PlayerDefinition {
    std::string texture;
    std::string tombstone_texture;
    fvec2d visual_size{64, 64};
    ivec2d tile_size{64, 64};
    ColorRGB color;
    std::array<AnimationDefinition, kPlayerAnimationCount> animations;
    int snd_spawn = -1;
    int snd_die = -1;
    int snd_jump = -1;
};

struct PortalAnimation {
    int first_frame = 0;
    int last_frame = 0;
    int repeat = -1;
    float speed = 1.0f;
};

struct PortalDefinition {
    ivec2d collider_size;
    ivec2d tile_size;
    fvec2d display_size;
    float cooldown_time = 0;
    PortalAnimation idle_animation;
    PortalAnimation enter_animation;
    PortalAnimation exit_animation;
    int enter_sound = -1;
    int exit_sound = -1;
    std::string texture;
};

// A weapon's and an item's fields as rows: type, member, file, key (in the section "weapon" or
// "item" + index), default. Both share the fields of a pickup lying in the world.
// "projectileStickOnContat" is spelled so in every file.
#define BRAWL_PICKUP_FIELDS(X)                                              \
    X(int, type, kServerIni, "type", 0) /* WeaponType or SpecialItemType */ \
    X(ivec2d, collider_size, kServerIni, "colliderSize", {})                \
    X(float, gravity_factor, kServerIni, "gravityFactor", 1)                \
    X(float, mass, kServerIni, "mass", 1)                                   \
    X(float, bounce, kServerIni, "bounce", 0)                               \
    X(float, friction, kServerIni, "friction", 0)                           \
    X(float, air_friction, kServerIni, "airFriction", 0)                    \
    X(float, pickup_cooldown, kServerIni, "pickupCooldown", 1)              \
    X(float, buoyancy, kServerIni, "buoyancy", 1)                           \
    X(bool, allow_item_decay, kServerIni, "allowItemDecay", true)           \
    X(std::string, name, kClientIni, "name", "")                            \
    X(fvec2d, display_size, kClientIni, "displaySize", {})                  \
    X(fvec2d, display_rotation_center, kClientIni, "displayRotationCenter", (fvec2d{0.5f, 0.5f}))

#define BRAWL_WEAPON_FIELDS(X)                                                                          \
    BRAWL_PICKUP_FIELDS(X)                                                                              \
    X(int, default_ammo, kServerIni, "defaultAmmo", 0)                                                  \
    X(int, max_ammo, kServerIni, "maxAmmo", 0) /* 0: unlimited */                                       \
    X(float, damage, kServerIni, "damage", 0)                                                           \
    X(float, force, kServerIni, "force", 0)                                                             \
    X(float, radius, kServerIni, "radius", 0)                                                           \
    X(float, eject_speed, kServerIni, "ejectSpeed", 0)                                                  \
    X(float, fire_timeout, kServerIni, "fireTimeout", 0)                                                \
    X(float, projectile_spray_angle, kServerIni, "projectileSprayAngle", 0)                             \
    X(int, projectiles_per_shot, kServerIni, "projectilesPerShot", 1)                                   \
    X(ivec2d, projectile_collider_size, kServerIni, "projectileColliderSize", {})                       \
    X(float, projectile_gravity_factor, kServerIni, "projectileGravityFactor", 1)                       \
    X(float, projectile_mass, kServerIni, "projectileMass", 1)                                          \
    X(float, projectile_bounce, kServerIni, "projectileBounce", 0)                                      \
    X(float, projectile_friction, kServerIni, "projectileFriction", 0)                                  \
    X(float, projectile_air_friction, kServerIni, "projectileAirFriction", 0)                           \
    X(float, projectile_life_time, kServerIni, "projectileLifeTime", 5)                                 \
    X(float, projectile_buoyancy, kServerIni, "projectileBuoyancy", 1)                                  \
    X(bool, projectile_explode_on_player_contact, kServerIni, "projectileExplodeOnPlayerContact", true) \
    X(bool, projectile_explode_on_world_contact, kServerIni, "projectileExplodeOnWorldContact", true)   \
    X(bool, projectile_stick_on_contact, kServerIni, "projectileStickOnContat", false)                  \
    X(int, explosion_effect_id, kCommonIni, "explosionEffectID", 0)                                     \
    X(int, explosion_particles, kCommonIni, "explosionParticles", 0)                                    \
    X(float, explosion_particle_time, kCommonIni, "explosionParticleTime", 0)                           \
    X(fvec2d, projectile_display_size, kClientIni, "projectileDisplaySize", {})                         \
    X(std::string, weapon_texture, kClientIni, "weaponTexture", "")                                     \
    X(std::string, projectile_texture, kClientIni, "projectileTexture", "")                             \
    X(std::vector<std::string>, death_messages, kClientIni, "deathMessage", {})                         \
    X(int, snd_fire, kClientIni, "sndFire", -1)                                                         \
    X(int, snd_explode, kClientIni, "sndExplode", -1)                                                   \
    X(ivec2d, projectile_tile_size, kClientIni, "projectileTileSize", {})                               \
    X(float, projectile_anim_speed, kClientIni, "projectileAnimSpeed", 0)

#define BRAWL_ITEM_FIELDS(X)                                                               \
    BRAWL_PICKUP_FIELDS(X)                                                                 \
    X(int, default_amount, kServerIni, "defaultAmount", 0)                                 \
    X(int, max_amount, kServerIni, "maxAmount", 0) /* 0: unlimited */                      \
    X(float, use_timeout, kServerIni, "useTimeout", 1)                                     \
    /* heal amount, invisibility seconds, speed-limit factor or crate cooldown, by type */ \
    X(float, parameter, kServerIni, "parameter", 0)                                        \
    X(bool, activate_on_pickup, kServerIni, "activateOnPickup", false)                     \
    X(int, use_effect_id, kCommonIni, "useEffectID", 0)                                    \
    X(int, use_effect_particles, kCommonIni, "useEffectParticles", 0)                      \
    X(float, use_effect_particle_time, kCommonIni, "useEffectParticleTime", 0)             \
    X(std::string, texture, kClientIni, "texture", "")                                     \
    X(int, snd_use, kClientIni, "sndUse", -1)

#define BRAWL_DEFINITION_MEMBER(type, member, file, key, fallback) type member = fallback;
struct WeaponDefinition {
    BRAWL_WEAPON_FIELDS(BRAWL_DEFINITION_MEMBER)
};
struct ItemDefinition {
    BRAWL_ITEM_FIELDS(BRAWL_DEFINITION_MEMBER)
};
#undef BRAWL_DEFINITION_MEMBER

extern std::array<PlayerDefinition, kPlayerDefinitionCount> player_definitions;
extern PortalDefinition portal_definition;
extern std::vector<WeaponDefinition> weapon_definitions;
extern std::vector<ItemDefinition> item_definitions;

// Most definitions a table takes; a larger count in the file is cut.
constexpr int kMaxDefinitions = 256;

void load_player_definition(PlayerDefinition& out, unsigned int index);
void load_player_definitions();
void load_portal_definition();
void load_weapon_definitions();
void load_item_definitions();

unsigned int weapon_definition_count();
// No bounds check: callers check the index against weapon_definition_count() first.
const WeaponDefinition& weapon_definition(unsigned int index);

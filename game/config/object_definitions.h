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

struct WeaponDefinition {
    int type = 0;
    std::string name;
    ivec2d collider_size;
    fvec2d display_size;
    fvec2d display_rotation_center{0.5f, 0.5f};
    int default_ammo = 0;
    int max_ammo = 0;  // 0: unlimited
    float damage = 0;
    float force = 0;
    float radius = 0;
    float eject_speed = 0;
    float fire_timeout = 0;
    float gravity_factor = 1;
    float mass = 1;
    float bounce = 0;
    float friction = 0;
    float air_friction = 0;
    float pickup_cooldown = 1;
    float projectile_spray_angle = 0;
    float buoyancy = 1;
    bool allow_item_decay = true;
    int projectiles_per_shot = 1;
    ivec2d projectile_collider_size;
    fvec2d projectile_display_size;
    ivec2d projectile_tile_size;
    float projectile_anim_speed = 0;
    float projectile_gravity_factor = 1;
    float projectile_mass = 1;
    float projectile_bounce = 0;
    float projectile_friction = 0;
    float projectile_air_friction = 0;
    float projectile_life_time = 5;
    bool projectile_explode_on_player_contact = true;
    bool projectile_explode_on_world_contact = true;
    bool projectile_stick_on_contact = false;
    float projectile_buoyancy = 1;
    int explosion_effect_id = 0;
    int explosion_particles = 0;
    float explosion_particle_time = 0;
    int snd_fire = -1;
    int snd_explode = -1;
    std::string weapon_texture;
    std::string projectile_texture;
    std::vector<std::string> death_messages;
};

struct ItemDefinition {
    int type = 0;
    std::string name;
    ivec2d collider_size;
    fvec2d display_size;
    fvec2d display_rotation_center{0.5f, 0.5f};
    float gravity_factor = 1;
    float mass = 1;
    float bounce = 0;
    float friction = 0;
    float air_friction = 0;
    float pickup_cooldown = 1;
    float buoyancy = 1;
    int snd_use = -1;
    int default_amount = 0;
    int max_amount = 0;  // 0: unlimited
    bool activate_on_pickup = false;
    float use_timeout = 1;
    float parameter = 0;  // heal amount, invisibility seconds, speed-limit factor, crate cooldown
    int use_effect_id = 0;
    int use_effect_particles = 0;
    float use_effect_particle_time = 0;
    bool allow_item_decay = true;
    std::string texture;
};

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

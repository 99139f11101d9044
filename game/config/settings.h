#pragma once
#include <array>
#include <string>
#include <vector>

#include "engine/core/geometry.h"

// Every tunable value of the game, process-wide, filled once by load_settings() at start-up
// (each program and test fixture calls it first) and read-only afterwards.

enum class Material : int {
    Air = 0,
    Earth,
    Rock,
    Destructible,
    Indestructible,
    Water,
    StaticWater,
    Ladder,
    Explosive,
};
constexpr int kMaterialCount = 9;

// The ini files every setting comes from, as the system names them.
extern const char* const kCommonIni;   // "config\\common.ini"
extern const char* const kClientIni;   // "config\\client.ini"
extern const char* const kServerIni;   // "config\\server.ini"
extern const char* const kUserIni;     // "config.ini"

// Every setting as one row: type, name, file, section, key, default, read as read_field()
// (game/config/ini_field.h) reads each type. The material colours come first, in Material order.
#define BRAWL_MATERIAL_COLORS(X)                                                   \
    X(ColorRGBA, color_air, kCommonIni, "color_air", "", {})                       \
    X(ColorRGBA, color_earth, kCommonIni, "color_earth", "", {})                   \
    X(ColorRGBA, color_rock, kCommonIni, "color_rock", "", {})                     \
    X(ColorRGBA, color_destructible, kCommonIni, "color_destructible", "", {})     \
    X(ColorRGBA, color_indestructible, kCommonIni, "color_indestructible", "", {}) \
    X(ColorRGBA, color_water, kCommonIni, "color_water", "", {})                   \
    X(ColorRGBA, color_staticwater, kCommonIni, "color_staticwater", "", {})       \
    X(ColorRGBA, color_ladder, kCommonIni, "color_ladder", "", {})                 \
    X(ColorRGBA, color_explosive, kCommonIni, "color_explosive", "", {})

#define BRAWL_SETTINGS(X)                                                                                   \
    BRAWL_MATERIAL_COLORS(X)                                                                                \
    X(std::string, menu_font, kClientIni, "menu", "font", "")                                               \
    X(int, menu_font_size, kClientIni, "menu", "fontSize", 10)                                              \
    X(float, menu_preview_quality, kClientIni, "menu", "previewQuality", 0.25f)                             \
    X(fvec2d, player_size, kServerIni, "player_common", "size", (fvec2d{64, 64}))                           \
    X(fvec2d, player_collision_offset, kServerIni, "player_common", "collisionOffset", {})                  \
    X(fvec2d, player_label_size, kClientIni, "player_common", "labelSize", (fvec2d{300, 24}))               \
    X(std::string, player_label_font, kClientIni, "player_common", "labelFont", "")                         \
    X(int, player_label_font_size, kClientIni, "player_common", "labelFontSize", 10)                        \
    X(float, tombstone_life_time, kClientIni, "player_common", "tombstoneLifeTime", 5)                      \
    X(float, camera_viewport_height, kClientIni, "game", "cameraViewportHeight", 800)                       \
    X(std::vector<std::string>, falling_messages, kClientIni, "death_common", "fallingMessage", {})         \
    X(std::vector<std::string>, suicide_messages, kClientIni, "death_common", "suicideMessage", {})         \
    X(std::vector<std::string>, drowning_messages, kClientIni, "death_common", "drowningMessage", {})       \
    X(std::vector<std::string>, impact_messages, kClientIni, "death_common", "impactMessage", {})           \
    X(std::vector<std::string>, sweetroll_messages, kClientIni, "death_common", "sweetrollMessage", {})     \
    X(std::vector<std::string>, environment_messages, kClientIni, "death_common", "environmentMessage", {}) \
    X(fvec2d, match_info_size, kClientIni, "menu", "matchInfoSize", (fvec2d{300, 100}))                     \
    X(std::string, match_info_font, kClientIni, "menu", "matchInfoFont", "fnt\\DejaVuSans.ttf")             \
    X(int, match_info_font_size, kClientIni, "menu", "matchInfoFontSize", 16)                               \
    X(ColorRGB, match_info_color, kClientIni, "menu", "matchInfoColor", {})                                 \
    X(std::string, inventory_font, kClientIni, "menu", "inventoryFont", "fnt\\DejaVuSans.ttf")              \
    X(int, inventory_font_size, kClientIni, "menu", "inventoryFontSize", 16)                                \
    X(ColorRGB, inventory_color, kClientIni, "menu", "inventoryColor", {})                                  \
    X(int, default_explosion_effect_id, kCommonIni, "visual", "defaultExplosionEffectID", 0)                \
    X(int, default_explosion_particles, kCommonIni, "visual", "defaultExplosionParticles", 0)               \
    X(float, default_explosion_particle_time, kCommonIni, "visual", "defaultExplosionParticleTime", 0)      \
    X(float, default_explosion_radius, kCommonIni, "visual", "defaultExplosionRadius", 0)                   \
    X(int, player_hit_effect_id, kCommonIni, "visual", "playerHitEffectID", 0)                              \
    X(int, player_hit_particles, kCommonIni, "visual", "playerHitParticles", 0)                             \
    X(float, player_hit_particle_time, kCommonIni, "visual", "playerHitParticleTime", 0)                    \
    X(float, player_health, kServerIni, "player_common", "health", 100)                                     \
    X(float, player_max_health, kServerIni, "player_common", "maxHealth", 100)                              \
    X(float, collision_damage_min_speed, kServerIni, "player_common", "collisionDamageMinSpeed", 100)       \
    X(float, collision_damage_factor, kServerIni, "player_common", "collisionDamageFactor", 1)              \
    X(float, water_damage_factor, kServerIni, "player_common", "waterDamageFactor", 1)                      \
    X(float, drown_submersion, kServerIni, "player_common", "drownSubmersion", 0.5f)                        \
    X(std::vector<int>, default_weapons, kServerIni, "player_common", "defaultWeapon", {})                  \
    X(std::vector<int>, default_items, kServerIni, "player_common", "defaultItem", {})                      \
    X(std::vector<int>, crate_weapons, kServerIni, "gameplay", "crateWeapon", {})                           \
    X(std::vector<int>, crate_items, kServerIni, "gameplay", "crateItem", {})                               \
    X(int, inventory_capacity, kServerIni, "player_common", "inventoryCapacity", 10)                        \
    X(float, spawn_protection_time, kServerIni, "player_common", "spawnProtectionTime", 100)                \
    X(int, chance_of_sweetroll, kServerIni, "physics", "chanceOfSweetroll", 50)                             \
    X(int, default_snd_explode, kClientIni, "game", "defaultSndExplode", -1)                                \
    X(float, default_explosion_force, kServerIni, "physics", "defaultExplosionForce", 0)                    \
    X(float, default_explosion_damage, kServerIni, "physics", "defaultExplosionDamage", 0)                  \
    X(float, item_decay_time, kServerIni, "gameplay", "itemDecayTime", 20)                                  \
    X(fvec2d, gravity, kServerIni, "physics", "gravity", (fvec2d{0, 500}))                                  \
    X(float, player_speed, kServerIni, "player_common", "speed", 100)                                       \
    X(float, player_accel_factor, kServerIni, "player_common", "accelFactor", 10)                           \
    X(float, player_mass, kServerIni, "player_common", "mass", 1)                                           \
    X(float, player_bounce, kServerIni, "player_common", "bounce", 0)                                       \
    X(float, player_friction, kServerIni, "player_common", "friction", 0.1f)                                \
    X(float, player_air_friction, kServerIni, "player_common", "airFriction", 0.1f)                         \
    X(float, player_jump_accel, kServerIni, "player_common", "jumpAccel", 500)                              \
    X(float, player_buoyancy, kServerIni, "player_common", "buoyancy", 1)                                   \
    X(int, step_height, kServerIni, "physics", "stepHeight", 5)                                             \
    X(float, ready_time, kCommonIni, "timing", "readyTime", 3)                                              \
    X(float, ending_timeout, kCommonIni, "timing", "endingTimeout", 3)                                      \
    X(float, result_display_time, kCommonIni, "timing", "resultDisplayTime", 10)                            \
    X(ivec2d, window_resolution, kUserIni, "system", "res", (ivec2d{1024, 768}))                            \
    X(bool, fullscreen, kUserIni, "system", "fullscreen", false)                                            \
    X(float, message_life, kUserIni, "system", "messageLife", 4)                                            \
    X(int, max_messages, kUserIni, "system", "maxMessages", 10)                                             \
    X(std::string, message_font, kUserIni, "system", "messageFont", "fnt\\DejaVuSans.ttf")                  \
    X(int, message_font_size, kUserIni, "system", "messageFontSize", 16)

#define BRAWL_DECLARE_SETTING(type, name, file, section, key, fallback) extern type name;
BRAWL_SETTINGS(BRAWL_DECLARE_SETTING)
#undef BRAWL_DECLARE_SETTING

// The material colours, indexed by Material; the map coder's fixed palette.
extern std::array<ColorRGBA, kMaterialCount> material_colors;
// The key names of the client's "backgrounds" section.
extern std::vector<std::string> background_names;

// Reads every setting and the object definitions from the ini files under the working
// directory. Safe to call again (tests do): every value is reset first. Programs then call
// report_equal_material_colors() (game/terrain/map_coder.h). The level's event actions need no
// call: they are part of the dispatcher's default action table (game/session/qg_event_handler.h).
void load_settings();

// Whether the pixel has exactly the material's colour.
bool is_material(const ColorRGBA& pixel, Material material);

// Pairs of materials that share one colour; the map coder cannot tell such pairs apart.
std::vector<std::pair<Material, Material>> equal_material_colors();

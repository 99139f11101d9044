#pragma once
#include <array>
#include <string>
#include <vector>

#include "engine/core/geometry.h"
#include "game/config/ini_field.h"

// Every tunable value of the game, process-wide, filled once by load_settings() at start-up
// (each program and test fixture calls it first) and read-only afterwards.

// The ini files every setting comes from, as the system names them.
extern const char* const kCommonIni;  // "config\\common.ini"
extern const char* const kClientIni;  // "config\\client.ini"
extern const char* const kServerIni;  // "config\\server.ini"
extern const char* const kUserIni;    // "config.ini"

// The terrain's materials in the order of the map coder's palette, each with the name of its
// colour's section ("color_" + name).
#define BRAWL_MATERIALS(M, X)            \
    M(X, Air, air)                       \
    M(X, Earth, earth)                   \
    M(X, Rock, rock)                     \
    M(X, Destructible, destructible)     \
    M(X, Indestructible, indestructible) \
    M(X, Water, water)                   \
    M(X, StaticWater, staticwater)       \
    M(X, Ladder, ladder)                 \
    M(X, Explosive, explosive)

#define BRAWL_MATERIAL_ENUMERATOR(X, material, name) material,
enum class Material : int { BRAWL_MATERIALS(BRAWL_MATERIAL_ENUMERATOR, ) };
#undef BRAWL_MATERIAL_ENUMERATOR
#define BRAWL_MATERIAL_ONE(X, material, name) +1
constexpr int kMaterialCount = 0 BRAWL_MATERIALS(BRAWL_MATERIAL_ONE, );
#undef BRAWL_MATERIAL_ONE

// Every setting as one row: type, name, file, section, key, default, read as read_field()
// (game/config/ini_field.h) reads each type. A default written within(default, least, most)
// gives the range a value from the file is brought into; a comment says what a row is where
// its name does not. The material colours come first, one per material, in Material order.
#define BRAWL_MATERIAL_COLOR(X, material, name) X(ColorRGBA, color_##name, kCommonIni, "color_" #name, "", {})
#define BRAWL_MATERIAL_COLORS(X) BRAWL_MATERIALS(BRAWL_MATERIAL_COLOR, X)

#define BRAWL_SETTINGS(X)                                                                                          \
    BRAWL_MATERIAL_COLORS(X)                                                                                       \
    X(std::string, menu_font, kClientIni, "menu", "font", "")                                                      \
    X(int, menu_font_size, kClientIni, "menu", "fontSize", within(10, 1, kNoMax))                                  \
    /* share of the level's size a noise preset is previewed at; above 1 counts as 1 */                            \
    X(float, menu_preview_quality, kClientIni, "menu", "previewQuality", within(0.25f, 0.01, kNoMax))              \
    /* the player's collider, also the spawn marker's size */                                                      \
    X(fvec2d, player_size, kServerIni, "player_common", "size", within(fvec2d{64, 64}, 1, 4096))                   \
    /* how far the sprite is moved up (and left) from the collider's centre */                                     \
    X(fvec2d, player_collision_offset, kServerIni, "player_common", "collisionOffset", {})                         \
    X(fvec2d, player_label_size, kClientIni, "player_common", "labelSize", within(fvec2d{300, 24}, 0, 4096))       \
    X(std::string, player_label_font, kClientIni, "player_common", "labelFont", "")                                \
    X(int, player_label_font_size, kClientIni, "player_common", "labelFontSize", within(10, 1, kNoMax))            \
    X(float, tombstone_life_time, kClientIni, "player_common", "tombstoneLifeTime", within(5.0f, 0, kNoMax))       \
    /* level pixels the view shows from top to bottom while it follows the player */                               \
    X(float, camera_viewport_height, kClientIni, "game", "cameraViewportHeight", within(800.0f, 1, kNoMax))        \
    X(std::vector<std::string>, falling_messages, kClientIni, "death_common", "fallingMessage", {})                \
    X(std::vector<std::string>, suicide_messages, kClientIni, "death_common", "suicideMessage", {})                \
    X(std::vector<std::string>, drowning_messages, kClientIni, "death_common", "drowningMessage", {})              \
    X(std::vector<std::string>, impact_messages, kClientIni, "death_common", "impactMessage", {})                  \
    X(std::vector<std::string>, sweetroll_messages, kClientIni, "death_common", "sweetrollMessage", {})            \
    X(std::vector<std::string>, environment_messages, kClientIni, "death_common", "environmentMessage", {})        \
    X(fvec2d, match_info_size, kClientIni, "menu", "matchInfoSize", within(fvec2d{300, 100}, 0, 4096))             \
    X(std::string, match_info_font, kClientIni, "menu", "matchInfoFont", "fnt\\DejaVuSans.ttf")                    \
    X(int, match_info_font_size, kClientIni, "menu", "matchInfoFontSize", within(16, 1, kNoMax))                   \
    X(ColorRGB, match_info_color, kClientIni, "menu", "matchInfoColor", {})                                        \
    X(std::string, inventory_font, kClientIni, "menu", "inventoryFont", "fnt\\DejaVuSans.ttf")                     \
    X(int, inventory_font_size, kClientIni, "menu", "inventoryFontSize", within(16, 1, kNoMax))                    \
    X(ColorRGB, inventory_color, kClientIni, "menu", "inventoryColor", {})                                         \
    /* the effect, particle count and particle seconds of exploding terrain, and its reach */                      \
    X(int, default_explosion_effect_id, kCommonIni, "visual", "defaultExplosionEffectID", 0)                       \
    X(int, default_explosion_particles, kCommonIni, "visual", "defaultExplosionParticles", within(0, 0, kNoMax))   \
    X(float, default_explosion_particle_time, kCommonIni, "visual", "defaultExplosionParticleTime",                \
      within(0.0f, 0, kNoMax))                                                                                     \
    X(float, default_explosion_radius, kCommonIni, "visual", "defaultExplosionRadius", within(0.0f, 0, kNoMax))    \
    X(int, player_hit_effect_id, kCommonIni, "visual", "playerHitEffectID", 0)                                     \
    X(int, player_hit_particles, kCommonIni, "visual", "playerHitParticles", within(0, 0, kNoMax))                 \
    X(float, player_hit_particle_time, kCommonIni, "visual", "playerHitParticleTime", within(0.0f, 0, kNoMax))     \
    X(float, player_health, kServerIni, "player_common", "health", 100)                                            \
    X(float, player_max_health, kServerIni, "player_common", "maxHealth", 100)                                     \
    /* speed above which a hit hurts: (speed - min speed) * factor */                                              \
    X(float, collision_damage_min_speed, kServerIni, "player_common", "collisionDamageMinSpeed", 100)              \
    X(float, collision_damage_factor, kServerIni, "player_common", "collisionDamageFactor", 1)                     \
    /* health lost per second while submerged at least drown_submersion (share of the height) */                   \
    X(float, water_damage_factor, kServerIni, "player_common", "waterDamageFactor", 1)                             \
    X(float, drown_submersion, kServerIni, "player_common", "drownSubmersion", 0.5f)                               \
    /* weapon and item indexes: the loadout of every spawn and what a crate may hold */                            \
    X(std::vector<int>, default_weapons, kServerIni, "player_common", "defaultWeapon", {})                         \
    X(std::vector<int>, default_items, kServerIni, "player_common", "defaultItem", {})                             \
    X(std::vector<int>, crate_weapons, kServerIni, "gameplay", "crateWeapon", {})                                  \
    X(std::vector<int>, crate_items, kServerIni, "gameplay", "crateItem", {})                                      \
    X(int, inventory_capacity, kServerIni, "player_common", "inventoryCapacity", within(10, 0, kNoMax))            \
    X(float, spawn_protection_time, kServerIni, "player_common", "spawnProtectionTime", within(100.0f, 0, kNoMax)) \
    /* every 2 seconds a sweetroll comes with a chance of 1 in this; 0: never */                                   \
    X(int, chance_of_sweetroll, kServerIni, "physics", "chanceOfSweetroll", within(50, 0, kNoMax))                 \
    X(int, default_snd_explode, kClientIni, "game", "defaultSndExplode", -1)                                       \
    X(float, default_explosion_force, kServerIni, "physics", "defaultExplosionForce", 0)                           \
    X(float, default_explosion_damage, kServerIni, "physics", "defaultExplosionDamage", 0)                         \
    /* seconds a loose item lies before it vanishes */                                                             \
    X(float, item_decay_time, kServerIni, "gameplay", "itemDecayTime", within(20.0f, 0, kNoMax))                   \
    X(fvec2d, gravity, kServerIni, "physics", "gravity", (fvec2d{0, 500}))                                         \
    /* walking: top speed, and the share of the difference to it gained per second */                              \
    X(float, player_speed, kServerIni, "player_common", "speed", 100)                                              \
    X(float, player_accel_factor, kServerIni, "player_common", "accelFactor", 10)                                  \
    X(float, player_mass, kServerIni, "player_common", "mass", 1)                                                  \
    X(float, player_bounce, kServerIni, "player_common", "bounce", 0)                                              \
    X(float, player_friction, kServerIni, "player_common", "friction", 0.1f)                                       \
    X(float, player_air_friction, kServerIni, "player_common", "airFriction", 0.1f)                                \
    /* upward speed a jump gives */                                                                                \
    X(float, player_jump_accel, kServerIni, "player_common", "jumpAccel", 500)                                     \
    X(float, player_buoyancy, kServerIni, "player_common", "buoyancy", 1)                                          \
    /* highest ledge climbed per pixel walked */                                                                   \
    X(int, step_height, kServerIni, "physics", "stepHeight", 5)                                                    \
    X(float, ready_time, kCommonIni, "timing", "readyTime", within(3.0f, 0, kNoMax))                               \
    X(float, ending_timeout, kCommonIni, "timing", "endingTimeout", within(3.0f, 0, kNoMax))                       \
    X(float, result_display_time, kCommonIni, "timing", "resultDisplayTime", within(10.0f, 0, kNoMax))             \
    /* checked against the display when the window opens */                                                        \
    X(ivec2d, window_resolution, kUserIni, "system", "res", (ivec2d{1024, 768}))                                   \
    X(bool, fullscreen, kUserIni, "system", "fullscreen", false)                                                   \
    /* seconds the chat and death lines stay, and how many are shown */                                            \
    X(float, message_life, kUserIni, "system", "messageLife", within(4.0f, 0, kNoMax))                             \
    X(int, max_messages, kUserIni, "system", "maxMessages", within(10, 0, kNoMax))                                 \
    X(std::string, message_font, kUserIni, "system", "messageFont", "fnt\\DejaVuSans.ttf")                         \
    X(int, message_font_size, kUserIni, "system", "messageFontSize", within(16, 1, kNoMax))

#define BRAWL_DECLARE_SETTING(type, name, file, section, key, fallback) extern type name;
BRAWL_SETTINGS(BRAWL_DECLARE_SETTING)
#undef BRAWL_DECLARE_SETTING

// Each row's key, for what is read from the file again or written to it while the program runs
// (the menus): the variables above keep what load_settings() read.
namespace setting_keys {
BRAWL_SETTINGS(BRAWL_DECLARE_INI_KEY)
// The player's name, as the main menu stores it; read for every join request.
extern const IniKey<std::string> user_name;
}  // namespace setting_keys

// The material colours, indexed by Material; the map coder's fixed palette.
extern std::array<ColorRGBA, kMaterialCount> material_colors;
// The key names of the client's "backgrounds" section.
extern std::vector<std::string> background_names;

// Reads every setting and the object definitions from the ini files under the working
// directory. Safe to call again (tests do): every value is reset first. Programs then call
// report_equal_material_colors() (game/terrain/map_coder.h). The event actions need no set-up:
// each is a row of the event table (game/base/qg_event.h).
void load_settings();

// Whether the pixel has exactly the material's colour.
bool is_material(const ColorRGBA& pixel, Material material);

// Pairs of materials that share one colour; the map coder cannot tell such pairs apart.
std::vector<std::pair<Material, Material>> equal_material_colors();

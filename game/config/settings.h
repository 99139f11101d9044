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

extern ColorRGBA color_air, color_earth, color_rock, color_destructible, color_indestructible,
    color_water, color_staticwater, color_ladder, color_explosive;
// The nine colours above, indexed by Material; the map coder's fixed palette.
extern std::array<ColorRGBA, kMaterialCount> material_colors;

extern std::string menu_font;
extern int menu_font_size;
extern float menu_preview_quality;
extern fvec2d player_size;
extern fvec2d player_collision_offset;
extern fvec2d player_label_size;
extern std::string player_label_font;
extern int player_label_font_size;
extern float tombstone_life_time;
extern float camera_viewport_height;
extern std::vector<std::string> falling_messages;
extern std::vector<std::string> suicide_messages;
extern std::vector<std::string> drowning_messages;
extern std::vector<std::string> impact_messages;
extern std::vector<std::string> sweetroll_messages;
extern std::vector<std::string> environment_messages;
extern fvec2d match_info_size;
extern std::string match_info_font;
extern int match_info_font_size;
extern ColorRGB match_info_color;
extern std::string inventory_font;
extern int inventory_font_size;
extern ColorRGB inventory_color;
extern std::vector<std::string> background_names;
extern int default_explosion_effect_id;
extern int default_explosion_particles;
extern float default_explosion_particle_time;
extern float default_explosion_radius;
extern int player_hit_effect_id;
extern int player_hit_particles;
extern float player_hit_particle_time;
extern float player_health;
extern float player_max_health;
extern float collision_damage_min_speed;
extern float collision_damage_factor;
extern float water_damage_factor;
extern float drown_submersion;
extern std::vector<int> default_weapons;
extern std::vector<int> default_items;
extern std::vector<int> crate_weapons;
extern std::vector<int> crate_items;
extern int inventory_capacity;
extern float spawn_protection_time;
extern int chance_of_sweetroll;
extern int default_snd_explode;
extern float default_explosion_force;
extern float default_explosion_damage;
extern float item_decay_time;
extern fvec2d gravity;
extern float player_speed;
extern float player_accel_factor;
extern float player_mass;
extern float player_bounce;
extern float player_friction;
extern float player_air_friction;
extern float player_jump_accel;
extern float player_buoyancy;
extern int step_height;
extern float ready_time;
extern float ending_timeout;
extern float result_display_time;
extern ivec2d window_resolution;
extern bool fullscreen;
extern float message_life;
extern int max_messages;
extern std::string message_font;
extern int message_font_size;

// The ini files every setting comes from, as the system names them.
extern const char* const kCommonIni;   // "config\\common.ini"
extern const char* const kClientIni;   // "config\\client.ini"
extern const char* const kServerIni;   // "config\\server.ini"
extern const char* const kUserIni;     // "config.ini"

// Reads every setting and the object definitions, in start-up order, from the ini files under
// the working directory. Safe to call again (tests do): every value is reset first. Programs
// then call report_equal_material_colors() (game/terrain/map_coder.h). The level's event
// actions need no call: they are part of the dispatcher's default action table
// (game/session/qg_event_handler.h).
void load_settings();

// Whether the pixel has exactly the material's colour.
bool is_material(const ColorRGBA& pixel, Material material);

// Pairs of materials that share one colour; the map coder cannot tell such pairs apart.
std::vector<std::pair<Material, Material>> equal_material_colors();

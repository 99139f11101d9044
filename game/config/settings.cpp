#include "game/config/settings.h"

#include "engine/core/ini.h"
#include "engine/core/logger.h"
#include "game/config/object_definitions.h"

const char* const kCommonIni = "config\\common.ini";
const char* const kClientIni = "config\\client.ini";
const char* const kServerIni = "config\\server.ini";
const char* const kUserIni = "config.ini";

ColorRGBA color_air, color_earth, color_rock, color_destructible, color_indestructible,
    color_water, color_staticwater, color_ladder, color_explosive;
std::array<ColorRGBA, kMaterialCount> material_colors;

std::string menu_font;
int menu_font_size;
float menu_preview_quality;
fvec2d player_size;
fvec2d player_collision_offset;
fvec2d player_label_size;
std::string player_label_font;
int player_label_font_size;
float tombstone_life_time;
float camera_viewport_height;
std::vector<std::string> falling_messages;
std::vector<std::string> suicide_messages;
std::vector<std::string> drowning_messages;
std::vector<std::string> impact_messages;
std::vector<std::string> sweetroll_messages;
std::vector<std::string> environment_messages;
fvec2d match_info_size;
std::string match_info_font;
int match_info_font_size;
ColorRGB match_info_color;
std::string inventory_font;
int inventory_font_size;
ColorRGB inventory_color;
std::vector<std::string> background_names;
int default_explosion_effect_id;
int default_explosion_particles;
float default_explosion_particle_time;
float default_explosion_radius;
int player_hit_effect_id;
int player_hit_particles;
float player_hit_particle_time;
float player_health;
float player_max_health;
float collision_damage_min_speed;
float collision_damage_factor;
float water_damage_factor;
float drown_submersion;
std::vector<int> default_weapons;
std::vector<int> default_items;
std::vector<int> crate_weapons;
std::vector<int> crate_items;
int inventory_capacity;
float spawn_protection_time;
int chance_of_sweetroll;
int default_snd_explode;
float default_explosion_force;
float default_explosion_damage;
float item_decay_time;
fvec2d gravity;
float player_speed;
float player_accel_factor;
float player_mass;
float player_bounce;
float player_friction;
float player_air_friction;
float player_jump_accel;
float player_buoyancy;
int step_height;
float ready_time;
float ending_timeout;
float result_display_time;
ivec2d window_resolution;
bool fullscreen;
float message_life;
int max_messages;
std::string message_font;
int message_font_size;

namespace {

void read_material_colors() {
    struct Entry {
        ColorRGBA* color;
        const char* section;
    };
    const Entry entries[kMaterialCount] = {
        {&color_air, "color_air"},
        {&color_earth, "color_earth"},
        {&color_rock, "color_rock"},
        {&color_destructible, "color_destructible"},
        {&color_indestructible, "color_indestructible"},
        {&color_water, "color_water"},
        {&color_staticwater, "color_staticwater"},
        {&color_ladder, "color_ladder"},
        {&color_explosive, "color_explosive"},
    };
    for (int i = 0; i < kMaterialCount; ++i) {
        ini_read_rgba(*entries[i].color, entries[i].section, "", kCommonIni);
        material_colors[i] = *entries[i].color;
    }
}

}  // namespace

void load_settings() {
    read_material_colors();

    menu_font = ini_read_string("menu", "font", "", kClientIni);
    menu_font_size = ini_read_int("menu", "fontSize", 10, kClientIni);
    menu_preview_quality = ini_read_float("menu", "previewQuality", 0.25f, kClientIni);

    load_player_definitions();

    player_size = ini_read_float_pair("player_common", "size", {64, 64}, kServerIni);
    player_collision_offset = ini_read_float_pair("player_common", "collisionOffset", {0, 0}, kServerIni);
    player_label_size = ini_read_float_pair("player_common", "labelSize", {300, 24}, kClientIni);
    player_label_font = ini_read_string("player_common", "labelFont", "", kClientIni);
    player_label_font_size = ini_read_int("player_common", "labelFontSize", 10, kClientIni);
    tombstone_life_time = ini_read_float("player_common", "tombstoneLifeTime", 5, kClientIni);
    camera_viewport_height = ini_read_float("game", "cameraViewportHeight", 800, kClientIni);
    ini_read_string_list(falling_messages, "death_common", "fallingMessage", kClientIni);
    ini_read_string_list(suicide_messages, "death_common", "suicideMessage", kClientIni);
    ini_read_string_list(drowning_messages, "death_common", "drowningMessage", kClientIni);
    ini_read_string_list(impact_messages, "death_common", "impactMessage", kClientIni);
    ini_read_string_list(sweetroll_messages, "death_common", "sweetrollMessage", kClientIni);
    ini_read_string_list(environment_messages, "death_common", "environmentMessage", kClientIni);
    match_info_size = ini_read_float_pair("menu", "matchInfoSize", {300, 100}, kClientIni);
    match_info_font = ini_read_string("menu", "matchInfoFont", "fnt\\DejaVuSans.ttf", kClientIni);
    match_info_font_size = ini_read_int("menu", "matchInfoFontSize", 16, kClientIni);
    ini_read_rgb(match_info_color, "menu", "matchInfoColor", kClientIni);
    inventory_font = ini_read_string("menu", "inventoryFont", "fnt\\DejaVuSans.ttf", kClientIni);
    inventory_font_size = ini_read_int("menu", "inventoryFontSize", 16, kClientIni);
    ini_read_rgb(inventory_color, "menu", "inventoryColor", kClientIni);
    background_names = ini_read_section_keys("backgrounds", kClientIni);
    default_explosion_effect_id = ini_read_int("visual", "defaultExplosionEffectID", 0, kCommonIni);
    default_explosion_particles = ini_read_int("visual", "defaultExplosionParticles", 0, kCommonIni);
    default_explosion_particle_time =
        ini_read_float("visual", "defaultExplosionParticleTime", 0, kCommonIni);
    default_explosion_radius = ini_read_float("visual", "defaultExplosionRadius", 0, kCommonIni);
    player_hit_effect_id = ini_read_int("visual", "playerHitEffectID", 0, kCommonIni);
    player_hit_particles = ini_read_int("visual", "playerHitParticles", 0, kCommonIni);
    player_hit_particle_time = ini_read_float("visual", "playerHitParticleTime", 0, kCommonIni);
    player_health = ini_read_float("player_common", "health", 100, kServerIni);
    player_max_health = ini_read_float("player_common", "maxHealth", 100, kServerIni);
    collision_damage_min_speed =
        ini_read_float("player_common", "collisionDamageMinSpeed", 100, kServerIni);
    collision_damage_factor = ini_read_float("player_common", "collisionDamageFactor", 1, kServerIni);
    water_damage_factor = ini_read_float("player_common", "waterDamageFactor", 1, kServerIni);
    drown_submersion = ini_read_float("player_common", "drownSubmersion", 0.5f, kServerIni);

    load_portal_definition();
    load_weapon_definitions();
    load_item_definitions();

    ini_read_int_list(default_weapons, "player_common", "defaultWeapon", kServerIni);
    ini_read_int_list(default_items, "player_common", "defaultItem", kServerIni);
    ini_read_int_list(crate_weapons, "gameplay", "crateWeapon", kServerIni);
    ini_read_int_list(crate_items, "gameplay", "crateItem", kServerIni);
    inventory_capacity = ini_read_int("player_common", "inventoryCapacity", 10, kServerIni);
    spawn_protection_time = ini_read_float("player_common", "spawnProtectionTime", 100, kServerIni);
    chance_of_sweetroll = ini_read_int("physics", "chanceOfSweetroll", 50, kServerIni);
    default_snd_explode = ini_read_int("game", "defaultSndExplode", -1, kClientIni);
    default_explosion_force = ini_read_float("physics", "defaultExplosionForce", 0, kServerIni);
    default_explosion_damage = ini_read_float("physics", "defaultExplosionDamage", 0, kServerIni);
    item_decay_time = ini_read_float("gameplay", "itemDecayTime", 20, kServerIni);
    gravity = ini_read_float_pair("physics", "gravity", {0, 500}, kServerIni);
    player_speed = ini_read_float("player_common", "speed", 100, kServerIni);
    player_accel_factor = ini_read_float("player_common", "accelFactor", 10, kServerIni);
    player_mass = ini_read_float("player_common", "mass", 1, kServerIni);
    player_bounce = ini_read_float("player_common", "bounce", 0, kServerIni);
    player_friction = ini_read_float("player_common", "friction", 0.1f, kServerIni);
    player_air_friction = ini_read_float("player_common", "airFriction", 0.1f, kServerIni);
    player_jump_accel = ini_read_float("player_common", "jumpAccel", 500, kServerIni);
    player_buoyancy = ini_read_float("player_common", "buoyancy", 1, kServerIni);
    step_height = ini_read_int("physics", "stepHeight", 5, kServerIni);
    ready_time = ini_read_float("timing", "readyTime", 3, kCommonIni);
    ending_timeout = ini_read_float("timing", "endingTimeout", 3, kCommonIni);
    result_display_time = ini_read_float("timing", "resultDisplayTime", 10, kCommonIni);
    window_resolution.x = ini_read_int("system", "resX", 1024, kUserIni);
    window_resolution.y = ini_read_int("system", "resY", 768, kUserIni);
    fullscreen = ini_read_bool("system", "fullscreen", false, kUserIni);
    message_life = ini_read_float("system", "messageLife", 4, kUserIni);
    max_messages = ini_read_int("system", "maxMessages", 10, kUserIni);
    message_font = ini_read_string("system", "messageFont", "fnt\\DejaVuSans.ttf", kUserIni);
    message_font_size = ini_read_int("system", "messageFontSize", 16, kUserIni);
}

bool is_material(const ColorRGBA& pixel, Material material) {
    return pixel == material_colors[static_cast<int>(material)];
}

std::vector<std::pair<Material, Material>> equal_material_colors() {
    std::vector<std::pair<Material, Material>> pairs;
    for (int i = 0; i < kMaterialCount; ++i)
        for (int j = i + 1; j < kMaterialCount; ++j)
            if (material_colors[i] == material_colors[j])
                pairs.emplace_back(static_cast<Material>(i), static_cast<Material>(j));
    return pairs;
}

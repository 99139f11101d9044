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

#define BRAWL_READ_DEFINITION_FIELD(type, member, file, key, fallback) read_field(d.member, file, s, key, fallback);

void read_weapon(WeaponDefinition& d, const std::string& s) { BRAWL_WEAPON_FIELDS(BRAWL_READ_DEFINITION_FIELD) }

void read_item(ItemDefinition& d, const std::string& s) { BRAWL_ITEM_FIELDS(BRAWL_READ_DEFINITION_FIELD) }

#undef BRAWL_READ_DEFINITION_FIELD

// Sections prefix + "0", prefix + "1", ..., as many as the server file's count says.
template <class Definition>
void load_table(std::vector<Definition>& table, const char* count_section, const char* prefix,
                void (*read)(Definition&, const std::string&)) {
    table.assign(table_count(count_section), Definition());
    for (std::size_t i = 0; i < table.size(); ++i) read(table[i], prefix + std::to_string(i));
}

}  // namespace

void load_player_definition(PlayerDefinition& out, unsigned int index) {
    static const char* const kAnimationKeys[kPlayerAnimationCount] = {"idleLeft", "idleRight", "walkLeft", "walkRight",
                                                                      "jumpLeft", "jumpRight", "die"};
    const std::string section = "player" + std::to_string(index);
    out.texture = ini_read_string(section, "texture", "", kClientIni);
    out.tombstone_texture = ini_read_string(section, "tombstoneTexture", "", kClientIni);
    out.visual_size = ini_read_float_pair(section, "visualSize", {64, 64}, kClientIni);
    out.tile_size = ini_read_int_pair(section, "tileSize", {64, 64}, kClientIni);
    ini_read_rgb(out.color, section, "color", kClientIni);
    for (std::size_t i = 0; i < std::size_t(kPlayerAnimationCount); ++i)
        ini_read_animation(out.animations[i], section, kAnimationKeys[i], kClientIni);
    out.snd_spawn = ini_read_int(section, "sndSpawn", -1, kClientIni);
    out.snd_die = ini_read_int(section, "sndDie", -1, kClientIni);
    out.snd_jump = ini_read_int(section, "sndJump", -1, kClientIni);
}

void load_player_definitions() {
    for (unsigned int i = 0; i < kPlayerDefinitionCount; ++i) load_player_definition(player_definitions[i], i);
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

#include "game/config/settings.h"

#include "engine/core/ini.h"
#include "game/config/object_definitions.h"

const char* const kCommonIni = "config\\common.ini";
const char* const kClientIni = "config\\client.ini";
const char* const kServerIni = "config\\server.ini";
const char* const kUserIni = "config.ini";

#define BRAWL_DEFINE_SETTING(type, name, file, section, key, fallback) type name = fallback;
BRAWL_SETTINGS(BRAWL_DEFINE_SETTING)
#undef BRAWL_DEFINE_SETTING
std::array<ColorRGBA, kMaterialCount> material_colors;
std::vector<std::string> background_names;

namespace {

// One reader per type of the table; colours and lists have no default of their own.
void read(int& out, const char* file, const char* section, const char* key, int fallback) {
    out = ini_read_int(section, key, fallback, file);
}
void read(float& out, const char* file, const char* section, const char* key, float fallback) {
    out = ini_read_float(section, key, fallback, file);
}
void read(bool& out, const char* file, const char* section, const char* key, bool fallback) {
    out = ini_read_bool(section, key, fallback, file);
}
void read(std::string& out, const char* file, const char* section, const char* key,
          const char* fallback) {
    out = ini_read_string(section, key, fallback, file);
}
void read(fvec2d& out, const char* file, const char* section, const char* key, fvec2d fallback) {
    out = ini_read_float_pair(section, key, fallback, file);
}
void read(ivec2d& out, const char* file, const char* section, const char* key, ivec2d fallback) {
    out = ini_read_int_pair(section, key, fallback, file);
}
void read(ColorRGB& out, const char* file, const char* section, const char* key, ColorRGB) {
    ini_read_rgb(out, section, key, file);
}
void read(ColorRGBA& out, const char* file, const char* section, const char* key, ColorRGBA) {
    ini_read_rgba(out, section, key, file);
}
void read(std::vector<std::string>& out, const char* file, const char* section, const char* key,
          const std::vector<std::string>&) {
    ini_read_string_list(out, section, key, file);
}
void read(std::vector<int>& out, const char* file, const char* section, const char* key,
          const std::vector<int>&) {
    ini_read_int_list(out, section, key, file);
}

}  // namespace

void load_settings() {
#define BRAWL_READ_SETTING(type, name, file, section, key, fallback) \
    read(name, file, section, key, fallback);
    BRAWL_SETTINGS(BRAWL_READ_SETTING)
#undef BRAWL_READ_SETTING
#define BRAWL_SETTING_NAME(type, name, file, section, key, fallback) name,
    material_colors = {BRAWL_MATERIAL_COLORS(BRAWL_SETTING_NAME)};
#undef BRAWL_SETTING_NAME
    background_names = ini_read_section_keys("backgrounds", kClientIni);

    load_player_definitions();
    load_portal_definition();
    load_weapon_definitions();
    load_item_definitions();
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

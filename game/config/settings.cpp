#include "game/config/settings.h"

#include "game/config/object_definitions.h"

const char* const kCommonIni = "config\\common.ini";
const char* const kClientIni = "config\\client.ini";
const char* const kServerIni = "config\\server.ini";
const char* const kUserIni = "config.ini";

#define BRAWL_DEFINE_SETTING(type, name, file, section, key, fallback) type name = fallback;
BRAWL_SETTINGS(BRAWL_DEFINE_SETTING)
#undef BRAWL_DEFINE_SETTING

namespace setting_keys {
BRAWL_SETTINGS(BRAWL_DEFINE_INI_KEY)
const IniKey<std::string> user_name{kUserIni, "user", "name", "Player"};
}  // namespace setting_keys

std::array<ColorRGBA, kMaterialCount> material_colors;
std::vector<std::string> background_names;

void load_settings() {
#define BRAWL_READ_SETTING(type, name, file, section, key, fallback) name = setting_keys::name.read();
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
    return pixel == material_colors[static_cast<std::size_t>(material)];
}

std::vector<std::pair<Material, Material>> equal_material_colors() {
    std::vector<std::pair<Material, Material>> pairs;
    for (int i = 0; i < kMaterialCount; ++i)
        for (int j = i + 1; j < kMaterialCount; ++j)
            if (material_colors[std::size_t(i)] == material_colors[std::size_t(j)])
                pairs.emplace_back(static_cast<Material>(i), static_cast<Material>(j));
    return pairs;
}

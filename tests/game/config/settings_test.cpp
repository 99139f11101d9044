#include <gtest/gtest.h>

#include <set>

#include "game/config/object_definitions.h"
#include "game/config/settings.h"
#include "platform/folders.h"

// Runs in the run folder, against the configuration the game ships.
class ShippedSettings : public ::testing::Test {
protected:
    static void SetUpTestSuite() { load_settings(); }
};

TEST_F(ShippedSettings, MaterialColoursAreDistinct) {
    std::set<uint32_t> seen;
    for (const ColorRGBA& c : material_colors) seen.insert(c.to_pixel());
    EXPECT_EQ(seen.size(), std::size_t(kMaterialCount));
    EXPECT_TRUE(equal_material_colors().empty());
    EXPECT_TRUE(is_material(color_water, Material::Water));
    ColorRGBA almost = color_water;
    almost.a ^= 1;
    EXPECT_FALSE(is_material(almost, Material::Water));
}

TEST_F(ShippedSettings, GameplayValuesMakeAGame) {
    EXPECT_GT(spawn_protection_time, 0.5f);
    EXPECT_LT(spawn_protection_time, 10.0f);
    EXPECT_GE(chance_of_sweetroll, 1);
    EXPECT_GT(default_explosion_radius, 0);
    EXPECT_GT(gravity.y, 0);
    EXPECT_GT(player_health, 0);
    EXPECT_FALSE(background_names.empty());
    EXPECT_GT(weapon_definition_count(), 0u);
    EXPECT_FALSE(item_definitions.empty());
    for (int index : default_weapons) EXPECT_LT(unsigned(index), weapon_definition_count());
    for (int index : crate_weapons) EXPECT_LT(unsigned(index), weapon_definition_count());
    for (int index : default_items) EXPECT_LT(std::size_t(index), item_definitions.size());
    for (int index : crate_items) EXPECT_LT(std::size_t(index), item_definitions.size());
}

TEST_F(ShippedSettings, FontsNamedByTheConfigurationExist) {
    for (const std::string* font : {&menu_font, &match_info_font, &inventory_font, &message_font, &player_label_font}) {
        ASSERT_FALSE(font->empty());
        EXPECT_TRUE(platform::file_exists(*font)) << *font;
    }
}

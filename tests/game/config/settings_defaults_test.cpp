#include <gtest/gtest.h>

#include "game/config/object_definitions.h"
#include "game/config/settings.h"

// Runs in a folder without any ini file: every setting takes its default.
TEST(SettingsDefaults, EverySettingHasItsDefaultWithoutFiles) {
    load_settings();
    for (const ColorRGBA& c : material_colors) EXPECT_EQ(c, (ColorRGBA{0, 0, 0, 0}));
    EXPECT_EQ(menu_font, "");
    EXPECT_EQ(menu_font_size, 10);
    EXPECT_FLOAT_EQ(menu_preview_quality, 0.25f);
    EXPECT_EQ(player_size, fvec2d(64, 64));
    EXPECT_EQ(player_collision_offset, fvec2d(0, 0));
    EXPECT_EQ(player_label_size, fvec2d(300, 24));
    EXPECT_EQ(player_label_font_size, 10);
    EXPECT_FLOAT_EQ(tombstone_life_time, 5);
    EXPECT_FLOAT_EQ(camera_viewport_height, 800);
    EXPECT_TRUE(falling_messages.empty());
    EXPECT_TRUE(environment_messages.empty());
    EXPECT_EQ(match_info_size, fvec2d(300, 100));
    EXPECT_EQ(match_info_font, "fnt\\DejaVuSans.ttf");
    EXPECT_EQ(match_info_font_size, 16);
    EXPECT_EQ(inventory_font, "fnt\\DejaVuSans.ttf");
    EXPECT_TRUE(background_names.empty());
    EXPECT_EQ(default_explosion_effect_id, 0);
    EXPECT_FLOAT_EQ(default_explosion_radius, 0);
    EXPECT_FLOAT_EQ(player_health, 100);
    EXPECT_FLOAT_EQ(player_max_health, 100);
    EXPECT_FLOAT_EQ(collision_damage_min_speed, 100);
    EXPECT_FLOAT_EQ(drown_submersion, 0.5f);
    EXPECT_TRUE(default_weapons.empty());
    EXPECT_TRUE(crate_items.empty());
    EXPECT_EQ(inventory_capacity, 10);
    EXPECT_FLOAT_EQ(spawn_protection_time, 100);
    EXPECT_EQ(chance_of_sweetroll, 50);
    EXPECT_EQ(default_snd_explode, -1);
    EXPECT_FLOAT_EQ(item_decay_time, 20);
    EXPECT_EQ(gravity, fvec2d(0, 500));
    EXPECT_FLOAT_EQ(player_speed, 100);
    EXPECT_FLOAT_EQ(player_accel_factor, 10);
    EXPECT_FLOAT_EQ(player_friction, 0.1f);
    EXPECT_FLOAT_EQ(player_jump_accel, 500);
    EXPECT_EQ(step_height, 5);
    EXPECT_FLOAT_EQ(ready_time, 3);
    EXPECT_FLOAT_EQ(ending_timeout, 3);
    EXPECT_FLOAT_EQ(result_display_time, 10);
    EXPECT_EQ(window_resolution, (ivec2d{1024, 768}));
    EXPECT_FALSE(fullscreen);
    EXPECT_FLOAT_EQ(message_life, 4);
    EXPECT_EQ(max_messages, 10);
    EXPECT_EQ(message_font_size, 16);
}

TEST(SettingsDefaults, DefinitionTablesWithoutFiles) {
    load_settings();
    EXPECT_TRUE(weapon_definitions.empty());
    EXPECT_TRUE(item_definitions.empty());
    EXPECT_EQ(weapon_definition_count(), 0u);
    const PlayerDefinition& p = player_definitions[15];
    EXPECT_EQ(p.visual_size, fvec2d(64, 64));
    EXPECT_EQ(p.tile_size, (ivec2d{64, 64}));
    EXPECT_EQ(p.snd_spawn, -1);
    EXPECT_FLOAT_EQ(p.animations[int(EQGPlayerAnimation::Die)].speed, 1.0f);
    EXPECT_EQ(portal_definition.idle_animation.repeat, -1);
    EXPECT_EQ(portal_definition.enter_sound, -1);
}

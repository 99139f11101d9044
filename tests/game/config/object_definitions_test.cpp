#include <gtest/gtest.h>

#include "game/config/object_definitions.h"
#include "game/config/settings.h"

// Runs in a fixture folder whose small ini files set a few keys of each table.
class DefinitionFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { load_settings(); }
};

TEST_F(DefinitionFixture, WeaponsReadEachKeyFromItsFile) {
    ASSERT_EQ(weapon_definition_count(), 2u);
    const WeaponDefinition& jet = weapon_definition(0);
    EXPECT_EQ(jet.type, int(WeaponType::Thrust));
    EXPECT_EQ(jet.collider_size, (ivec2d{10, 20}));
    EXPECT_EQ(jet.display_size, fvec2d(30, 12));
    EXPECT_TRUE(jet.projectile_stick_on_contact);
    EXPECT_FALSE(jet.allow_item_decay);
    EXPECT_EQ(jet.name, "Jet");
    EXPECT_EQ(jet.death_messages, (std::vector<std::string>{"was launched", "flew too close"}));

    // An unconfigured weapon keeps the table's defaults.
    const WeaponDefinition& plain = weapon_definition(1);
    EXPECT_EQ(plain.projectiles_per_shot, 1);
    EXPECT_FLOAT_EQ(plain.projectile_life_time, 5);
    EXPECT_FLOAT_EQ(plain.mass, 1);
    EXPECT_TRUE(plain.projectile_explode_on_player_contact);
    EXPECT_EQ(plain.display_rotation_center, fvec2d(0.5f, 0.5f));
    EXPECT_EQ(plain.snd_fire, -1);
    EXPECT_EQ(plain.explosion_effect_id, 4);  // from common.ini
}

TEST_F(DefinitionFixture, ItemsAndLoadouts) {
    ASSERT_EQ(item_definitions.size(), 1u);
    EXPECT_EQ(item_definitions[0].type, int(SpecialItemType::Crate));
    EXPECT_TRUE(item_definitions[0].activate_on_pickup);
    EXPECT_EQ(item_definitions[0].use_effect_particles, 12);
    EXPECT_FLOAT_EQ(item_definitions[0].use_timeout, 1);
    EXPECT_EQ(default_weapons, (std::vector<int>{1, 0, 1}));
}

TEST_F(DefinitionFixture, PortalAnimationsKeepTheirFieldsApart) {
    EXPECT_EQ(portal_definition.collider_size, (ivec2d{40, 80}));
    EXPECT_FLOAT_EQ(portal_definition.cooldown_time, 1.5f);
    EXPECT_EQ(portal_definition.tile_size, (ivec2d{63, 32}));  // read as floats, truncated
    EXPECT_EQ(portal_definition.idle_animation.repeat, 4);
    EXPECT_EQ(portal_definition.idle_animation.first_frame, 0);
    EXPECT_EQ(portal_definition.idle_animation.last_frame, 0);
    EXPECT_EQ(portal_definition.enter_animation.repeat, -1);
}

TEST_F(DefinitionFixture, PlayerRecordAndBackgroundKeys) {
    const PlayerDefinition& p = player_definitions[3];
    EXPECT_EQ(p.texture, "gfx\\player3.png");
    EXPECT_EQ(p.color.r, 44);
    const AnimationDefinition& walk = p.animations[int(EQGPlayerAnimation::WalkLeft)];
    EXPECT_EQ(walk.first_frame, 2);
    EXPECT_EQ(walk.last_frame, 5);
    EXPECT_TRUE(walk.play_once);
    EXPECT_EQ(p.snd_jump, 7);
    EXPECT_EQ(player_definitions[2].texture, "");
    EXPECT_EQ(background_names, (std::vector<std::string>{"Cave", "Swamp"}));
}

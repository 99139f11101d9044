// The run folder holds every image the object definitions and the match screens load, cut into
// as many frames as the definitions play, and every sound id they play is a configured sound.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/core/ini.h"
#include "engine/image/color_grid.h"
#include "game/config/object_definitions.h"
#include "game/config/settings.h"

namespace {

class ObjectAssets : public ::testing::Test {
protected:
    static void SetUpTestSuite() { load_settings(); }

    // The image at `path`, or an empty grid after a failed expectation.
    static ColorGrid image(const std::string& path) {
        ColorGrid grid;
        EXPECT_TRUE(load_image_colors(path, grid)) << path;
        return grid;
    }
    // Frames of a sheet cut into tiles, as sprites count them.
    static int frames(const std::string& path, ivec2d tile) {
        ColorGrid grid = image(path);
        if (tile.x <= 0 || tile.y <= 0) return 0;
        return (grid.width() / tile.x) * (grid.height() / tile.y);
    }
    static void expect_size(const std::string& path, fvec2d size) {
        ColorGrid grid = image(path);
        EXPECT_EQ(grid.width(), int(size.x)) << path;
        EXPECT_EQ(grid.height(), int(size.y)) << path;
    }
};

TEST_F(ObjectAssets, PlayerSheetsHoldEveryAnimationFrame) {
    for (const PlayerDefinition& player : player_definitions) {
        int count = frames(player.texture, player.tile_size);
        for (const AnimationDefinition& a : player.animations) {
            EXPECT_LE(a.first_frame, a.last_frame) << player.texture;
            EXPECT_LT(a.last_frame, count) << player.texture;
        }
        EXPECT_GE(frames(player.tombstone_texture, player.tile_size), 1) << player.tombstone_texture;
    }
}

// Carried things are drawn at their display size; projectile sheets cut into whole tiles.
TEST_F(ObjectAssets, WeaponsAndItemsHaveTheirImages) {
    ASSERT_FALSE(weapon_definitions.empty());
    for (const WeaponDefinition& weapon : weapon_definitions) {
        expect_size(weapon.weapon_texture, weapon.display_size);
        if (weapon.projectile_texture.empty()) {
            EXPECT_EQ(weapon.type, int(WeaponType::Thrust)) << weapon.name << " fires without an image";
            continue;
        }
        ColorGrid sheet = image(weapon.projectile_texture);
        ASSERT_GT(weapon.projectile_tile_size.x, 0) << weapon.name;
        ASSERT_GT(weapon.projectile_tile_size.y, 0) << weapon.name;
        EXPECT_EQ(sheet.width() % weapon.projectile_tile_size.x, 0) << weapon.projectile_texture;
        EXPECT_EQ(sheet.height() % weapon.projectile_tile_size.y, 0) << weapon.projectile_texture;
        EXPECT_GE(frames(weapon.projectile_texture, weapon.projectile_tile_size), 1) << weapon.projectile_texture;
    }
    ASSERT_FALSE(item_definitions.empty());
    for (const ItemDefinition& item : item_definitions) expect_size(item.texture, item.display_size);
}

TEST_F(ObjectAssets, PortalAndSweetrollSheetsHoldTheirFrames) {
    int portal = frames(portal_definition.texture, portal_definition.tile_size);
    for (const PortalAnimation& a :
         {portal_definition.idle_animation, portal_definition.enter_animation, portal_definition.exit_animation}) {
        EXPECT_LE(a.first_frame, a.last_frame);
        EXPECT_LT(a.last_frame, portal);
    }
    // Walking 0-5, bursting up to frame 18, in 64 x 64 tiles.
    EXPECT_GE(frames("gfx\\sweetroll.png", {64, 64}), 19);
}

TEST_F(ObjectAssets, MatchScreenPicturesLoad) {
    for (const char* path : {"gfx\\Load_Screen.png", "gfx\\blend.png", "gfx\\spawn.png", "gfx/dummy.png"}) {
        ColorGrid grid = image(path);
        EXPECT_GT(grid.width() * grid.height(), 0) << path;
    }
    // The spawn marker is see-through, so the level shows under it.
    ColorGrid marker = image("gfx\\spawn.png");
    ASSERT_GT(marker.width(), 0);
    EXPECT_LT(marker.at(marker.width() / 2, 2).a, 255);
}

// Sound ids index the [sound] list; the sweetroll plays 4 and 5 of its own.
TEST_F(ObjectAssets, EverySoundPlayedIsConfigured) {
    std::vector<int> ids = {default_snd_explode, 4, 5, portal_definition.enter_sound, portal_definition.exit_sound};
    for (const PlayerDefinition& p : player_definitions) ids.insert(ids.end(), {p.snd_spawn, p.snd_die, p.snd_jump});
    for (const WeaponDefinition& w : weapon_definitions) ids.insert(ids.end(), {w.snd_fire, w.snd_explode});
    for (const ItemDefinition& i : item_definitions) ids.push_back(i.snd_use);
    const int configured = int(ini_read_section_keys("sound", "config\\client.ini").size());
    for (int id : ids) {
        EXPECT_GE(id, -1);
        EXPECT_LT(id, configured);
    }
    EXPECT_GE(*std::max_element(ids.begin(), ids.end()), 5);
}

}  // namespace

// Writes the images of the game world's objects under the names config/client.ini gives them.
#include "tools/assets/entity_assets.h"

#include <cstdio>
#include <functional>

#include "tools/assets/asset_writers.h"
#include "tools/assets/entity_sprites.h"

namespace assets {

bool write_entity_assets(const std::string& run_folder) {
    using namespace entity_sprites;
    struct Entry {
        const char* path;
        std::function<Image()> draw;
    };
    const Entry entries[] = {
        {"gfx/player0.png", [] { return player_sheet(0); }},
        {"gfx/player1.png", [] { return player_sheet(1); }},
        {"gfx/player2.png", [] { return player_sheet(2); }},
        {"gfx/player3.png", [] { return player_sheet(3); }},
        {"gfx/tombstone.png", tombstone},
        {"gfx/portal.png", portal_sheet},
        {"gfx/sweetroll.png", sweetroll_sheet},
        {"gfx/weapon_blaster.png", weapon_blaster},
        {"gfx/weapon_bazooka.png", weapon_bazooka},
        {"gfx/weapon_grenade.png", weapon_grenade},
        {"gfx/weapon_shotgun.png", weapon_shotgun},
        {"gfx/weapon_sticky.png", weapon_sticky},
        {"gfx/weapon_jetpack.png", weapon_jetpack},
        {"gfx/weapon_drill.png", weapon_drill},
        {"gfx/weapon_megabomb.png", weapon_megabomb},
        {"gfx/proj_blaster.png", projectile_blaster},
        {"gfx/proj_rocket.png", projectile_rocket},
        {"gfx/proj_grenade.png", projectile_grenade},
        {"gfx/proj_pellet.png", projectile_pellet},
        {"gfx/proj_sticky.png", projectile_sticky},
        {"gfx/proj_megabomb.png", projectile_megabomb},
        {"gfx/item_crate.png", item_crate},
        {"gfx/item_healthpack.png", item_healthpack},
        {"gfx/item_medkit.png", item_medkit},
        {"gfx/item_cloak.png", item_cloak},
        {"gfx/item_feather.png", item_feather},
    };
    bool ok = true;
    for (const Entry& entry : entries) {
        if (!write_png_rgba(run_folder + "/" + entry.path, entry.draw())) {
            std::fprintf(stderr, "brawl_assets: could not write %s\n", entry.path);
            ok = false;
        }
    }
    return ok;
}

}  // namespace assets

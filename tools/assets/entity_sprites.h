#pragma once
// The drawings behind write_entity_assets, one function per image.
#include "tools/assets/asset_writers.h"

namespace assets::entity_sprites {

// Player sheet of one look (0-3: hair, hat and skin differ). Clothes are pure grey (equal red,
// green and blue) and nothing else is, so the player shader can tint exactly the clothes.
Image player_sheet(int look);
Image tombstone();
Image portal_sheet();
Image sweetroll_sheet();

Image weapon_blaster();
Image weapon_bazooka();
Image weapon_grenade();
Image weapon_shotgun();
Image weapon_sticky();
Image weapon_jetpack();
Image weapon_drill();
Image weapon_megabomb();

Image projectile_blaster();
Image projectile_rocket();
Image projectile_grenade();
Image projectile_pellet();
Image projectile_sticky();
Image projectile_megabomb();

Image item_crate();
Image item_healthpack();
Image item_medkit();
Image item_cloak();
Image item_feather();

}  // namespace assets::entity_sprites

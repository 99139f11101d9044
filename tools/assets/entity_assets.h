#pragma once
#include <string>

namespace assets {

// The images of the game world's objects, as config/client.ini lays them out: the player sheets
// gfx/player0..3.png (8 x 5 frames of 64 x 64), gfx/tombstone.png, gfx/portal.png (8 x 3 frames
// of 64 x 96), the weapon, projectile and item images, and gfx/sweetroll.png (5 x 4 frames of
// 64 x 64: walking left 0-2, right 3-5, bursting 6-18). Answers false when any file could not be
// written; each failure is reported on standard error.
bool write_entity_assets(const std::string& run_folder);

}  // namespace assets

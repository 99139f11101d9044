#pragma once
#include <string>

namespace assets {

// The pictures of the client's match screens: gfx/Load_Screen.png (the opaque picture behind the
// status box while a match is prepared), gfx/blend.png (the dark see-through panel behind the
// status box, the inventory and the match state) and gfx/spawn.png (the host's spawn marker,
// stretched to the player size). Answers false when any file could not be written; each failure
// is reported on standard error.
bool write_match_screen_assets(const std::string& run_folder);

}  // namespace assets

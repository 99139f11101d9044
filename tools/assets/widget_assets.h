#pragma once
#include <string>

namespace assets {

// The widget skins: background.png, button.png (four 24 x 24 frames: normal, hover, pressed,
// disabled), checkbox.png (three 28 x 24 frames: checked, unchecked, third state) and
// lb_entry.png (three 30 x 30 frames: normal row, third state, selected row), once under gfx/
// for the client and once under gfx/partEd/ for the particle editor. Answers false when any
// file could not be written; each failure is reported on standard error.
bool write_widget_assets(const std::string& run_folder);

}  // namespace assets

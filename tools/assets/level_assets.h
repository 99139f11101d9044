#pragma once
#include <functional>
#include <string>

#include "tools/assets/asset_writers.h"

namespace assets {

// Writes what the levels load: the template images under object/ (in the generator's key
// colours), one opaque background per generator preset under gfx/, and gfx/dummy.png. Answers
// false when any file could not be written; each failure is reported on standard error.
bool write_level_assets(const std::string& run_folder);

// The parts, one file each. `save` writes an image under a path relative to the run folder,
// without alpha when opaque is set.
using SaveImage = std::function<void(const std::string& relative, const Image& image, bool opaque)>;
// Clears the template folders under object/ first: a leftover would change which template every
// peer picks.
void write_level_templates(const std::string& run_folder, const SaveImage& save);
void write_level_backgrounds(const SaveImage& save);

}  // namespace assets

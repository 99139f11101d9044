#pragma once
#include <string>

namespace assets {

// Writes what the levels load: the template images under object/ (in the generator's key
// colours), one opaque background per generator preset under gfx/, and gfx/dummy.png. Answers
// false when any file could not be written; each failure is reported on standard error.
bool write_level_assets(const std::string& run_folder);

}  // namespace assets

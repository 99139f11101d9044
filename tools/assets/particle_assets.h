#pragma once
#include <string>
#include <vector>

#include "tools/assets/asset_writers.h"

namespace assets {

// One particle image: its path as the game names it (relative to the run folder) and pixels.
struct ParticleImage {
    std::string path;
    Image image;
};

// The small soft-alpha images the effects of gfx\particles.vp draw with.
std::vector<ParticleImage> particle_images();

// Names of the effects in file order; the position is the effect id the game asks for.
const std::vector<std::string>& particle_effect_names();

// Writes the particle images and then gfx\particles.vp into the run folder, which becomes the
// current directory (the file names its textures relative to it). False when anything failed.
bool write_particle_assets(const std::string& run_folder);

}  // namespace assets

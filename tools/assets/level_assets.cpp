// Level templates in the generator's key colours, the level backgrounds and the terrain's
// placeholder texture. Everything is drawn from fixed seeds, so every build writes the same
// files: peers pick templates by index and must hold identical folders.
#include "tools/assets/level_assets.h"

#include <cstdio>
#include <string>

#include "tools/assets/asset_writers.h"
#include "tools/assets/level_drawing.h"

namespace assets {
namespace {

// The terrain texture entry that every level's surface replaces, so it only has to load: one
// small image of air.
Image dummy_texture() { return level_drawing::blank(16, 16); }

}  // namespace

bool write_level_assets(const std::string& run_folder) {
    bool ok = true;
    auto save = [&](const std::string& relative, const Image& image, bool opaque) {
        std::string path = run_folder + "/" + relative;
        if (!(opaque ? write_png_rgb(path, image) : write_png_rgba(path, image))) {
            std::fprintf(stderr, "brawl_assets: could not write %s\n", relative.c_str());
            ok = false;
        }
    };

    write_level_templates(run_folder, save);
    write_level_backgrounds(save);
    save("gfx/dummy.png", dummy_texture(), false);
    return ok;
}

}  // namespace assets

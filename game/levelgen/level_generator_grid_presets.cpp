// The presets built on the cell grid from templates: Skyscraper and Swamp.
#include "game/levelgen/level_generator.h"

#include <algorithm>
#include <vector>

#include "engine/core/random.h"
#include "game/levelgen/level_generator_shared.h"

using namespace levelgen_detail;

void generate_skyscraper(const LevelParameters& p, SDL_Surface* surface, const GeneratorCallbacks* callbacks) {
    (void)p;
    CellGrid grid(surface->w, surface->h);
    paint_cell_grid(grid, surface, callbacks);
}

void generate_swamp(const LevelParameters& p, SDL_Surface* surface, const GeneratorCallbacks* callbacks) {
    const int w = surface->w, h = surface->h;
    const int band = 10 - static_cast<int>(p.offset_y * -500.0f);
    const int depth = static_cast<int>(p.water_level * 150.0f);

    CellGrid grid(w, h);
    load_swamp_templates();
    const LevelTemplates& templates = level_templates();

    stamp_random_template(0, h - band - 128, grid, templates.swamp_background);
    for (int k = 0; k < w / 320; ++k) {
        int r = random_draw();
        stamp_random_template(250 * k + r % 200, h - band - 266, grid, templates.swamp);
    }

    // Ground band: noise decides rock against earth, more rock with depth.
    if (band > 0) {
        NoiseField noise(p, w, h);
        const int top = h - band;
        std::vector<float> sums;
        for (int y = std::max(top, 0); y < h; ++y) {
            const int d = y - top;
            noise.row(y, sums);
            for (int x = 0; x < w; ++x) {
                float v = (sums[std::size_t(x)] + 1.0f) * 0.5f * static_cast<float>(d) / static_cast<float>(band);
                grid.set(x, y, v > 0.5f ? GeneratorCell::Indestructible : GeneratorCell::Destructible);
            }
        }
    }

    for (int y = std::max(h - depth - band, 0); y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (grid.is(x, y, GeneratorCell::Air)) grid.set(x, y, GeneratorCell::Water);

    paint_cell_grid(grid, surface, callbacks);

    int r = random_draw();
    request(callbacks, GeneratorCallbacks::Weapon, static_cast<int>((w - 64) * 0.5), static_cast<int>(h * 0.4 - 64), 64,
            64, r);
}

#include "game/levelgen/level_generator.h"

#include <algorithm>
#include <string>
#include <utility>

#include "engine/core/files.h"
#include "engine/core/logger.h"
#include "engine/core/random.h"
#include "game/config/settings.h"
#include "game/levelgen/level_generator_shared.h"
#include "game/base/terrain_pixels.h"

using namespace levelgen_detail;

GeneratorCallbacks::GeneratorCallbacks(const PlacementCallback* item, const PlacementCallback* weapon,
                                       const PlacementCallback* crate, const PlacementCallback* portal) {
    const PlacementCallback* given[4] = {item, weapon, crate, portal};
    for (int i = 0; i < 4; ++i)
        if (given[i]) entries[i] = *given[i];
}

CellGrid::CellGrid(int w, int h)
    : width(std::max(w, 0)), height(std::max(h, 0)), cells(std::size_t(width) * std::size_t(height), 0) {}

namespace {

constexpr ColorRGBA kKeyWater{0, 0, 255, 255};
constexpr ColorRGBA kKeyDestructible{150, 150, 150, 255};
constexpr ColorRGBA kKeySlot{0, 255, 0, 255};
constexpr ColorRGBA kKeyExplosive{255, 0, 0, 255};

// --- templates ---

LevelTemplates g_templates;

void load_template_list(const std::string& pattern, std::vector<ColorGrid>& list, bool recognise_red) {
    std::string folder = pattern.substr(0, pattern.size() - 1);  // without the "*"
    std::vector<std::string> names = list_files(pattern);
    list.clear();
    list.resize(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        ColorGrid& grid = list[i];
        if (!load_image_colors(folder + names[i], grid)) {
            log_message(LogLevel::Error, "Failed to load level template \"" + folder + names[i] + "\"", "");
            continue;
        }
        // Key colours become materials; the entry stays even when empty, so that every peer
        // picks templates by the same index.
        for (int y = 0; y < grid.height(); ++y) {
            for (int x = 0; x < grid.width(); ++x) {
                ColorRGBA& c = grid.at(x, y);
                if (c == kKeyWater) c = color_water;
                else if (c == kKeyDestructible) c = color_destructible;
                else if (c == kKeySlot) continue;
                else if (recognise_red && c == kKeyExplosive) c = color_explosive;
                else c = color_air;
            }
        }
    }
}

}  // namespace

// --- templates ---

const LevelTemplates& level_templates() { return g_templates; }

void load_swamp_templates() {
    if (!g_templates.swamp_background.empty() && !g_templates.swamp.empty()) return;
    load_template_list("object\\swamp_background\\*", g_templates.swamp_background, false);
    load_template_list("object\\swamp\\*", g_templates.swamp, true);
}

void load_submarine_templates() {
    if (!g_templates.tower.empty()) return;
    load_template_list("object\\tower\\*", g_templates.tower, true);
    load_template_list("object\\torpedo\\*", g_templates.torpedo, true);
    load_template_list("object\\standing\\*", g_templates.standing, true);
    load_template_list("object\\motor\\*", g_templates.motor, true);
    load_template_list("object\\hanging\\*", g_templates.hanging, true);
}

void reset_level_templates_for_tests() { g_templates = LevelTemplates(); }

void stamp_random_template(int x, int y, CellGrid& grid, const std::vector<ColorGrid>& list) {
    if (list.empty()) return;
    const ColorGrid& t = list[static_cast<std::size_t>(random_draw()) % list.size()];
    for (int ty = 0; ty < t.height(); ++ty) {
        int gy = y + ty;
        if (gy <= 0 || gy >= grid.height) continue;
        for (int tx = 0; tx < t.width(); ++tx) {
            int gx = x + tx;
            if (gx <= 0 || gx >= grid.width) continue;
            const ColorRGBA& c = t.at(tx, ty);
            if (c == color_water) grid.set(gx, gy, GeneratorCell::Water);
            else if (c == color_destructible) grid.set(gx, gy, GeneratorCell::Destructible);
            else if (c == color_explosive) grid.set(gx, gy, GeneratorCell::Explosive);
            else if (c == kKeySlot) grid.set(gx, gy, GeneratorCell::ObjectSlot);
        }
    }
}

void paint_cell_grid(const CellGrid& grid, SDL_Surface* surface, const GeneratorCallbacks* callbacks) {
    std::vector<std::pair<int, int>> slots;
    {
        SurfaceLock lock(surface);
        TerrainPixels px(surface);
        MaterialPixels colours(px);
        int w = std::min(grid.width, px.width()), h = std::min(grid.height, px.height());
        const int32_t slot = static_cast<int32_t>(GeneratorCell::ObjectSlot);
        // The cell codes in use are small: a table lookup instead of a switch per pixel.
        uint32_t by_code[16];
        for (int32_t code = 0; code < 16; ++code) by_code[code] = colours.of_cell(code);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                int32_t code = grid.at(x, y);
                if (code == slot) slots.emplace_back(x, y);
                px.put(x, y, uint32_t(code) < 16u ? by_code[code] : colours.of_cell(code));
            }
        }
    }
    // Crates are requested column by column, top to bottom, one draw each.
    std::sort(slots.begin(), slots.end());
    for (const auto& [x, y] : slots) {
        int r = random_draw();
        request(callbacks, GeneratorCallbacks::Crate, x - 20, y - 64, 64, 64, r);
    }
}

SDL_Surface* generate_level_surface(SDL_Surface* surface, bool free_old, const GeneratorCallbacks* callbacks,
                                    LevelParameters parameters) {
    sanitize_level_parameters(parameters, false);
    const int w = static_cast<int>(resolve_level_width(parameters.size_x));
    const int h = static_cast<int>(resolve_level_height(parameters.size_y));

    if (!surface || surface->w != w || surface->h != h) {
        if (surface && free_old) SDL_FreeSurface(surface);
        surface = SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u);
        if (!surface) return nullptr;
    }
    parameters.size_x = static_cast<uint32_t>(surface->w);
    parameters.size_y = static_cast<uint32_t>(surface->h);

    random_seed(parameters.seed);
    switch (preset_of(parameters.gen)) {
    case GeneratorPreset::Swamp: generate_swamp(parameters, surface, callbacks); break;
    case GeneratorPreset::Submarine: generate_submarine(parameters, surface, callbacks); break;
    case GeneratorPreset::Skyscraper: generate_skyscraper(parameters, surface, callbacks); break;
    case GeneratorPreset::Mountain: generate_mountain(parameters, surface); break;
    case GeneratorPreset::Cave: generate_cave(parameters, surface); break;
    case GeneratorPreset::Hills: generate_hills(parameters, surface); break;
    }
    return surface;
}

#pragma once
#include <SDL/SDL.h>

#include <cstdint>
#include <vector>

#include "engine/core/callback.h"
#include "engine/image/color_grid.h"
#include "game/levelgen/level_parameters.h"

// The level generator: free functions that turn LevelParameters into a terrain surface whose
// every pixel is a material colour. Server and clients run it independently, so every random
// number comes from the process-wide generator after random_seed(seed), in one fixed order,
// also where a placement delegate does nothing.

// A placement request: (x, y, width, height) of a free pixel box and a random number; answers
// whether something was placed (the generator ignores the answer).
using PlacementCallback = Callback<bool, int, int, int, int, int>;

struct GeneratorCallbacks {
    enum Entry { Item = 0, Weapon = 1, Crate = 2, Portal = 3 };

    GeneratorCallbacks() = default;
    // Keeps a clone of each; a null pointer gives an empty entry.
    GeneratorCallbacks(const PlacementCallback* item, const PlacementCallback* weapon, const PlacementCallback* crate,
                       const PlacementCallback* portal);

    PlacementCallback entries[4];
};

// Codes of the work grid of the Swamp, Submarine and Skyscraper presets.
enum class GeneratorCell : int32_t {
    Air = 0,
    Water = 1,
    Outside = 2,  // Submarine: water around the hull, painted as static water
    Explosive = 3,
    Ladder = 5,
    Destructible = 8,
    Indestructible = 9,
    ObjectSlot = 10,   // painted as air; a crate is requested there
    RoomMarker = 100,  // Submarine: transient mark of a room
};

// Width x height cells, row by row, zero (Air) filled.
struct CellGrid {
    CellGrid(int w, int h);

    int width;
    int height;
    std::vector<int32_t> cells;

    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width && y < height; }
    int32_t& at(int x, int y) { return cells[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    int32_t at(int x, int y) const { return cells[std::size_t(y) * std::size_t(width) + std::size_t(x)]; }
    bool is(int x, int y, GeneratorCell c) const { return at(x, y) == static_cast<int32_t>(c); }
    void set(int x, int y, GeneratorCell c) { at(x, y) = static_cast<int32_t>(c); }
};

// Generates into `surface` when its size is the one the parameters ask for; otherwise a new
// 32-bit surface is made (the old one is freed first when free_old is set). The parameters are
// first brought into range (sanitize_level_parameters, silently). Answers the surface generated
// into, or null when a new surface could not be made. `callbacks` may be null.
SDL_Surface* generate_level_surface(SDL_Surface* surface, bool free_old, const GeneratorCallbacks* callbacks,
                                    LevelParameters parameters);

// The presets fill the whole surface; size_x and size_y of the parameters are the surface's.
void generate_swamp(const LevelParameters& p, SDL_Surface* surface, const GeneratorCallbacks* callbacks);
void generate_submarine(const LevelParameters& p, SDL_Surface* surface, const GeneratorCallbacks* callbacks);
void generate_skyscraper(const LevelParameters& p, SDL_Surface* surface, const GeneratorCallbacks* callbacks);
void generate_mountain(const LevelParameters& p, SDL_Surface* surface);
void generate_cave(const LevelParameters& p, SDL_Surface* surface);
void generate_hills(const LevelParameters& p, SDL_Surface* surface);

// Stamps one template of the list (chosen by one draw) into the grid at (x, y); an empty list
// draws nothing and changes nothing.
void stamp_random_template(int x, int y, CellGrid& grid, const std::vector<ColorGrid>& list);

// Paints the grid into the surface; each ObjectSlot draws a number and requests a crate there.
void paint_cell_grid(const CellGrid& grid, SDL_Surface* surface, const GeneratorCallbacks* callbacks);

// The template image lists under "object\\...", read once on first use with their key colours
// rewritten to material colours, and kept for the life of the process.
struct LevelTemplates {
    std::vector<ColorGrid> swamp_background, swamp;
    std::vector<ColorGrid> tower, torpedo, standing, motor, hanging;
};
const LevelTemplates& level_templates();
void load_swamp_templates();      // when the swamp background or the swamp list is empty
void load_submarine_templates();  // when the tower list is empty
// Forgets the lists, so the next generation reads them again (tests change the run folder).
void reset_level_templates_for_tests();

#pragma once
#include <SDL/SDL.h>

#include <span>
#include <string>
#include <vector>

#include "engine/core/geometry.h"
#include "game/terrain/quadtree.h"

// The palette coder of the map synchronizer: a late joiner receives the terrain in tiles of at
// most 256 x 256 pixels, each a quadtree of its colours coded against a palette (the material
// colour table). Tile stream: the depth in 5 bits, then the nodes in pre-order, 1 for a split
// node, 0 and a code of b bits for a leaf (b for n + 1 symbols: code n is "not in the palette"
// and arrives as the last entry), most significant bit first, zero padded, with one more zero
// byte when the bits end on a byte boundary.

using ColorQuadtree = Quadtree<ColorRGBA>;

// Bits of a leaf code for a palette of n colours.
int palette_code_bits(std::size_t n);

// Throws std::invalid_argument for a palette of 0 or more than 254 colours.
std::vector<unsigned char> encode_map_chunk(const ColorQuadtree& tree, std::span<const ColorRGBA> palette);

// Rebuilds the tree from a tile stream. False, the tree unchanged and the reason in `error`
// (when given), for a bad palette, an empty stream, a code beyond the palette, a split below a
// single pixel or a stream that ends before its last node. Bytes after the last node are ignored.
bool decode_map_chunk(std::span<const unsigned char> bytes, ColorQuadtree& tree, std::span<const ColorRGBA> palette,
                      std::string* error = nullptr);

// --- tiles of a level surface ---

constexpr int kMapTileSize = 256;

struct MapTile {
    int x = 0, y = 0, width = 0, height = 0;
    int depth() const;  // of the tile's quadtree
};

// The tile whose top-left corner is `offset` on a level of the given size; false when the offset
// is not a tile corner inside the level.
bool map_tile_at(ivec2d offset, int level_width, int level_height, MapTile& out);

// Moves to the next tile, row by row from the top-left; false after the last one.
bool next_map_tile(ivec2d& offset, int level_width, int level_height);

// The tile's pixels as a quadtree; cells outside the tile keep colour (0, 0, 0, 0).
ColorQuadtree build_map_tile(SDL_Surface* surface, const MapTile& tile);

// The stream of the surface's tile at `offset`; empty when the offset is no tile of the surface.
std::vector<unsigned char> encode_map_tile(SDL_Surface* surface, ivec2d offset, std::span<const ColorRGBA> palette);

// Decodes a received tile into the surface. Everything is checked first: the offset against the
// surface, the stream's depth against the tile, every read against the stream's end; a rejected
// tile changes nothing, is logged, and answers false with the reason in `error` (when given).
bool apply_map_tile(SDL_Surface* surface, ivec2d offset, std::span<const unsigned char> bytes,
                    std::span<const ColorRGBA> palette, std::string* error = nullptr);

// Logs a warning for every pair of materials with the same colour (the coder, and the game,
// cannot tell them apart); answers the number of pairs. Run at start-up after the settings.
int report_equal_material_colors();

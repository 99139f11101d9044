// A terrain tile of the map synchronizer, against the material palette: the first two bytes pick
// the tile's corner (in tiles) on a 600 x 300 level, the rest is the tile stream. The bare
// chunk decoder gets the same stream.

#include "fuzz_support.h"
#include "game/terrain/map_coder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    fuzz::load_once();
    static const auto surface = session_test::make_surface(600, 300);
    const std::span<const unsigned char> stream(data + 2, size - 2);
    apply_map_tile(surface.get(), {int(int8_t(data[0])) * kMapTileSize, int(int8_t(data[1])) * kMapTileSize}, stream,
                   material_colors);
    ColorQuadtree tree;
    decode_map_chunk(stream, tree, material_colors);
    return 0;
}

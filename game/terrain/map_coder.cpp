#include "game/terrain/map_coder.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

#include "engine/core/logger.h"
#include "game/config/settings.h"
#include "game/terrain/terrain_pixels.h"

namespace {

void check_palette(std::size_t n) {
    if (n == 0) throw std::invalid_argument("invalid length of initializer_list: 0");
    if (n > 254)
        throw std::invalid_argument("invalid length of initializer_list: 254 < " + std::to_string(n));
}

unsigned code_of(const ColorRGBA& c, std::span<const ColorRGBA> palette) {
    for (std::size_t i = 0; i < palette.size(); ++i)
        if (palette[i] == c) return static_cast<unsigned>(i);
    return static_cast<unsigned>(palette.size());
}

}  // namespace

int palette_code_bits(std::size_t n) {
    int b = 0;
    while ((std::size_t(1) << b) < n + 1) ++b;
    return b;
}

std::vector<unsigned char> encode_map_chunk(const ColorQuadtree& tree, std::span<const ColorRGBA> palette) {
    check_palette(palette.size());
    const int b = palette_code_bits(palette.size());
    BitWriter out(static_cast<unsigned>(tree.depth()), 5);
    // Neighbouring leaves mostly share a colour: remember the last lookup.
    ColorRGBA last_colour = palette[0];
    unsigned last_code = 0;
    std::vector<ColorQuadtree::NodeRef> stack{tree.root()};
    while (!stack.empty()) {
        ColorQuadtree::NodeRef n = stack.back();
        stack.pop_back();
        if (n.is_leaf()) {
            if (!(n.value() == last_colour)) {
                last_colour = n.value();
                last_code = code_of(last_colour, palette);
            }
            out.bits(last_code, b + 1);  // the 0 of a leaf, then its code
        } else {
            out.bit(1);
            for (int k = 3; k >= 0; --k) stack.push_back(n.child(k));
        }
    }
    return out.finish();
}

void decode_map_chunk(std::span<const unsigned char> bytes, ColorQuadtree& tree,
                      std::span<const ColorRGBA> palette) {
    check_palette(palette.size());
    const std::size_t n = palette.size();
    const int b = palette_code_bits(n);
    if (bytes.empty()) throw std::out_of_range("map chunk stream is empty");

    ColorQuadtree result;
    result.set_depth(bytes[0] >> 3);
    BitReader in(bytes.data(), bytes.size(), 5);
    struct Pending {
        ColorQuadtree::Index node;
        int height;
    };
    std::vector<Pending> stack{{0, result.depth()}};
    while (!stack.empty()) {
        Pending p = stack.back();
        stack.pop_back();
        unsigned split;
        if (!in.bit(split)) throw std::out_of_range("map chunk stream ends before its last node");
        if (split) {
            if (p.height == 0) throw std::invalid_argument("map chunk stream splits a single pixel");
            ColorQuadtree::Index c = result.split(p.node);
            for (int k = 3; k >= 0; --k) stack.push_back({c + k, p.height - 1});
            continue;
        }
        unsigned code;
        if (!in.bits(b, code)) throw std::out_of_range("map chunk stream ends before its last node");
        if (code > n)
            throw std::invalid_argument("invalid length of initializer list: accessing element at position " +
                                        std::to_string(code) + " failed");
        result.make_leaf(p.node, code < n ? palette[code] : palette[n - 1]);
    }
    tree = std::move(result);
}

int MapTile::depth() const {
    int side = std::max(width, height), d = 0;
    while ((1 << d) < side) ++d;
    return d;
}

bool map_tile_at(ivec2d offset, int level_width, int level_height, MapTile& out) {
    if (offset.x < 0 || offset.y < 0 || offset.x >= level_width || offset.y >= level_height) return false;
    if (offset.x % kMapTileSize != 0 || offset.y % kMapTileSize != 0) return false;
    out.x = offset.x;
    out.y = offset.y;
    out.width = std::min(kMapTileSize, level_width - offset.x);
    out.height = std::min(kMapTileSize, level_height - offset.y);
    return true;
}

bool next_map_tile(ivec2d& offset, int level_width, int level_height) {
    int w = std::min(kMapTileSize, level_width - offset.x);
    int h = std::min(kMapTileSize, level_height - offset.y);
    if (offset.x + w < level_width) {
        offset.x += w;
        return true;
    }
    offset.y += h;
    offset.x = 0;
    return offset.y < level_height;
}

ColorQuadtree build_map_tile(SDL_Surface* surface, const MapTile& tile) {
    ColorQuadtree tree;
    SurfaceLock lock(surface);
    TerrainPixels px(surface);
    const uint32_t w = uint32_t(std::max(tile.width, 0)), h = uint32_t(std::max(tile.height, 0));
    tree.build(tile.depth(), [&](uint32_t x, uint32_t y) {
        return x < w && y < h ? px.get(tile.x + int(x), tile.y + int(y)) : ColorRGBA{};
    });
    return tree;
}

std::vector<unsigned char> encode_map_tile(SDL_Surface* surface, ivec2d offset,
                                           std::span<const ColorRGBA> palette) {
    MapTile tile;
    if (!surface || !map_tile_at(offset, surface->w, surface->h, tile)) return {};
    return encode_map_chunk(build_map_tile(surface, tile), palette);
}

bool apply_map_tile(SDL_Surface* surface, ivec2d offset, std::span<const unsigned char> bytes,
                    std::span<const ColorRGBA> palette, std::string* error) {
    auto reject = [&](const std::string& why) {
        log_message(LogLevel::Warning, "Map tile at " + std::to_string(offset.x) + ", " +
                                           std::to_string(offset.y) + " rejected: " + why,
                    "");
        if (error) *error = why;
        return false;
    };
    MapTile tile;
    if (!surface) return reject("no level surface");
    if (!map_tile_at(offset, surface->w, surface->h, tile)) return reject("the offset lies outside the level");
    if (bytes.empty()) return reject("the stream is empty");
    if ((bytes[0] >> 3) != tile.depth()) return reject("the stream's depth does not fit the tile");

    ColorQuadtree tree;
    try {
        decode_map_chunk(bytes, tree, palette);
    } catch (const std::exception& e) {
        return reject(e.what());
    }

    SurfaceLock lock(surface);
    TerrainPixels px(surface);
    const uint32_t w = uint32_t(tile.width), h = uint32_t(tile.height);
    tree.for_each_leaf([&](uint32_t lx, uint32_t ly, uint32_t side, const ColorRGBA& c) {
        if (lx >= w || ly >= h) return;
        const uint32_t mapped = px.map(c);
        const uint32_t x1 = std::min(lx + side, w), y1 = std::min(ly + side, h);
        for (uint32_t y = ly; y < y1; ++y)
            for (uint32_t x = lx; x < x1; ++x) px.put(tile.x + int(x), tile.y + int(y), mapped);
    });
    return true;
}

int report_equal_material_colors() {
    static const char* const kNames[kMaterialCount] = {
        "color_air",   "color_earth",       "color_rock",   "color_destructible", "color_indestructible",
        "color_water", "color_staticwater", "color_ladder", "color_explosive"};
    auto pairs = equal_material_colors();
    for (const auto& [a, b] : pairs) {
        const ColorRGBA& c = material_colors[static_cast<int>(a)];
        log_message(LogLevel::Warning,
                    std::string("Material colours ") + kNames[static_cast<int>(a)] + " and " +
                        kNames[static_cast<int>(b)] + " are equal (" + std::to_string(c.r) + ", " +
                        std::to_string(c.g) + ", " + std::to_string(c.b) + ", " + std::to_string(c.a) +
                        "); the terrain cannot tell them apart",
                    "");
    }
    return static_cast<int>(pairs.size());
}

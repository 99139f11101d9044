#include "game/terrain/map_coder.h"

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
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

// Writes the nodes of a tile stream in pre-order.
class TileWriter {
public:
    TileWriter(int depth, std::span<const ColorRGBA> palette)
        : palette_(palette), b_((check_palette(palette.size()), palette_code_bits(palette.size()))),
          out_(static_cast<unsigned>(depth), 5), last_colour_(palette[0]) {}
    void split() { out_.bit(1); }
    void leaf(const ColorRGBA& c) {
        // Neighbouring leaves mostly share a colour: remember the last lookup.
        if (!(c == last_colour_)) {
            last_colour_ = c;
            last_code_ = code_of(c, palette_);
        }
        out_.bits(last_code_, b_ + 1);  // the 0 of a leaf, then its code
    }
    std::vector<unsigned char> finish() { return out_.finish(); }

private:
    std::span<const ColorRGBA> palette_;
    int b_;
    BitWriter out_;
    ColorRGBA last_colour_;
    unsigned last_code_ = 0;
};

// A tile's cells level by level: level 0 holds the pixels (as terrain pixel values, which map
// one to one onto colours), each level above one cell per 2 x 2 block of the one below, holding
// the block's value when its cells all share it and kMixed otherwise. A cell that is not mixed
// is a leaf of the smallest tree.
class TilePyramid {
public:
    static constexpr uint64_t kMixed = uint64_t(1) << 32;

    TilePyramid(SDL_Surface* surface, const MapTile& tile) : depth_(tile.depth()) {
        std::size_t cells = 0;
        for (int level = depth_; level >= 0; --level) {
            start_[level] = cells;
            cells += (std::size_t(1) << (depth_ - level)) << (depth_ - level);
        }
        // Every cell is written below: no need to clear them first.
        cells_.reset(new uint64_t[cells]);
        const std::size_t side = std::size_t(1) << depth_;
        {
            SurfaceLock lock(surface);
            TerrainPixels px(surface);
            const int w = std::clamp(tile.width, 0, int(side)), h = std::clamp(tile.height, 0, int(side));
            const uint64_t outside = ColorRGBA{}.to_pixel();
            for (int y = 0; y < int(side); ++y) {
                uint64_t* row = &cells_[start_[0] + std::size_t(y) * side];
                const int inside = y < h ? w : 0;
                if (px.standard())
                    for (int x = 0; x < inside; ++x) row[x] = px.raw(tile.x + x, tile.y + y);
                else
                    for (int x = 0; x < inside; ++x) row[x] = px.get(tile.x + x, tile.y + y).to_pixel();
                std::fill(row + inside, row + side, outside);
            }
        }
        for (int level = 1; level <= depth_; ++level) {
            const std::size_t below = side >> (level - 1), here = below / 2;
            const uint64_t* l = &cells_[start_[level - 1]];
            uint64_t* out = &cells_[start_[level]];
            for (std::size_t y = 0; y < here; ++y, l += 2 * below)
                for (std::size_t x = 0; x < here; ++x) {
                    const uint64_t v = l[2 * x];
                    *out++ = v == l[2 * x + 1] && v == l[2 * x + below] && v == l[2 * x + below + 1] ? v : kMixed;
                }
        }
    }

    int depth() const { return depth_; }

    // Visits the nodes in pre-order: split(node) answers the first of the node's four children,
    // leaf(node, colour) takes a leaf; the root is node 0.
    template <typename Split, typename Leaf>
    void walk(Split&& split, Leaf&& leaf) const {
        visit(depth_, 0, 0, 0, split, leaf);
    }

private:
    template <typename Split, typename Leaf>
    void visit(int level, std::size_t x, std::size_t y, ColorQuadtree::Index node, Split& split, Leaf& leaf) const {
        const uint64_t v = cells_[start_[level] + (y << (depth_ - level)) + x];
        if (v != kMixed) {
            leaf(node, ColorRGBA::from_pixel(uint32_t(v)));
            return;
        }
        const ColorQuadtree::Index c = split(node);
        if (level == 1) {  // the children are pixels, always leaves
            const uint64_t* top = &cells_[start_[0] + (y << (depth_ + 1)) + 2 * x];
            const uint64_t* bottom = top + (std::size_t(1) << depth_);
            const uint64_t px[4] = {top[0], top[1], bottom[0], bottom[1]};
            for (int k = 0; k < 4; ++k) leaf(c + k, ColorRGBA::from_pixel(uint32_t(px[k])));
            return;
        }
        for (int k = 0; k < 4; ++k)
            visit(level - 1, 2 * x + std::size_t(k & 1), 2 * y + std::size_t(k >> 1), c + k, split, leaf);
    }

    int depth_;
    std::size_t start_[ColorQuadtree::kMaxDepth + 1] = {};  // of each level in cells_
    std::unique_ptr<uint64_t[]> cells_;
};

// Reads a tile stream node by node: split(p) answers the first child's index for the node of
// `p`, leaf(p, code) takes a leaf's code (n for the colour outside the palette).
struct PendingNode {
    ColorQuadtree::Index node;
    uint32_t x, y;
    int height;
};

template <typename Split, typename Leaf>
void read_tile_stream(std::span<const unsigned char> bytes, std::span<const ColorRGBA> palette, Split&& split,
                      Leaf&& leaf) {
    check_palette(palette.size());
    const std::size_t n = palette.size();
    const int b = palette_code_bits(n);
    if (bytes.empty()) throw std::out_of_range("map chunk stream is empty");

    BitReader in(bytes.data(), bytes.size(), 5);
    // Each split replaces one pending node by four, at most once per level.
    PendingNode stack[3 * ColorQuadtree::kMaxDepth + 1];
    std::size_t top = 0;
    stack[top++] = {0, 0, 0, bytes[0] >> 3};
    while (top > 0) {
        const PendingNode p = stack[--top];
        unsigned is_split;
        if (!in.bit(is_split)) throw std::out_of_range("map chunk stream ends before its last node");
        if (is_split) {
            if (p.height == 0) throw std::invalid_argument("map chunk stream splits a single pixel");
            const ColorQuadtree::Index c = split(p);
            const uint32_t half = uint32_t(1) << (p.height - 1);
            for (int k = 3; k >= 0; --k)
                stack[top++] = {c + k, p.x + uint32_t(k & 1) * half, p.y + uint32_t(k >> 1) * half, p.height - 1};
            continue;
        }
        unsigned code;
        if (!in.bits(b, code)) throw std::out_of_range("map chunk stream ends before its last node");
        if (code > n)
            throw std::invalid_argument("invalid length of initializer list: accessing element at position " +
                                        std::to_string(code) + " failed");
        leaf(p, code);
    }
}

}  // namespace

int palette_code_bits(std::size_t n) {
    int b = 0;
    while ((std::size_t(1) << b) < n + 1) ++b;
    return b;
}

std::vector<unsigned char> encode_map_chunk(const ColorQuadtree& tree, std::span<const ColorRGBA> palette) {
    TileWriter out(tree.depth(), palette);
    std::vector<ColorQuadtree::NodeRef> stack{tree.root()};
    while (!stack.empty()) {
        ColorQuadtree::NodeRef n = stack.back();
        stack.pop_back();
        if (n.is_leaf()) {
            out.leaf(n.value());
        } else {
            out.split();
            for (int k = 3; k >= 0; --k) stack.push_back(n.child(k));
        }
    }
    return out.finish();
}

void decode_map_chunk(std::span<const unsigned char> bytes, ColorQuadtree& tree,
                      std::span<const ColorRGBA> palette) {
    ColorQuadtree result;
    if (!bytes.empty()) result.set_depth(bytes[0] >> 3);
    read_tile_stream(
        bytes, palette, [&](const PendingNode& p) { return result.split(p.node); },
        [&](const PendingNode& p, unsigned code) {
            result.make_leaf(p.node, code < palette.size() ? palette[code] : palette.back());
        });
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
    TilePyramid cells(surface, tile);
    tree.set_depth(cells.depth());
    cells.walk([&](ColorQuadtree::Index node) { return tree.split(node); },
               [&](ColorQuadtree::Index node, const ColorRGBA& c) { tree.make_leaf(node, c); });
    return tree;
}

std::vector<unsigned char> encode_map_tile(SDL_Surface* surface, ivec2d offset,
                                           std::span<const ColorRGBA> palette) {
    MapTile tile;
    if (!surface || !map_tile_at(offset, surface->w, surface->h, tile)) return {};
    TilePyramid cells(surface, tile);
    TileWriter out(cells.depth(), palette);
    cells.walk(
        [&](ColorQuadtree::Index) {
            out.split();
            return ColorQuadtree::Index(0);
        },
        [&](ColorQuadtree::Index, const ColorRGBA& c) { out.leaf(c); });
    return out.finish();
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

    // The whole stream is read before a pixel changes: a rejected tile leaves the surface alone.
    struct Leaf {
        uint32_t x, y, side, code;
    };
    std::vector<Leaf> leaves;
    const uint32_t w = uint32_t(tile.width), h = uint32_t(tile.height);
    leaves.reserve(std::min(bytes.size() * 8 / std::size_t(palette_code_bits(palette.size()) + 1) + 1,
                            std::size_t(w) * h));
    try {
        read_tile_stream(
            bytes, palette, [](const PendingNode&) { return ColorQuadtree::Index(0); },
            [&](const PendingNode& p, unsigned code) {
                if (p.x < w && p.y < h) leaves.push_back({p.x, p.y, uint32_t(1) << p.height, code});
            });
    } catch (const std::exception& e) {
        return reject(e.what());
    }

    SurfaceLock lock(surface);
    TerrainPixels px(surface);
    std::vector<uint32_t> mapped(palette.size() + 1);
    for (std::size_t i = 0; i < mapped.size(); ++i) mapped[i] = px.map(palette[std::min(i, palette.size() - 1)]);
    if (surface->format->BytesPerPixel == 4) {
        unsigned char* const origin = static_cast<unsigned char*>(surface->pixels) +
                                      std::size_t(tile.y) * std::size_t(surface->pitch) + std::size_t(tile.x) * 4;
        const std::size_t pitch = std::size_t(surface->pitch);
        for (const Leaf& l : leaves) {
            const uint32_t value = mapped[l.code];
            unsigned char* row = origin + std::size_t(l.y) * pitch + std::size_t(l.x) * 4;
            if (l.side == 1) {  // most leaves of a busy tile
                std::memcpy(row, &value, 4);
                continue;
            }
            const uint32_t cols = std::min(l.x + l.side, w) - l.x, rows = std::min(l.y + l.side, h) - l.y;
            for (uint32_t y = 0; y < rows; ++y, row += pitch)
                for (uint32_t x = 0; x < cols; ++x) std::memcpy(row + 4 * x, &value, 4);
        }
    } else {
        for (const Leaf& l : leaves) {
            const uint32_t x1 = std::min(l.x + l.side, w), y1 = std::min(l.y + l.side, h);
            for (uint32_t y = l.y; y < y1; ++y)
                for (uint32_t x = l.x; x < x1; ++x) px.put(tile.x + int(x), tile.y + int(y), mapped[l.code]);
        }
    }
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

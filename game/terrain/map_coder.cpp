#include "game/terrain/map_coder.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <stdexcept>

#include "engine/core/logger.h"
#include "game/config/settings.h"
#include "game/base/terrain_pixels.h"

namespace {

// What is wrong with a palette of n colours; empty when nothing is.
std::string palette_problem(std::size_t n) {
    if (n == 0) return "invalid length of initializer_list: 0";
    if (n > 254) return "invalid length of initializer_list: 254 < " + std::to_string(n);
    return {};
}

// The writer's check: a palette is the program's own, so a bad one is the caller's fault.
void check_palette(std::size_t n) {
    if (std::string problem = palette_problem(n); !problem.empty()) throw std::invalid_argument(problem);
}

// Writes the nodes of a tile stream in pre-order; a leaf comes as its code (n for a colour
// outside the palette).
class TileWriter {
public:
    TileWriter(int depth, std::size_t palette_size)
        : b_((check_palette(palette_size), palette_code_bits(palette_size))), out_(static_cast<unsigned>(depth), 5) {}
    void split() { out_.bit(1); }
    void leaf(unsigned code) { out_.bits(code, b_ + 1); }  // the 0 of a leaf, then its code
    // A split node whose children are four leaves, in one or two writes.
    void split_into_leaves(const unsigned (&codes)[4]) {
        const int leaf_bits = b_ + 1;
        if (1 + 4 * leaf_bits <= 32) {
            const unsigned v = (((1u << leaf_bits | codes[0]) << leaf_bits | codes[1]) << leaf_bits | codes[2])
                                   << leaf_bits |
                               codes[3];
            out_.bits(v, 1 + 4 * leaf_bits);
            return;
        }
        out_.bits((1u << leaf_bits | codes[0]) << leaf_bits | codes[1], 1 + 2 * leaf_bits);
        out_.bits(codes[2] << leaf_bits | codes[3], 2 * leaf_bits);
    }
    std::vector<unsigned char> finish() { return out_.finish(); }

private:
    int b_;
    BitWriter out_;
};

// Numbers the colours of a tile: a palette colour gets its code (the first of equal entries),
// every other colour a number of its own from n up, so that equal numbers mean equal colours and
// min(number, n) is the leaf code.
class ColourNumbers {
public:
    explicit ColourNumbers(std::span<const ColorRGBA> palette) : n_(uint32_t(palette.size())) {
        slots_.assign(std::size_t(1) << bits_, 0);
        for (std::size_t i = 0; i < palette.size(); ++i) {
            const uint32_t key = palette[i].to_pixel();
            uint64_t& slot = find(key);
            if (slot == 0) insert(slot, key, uint32_t(i));
        }
        next_ = n_;
    }

    uint32_t number(uint32_t pixel) {
        uint64_t& slot = find(pixel);
        if (slot != 0) return uint32_t(slot >> 32) - 1;
        insert(slot, pixel, next_);
        return next_++;
    }

    // The colour of every number given so far (the palette's skipped duplicates stay empty).
    std::vector<uint32_t> colours() const {
        std::vector<uint32_t> out(next_);
        for (uint64_t slot : slots_)
            if (slot != 0) out[uint32_t(slot >> 32) - 1] = uint32_t(slot);
        return out;
    }

private:
    // A slot holds (number + 1) << 32 | colour, 0 when empty.
    uint64_t& find(uint32_t key) {
        const std::size_t mask = slots_.size() - 1;
        std::size_t i = (key * 0x9E3779B1u) >> (32 - bits_);
        while (slots_[i] != 0 && uint32_t(slots_[i]) != key) i = (i + 1) & mask;
        return slots_[i];
    }
    void insert(uint64_t& slot, uint32_t key, uint32_t number) {
        slot = uint64_t(number + 1) << 32 | key;
        if (++used_ * 2 <= slots_.size()) return;
        std::vector<uint64_t> old(std::size_t(1) << ++bits_, 0);
        old.swap(slots_);
        for (uint64_t s : old)
            if (s != 0) find(uint32_t(s)) = s;
    }

    uint32_t n_;
    uint32_t next_ = 0;
    int bits_ = 9;
    std::size_t used_ = 0;
    std::vector<uint64_t> slots_;
};

// A tile's cells level by level: level 0 holds the pixels by colour number, each level above one
// cell per 2 x 2 block of the one below, holding the block's number when its cells all share it
// and kMixed otherwise. A cell that is not mixed is a leaf of the smallest tree.
class TilePyramid {
public:
    static constexpr uint32_t kMixed = UINT32_MAX;

    TilePyramid(SDL_Surface* surface, const MapTile& tile, ColourNumbers& numbers) : depth_(tile.depth()) {
        std::size_t cells = 0;
        for (int level = depth_; level >= 0; --level) {
            start_[level] = cells;
            cells += (std::size_t(1) << (depth_ - level)) << (depth_ - level);
        }
        // Every cell is written below: no need to clear them first. The buffer is kept for the
        // thread's next tile.
        thread_local std::vector<uint32_t> scratch;
        if (scratch.size() < cells) scratch.resize(cells);
        cells_ = scratch.data();
        const std::size_t side = std::size_t(1) << depth_;
        {
            SurfaceLock lock(surface);
            TerrainPixels px(surface);
            const int w = std::clamp(tile.width, 0, int(side)), h = std::clamp(tile.height, 0, int(side));
            const uint32_t outside = numbers.number(ColorRGBA{}.to_pixel());
            // Runs of one colour are common: remember the last pixel's number.
            uint32_t last_pixel = ColorRGBA{}.to_pixel(), last_number = outside;
            auto number = [&](uint32_t pixel) {
                if (pixel != last_pixel) {
                    last_pixel = pixel;
                    last_number = numbers.number(pixel);
                }
                return last_number;
            };
            for (int y = 0; y < int(side); ++y) {
                uint32_t* row = &cells_[start_[0] + std::size_t(y) * side];
                const int inside = y < h ? w : 0;
                if (px.standard() && inside > 0) {
                    const unsigned char* in = static_cast<const unsigned char*>(surface->pixels) +
                                              std::size_t(tile.y + y) * std::size_t(surface->pitch) +
                                              std::size_t(tile.x) * 4;
#pragma GCC unroll 4
                    for (int x = 0; x < inside; ++x, in += 4) {
                        uint32_t pixel;
                        std::memcpy(&pixel, in, 4);
                        row[x] = number(pixel);
                    }
                } else {
                    for (int x = 0; x < inside; ++x) row[x] = number(px.get(tile.x + x, tile.y + y).to_pixel());
                }
                std::fill(row + inside, row + side, outside);
            }
        }
        for (int level = 1; level <= depth_; ++level) {
            const std::size_t below = side >> (level - 1), here = below / 2;
            const uint32_t* l = &cells_[start_[level - 1]];
            uint32_t* out = &cells_[start_[level]];
            for (std::size_t y = 0; y < here; ++y, l += 2 * below)
                for (std::size_t x = 0; x < here; ++x) {
                    const uint32_t v = l[2 * x];
                    *out++ = v == l[2 * x + 1] && v == l[2 * x + below] && v == l[2 * x + below + 1] ? v : kMixed;
                }
        }
    }

    int depth() const { return depth_; }

    // Visits the nodes in pre-order: split(node) answers the first of the node's four children,
    // leaf(node, number) takes a leaf, and pixels(node, numbers) a split node of four pixels
    // (its children are node + 0..3); the root is node 0.
    template <typename Split, typename Leaf, typename Pixels>
    void walk(Split&& split, Leaf&& leaf, Pixels&& pixels) const {
        visit_child(depth_, 0, 0, 0, cells_[start_[depth_]], split, leaf, pixels);
    }

private:
    // The four cells under cell (x, y) of a level above 0, in child order.
    void children(int level, std::size_t x, std::size_t y, uint32_t (&out)[4]) const {
        const std::size_t side = std::size_t(1) << (depth_ - level + 1);
        const uint32_t* top = &cells_[start_[level - 1] + 2 * y * side + 2 * x];
        out[0] = top[0];
        out[1] = top[1];
        out[2] = top[side];
        out[3] = top[side + 1];
    }

    // The node of cell (x, y), whose value is v.
    template <typename Split, typename Leaf, typename Pixels>
    [[gnu::always_inline]] void visit_child(int level, std::size_t x, std::size_t y, ColorQuadtree::Index node,
                                            uint32_t v, Split& split, Leaf& leaf, Pixels& pixels) const {
        if (v != kMixed) {
            leaf(node, v);
        } else if (level == 1) {
            uint32_t px[4];
            children(level, x, y, px);
            pixels(node, px);
        } else {
            visit_mixed(level, x, y, node, split, leaf, pixels);
        }
    }

    // A mixed cell above level 1: its children are handled here, and only mixed ones above
    // level 1 cost a call.
    template <typename Split, typename Leaf, typename Pixels>
    void visit_mixed(int level, std::size_t x, std::size_t y, ColorQuadtree::Index node, Split& split, Leaf& leaf,
                     Pixels& pixels) const {
        const ColorQuadtree::Index c = split(node);
        uint32_t v[4];
        children(level, x, y, v);
        for (int k = 0; k < 4; ++k)
            visit_child(level - 1, 2 * x + std::size_t(k & 1), 2 * y + std::size_t(k >> 1), c + k, v[k], split, leaf,
                        pixels);
    }

    int depth_;
    std::size_t start_[ColorQuadtree::kMaxDepth + 1] = {};  // of each level in cells_
    uint32_t* cells_;
};

// Reads a tile stream node by node: split(p) answers the first child's index for the node of
// `p`, leaf(p, code) takes a leaf's code (n for the colour outside the palette).
struct PendingNode {
    ColorQuadtree::Index node;
    uint32_t x, y;
    int height;
};

constexpr int kSplitNode = -1;
constexpr int kBrokenNode = -2;

[[gnu::cold]] int stream_ends(std::string& why) {
    why = "map chunk stream ends before its last node";
    return kBrokenNode;
}

[[gnu::cold]] int code_beyond_palette(unsigned code, std::string& why) {
    why = "invalid length of initializer list: accessing element at position " + std::to_string(code) + " failed";
    return kBrokenNode;
}

[[gnu::cold]] bool splits_a_pixel(std::string& why) {
    why = "map chunk stream splits a single pixel";
    return false;
}

// False, with the reason in `why`, for a bad palette, an empty stream, one that ends before its
// last node, a code beyond the palette or a split below a single pixel.
template <typename Split, typename Leaf, typename Pixels>
bool read_tile_stream(std::span<const unsigned char> bytes, std::span<const ColorRGBA> palette, Split&& split,
                      Leaf&& leaf, Pixels&& pixels, std::string& why) {
    why = palette_problem(palette.size());
    if (!why.empty()) return false;
    const std::size_t n = palette.size();
    const int b = palette_code_bits(n);
    if (bytes.empty()) {
        why = "map chunk stream is empty";
        return false;
    }

    BitReader in(bytes.data(), bytes.size(), 5);
    // The next node: a split, a broken node, else the leaf's code.
    auto read_node = [&]() __attribute__((always_inline))->int {
        unsigned code;
        if (in.left() >= std::size_t(b) + 1) [[likely]] {  // the flag and a code in one read
            const unsigned v = in.peek(b + 1);
            if (v >> b) {
                in.skip(1);
                return kSplitNode;
            }
            in.skip(b + 1);
            code = v;
        } else {
            unsigned is_split;
            if (!in.bit(is_split)) return stream_ends(why);
            if (is_split) return kSplitNode;
            if (!in.bits(b, code)) return stream_ends(why);
        }
        if (code > n) [[unlikely]]
            return code_beyond_palette(code, why);
        return int(code);
    };
    // Each split replaces one pending node by four, at most once per level.
    PendingNode stack[3 * ColorQuadtree::kMaxDepth + 1];
    std::size_t top = 0;
    stack[top++] = {0, 0, 0, bytes[0] >> 3};
    while (top > 0) {
        const PendingNode p = stack[--top];
        const int node = read_node();
        if (node >= 0) {
            leaf(p, unsigned(node));
            continue;
        }
        if (node == kBrokenNode) [[unlikely]]
            return false;
        if (p.height == 0) return splits_a_pixel(why);
        const ColorQuadtree::Index c = split(p);
        if (p.height == 1) {  // four pixels: read them here rather than through the stack
            // Mostly four valid leaves in one read: a leaf's flag and code, read as one number,
            // exceed n when the flag is set or the code lies beyond the palette.
            const int leaf_bits = b + 1;
            if (4 * leaf_bits <= 32 && in.left() >= std::size_t(4 * leaf_bits)) {
                const unsigned v = in.peek(4 * leaf_bits), mask = (1u << leaf_bits) - 1u;
                const unsigned codes[4] = {v >> 3 * leaf_bits, v >> 2 * leaf_bits & mask, v >> leaf_bits & mask,
                                           v & mask};
                if (std::max({codes[0], codes[1], codes[2], codes[3]}) <= n) {
                    in.skip(4 * leaf_bits);
                    pixels(p, c, codes);
                    continue;
                }
            }
            for (int k = 0; k < 4; ++k) {
                const int pixel = read_node();
                if (pixel == kBrokenNode) return false;
                if (pixel < 0) return splits_a_pixel(why);
                leaf({c + k, p.x + uint32_t(k & 1), p.y + uint32_t(k >> 1), 0}, unsigned(pixel));
            }
            continue;
        }
        const uint32_t half = uint32_t(1) << (p.height - 1);
        for (int k = 3; k >= 0; --k)
            stack[top++] = {c + k, p.x + uint32_t(k & 1) * half, p.y + uint32_t(k >> 1) * half, p.height - 1};
    }
    return true;
}

}  // namespace

int palette_code_bits(std::size_t n) {
    int b = 0;
    while ((std::size_t(1) << b) < n + 1) ++b;
    return b;
}

std::vector<unsigned char> encode_map_chunk(const ColorQuadtree& tree, std::span<const ColorRGBA> palette) {
    TileWriter out(tree.depth(), palette.size());
    ColourNumbers numbers(palette);
    const unsigned n = unsigned(palette.size());
    std::vector<ColorQuadtree::NodeRef> stack{tree.root()};
    while (!stack.empty()) {
        ColorQuadtree::NodeRef node = stack.back();
        stack.pop_back();
        if (node.is_leaf()) {
            out.leaf(std::min(numbers.number(node.value().to_pixel()), n));
        } else {
            out.split();
            for (int k = 3; k >= 0; --k) stack.push_back(node.child(k));
        }
    }
    return out.finish();
}

bool decode_map_chunk(std::span<const unsigned char> bytes, ColorQuadtree& tree, std::span<const ColorRGBA> palette,
                      std::string* error) {
    ColorQuadtree result;
    if (!bytes.empty()) result.set_depth(bytes[0] >> 3);
    auto colour = [&](unsigned code) { return code < palette.size() ? palette[code] : palette.back(); };
    std::string why;
    const bool whole = read_tile_stream(
        bytes, palette, [&](const PendingNode& p) { return result.split(p.node); },
        [&](const PendingNode& p, unsigned code) { result.make_leaf(p.node, colour(code)); },
        [&](const PendingNode&, ColorQuadtree::Index c, const unsigned(&codes)[4]) {
            for (int k = 0; k < 4; ++k) result.make_leaf(c + k, colour(codes[k]));
        },
        why);
    if (!whole) {
        if (error) *error = why;
        return false;
    }
    tree = std::move(result);
    return true;
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
    ColourNumbers numbers({});
    TilePyramid cells(surface, tile, numbers);
    const std::vector<uint32_t> colours = numbers.colours();
    auto colour = [&](uint32_t number) { return ColorRGBA::from_pixel(colours[number]); };
    tree.set_depth(cells.depth());
    cells.walk([&](ColorQuadtree::Index node) { return tree.split(node); },
               [&](ColorQuadtree::Index node, uint32_t number) { tree.make_leaf(node, colour(number)); },
               [&](ColorQuadtree::Index node, const uint32_t(&px)[4]) {
                   const ColorQuadtree::Index c = tree.split(node);
                   for (int k = 0; k < 4; ++k) tree.make_leaf(c + k, colour(px[k]));
               });
    return tree;
}

std::vector<unsigned char> encode_map_tile(SDL_Surface* surface, ivec2d offset, std::span<const ColorRGBA> palette) {
    MapTile tile;
    if (!surface || !map_tile_at(offset, surface->w, surface->h, tile)) return {};
    TileWriter out(tile.depth(), palette.size());
    ColourNumbers numbers(palette);
    TilePyramid cells(surface, tile, numbers);
    const uint32_t n = uint32_t(palette.size());
    cells.walk(
        [&](ColorQuadtree::Index) {
            out.split();
            return ColorQuadtree::Index(0);
        },
        [&](ColorQuadtree::Index, uint32_t number) { out.leaf(std::min(number, n)); },
        [&](ColorQuadtree::Index, const uint32_t(&px)[4]) {
            const unsigned codes[4] = {std::min(px[0], n), std::min(px[1], n), std::min(px[2], n), std::min(px[3], n)};
            out.split_into_leaves(codes);
        });
    return out.finish();
}

bool apply_map_tile(SDL_Surface* surface, ivec2d offset, std::span<const unsigned char> bytes,
                    std::span<const ColorRGBA> palette, std::string* error) {
    auto reject = [&](const std::string& why) {
        log_message(LogLevel::Warning,
                    "Map tile at " + std::to_string(offset.x) + ", " + std::to_string(offset.y) + " rejected: " + why,
                    "");
        if (error) *error = why;
        return false;
    };
    MapTile tile;
    if (!surface) return reject("no level surface");
    if (!map_tile_at(offset, surface->w, surface->h, tile)) return reject("the offset lies outside the level");
    if (bytes.empty()) return reject("the stream is empty");
    if ((bytes[0] >> 3) != tile.depth()) return reject("the stream's depth does not fit the tile");

    // The whole stream is read, into the tile's pixel values, before a pixel changes: a rejected
    // tile leaves the surface alone. The buffer is kept for the thread's next tile.
    const uint32_t w = uint32_t(tile.width), h = uint32_t(tile.height);
    thread_local std::vector<uint32_t> values;
    if (values.size() < std::size_t(w) * h) values.resize(std::size_t(w) * h);
    uint32_t* const tile_values = values.data();
    uint32_t mapped[256];  // by leaf code
    if (std::string problem = palette_problem(palette.size()); !problem.empty()) return reject(problem);
    const TerrainPixels format(surface);
    for (std::size_t i = 0; i <= palette.size(); ++i) mapped[i] = format.map(palette[std::min(i, palette.size() - 1)]);
    std::string why;
    const bool whole = read_tile_stream(
        bytes, palette, [](const PendingNode&) { return ColorQuadtree::Index(0); },
        [&](const PendingNode& p, unsigned code) {
            if (p.x >= w || p.y >= h) return;
            const uint32_t value = mapped[code];
            uint32_t* row = tile_values + std::size_t(p.y) * w + p.x;
            if (p.height == 0) {  // most leaves of a busy tile
                *row = value;
                return;
            }
            const uint32_t side = uint32_t(1) << p.height;
            const uint32_t cols = std::min(p.x + side, w) - p.x, rows = std::min(p.y + side, h) - p.y;
            const uint32_t run[4] = {value, value, value, value};
            if (cols == 2)  // small blocks: fixed-size stores rather than loops
                for (uint32_t y = 0; y < rows; ++y, row += w) std::memcpy(row, run, 8);
            else if (cols == 4)
                for (uint32_t y = 0; y < rows; ++y, row += w) std::memcpy(row, run, 16);
            else
                for (uint32_t y = 0; y < rows; ++y, row += w) std::fill_n(row, cols, value);
        },
        [&](const PendingNode& p, ColorQuadtree::Index, const unsigned(&four)[4]) {
            if (p.x + 1 < w && p.y + 1 < h) {
                uint32_t* top = tile_values + std::size_t(p.y) * w + p.x;
                top[0] = mapped[four[0]];
                top[1] = mapped[four[1]];
                top[w] = mapped[four[2]];
                top[w + 1] = mapped[four[3]];
                return;
            }
            for (int k = 0; k < 4; ++k) {  // on the tile's right or bottom edge
                const uint32_t x = p.x + uint32_t(k & 1), y = p.y + uint32_t(k >> 1);
                if (x < w && y < h) tile_values[std::size_t(y) * w + x] = mapped[four[k]];
            }
        },
        why);
    if (!whole) return reject(why);

    SurfaceLock lock(surface);
    TerrainPixels px(surface);
    const uint32_t* value = tile_values;
    if (surface->format->BytesPerPixel == 4) {
        unsigned char* row = static_cast<unsigned char*>(surface->pixels) +
                             std::size_t(tile.y) * std::size_t(surface->pitch) + std::size_t(tile.x) * 4;
        for (uint32_t y = 0; y < h; ++y, row += surface->pitch, value += w) std::memcpy(row, value, 4 * std::size_t(w));
    } else {
        for (uint32_t y = 0; y < h; ++y, value += w)
            for (uint32_t x = 0; x < w; ++x) px.put(tile.x + int(x), tile.y + int(y), value[x]);
    }
    return true;
}

int report_equal_material_colors() {
#define BRAWL_MATERIAL_SECTION(X, material, name) "color_" #name,
    static const char* const kNames[kMaterialCount] = {BRAWL_MATERIALS(BRAWL_MATERIAL_SECTION, )};
#undef BRAWL_MATERIAL_SECTION
    auto pairs = equal_material_colors();
    for (const auto& [a, b] : pairs) {
        const ColorRGBA& c = material_colors[static_cast<std::size_t>(a)];
        log_message(LogLevel::Warning,
                    std::string("Material colours ") + kNames[static_cast<int>(a)] + " and " +
                        kNames[static_cast<int>(b)] + " are equal (" + std::to_string(c.r) + ", " +
                        std::to_string(c.g) + ", " + std::to_string(c.b) + ", " + std::to_string(c.a) +
                        "); the terrain cannot tell them apart",
                    "");
    }
    return static_cast<int>(pairs.size());
}

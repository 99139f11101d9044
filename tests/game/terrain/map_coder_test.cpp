#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "engine/core/logger.h"
#include "game/terrain/map_coder.h"
#include "game/base/terrain_pixels.h"
#include "support/terrain_test_support.h"

using namespace terrain_test;

namespace {

// 64-bit LCG, upper 32 bits.
struct TestRng {
    uint64_t state;
    uint32_t operator()() {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return uint32_t(state >> 32);
    }
};

class MapCoder : public ::testing::Test {
protected:
    void SetUp() override { set_material_colors(); }
    std::span<const ColorRGBA> palette() const { return material_colors; }
};

ColorQuadtree tile_of(int w, int h, const std::function<ColorRGBA(int, int)>& colour) {
    ColorQuadtree t;
    t.set_size(w, h);
    for (int x = 0; x < w; ++x)
        for (int y = 0; y < h; ++y) t.set(uint32_t(x), uint32_t(y), colour(x, y));
    return t;
}

std::vector<unsigned char> bytes(std::initializer_list<int> v) {
    std::vector<unsigned char> out;
    for (int b : v) out.push_back(static_cast<unsigned char>(b));
    return out;
}

template <class F>
void expect_invalid(F f, const char* what) {
    try {
        f();
        FAIL() << "no throw, expected: " << what;
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), what);
    }
}

// Visits every tile of a w x h level, row by row.
void for_each_tile(int w, int h, const std::function<void(ivec2d, const MapTile&)>& visit) {
    ivec2d at;
    do {
        MapTile tile;
        ASSERT_TRUE(map_tile_at(at, w, h, tile)) << at.x << ", " << at.y;
        visit(at, tile);
    } while (next_map_tile(at, w, h));
}

// Routes the log to `out` for the life of the test.
struct CapturedLog {
    std::ostringstream out;
    CapturedLog() {
        log_reset_for_tests();
        log_set_output_for_tests(&out);
        log_enable();
    }
    ~CapturedLog() {
        log_reset_for_tests();
        log_set_output_for_tests(nullptr);
    }
};

}  // namespace

// Exact streams, and what they decode to: palette colours as they are, others as the last entry.
TEST_F(MapCoder, SmallTilesCodeToExactBytes) {
    const ColorRGBA two[] = {color_air, color_water}, three[] = {color_air, color_water, color_rock};
    const ColorRGBA dup[] = {color_air, color_water, color_water, color_rock};
    const ColorRGBA grid[2][2] = {{color_air, color_earth}, {color_rock, color_water}};
    auto all = [](ColorRGBA c) { return [c](int, int) { return c; }; };
    struct Case {
        const char* name;
        int side, depth;
        std::function<ColorRGBA(int, int)> colour;
        std::span<const ColorRGBA> palette;
        std::vector<unsigned char> expected;
    };
    const Case cases[] = {
        {"uniform air", 256, 8, all(color_air), palette(), bytes({0x40, 0x00})},
        // 01000, 0, code 01: exactly eight bits, then a zero byte.
        {"water, two-bit codes", 256, 8, all(color_water), two, bytes({0x41, 0x00})},
        {"water, three colours", 256, 8, all(color_water), three, bytes({0x41, 0x00})},
        {"one pixel of explosive", 1, 0, all(color_explosive), palette(), bytes({0x02, 0x00})},
        {"four materials", 2, 1, [&](int x, int y) { return grid[y][x]; }, palette(), bytes({0x0C, 0x01, 0x11, 0x40})},
        {"outside the palette", 1, 0, all({1, 2, 3, 4}), palette(), bytes({0x02, 0x40})},  // 00000 0 1001
        // Equal entries code as the first: 00000 0 code 001 (three bits for five symbols).
        {"equal palette colours", 1, 0, all(color_water), dup, bytes({0x00, 0x80})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ColorQuadtree t = tile_of(c.side, c.side, c.colour);
        EXPECT_EQ(t.depth(), c.depth);
        EXPECT_EQ(encode_map_chunk(t, c.palette), c.expected);
        ColorQuadtree back;
        decode_map_chunk(c.expected, back, c.palette);
        EXPECT_TRUE(back == tile_of(c.side, c.side, [&](int x, int y) {
                        const ColorRGBA sent = c.colour(x, y);
                        return std::ranges::find(c.palette, sent) != c.palette.end() ? sent : c.palette.back();
                    }));
    }
    for (auto [n, bits] : {std::pair{1, 1}, {3, 2}, {9, 4}, {254, 8}}) EXPECT_EQ(palette_code_bits(n), bits) << n;
}

TEST_F(MapCoder, RandomTilesRoundTrip) {
    TestRng rng{2024};
    for (int round = 0; round < 60; ++round) {
        const int w = 1 + int(rng() % 256), h = 1 + int(rng() % 256);
        const int blob = 1 + int(rng() % 32);
        std::vector<ColorRGBA> cells(std::size_t(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                cells[std::size_t(y) * w + x] = material_colors[((x / blob) * 7 + (y / blob) * 3 + rng() % 2) % 9];
        ColorQuadtree t = tile_of(w, h, [&](int x, int y) { return cells[std::size_t(y) * w + x]; });
        std::vector<unsigned char> b = encode_map_chunk(t, palette());
        ColorQuadtree back;
        decode_map_chunk(b, back, palette());
        ASSERT_TRUE(back == t) << round;
        for (int y = 0; y < h; y += 3)
            for (int x = 0; x < w; x += 3) ASSERT_EQ(back.get(x, y), cells[std::size_t(y) * w + x]);
        // A four-bit code: 10 + 16 bits per split node, never a whole number of bytes.
        std::size_t bits = 10 + 16 * ((t.node_count() - 1) / 4);
        EXPECT_EQ(b.size(), bits / 8 + 1) << round;
    }
}

TEST_F(MapCoder, PaletteSizeIsChecked) {
    ColorQuadtree t = tile_of(1, 1, [](int, int) { return color_air; });
    expect_invalid([&] { encode_map_chunk(t, std::span<const ColorRGBA>()); }, "invalid length of initializer_list: 0");
    std::vector<ColorRGBA> big(255);
    std::string why;
    EXPECT_FALSE(decode_map_chunk(bytes({0x00, 0x00}), t, big, &why));
    EXPECT_EQ(why, "invalid length of initializer_list: 254 < 255");
    big.resize(254);
    big[200] = color_water;
    ColorQuadtree back;
    decode_map_chunk(encode_map_chunk(tile_of(1, 1, [](int, int) { return color_water; }), big), back, big);
    EXPECT_EQ(back.get(0, 0), color_water);
}

TEST_F(MapCoder, HostileStreamsAreRefusedAndLeaveTheTree) {
    ColorQuadtree keep = tile_of(2, 2, [](int x, int) { return x ? color_rock : color_water; });
    ColorQuadtree t = keep;
    const char* const above_palette = "invalid length of initializer list: accessing element at position 15 failed";
    // The 2 x 2 streams (00001 1, then four five-bit leaves) hold their fault in the third pixel:
    // the pixels before it must not hide it.
    const char* const cut = "map chunk stream ends before its last node";
    const char* const split = "map chunk stream splits a single pixel";
    struct Case {
        std::vector<unsigned char> b;
        const char* why;
    };
    const Case cases[] = {
        {bytes({0x03, 0xC0}), above_palette},  // 00000 0 1111
        {bytes({}), "map chunk stream is empty"},
        {bytes({0x40}), cut},        // code cut off
        {bytes({0x44, 0x00}), cut},  // children missing
        {bytes({0x04, 0x00}), split},
        {bytes({0x0C, 0x00, 0x80, 0x00}), split},
        {bytes({0x0C, 0x00, 0x78, 0x00}), above_palette},
        {bytes({0x0C, 0x00, 0x00}), cut},
    };
    for (const Case& c : cases) {
        std::string why;
        EXPECT_FALSE(decode_map_chunk(c.b, t, palette(), &why));
        EXPECT_EQ(why, c.why);
        EXPECT_TRUE(t == keep) << testing::PrintToString(c.b);
    }
    decode_map_chunk(bytes({0x0C, 0x22, 0x1A, 0x40}), t, palette());  // codes 1, 2, 3 and 9
    EXPECT_TRUE(t == tile_of(2, 2, [](int x, int y) {
                    const ColorRGBA c[4] = {color_earth, color_rock, color_destructible, color_explosive};
                    return c[x + 2 * y];
                }));
    // Trailing bytes after the last node are ignored.
    ColorQuadtree back;
    decode_map_chunk(bytes({0x40, 0x00, 0xFF, 0xFF}), back, palette());
    EXPECT_EQ(back.get(17, 99), color_air);
}

TEST_F(MapCoder, TilesCoverTheLevelRowByRow) {
    auto widths_of = [](int w, int h) {
        std::vector<int> widths;
        for_each_tile(w, h, [&](ivec2d, const MapTile& tile) {
            widths.push_back(tile.width);
            if (tile.width == 44 && tile.height == 256) {
                EXPECT_EQ(tile.depth(), 8);  // the narrow tile still has depth 8
            }
        });
        return widths;
    };
    EXPECT_EQ(widths_of(2048, 1024), std::vector<int>(32, 256));
    EXPECT_EQ(widths_of(300, 300), (std::vector<int>{256, 44, 256, 44}));

    MapTile tile;
    for (ivec2d bad : {ivec2d{-256, 0}, {512, 0}, {0, 300}, {100, 0}}) EXPECT_FALSE(map_tile_at(bad, 300, 300, tile));
}

TEST_F(MapCoder, NarrowTileCodesItsOutsideAsTransparentBlack) {
    SurfacePtr level = make_surface(300, 20, color_rock);
    ColorQuadtree t = build_map_tile(level.get(), {256, 0, 44, 20});
    EXPECT_EQ(t.depth(), 6);  // 44 x 20 fits in 64
    EXPECT_EQ(t.get(43, 19), color_rock);
    EXPECT_EQ(t.get(44, 0), ColorRGBA{});
    EXPECT_EQ(t.get(0, 20), ColorRGBA{});
    SurfacePtr wide = make_surface(300, 300, color_rock);
    ColorQuadtree u = build_map_tile(wide.get(), {256, 0, 44, 256});
    EXPECT_EQ(u.depth(), 8);
    EXPECT_EQ(u.get(100, 5), ColorRGBA{});
}

// Tiles coded from the surface match their trees built cell by cell and arrive as palette
// colours (the last for one outside it), whatever the surface layout and palette.
TEST_F(MapCoder, SurfaceTilesMatchTheirTreesAndArrive) {
    std::vector<ColorRGBA> wide(200);  // eight-bit codes
    for (std::size_t i = 0; i < wide.size(); ++i) wide[i] = {uint8_t(i), uint8_t(3 * i), 90, 255};
    struct Case {
        const char* name;
        int bits_per_pixel;
        std::span<const ColorRGBA> palette;
        int outside_per_mille;  // pixels of a colour of their own, outside the palette
        int blob;               // side of the blocks of one colour
    };
    const Case cases[] = {
        {"materials, blocks", 32, palette(), 5, 4},
        {"materials, every pixel its own colour", 32, palette(), 1000, 1},
        {"wide palette, noise", 32, wide, 20, 1},
        {"wide palette, 24-bit surface", 24, wide, 20, 2},
        {"materials, 24-bit surface", 24, palette(), 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestRng rng{uint64_t(c.blob * 1000 + c.outside_per_mille)};
        auto surface = [&](ColorRGBA fill) {
            return SurfacePtr(c.bits_per_pixel == 32
                                  ? make_surface(301, 270, fill).release()
                                  : SDL_CreateRGBSurface(SDL_SWSURFACE, 301, 270, 24, 0xFF0000u, 0xFF00u, 0xFFu, 0));
        };
        SurfacePtr server = surface({});  // its edge tiles are 45 pixels wide
        for (int y = 0; y < 270; ++y)
            for (int x = 0; x < 301; ++x) {
                TestRng cell{uint64_t((x / c.blob) * 7919 + (y / c.blob) * 131 + 1)};
                ColorRGBA colour = c.palette[cell() % c.palette.size()];
                if (int(rng() % 1000) < c.outside_per_mille)
                    colour = {uint8_t(x), uint8_t(y), uint8_t(1 + (x >> 8) + 2 * (y >> 8)), 1};
                if (c.bits_per_pixel == 24) colour.a = 255;
                TerrainPixels(server.get()).set(x, y, colour);
            }
        SurfacePtr client = surface(color_destructible);
        for_each_tile(301, 270, [&](ivec2d at, const MapTile& tile) {
            const ColorQuadtree tree = tile_of(tile.width, tile.height, [&](int x, int y) {
                return TerrainPixels(server.get()).get(tile.x + x, tile.y + y);
            });
            const std::vector<unsigned char> b = encode_map_tile(server.get(), at, c.palette);
            ASSERT_EQ(b, encode_map_chunk(tree, c.palette)) << at.x << ", " << at.y;
            ASSERT_TRUE(apply_map_tile(client.get(), at, b, c.palette));
        });
        for (int y = 0; y < 270; ++y)
            for (int x = 0; x < 301; ++x) {
                const ColorRGBA sent = TerrainPixels(server.get()).get(x, y);
                const bool known = std::find(c.palette.begin(), c.palette.end(), sent) != c.palette.end();
                ASSERT_EQ(TerrainPixels(client.get()).get(x, y), known ? sent : c.palette.back()) << x << ", " << y;
            }
    }
}

TEST_F(MapCoder, RejectedTilesLeaveTheLevelUnchanged) {
    CapturedLog log;
    SurfacePtr client = make_surface(300, 300, color_destructible);
    const uint64_t before = surface_hash(client.get());
    std::vector<unsigned char> air8 = bytes({0x40, 0x00});
    std::string why;
    const struct {
        ivec2d at;
        std::vector<unsigned char> b;
    } refused[] = {
        {{512, 0}, air8},
        {{-256, 0}, air8},
        {{10, 0}, air8},                // outside, no tile corner
        {{0, 0}, bytes({0xF8, 0x00})},  // depth 31
        {{0, 0}, bytes({0x44})},        // cut off
        {{0, 0}, {}},
        {{0, 0}, bytes({0x43, 0xC0})},  // bad code, last for `why`
    };
    for (const auto& r : refused) EXPECT_FALSE(apply_map_tile(client.get(), r.at, r.b, palette(), &why));
    EXPECT_NE(why.find("accessing element at position 15"), std::string::npos);
    EXPECT_FALSE(apply_map_tile(nullptr, {0, 0}, air8, palette(), &why));
    EXPECT_EQ(surface_hash(client.get()), before);

    // Random streams at a valid offset: each is refused and changes nothing, or is drawn into
    // the 44 x 44 tile alone, in palette colours.
    auto tile_pixels = [&] {
        std::vector<ColorRGBA> v;
        for (int y = 256; y < 300; ++y)
            for (int x = 256; x < 300; ++x) v.push_back(pixel(client.get(), x, y));
        return v;
    };
    auto in_palette = [&](ColorRGBA c) { return std::find(palette().begin(), palette().end(), c) != palette().end(); };
    TestRng rng{8};
    int applied = 0;
    for (int i = 0; i < 3000; ++i) {
        std::vector<unsigned char> junk(1 + rng() % 64);
        for (auto& c : junk) c = static_cast<unsigned char>(rng());
        if (i % 2) junk[0] = static_cast<unsigned char>((junk[0] & 7) | (6 << 3));  // the 44 x 44 tile's depth
        const std::vector<ColorRGBA> was = tile_pixels();
        const bool ok = apply_map_tile(client.get(), {256, 256}, junk, palette());
        applied += ok;
        if (ok) ASSERT_TRUE(std::ranges::all_of(tile_pixels(), in_palette)) << i;
        else ASSERT_EQ(tile_pixels(), was) << i;
    }
    EXPECT_GT(applied, 0);
    for (int y = 256; y < 300; ++y)
        for (int x = 256; x < 300; ++x) put(client.get(), x, y, color_destructible);
    EXPECT_EQ(surface_hash(client.get()), before);  // nothing outside the tile was touched
    EXPECT_NE(log.out.str().find("WARNING: Map tile at 0, 0 rejected: "), std::string::npos);
}

TEST_F(MapCoder, EqualMaterialColoursAreReported) {
    CapturedLog log;
    log.out.str("");  // past the enable notice
    EXPECT_EQ(report_equal_material_colors(), 0);
    EXPECT_EQ(log.out.str(), "");

    material_colors[static_cast<int>(Material::Ladder)] = color_water;
    material_colors[static_cast<int>(Material::Earth)] = color_air;
    EXPECT_EQ(report_equal_material_colors(), 2);
    const std::string text = log.out.str();
    EXPECT_NE(text.find("WARNING: Material colours color_air and color_earth are equal (0, 0, 0, 0)"),
              std::string::npos);
    EXPECT_NE(text.find("color_water and color_ladder are equal (40, 110, 210, 255)"), std::string::npos);
    set_material_colors();
}

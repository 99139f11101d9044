#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "engine/core/random.h"
#include "engine/core/saturate.h"
#include "game/terrain/terrain_carver.h"
#include "support/terrain_test_support.h"

using namespace terrain_test;

namespace {

class Carving : public ::testing::Test {
protected:
    void SetUp() override { set_material_colors(); }
};

// Pixels of a blast on a w x h surface: within the box from the clamped, truncated bounds
// (the upper bound exclusive), at most r from the centre.
long disc_pixels(float cx, float cy, float r, int w, int h) {
    auto bound = [](float v, int size) { return v <= 0 ? 0 : v > size ? size : int(v); };
    long n = 0;
    for (int x = bound(cx - r, w); x < bound(cx + r, w); ++x)
        for (int y = bound(cy - r, h); y < bound(cy + r, h); ++y) {
            double dx = x - double(cx), dy = y - double(cy);
            if (dy * dy + dx * dx <= double(r) * r) ++n;
        }
    return n;
}

struct HookLog {
    std::vector<std::string> order;
    long pixels = 0;
    void on_pixel(int, int) { ++pixels; }
    void on_disc(const Explosion& e, const PixelRect& box) {
        order.push_back(
            "disc " + std::to_string(saturate_cast<int>(e.x)) + "," + std::to_string(saturate_cast<int>(e.y)) + " r" +
            std::to_string(saturate_cast<int>(std::round(e.radius * 10))) + " box " + std::to_string(box.width));
    }
    void on_chain(const ChainReaction& c) {
        order.push_back("chain " + std::to_string(c.x) + "," + std::to_string(c.y) + " n" + std::to_string(c.pixels));
    }
    ExplosionHooks hooks() {
        ExplosionHooks h;
        h.pixel_carved = Callback<void, int, int>(this, &HookLog::on_pixel);
        h.disc_carved = Callback<void, const Explosion&, const PixelRect&>(this, &HookLog::on_disc);
        h.chain_finished = Callback<void, const ChainReaction&>(this, &HookLog::on_chain);
        return h;
    }
};

}  // namespace

TEST_F(Carving, BlastOverEarthLeavesADiscOfAir) {
    SurfacePtr s = make_surface(100, 80, color_destructible);
    ExplosionSummary sum = explode_terrain(s.get(), {50.0f, 40.0f, 10.0f}, true);
    long air = count(s.get(), color_air);
    EXPECT_EQ(air, disc_pixels(50, 40, 10, 100, 80));
    EXPECT_GT(air, 300);  // about pi * 100
    EXPECT_LT(air, 330);
    EXPECT_EQ(pixel(s.get(), 50, 40), color_air);
    EXPECT_EQ(pixel(s.get(), 50, 30), color_air);           // on the rim, inside the box
    EXPECT_EQ(pixel(s.get(), 50, 50), color_destructible);  // the box ends before x + r
    EXPECT_EQ(pixel(s.get(), 58, 48), color_destructible);  // a corner of the box
    EXPECT_EQ(sum.changed, (PixelRect{40, 30, 20, 20}));
    EXPECT_EQ(sum.discs, 1);
    EXPECT_TRUE(sum.chains.empty());
}

TEST_F(Carving, RockIsWeakenedByTheFirstBlastAndClearedByTheSecond) {
    SurfacePtr s = make_surface(64, 64, color_indestructible);
    explode_terrain(s.get(), {32.0f, 32.0f, 10.0f}, true);
    long disc = disc_pixels(32, 32, 10, 64, 64);
    EXPECT_EQ(count(s.get(), color_destructible), disc);
    EXPECT_EQ(count(s.get(), color_air), 0);
    explode_terrain(s.get(), {32.0f, 32.0f, 10.0f}, true);
    EXPECT_EQ(count(s.get(), color_air), disc);
    EXPECT_EQ(count(s.get(), color_indestructible), 64 * 64 - disc);
}

TEST_F(Carving, OtherMaterialsAreLeftAlone) {
    for (ColorRGBA c : {color_water, color_staticwater, color_ladder, ColorRGBA{1, 2, 3, 4}}) {
        SurfacePtr s = make_surface(40, 40, c);
        explode_terrain(s.get(), {20.0f, 20.0f, 15.0f}, true);
        EXPECT_EQ(count(s.get(), c), 40 * 40);
    }
}

TEST_F(Carving, DegenerateBlastsChangeNothing) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const Explosion blasts[] = {{20, 20, 0},   {20, 20, -5},  {-50, 20, 10}, {20, 500, 10},        {nan, 20, 10},
                                {20, 20, nan}, {20, 20, inf}, {-inf, 0, 5},  {1e30f, 1e30f, 1e30f}};
    for (const Explosion& e : blasts) {
        SurfacePtr s = make_surface(40, 40, color_destructible);
        HookLog log;
        ExplosionHooks hooks = log.hooks();
        ExplosionSummary sum = explode_terrain(s.get(), e, true, &hooks);
        EXPECT_EQ(count(s.get(), color_destructible), 40 * 40) << e.x << " " << e.y << " " << e.radius;
        EXPECT_EQ(sum.discs, log.order.size());
        EXPECT_EQ(log.pixels, 0);
    }
    EXPECT_EQ(explode_terrain(nullptr, {1, 1, 1}, true).discs, 0);
}

TEST_F(Carving, BlastAtTheEdgeIsClampedIntoTheSurface) {
    SurfacePtr s = make_surface(30, 20, color_destructible);
    ExplosionSummary sum = explode_terrain(s.get(), {0.0f, 19.5f, 6.0f}, true);
    EXPECT_EQ(sum.changed, (PixelRect{0, 13, 6, 7}));
    EXPECT_EQ(count(s.get(), color_air), disc_pixels(0.0f, 19.5f, 6.0f, 30, 20));
}

TEST_F(Carving, ExplosiveChainFloodsFourNeighboursAndExplodesAgain) {
    SurfacePtr s = make_surface(200, 100, color_indestructible);
    // A 30 x 10 block of explosive pixels (n = 300, radius 30) reached by a small blast.
    for (int y = 40; y < 50; ++y)
        for (int x = 100; x < 130; ++x) put(s.get(), x, y, color_explosive);
    // A diagonal neighbour does not chain.
    put(s.get(), 130, 50, color_explosive);
    HookLog log;
    ExplosionHooks hooks = log.hooks();
    ExplosionSummary sum = explode_terrain(s.get(), {98.0f, 45.0f, 3.5f}, true, &hooks);

    ASSERT_EQ(sum.chains.size(), 1u);
    EXPECT_EQ(sum.chains[0].x, 100);  // first explosive pixel of the scan (column by column)
    EXPECT_EQ(sum.chains[0].y, 43);
    EXPECT_EQ(sum.chains[0].pixels, 300);
    EXPECT_FLOAT_EQ(sum.chains[0].radius(), 30.0f);
    EXPECT_EQ(sum.discs, 2);
    // The nested disc around (100, 43) weakened the rock, and the diagonal pixel was out of its
    // reach (31.4 away), so it stayed.
    EXPECT_EQ(pixel(s.get(), 130, 50), color_explosive);
    EXPECT_EQ(pixel(s.get(), 100, 70), color_destructible);
    EXPECT_EQ(pixel(s.get(), 100, 43), color_air);
    for (int x = 100; x < 130; ++x) EXPECT_EQ(pixel(s.get(), x, 40), color_air);

    // The nested disc ends first, then the chain's epilogue, then the outer disc.
    std::vector<std::string> want = {"disc 100,43 r300 box 60", "chain 100,43 n300", "disc 98,45 r35 box 7"};
    EXPECT_EQ(log.order, want);
    // Every visited pixel of both discs reported once.
    EXPECT_EQ(log.pixels, disc_pixels(98, 45, 3.5f, 200, 100) + disc_pixels(100, 43, 30, 200, 100));
}

TEST_F(Carving, ClientFloodsTheChainButDoesNotExplodeAgain) {
    SurfacePtr s = make_surface(200, 100, color_indestructible);
    for (int x = 100; x < 130; ++x) put(s.get(), x, 45, color_explosive);
    HookLog log;
    ExplosionHooks hooks = log.hooks();
    ExplosionSummary sum = explode_terrain(s.get(), {99.0f, 45.0f, 2.5f}, false, &hooks);
    ASSERT_EQ(sum.chains.size(), 1u);
    EXPECT_EQ(sum.chains[0].pixels, 30);
    EXPECT_EQ(sum.changed, (PixelRect{96, 42, 34, 5}));  // the flood reaches past the disc
    EXPECT_EQ(sum.discs, 1);
    EXPECT_EQ(count(s.get(), color_explosive), 0);
    EXPECT_EQ(pixel(s.get(), 110, 60), color_indestructible);
    EXPECT_EQ(log.order, std::vector<std::string>{"disc 99,45 r25 box 5"});
}

TEST_F(Carving, ChainAlongTheRightEdgeStaysInItsColumn) {
    // The last column, last row included, beside explosives at the start of every next row: a
    // neighbour bound off by one would carry the chain into them, or past the buffer's end.
    SurfacePtr s = make_surface(20, 10, color_indestructible);
    for (int y = 0; y < 10; ++y) put(s.get(), 19, y, color_explosive);
    for (int y = 1; y < 10; ++y) put(s.get(), 0, y, color_explosive);
    ExplosionSummary sum = explode_terrain(s.get(), {19.0f, 9.0f, 1.5f}, false);
    ASSERT_EQ(sum.chains.size(), 1u);
    EXPECT_EQ(sum.chains[0].pixels, 10);
    EXPECT_EQ(count(s.get(), color_explosive), 9);
}

TEST_F(Carving, SingleExplosivePixelMakesARadiusOfOneTenthThatCarvesNothing) {
    SurfacePtr s = make_surface(20, 20, color_indestructible);
    put(s.get(), 10, 10, color_explosive);
    put(s.get(), 11, 11, color_explosive);  // diagonal: its own chain
    ExplosionSummary sum = explode_terrain(s.get(), {11.0f, 11.0f, 1.5f}, true);
    ASSERT_EQ(sum.chains.size(), 2u);
    EXPECT_EQ(sum.chains[0].pixels, 1);
    EXPECT_EQ(sum.chains[1].pixels, 1);
    EXPECT_FLOAT_EQ(sum.chains[0].radius(), 0.1f);
    EXPECT_EQ(sum.discs, 3);
    EXPECT_EQ(count(s.get(), color_air), 2);
    EXPECT_EQ(count(s.get(), color_destructible), 2);  // (10, 11) and (11, 10)
}

TEST_F(Carving, NestedChainsReachFurtherExplosivesWithoutRecursion) {
    // Upright bars of 20 explosive pixels (radius 2), one every second column, so that no two
    // touch: the explosion of each chain, around the bar's top pixel, reaches the top of the
    // next bar two columns to the left, two thousand explosions deep.
    const int bars = 2040, x0 = 2 * bars + 4, top = 1;
    SurfacePtr s = make_surface(x0 + 4, 24, color_indestructible);
    for (int b = 0; b < bars; ++b)
        for (int i = 0; i < 20; ++i) put(s.get(), x0 - 2 * b, top + i, color_explosive);
    ExplosionSummary sum = explode_terrain(s.get(), {float(x0), float(top), 1.0f}, true);
    ASSERT_EQ(int(sum.chains.size()), bars);
    EXPECT_EQ(sum.chains.back().x, x0 - 2 * (bars - 1));
    EXPECT_EQ(sum.discs, bars + 1);
    EXPECT_EQ(count(s.get(), color_explosive), 0);
    for (const ChainReaction& c : sum.chains) EXPECT_EQ(c.pixels, 20);
}

TEST_F(Carving, HugeExplosiveAreaFloodsWithAQueue) {
    SurfacePtr s = make_surface(2048, 1024, color_explosive);
    ExplosionSummary sum = explode_terrain(s.get(), {1000.0f, 500.0f, 2.0f}, false);
    ASSERT_EQ(sum.chains.size(), 1u);
    EXPECT_EQ(sum.chains[0].pixels, 2048 * 1024);
    EXPECT_EQ(count(s.get(), color_air), 2048 * 1024);
}

TEST_F(Carving, DestructibleColourTest) {
    EXPECT_TRUE(is_destructible_colour(color_destructible));
    EXPECT_TRUE(is_destructible_colour(color_explosive));
    EXPECT_FALSE(is_destructible_colour(color_indestructible));
    EXPECT_FALSE(is_destructible_colour(color_air));
}

TEST(ChainEffects, LayoutFollowsRadiusAndGuardsZero) {
    // n = 1000: radius 100 against an effect radius 48: ceil(100 / 48) = 3, so 9 effects
    // scattered over floor(100 - 48) = 52.
    ChainEffectLayout l = chain_effect_layout(1000, 48.0f);
    EXPECT_EQ(l.count, 9);
    EXPECT_EQ(l.spread, 52);
    // One pixel: radius 0.1, one effect, spread 1.
    l = chain_effect_layout(1, 48.0f);
    EXPECT_EQ(l.count, 1);
    EXPECT_EQ(l.spread, 1);
    // Shorter than 10 pixels with a smaller effect radius: the spread would be floor(0.5 - 0.1)
    // = 0, a modulo by zero; it is at least 1.
    l = chain_effect_layout(5, 0.1f);
    EXPECT_EQ(l.spread, 1);
    EXPECT_EQ(l.count, 25);
    // No configured radius: one effect instead of a division by zero.
    for (float r : {0.0f, -3.0f, std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        l = chain_effect_layout(500, r);
        EXPECT_EQ(l.count, 1) << r;
        EXPECT_GE(l.spread, 1) << r;
    }
    // A vast chain with a tiny radius is capped.
    EXPECT_EQ(chain_effect_layout(16 * 1024 * 1024, 1.0f).count, kMaxChainEffects);
}

TEST(ChainEffects, PositionDrawsYThenX) {
    ChainReaction chain{100, 200, 1000};
    random_seed(5);
    fvec2d p = draw_chain_effect_position(chain, 52);
    random_seed(5);
    int ry = random_draw(), rx = random_draw();
    EXPECT_EQ(p.y, float(200 + ry % 104 - 52));
    EXPECT_EQ(p.x, float(100 + rx % 104 - 52));
    random_seed(5);
    p = draw_chain_effect_position(chain, 0);  // spread 0 is taken as 1
    EXPECT_EQ(p.y, float(200 + ry % 2 - 1));
    EXPECT_EQ(p.x, float(100 + rx % 2 - 1));
}

TEST(ExplosionRecord, TwelveLittleEndianBytes) {
    ByteBuffer b;
    write_record(b, Explosion{1.0f, -2.5f, 100.0f});
    EXPECT_EQ(b.data()[3], 0x3F);  // 1.0f = 0x3F800000, little-endian
    Explosion e;
    ASSERT_TRUE(read_record(b, e));
    EXPECT_EQ(e.y, -2.5f);
    EXPECT_EQ(e.radius, 100.0f);
}

TEST_F(Carving, DiscsCarveTheSameWhateverTheHooks) {
    // A per-pixel hook makes the carver visit the disc column by column; without one, a disc
    // with no explosive pixel is carved row by row. Both must leave the same pixels, at rims,
    // edges and half-pixel centres alike.
    random_seed(11);
    SurfacePtr ground = make_surface(97, 61, color_air);
    const ColorRGBA mix[] = {color_destructible, color_indestructible, color_air, color_water};
    for (int y = 0; y < 61; ++y)
        for (int x = 0; x < 97; ++x) put(ground.get(), x, y, mix[random_below(4)]);
    const Explosion blasts[] = {{48, 30, 20},     {48.5f, 30.5f, 20},      {0, 0, 15},          {96.9f, 60.9f, 33.3f},
                                {-10, 30, 12.5f}, {50, 70, 10.01f},        {40.2f, 7.7f, 0.5f}, {30, 30, 1},
                                {48, 30, 1000},   {12.25f, 50.75f, 7.071f}};
    int changed = 0;
    for (const Explosion& e : blasts) {
        SurfacePtr rows = make_surface(97, 61), columns = make_surface(97, 61);
        for (SDL_Surface* s : {rows.get(), columns.get()})
            std::memcpy(s->pixels, ground->pixels, std::size_t(ground->h) * ground->pitch);
        HookLog log;
        ExplosionHooks hooks = log.hooks();
        ExplosionSummary a = explode_terrain(rows.get(), e, true);
        ExplosionSummary b = explode_terrain(columns.get(), e, true, &hooks);
        EXPECT_EQ(surface_hash(rows.get()), surface_hash(columns.get())) << e.x << " " << e.y << " " << e.radius;
        EXPECT_EQ(a.changed, b.changed);
        changed += surface_hash(rows.get()) != surface_hash(ground.get());
    }
    EXPECT_GE(changed, 8);
}

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <limits>

#include "engine/core/random.h"
#include "game/levelgen/level_generator.h"
#include "support/level_test_support.h"
#include "support/terrain_test_support.h"
#include "support/test_support.h"

using namespace terrain_test;

namespace {

struct Call {
    int x, y, w, h, r;
    bool operator==(const Call&) const = default;
};

struct Recorder {
    std::vector<Call> calls;
    bool place(int x, int y, int w, int h, int r) { return calls.push_back({x, y, w, h, r}), true; }
};

struct Recorders {
    Recorder item, weapon, crate, portal;
    PlacementCallback cb_item{&item, &Recorder::place}, cb_weapon{&weapon, &Recorder::place},
        cb_crate{&crate, &Recorder::place}, cb_portal{&portal, &Recorder::place};
    GeneratorCallbacks callbacks() const { return GeneratorCallbacks(&cb_item, &cb_weapon, &cb_crate, &cb_portal); }
};

LevelParameters params(uint32_t gen, uint32_t w = 512, uint32_t h = 256, uint32_t seed = 4242) {
    LevelParameters p;
    p.gen = gen, p.seed = seed, p.size_x = w, p.size_y = h;
    return p;
}

SurfacePtr generate(const LevelParameters& p, const GeneratorCallbacks* cb = nullptr) {
    return SurfacePtr(generate_level_surface(nullptr, false, cb, p));
}

// Runs each test in a scratch folder as working directory, so that the template folders are
// exactly what the test put there.
class Generator : public ::testing::Test {
protected:
    void SetUp() override {
        set_material_colors();
        previous_ = std::filesystem::current_path();
        if (with_templates()) write_template_folders(scratch_.path());
        std::filesystem::current_path(scratch_.path());
        reset_level_templates_for_tests();
    }
    void TearDown() override { std::filesystem::current_path(previous_), reset_level_templates_for_tests(); }
    virtual bool with_templates() const { return false; }

    test_support::ScratchDir scratch_;
    std::filesystem::path previous_;
};

class GeneratorWithTemplates : public Generator {
    bool with_templates() const override { return true; }
};

bool is_open(ColorRGBA c) { return c == color_air || c == color_water; }
using Cell = std::tuple<int, int, GeneratorCell>;  // x, y and what is there

}  // namespace

TEST_F(Generator, SizesTakeTheDefaultsAndTheCap) {
    for (auto [asked, w, h] : {std::tuple{0u, 2048, 1024}, std::tuple{5000u, 4096, 4096}}) {
        SurfacePtr s = generate(params(5, asked, asked));
        ASSERT_TRUE(s);
        EXPECT_EQ(s->w, w);
        EXPECT_EQ(s->h, h);
        EXPECT_EQ(s->format->BitsPerPixel, 32);
    }
}

TEST_F(Generator, SurfaceOfTheRequestedSizeIsReusedAndFullyOverwritten) {
    const ColorRGBA junk{1, 2, 3, 4};
    for (uint32_t gen = 0; gen < 6; ++gen) {
        SurfacePtr mine = make_surface(320, 200, junk);
        SDL_Surface* got = generate_level_surface(mine.get(), true, nullptr, params(gen, 320, 200));
        EXPECT_EQ(got, mine.get()) << gen;
        EXPECT_EQ(count(got, junk), 0) << gen;
    }
}

TEST_F(Generator, SurfaceOfAnotherSizeIsReplacedAndFreedOnlyOnRequest) {
    SurfacePtr kept = make_surface(64, 64, color_water);
    SurfacePtr fresh(generate_level_surface(kept.get(), false, nullptr, params(5, 128, 96)));
    ASSERT_TRUE(fresh);
    EXPECT_NE(fresh.get(), kept.get());
    EXPECT_EQ(fresh->w, 128);
    EXPECT_EQ(count(kept.get(), color_water), 64 * 64);  // untouched and still ours
    SDL_Surface* doomed = make_surface(64, 64).release();
    SurfacePtr other(generate_level_surface(doomed, true, nullptr, params(5, 128, 96)));
    ASSERT_TRUE(other);
    EXPECT_EQ(other->h, 96);  // `doomed` is gone; the sanitizer build would report a leak otherwise
}

TEST_F(Generator, PresetsAboveFiveAreHills) {
    const auto hash = [](uint32_t gen) { return surface_hash(generate(params(gen)).get()); };
    const uint64_t hills = hash(5);
    EXPECT_EQ(hash(7), hills);
    EXPECT_EQ(hash(0xFFFFFFFFu), hills);
    EXPECT_NE(hash(4), hills);
}

TEST_F(Generator, SkyscraperIsAirOnlyAndPlacesNothing) {
    Recorders rec;
    GeneratorCallbacks cb = rec.callbacks();
    SurfacePtr s = generate(params(2, 300, 200), &cb);
    EXPECT_EQ(count(s.get(), color_air), 300 * 200);
    EXPECT_TRUE(rec.crate.calls.empty() && rec.weapon.calls.empty());
}

TEST_F(Generator, HillsWaterAndRockFollowTheirParameters) {
    LevelParameters p = params(5, 400, 300);
    p.scale_y = 0.1f, p.offset_y = 0.7f;  // the surface line stays inside the level
    p.water_level = 0.0f;
    EXPECT_EQ(count(generate(p).get(), color_water), 0);

    p.water_level = 0.8f, p.solid_threshold = 0.0f;
    SurfacePtr soft = generate(p);
    EXPECT_EQ(count(soft.get(), color_indestructible), 0);
    EXPECT_GT(count(soft.get(), color_water), 0);

    // Threshold 1: the surface line itself is earth, everything below it rock.
    p.solid_threshold = 1.0f;
    SurfacePtr hard = generate(p);
    long ground_columns = 0;
    for (int x = 0; x < hard->w; ++x) {
        int y = 0;
        while (y < hard->h && is_open(pixel(hard.get(), x, y))) ++y;
        if (y == hard->h) continue;
        ++ground_columns;
        EXPECT_EQ(pixel(hard.get(), x, y), color_destructible) << x;
        for (int below = y + 1; below < hard->h; ++below)
            ASSERT_EQ(pixel(hard.get(), x, below), color_indestructible) << x << ", " << below;
    }
    EXPECT_GT(ground_columns, 0);
}

TEST_F(Generator, MountainWithoutOctavesIsFlatAndDrawsNothing) {
    LevelParameters p = params(3, 200, 256);
    p.octaves = 0;
    p.offset_y = 0.75f;        // base height trunc(0.5 * 256) = 128 above the bottom
    p.solid_threshold = 0.5f;  // rock from 64 above the bottom
    p.water_level = 0.25f;     // water below row 192 where open
    SurfacePtr s = generate(p);
    int after = random_draw();
    random_seed(p.seed);
    EXPECT_EQ(after, random_draw());
    for (int x = 0; x < s->w; x += 7)
        for (int y = 0; y < s->h; ++y)
            ASSERT_EQ(pixel(s.get(), x, y), y < 128 ? color_air : (y < 192 ? color_destructible : color_indestructible))
                << x << ", " << y;
}

TEST_F(Generator, SwampWithoutTemplatesIsGroundWaterAndSky) {
    LevelParameters p = params(0, 640, 600);
    p.offset_y = 0.2f;     // ground band 10 + 100 rows
    p.water_level = 0.2f;  // 30 rows of water on it
    Recorders rec;
    GeneratorCallbacks cb = rec.callbacks();
    SurfacePtr s = generate(p, &cb);
    for (int x = 0; x < s->w; x += 13) {
        for (int y = 0; y < s->h; ++y) {
            ColorRGBA c = pixel(s.get(), x, y);
            if (y < 600 - 110) ASSERT_EQ(c, y < 600 - 110 - 30 ? color_air : color_water) << x << ", " << y;
            else ASSERT_TRUE(c == color_destructible || c == color_indestructible) << x << ", " << y;
        }
    }
    // Deeper ground is rockier.
    long top_rock = 0, bottom_rock = 0;
    for (int x = 0; x < s->w; ++x) {
        top_rock += pixel(s.get(), x, 600 - 100) == color_indestructible;
        bottom_rock += pixel(s.get(), x, 599) == color_indestructible;
    }
    EXPECT_LT(top_rock, bottom_rock);
    // One weapon, centred, with the draw after painting.
    ASSERT_EQ(rec.weapon.calls.size(), 1u);
    EXPECT_EQ(rec.weapon.calls[0], (Call{(640 - 64) / 2, int(600 * 0.4 - 64), 64, 64, rec.weapon.calls[0].r}));
    EXPECT_TRUE(rec.crate.calls.empty());
}

TEST_F(Generator, SubmarineWithoutTemplatesHasHullOutsideWaterDecksAndLadders) {
    SurfacePtr s = generate(params(1, 2048, 1536, 3));
    for (auto c : {color_staticwater, color_destructible, color_air, color_ladder}) EXPECT_GT(count(s.get(), c), 0);
    for (ColorRGBA c : {color_explosive, color_indestructible}) EXPECT_EQ(count(s.get(), c), 0);
    // Above the top line the outside is air: the top-right corner.
    EXPECT_EQ(pixel(s.get(), 2040, 5), color_air);
}

TEST_F(Generator, UntrustedParametersNeitherCrashNorHang) {
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    std::vector<LevelParameters> cases;
    for (uint32_t gen = 0; gen < 6; ++gen) {
        LevelParameters a = params(gen, 600, 400), b = a, c = a;
        a.scale_y = -0.78f;  // once a deck spacing of 0
        b.octaves = 1000000, b.offset_y = -1e30f, b.scale_x = inf;
        c.water_level = nan, c.offset_x = nan, c.additional = -inf, c.octaves = -7;
        cases.insert(cases.end(), {a, b, c});
        for (uint32_t w : {1u, 2u, 63u})
            for (uint32_t h : {1u, 3u, 700u}) cases.push_back(params(gen, w, h));
    }
    auto start = std::chrono::steady_clock::now();
    for (const LevelParameters& p : cases) {
        SurfacePtr s = generate(p);
        ASSERT_TRUE(s);
        EXPECT_EQ(uint32_t(s->w), resolve_level_width(p.size_x));
        EXPECT_EQ(uint32_t(s->h), resolve_level_height(p.size_y));
        // A whole level: every pixel holds a material.
        long materials = 0;
        for (ColorRGBA c : material_colors) materials += count(s.get(), c);
        EXPECT_EQ(materials, long(s->w) * s->h) << p.gen << " " << s->w << " x " << s->h;
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(60));
}

TEST_F(GeneratorWithTemplates, TemplateListsRewriteKeyColoursAndKeepFailedEntries) {
    load_swamp_templates();
    load_submarine_templates();
    const LevelTemplates& t = level_templates();
    ASSERT_EQ(t.swamp.size(), 3u);  // a_tree, b_hut, and the text file that did not load
    EXPECT_EQ(t.swamp[0].width(), 90);
    EXPECT_EQ(t.swamp[1].width(), 120);
    EXPECT_EQ(t.swamp[2].width(), 0);
    ASSERT_EQ(t.swamp_background.size(), 1u);
    EXPECT_EQ(t.hanging.size(), 2u);
    EXPECT_EQ(t.hanging[0].width(), 30);  // "lamp" sorts before "net"
    // Grey trunk, red barrel, an object slot staying green, anything else, blue; red is no key
    // colour for the background.
    const ColorGrid &tree = t.swamp[0], &hut = t.swamp[1], &bg = t.swamp_background[0];
    using Probe = std::tuple<const ColorGrid*, int, int, ColorRGBA>;
    for (auto [grid, x, y, want] :
         {Probe{&tree, 40, 100, color_destructible}, Probe{&tree, 5, 250, color_explosive},
          Probe{&tree, 70, 250, kGreen}, Probe{&tree, 80, 150, color_air}, Probe{&hut, 50, 220, color_water},
          Probe{&bg, 0, 20, color_air}, Probe{&bg, 0, 120, color_water}})
        EXPECT_EQ(grid->at(x, y), want) << x << ", " << y;
}

TEST_F(GeneratorWithTemplates, StampingSkipsTheFirstRowAndColumnAndEmptyListsDrawNothing) {
    CellGrid grid(40, 40);
    random_seed(9);
    stamp_random_template(3, 3, grid, {});
    int first = random_draw();
    random_seed(9);
    EXPECT_EQ(first, random_draw());  // the empty list drew nothing

    std::vector<ColorGrid> list(1, ColorGrid(10, 10));
    for (int i = 0; i < 100; ++i)
        list[0].at(i % 10, i / 10) = (i % 10 + i / 10) % 2 ? color_destructible : color_explosive;
    list[0].at(9, 9) = kGreen, list[0].at(8, 9) = color_water;
    list[0].at(7, 9) = color_air;  // leaves the cell as it was
    grid.set(2, 4, GeneratorCell::Ladder);
    stamp_random_template(-5, -5, grid, list);
    for (int i = 0; i < 40; ++i)
        EXPECT_TRUE(grid.is(i, 0, GeneratorCell::Air) && grid.is(0, i, GeneratorCell::Air)) << i;
    // (1, 1) and (1, 2) hold the template's (6, 6) and (6, 7).
    for (auto [x, y, cell] : {Cell{4, 4, GeneratorCell::ObjectSlot}, Cell{3, 4, GeneratorCell::Water},
                              Cell{2, 4, GeneratorCell::Ladder}, Cell{1, 1, GeneratorCell::Explosive},
                              Cell{1, 2, GeneratorCell::Destructible}, Cell{5, 5, GeneratorCell::Air}})
        EXPECT_TRUE(grid.is(x, y, cell)) << x << ", " << y;
}

TEST_F(Generator, PainterRequestsCratesColumnByColumnWithOneDrawEach) {
    CellGrid grid(8, 6);
    for (auto [x, y, cell] : {Cell{5, 1, GeneratorCell::ObjectSlot}, Cell{2, 3, GeneratorCell::ObjectSlot},
                              Cell{2, 1, GeneratorCell::ObjectSlot}, Cell{0, 0, GeneratorCell::Outside},
                              Cell{1, 0, GeneratorCell::Ladder}, Cell{7, 5, GeneratorCell::Indestructible}})
        grid.set(x, y, cell);
    Recorders rec;
    GeneratorCallbacks cb = rec.callbacks();
    SurfacePtr s = make_surface(8, 6, {9, 9, 9, 9});
    random_seed(77);
    paint_cell_grid(grid, s.get(), &cb);
    random_seed(77);
    std::vector<Call> want;
    for (auto [x, y] : {std::pair{2, 1}, {2, 3}, {5, 1}}) want.push_back({x - 20, y - 64, 64, 64, random_draw()});
    EXPECT_EQ(rec.crate.calls, want);
    for (auto [x, y, c] :
         {std::tuple{2, 1, color_air}, {0, 0, color_staticwater}, {1, 0, color_ladder}, {7, 5, color_indestructible}})
        EXPECT_EQ(pixel(s.get(), x, y), c) << x << ", " << y;
    EXPECT_EQ(count(s.get(), color_air), 8 * 6 - 3);
}

TEST_F(GeneratorWithTemplates, EmptyDelegatesDrawTheSameNumbersAsPlacingOnes) {
    for (uint32_t gen = 0; gen < 6; ++gen) {
        // The submarine needs some height before its rooms fit below the top line.
        LevelParameters p = gen == 1 ? params(gen, 2048, 1536, 31337) : params(gen, 1024, 768, 31337);
        Recorders rec;
        GeneratorCallbacks placing = rec.callbacks();
        SurfacePtr a = generate(p, &placing);
        int after_a = random_draw();

        PlacementCallback none;
        GeneratorCallbacks empty(&none, &none, &none, &none);
        for (const GeneratorCallbacks* cb : {&empty, static_cast<GeneratorCallbacks*>(nullptr)}) {
            SurfacePtr b = generate(p, cb);
            EXPECT_EQ(random_draw(), after_a) << gen;
            EXPECT_EQ(surface_hash(b.get()), surface_hash(a.get())) << gen;
        }
        EXPECT_EQ(rec.crate.calls.empty(), gen > 1) << gen;  // only the templates hold object slots
        for (const Call& call : rec.crate.calls) EXPECT_EQ(pixel(a.get(), call.x + 20, call.y + 64), color_air) << gen;
        EXPECT_EQ(rec.weapon.calls.size(), gen == 0 ? 1u : 0u) << gen;
        EXPECT_TRUE(rec.item.calls.empty() && rec.portal.calls.empty());
    }
}

// Golden values with the fixed templates guard the draw order and the float operations against
// regressions and against drift between machines and compilers.
TEST_F(GeneratorWithTemplates, GoldenHashesPerPreset) {
    const struct {
        uint32_t gen;
        int octaves;
        uint64_t hash;
        int next_draw;
    } golden[] = {
        {0, 3, 0x8403354812f6ab89ull, 6946},  {1, 1, 0xb994858251bc2a12ull, 11956}, {2, 1, 0xaad7af0ea5dd0383ull, 4268},
        {3, 7, 0x615bc98b3ad92383ull, 22754}, {4, 3, 0x610d8897849a6b8cull, 4268},  {5, 4, 0xa00dd25b13c886cfull, 4268},
    };
    for (const auto& g : golden) {
        LevelParameters p = level_test::hills(1024, 768, 20240601);
        p.gen = g.gen, p.octaves = g.octaves, p.water_level = 0.35f, p.offset_x = 0.55f, p.offset_y = 0.45f;
        p.additional = 0.25f;
        SurfacePtr s = generate(p);
        EXPECT_EQ(random_draw(), g.next_draw) << g.gen;
        EXPECT_EQ(surface_hash(s.get()), g.hash) << g.gen;
    }
}

// Tall enough for decks, rooms, ladders and the hanging and standing templates.
TEST_F(GeneratorWithTemplates, TemplatesShowInSwampAndGoldenSubmarineWithRooms) {
    EXPECT_GT(count(generate(params(0, 2048, 1024, 5)).get(), color_explosive), 0);
    Recorders rec;
    GeneratorCallbacks cb = rec.callbacks();
    SurfacePtr sub = generate(params(1, 2048, 1536, 5), &cb);
    EXPECT_EQ(random_draw(), 11826);
    EXPECT_EQ(surface_hash(sub.get()), 0x7ed7492ae2e5d476ull);
    EXPECT_GT(count(sub.get(), color_explosive), 0);  // the torpedo at least
    EXPECT_GT(count(sub.get(), color_ladder), 0);
    EXPECT_EQ(rec.crate.calls.size(), 32u);  // standing templates in the rooms hold slots
}

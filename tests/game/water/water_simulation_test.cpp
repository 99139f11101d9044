// The server's water on synthetic levels: seeding, sources, walls, blasts, submersion, the
// faults it must survive, and a parallel step that gives the bits of a single-thread one.
#include <array>
#include <bit>
#include <cstring>

#include "game/levelgen/level_parameters.h"
#include "game/terrain/qg_level.h"
#include "support/water_test_support.h"

using namespace water_test;

TEST(WaterSimulation, WaterPixelsBecomeParticlesAndTheStreamShowsWhereTheyAre) {
    WaterLevel level(256, 128);
    sph::WaterObject& dry = level.build();
    Quadtree<bool> empty;
    empty.set_size(256 / 8, 128 / 8);
    EXPECT_EQ(dry.particles.size(), 0u);
    EXPECT_EQ(dry.occupancy_bytes, empty.serialize());

    level.paint(64, 64, 64, 32, color_water);
    level.paint(0, 96, 256, 32, color_destructible);
    sph::WaterObject& w = level.build();
    EXPECT_EQ(w.particles.size(), 32u);  // 4 lattice rows of 8 points, 8 pixels apart
    for (std::size_t i = 0; i < w.particles.size(); ++i)
        EXPECT_EQ(level.game->terrain().get_pixel(int(w.particles.x[i]), int(w.particles.y[i])), color_water);
    for (int s = 0; s < 25; ++s) {
        EXPECT_EQ(w.occupancy_bytes, particle_stream(w));
        w.update(0.016f);
    }
    for (std::size_t i = 0; i < w.particles.size(); ++i) EXPECT_LT(w.particles.y[i], 96.0f);  // the floor holds
    EXPECT_EQ(level.game->terrain().water_coverage(64, 64, 64, 32), w.submerged_fraction(64, 64, 64, 32));
    // The water's place in the terrain goes with it.
    level.game->remove_object(w.entity_id);
    level.game->update(0.0f);
    EXPECT_FALSE(level.game->terrain().water_object() || level.game->terrain().has_water_coverage());
}

TEST(WaterSimulation, SourcesFillOnlyEmptyCellsUntilTheTableIsFull) {
    WaterLevel level(256, 128);
    level.paint(100, 64, 40, 64, color_staticwater);
    sph::WaterObject& w = level.build();
    ASSERT_FALSE(w.sources().empty());
    EXPECT_GE(w.submerged_fraction(112, 80, 16, 32), 1.0f);  // all static cells
    EXPECT_EQ(w.submerged_fraction(10, 10, 20, 20), 0.0f);
    for (int s = 0; s < 3; ++s) {
        std::set<std::pair<int, int>> open;  // the cells a source may fill in this step
        for (const ivec2d& p : w.sources())
            if (w.cell_head(p.x / 16, p.y / 16) == -1) open.insert({p.x / 16, p.y / 16});
        const std::size_t before = w.particles.size();
        w.update(0.016f);
        std::set<std::pair<int, int>> filled;  // where the new particles started the step
        for (std::size_t i = before; i < w.particles.size(); ++i)
            filled.insert({int(w.particles.prev_x[i]) / 16, int(w.particles.prev_y[i]) / 16});
        EXPECT_EQ(w.particles.size() - before, filled.size());  // one per cell
        for (const auto& cell : filled) EXPECT_TRUE(open.count(cell));
    }
    sph::WaterObject& small = level.build({16, 16, 8, 3});
    for (int s = 0; s < 2; ++s) small.update(0.016f);
    EXPECT_EQ(small.particles.size(), 3u);
}

TEST(WaterSimulation, WallsReflectAndHalveTheSpeed) {
    // x, y, vx, vy, and where it ends on the wall's axis; gravity adds 9.81 * 0.04 to vy.
    for (auto [x, y, vx, vy, end] : {std::array{120.f, 32.f, 500.f, 0.f, 127.f},
                                     {4.f, 32.f, -500.f, 0.f, 1.f},
                                     {64.f, 60.f, 0.f, 400.f, 63.f},
                                     {64.f, 3.f, 0.f, -400.f, 1.f}}) {
        WaterLevel level(128, 64);
        sph::WaterObject& w = level.build();
        ASSERT_TRUE(w.add_particle(x, y));
        w.particles.vx[0] = vx;
        w.particles.vy[0] = vy;
        w.update(0.016f);
        const bool across = vx != 0.0f;
        EXPECT_EQ(across ? w.particles.x[0] : w.particles.y[0], end);
        EXPECT_NEAR(across ? w.particles.vx[0] : w.particles.vy[0], -0.5f * (across ? vx : vy + 9.81f * 0.04f), 0.01f);
    }
}

TEST(WaterSimulation, ABlastPushesOnceInTheStepAfterAndFreesStaticWater) {
    WaterLevel level(256, 128);
    level.paint(0, 100, 256, 28, color_staticwater);
    level.paint(0, 90, 256, 10, color_destructible);
    sph::WaterObject& w = level.build();
    w.add_particle(100, 60);
    w.add_particle(200, 60);
    w.add_explosion({90, 60}, 30);
    std::vector<float> vx;
    for (int s = 0; s < 3; ++s, vx.push_back(w.particles.vx[0])) w.update(0.016f);
    EXPECT_EQ(vx[0], 0.0f);
    EXPECT_NEAR(vx[1], 2000.0f * (20.0f / 30.0f) * 0.04f, 0.01f);
    EXPECT_NEAR(vx[2], vx[1], 0.01f);
    EXPECT_EQ(w.particles.vx[1], 0.0f);

    // Carving frees static water and opens carved ground; indestructible ground stays shut.
    EXPECT_TRUE(w.blocks(50, 110) && w.blocks(50, 95));
    level.game->terrain().set_pixel(50, 95, color_air);
    level.paint(60, 95, 1, 1, color_indestructible);
    for (int x : {50, 60}) w.clear_static_cell(x, 95);
    w.clear_static_cell(50, 110);
    EXPECT_TRUE(!w.blocks(50, 110) && !w.blocks(50, 95) && w.blocks(60, 95));
}

TEST(WaterSimulation, FaultsNeitherMakeNumbersNorLoopOutsideTheGrid) {
    WaterLevel level(256, 128);
    sph::WaterObject& w = level.build();
    for (int i = 0; i < 3; ++i) w.add_particle(50, 50);                              // three at one point
    for (float x : {150.0f, 200.0f, 220.0f, 230.0f, 240.0f}) w.add_particle(x, 50);  // eight: moved together
    w.particles.x[3] = NAN;
    w.particles.vx[4] = INFINITY;
    w.update(0.016f);
    EXPECT_EQ(w.particles.x[4], 200.0f);  // an infinite speed takes it nowhere
    EXPECT_EQ(w.particles.vx[4], 0.0f);
    for (auto [x, y, r] : {std::tuple{1e30f, -1e30f, 50.0f},
                           {5e9f, 5e9f, 1e9f},
                           {100.0f, 60.0f, INFINITY},
                           {NAN, 60.0f, 10.0f},
                           {100.0f, 60.0f, 1e30f}})
        w.add_explosion({x, y}, r);
    for (int s = 0; s < 20; ++s) w.update(0.016f);
    for (int i : {0, 1, 2, 4}) EXPECT_TRUE(std::isfinite(w.particles.x[i]) && std::isfinite(w.particles.vx[i]));
    EXPECT_NE(w.particles.x[0], w.particles.x[1]);  // pushed apart
    EXPECT_EQ(w.occupancy_bytes, particle_stream(w));
    EXPECT_LT(w.submerged_fraction(-1e6f, -1e6f, 2e6f, 2e6f), 1e-6f);
    EXPECT_EQ(w.submerged_fraction(50, 50, 0, 10), 0.0f);

    // Unusable settings fall back to the defaults; a level of no size has nothing to simulate.
    for (auto [h, g, q] : {std::tuple{0.0f, 16.0f, 8}, {16.0f, 0.0f, 8}, {16.0f, 16.0f, 0}, {NAN, -4.0f, -8}}) {
        const sph::WaterSettings used = level.build({h, g, q, 64}).settings();
        EXPECT_TRUE(used.particle_size == 16.0f && used.grid_size == 16.0f && used.quadtree_size == 8);
    }
    WaterLevel none(0, 0);
    sph::WaterObject& flat = none.build();
    flat.add_explosion({10, 10}, 100);
    flat.update(0.016f);
    EXPECT_EQ(flat.particles.size(), 0u);
    EXPECT_EQ(flat.occupancy_bytes, Quadtree<bool>().serialize());
    EXPECT_EQ(flat.submerged_fraction(0, 0, 10, 10), 0.0f);
}

// A small pool's 60 particles bit for bit over steps with a blast, pinned as the step stands,
// with each pair search and motion the processor has.
TEST(WaterSimulation, ASmallPoolFollowsItsReferenceTrace) {
    for (const bool eight_lanes : {true, false}) {
        if (eight_lanes && !__builtin_cpu_supports("avx2")) continue;
        WaterLevel level(256, 128);
        level.paint(0, 96, 256, 32, color_destructible);
        level.paint(80, 56, 96, 40, color_water);
        sph::WaterObject& w = level.build();
        w.eight_lanes = eight_lanes;
        uint64_t h = 1469598103934665603ull;  // FNV-1a over the values' bits
        for (int s = 0; s < 40; ++s) {
            if (s == 20) w.add_explosion({100, 80}, 24);
            w.update(0.016f);
            const sph::ParticleArrays& p = w.particles;
            for (const std::vector<float>* v : {&p.x, &p.y, &p.vx, &p.vy, &p.fx, &p.fy})
                for (const float f : *v) h = (h ^ std::bit_cast<uint32_t>(f)) * 1099511628211ull;
        }
        EXPECT_EQ(h, 16061582129960377003ull) << (eight_lanes ? "eight" : "four") << " lanes";
    }
}

TEST(WaterSimulation, AParallelStepGivesTheBitsOfASingleThreadStep) {
    // Enough particles for a team of eight: a small pass runs on fewer threads whatever is asked.
    WaterLevel level(2048, 1024);
    level.paint(0, 720, 2048, 112, color_destructible);
    level.paint(20, 80, 1940, 640, color_water);
    level.paint(970, 320, 40, 80, color_staticwater);
    sph::WaterObject& one = level.build({16, 16, 8, 20000});
    sph::WaterObject& many = level.build({16, 16, 8, 20000});
    ASSERT_GE(one.particles.size(), 8u * 2048u);
    auto same = [](const std::vector<float>& a, const std::vector<float>& b) {
        return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
    };
    for (int s = 0; s < 30; ++s) {
        if (s == 10)
            for (sph::WaterObject* w : {&one, &many}) w->add_explosion({150, 240}, 60);
        omp_set_num_threads(1);
        one.update(0.016f);
        omp_set_num_threads(8);
        many.update(0.016f);
        const sph::ParticleArrays &a = one.particles, &b = many.particles;
        ASSERT_TRUE(same(a.x, b.x) && same(a.y, b.y) && same(a.vx, b.vx) && same(a.vy, b.vy) && same(a.fx, b.fx) &&
                    same(a.fy, b.fy))
            << "step " << s;
        ASSERT_EQ(one.occupancy_bytes, many.occupancy_bytes);
    }
}

// The shipped settings seed a default-size Hills level under full water whole, as its preview
// shows it: the table holds every lattice point of its lakes.
TEST(WaterSimulation, TheShippedTableHoldsTheLakesOfAFullHillsLevel) {
    WaterLevel base(0, 0);
    LevelParameters raised;
    raised.gen = uint32_t(GeneratorPreset::Hills), raised.water_level = 1.0f;
    QGLevel* level = base.game->spawn<QGLevel>(0, raised);
    sph::WaterSettings shipped = sph::WaterSettings::load(), unlimited = shipped;
    unlimited.max_particles = sph::kParticleLimit;
    const std::size_t lakes = base.game->spawn<sph::WaterObject>(0, level, unlimited)->particles.size();
    ASSERT_GT(lakes, std::size_t(shipped.max_particles) / 2);
    EXPECT_EQ(base.game->spawn<sph::WaterObject>(0, level, shipped)->particles.size(), lakes);
}

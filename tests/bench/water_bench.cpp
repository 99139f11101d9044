// One step of the server's water with the shipped water settings (config/server.ini, so run it
// from the run folder):
//   water_bench --benchmark_min_time=2
// BM_WaterStep: a 2048 x 1024 level with 1024 and 4096 particles, on 1, 2 and 4 threads and on
// every core (0), the occupancy stream included; the pool is square, on a floor, and has flowed
// for 50 steps before the timing starts.
// BM_GeneratedLevel: one world step of a server session on the levels the server generates with
// the shipped settings (its level generation, as a match makes them): Mountain at its default
// water level (the table's 16384 particles), Hills under full water (14959), and Hills at its
// default water level, which holds none, at 2048 x 1024, 4096 x 4096 and 1024 x 512; on one
// thread and on every core. The water has flowed for 500 steps before the timing starts.
#include <benchmark/benchmark.h>

#include <cmath>

#include "game/session/match_setup.h"
#include "support/water_test_support.h"

namespace {

void BM_WaterStep(benchmark::State& state) {
    const int particles = int(state.range(0));
    const int threads = state.range(1) > 0 ? int(state.range(1)) : omp_get_num_procs();
    water_test::WaterLevel level(2048, 1024);
    sph::WaterSettings settings = sph::WaterSettings::load();
    settings.max_particles = particles;
    // The lattice is half a particle size apart.
    const int side = int(std::sqrt(double(particles)) * double(settings.particle_size) * 0.5);
    level.paint(0, 900, 2048, 124, color_destructible);
    level.paint(1024 - side / 2, 900 - side, side, side, color_water);
    sph::WaterObject& water = level.build(settings);
    omp_set_num_threads(threads);
    for (int i = 0; i < 50; ++i) water.update(0.016f);
    for (auto _ : state) {
        water.update(0.016f);
        benchmark::DoNotOptimize(water.occupancy_bytes.data());
    }
    state.counters["particles"] = double(water.particles.size());
    state.counters["threads"] = threads;
    state.counters["stream_bytes"] = double(water.occupancy_bytes.size());
    state.counters["pairs"] = double(water.pair_count());
}
BENCHMARK(BM_WaterStep)->ArgsProduct({{1024, 4096}, {1, 2, 4, 0}})->Unit(benchmark::kMicrosecond)->UseRealTime();

// Preset, water level in hundredths, width and height.
void BM_GeneratedLevel(benchmark::State& state) {
    const int threads = state.range(4) > 0 ? int(state.range(4)) : omp_get_num_procs();
    water_test::WaterLevel session(0, 0);
    QGGame& game = *session.game;
    LevelCreation record;
    record.parameters.gen = uint32_t(state.range(0));
    record.parameters.water_level = float(state.range(1)) / 100.0f;
    record.parameters.size_x = uint32_t(state.range(2));
    record.parameters.size_y = uint32_t(state.range(3));
    game.match_setup().generate_level(record);
    const auto* water = game.level ? dynamic_cast<const sph::WaterObject*>(game.level->water) : nullptr;
    if (!water) {
        state.SkipWithError("the level has no water object");
        return;
    }
    omp_set_num_threads(threads);
    for (int i = 0; i < 500; ++i) game.update(1.0f / 60.0f), game.event_handler->queue.clear();
    for (auto _ : state) {
        game.update(1.0f / 60.0f);
        game.event_handler->queue.clear();
    }
    state.counters["particles"] = double(water->particles.size());
    state.counters["threads"] = threads;
    state.counters["pairs"] = double(water->pair_count());
}
constexpr int64_t kMountain = int64_t(GeneratorPreset::Mountain), kHills = int64_t(GeneratorPreset::Hills);
BENCHMARK(BM_GeneratedLevel)
    ->ArgNames({"preset", "water%", "w", "h", "threads"})
    ->Args({kMountain, 30, 2048, 1024, 1})
    ->Args({kMountain, 30, 2048, 1024, 0})
    ->Args({kHills, 100, 2048, 1024, 1})
    ->Args({kHills, 100, 2048, 1024, 0})
    ->Args({kHills, 30, 2048, 1024, 1})
    ->Args({kHills, 30, 4096, 4096, 1})
    ->Args({kHills, 30, 1024, 512, 1})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

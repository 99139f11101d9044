// One step of the server's water on a 2048 x 1024 level, the occupancy stream included, with
// 1024 and 4096 particles, on 1, 2 and 4 threads and on every core (0), with the shipped water
// settings (config/server.ini, so run it from the run folder):
//   water_bench --benchmark_min_time=2
// The pool is square, on a floor, and has flowed for 50 steps before the timing starts.
#include <benchmark/benchmark.h>

#include <cmath>

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

}  // namespace

BENCHMARK_MAIN();

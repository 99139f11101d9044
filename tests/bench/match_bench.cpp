// One server world step of a match: 16 players in two teams with their loadouts on a 2048 x 1024
// level whose basin holds 256 x 256 pixels of water, with the shipped water settings
// (config/server.ini: run it from the run folder), the match controller and the chat; on one
// thread and on every core (0). The countdown is over and the players have landed beside the
// basin before the timing starts.
//   match_bench --benchmark_min_time=2
#include <benchmark/benchmark.h>

#include "game/entities/qg_player.h"
#include "game/match/qg_chat.h"
#include "game/match/qg_match_controller.h"
#include "support/water_test_support.h"

namespace {

constexpr float kDt = 1.0f / 60.0f;

void BM_MatchStep(benchmark::State& state) {
    const int threads = state.range(0) > 0 ? int(state.range(0)) : omp_get_num_procs();
    water_test::WaterLevel level(2048, 1024);
    level.paint(0, 900, 2048, 124, color_destructible);
    level.paint(880, 560, 16, 340, color_indestructible);  // a basin keeps the pool together
    level.paint(1152, 560, 16, 340, color_indestructible);
    level.paint(896, 900 - 256, 256, 256, color_water);
    const sph::WaterSettings settings = sph::WaterSettings::load();
    QGLevel& held = session_test::make_level_of(*level.game, level.surface.get());  // as a match's server holds it
    sph::WaterObject& water = *level.game->spawn<sph::WaterObject>(0, &held, settings);
    held.water = &water;
    QGGame& game = *level.game;
    game.match_running = false;
    game.match_setup().setup_game({16, 3, 1.0f, 1, 0, {0, 0}});
    ready_time = 0.0f;
    game.spawn<QGMatchController>(0, MatchSettings{});
    game.spawn<QGChat>(0);
    for (unsigned i = 0; i < 16; ++i) game.spawn<QGPlayer>(0, i, i / 8, "bot");
    SpawnPositions spawns;
    spawns.count = 16;
    for (unsigned i = 0; i < 16; ++i) spawns.positions[i] = {40.0f + 100.0f * float(i) + (i < 8 ? 0 : 460.0f), 780.0f};
    game.match_setup().set_spawn_positions(spawns);
    omp_set_num_threads(threads);
    for (int i = 0; i < 120; ++i) game.update(kDt);
    for (auto _ : state) {
        game.update(kDt);
        game.event_handler->queue.clear();
    }
    int alive = 0;
    for (QGPlayer* player : game.registry().players()) alive += player && player->health > 0.0f;
    state.counters["particles"] = double(water.particles.size());
    state.counters["objects"] = double(game.registry().objects().size());
    state.counters["alive"] = alive;
    state.counters["threads"] = threads;
}
BENCHMARK(BM_MatchStep)->Arg(1)->Arg(0)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();

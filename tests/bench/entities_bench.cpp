// One server world step of a 16-player fight on a 2048 x 1024 level: every player holds a
// rapid-fire weapon and fires at another player while fewer than 200 projectiles fly; the shots
// carve the hills, push and hurt the players, who die and come back.
//
//   entities_bench --benchmark_min_time=2
//
// Each iteration is one step of 1/60 s; every second step (the 33 ms send interval) also builds
// the sync packets the server sends, as a step of the real server does: the UDP packet of every
// physics object and the TCP packet of the event queue. Counters: the projectiles in flight and
// the bytes per second each client receives (packet payloads, without TCP, UDP and IP headers).
#include <SDL/SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/core/random.h"
#include "game/config/object_definitions.h"
#include "game/config/settings.h"
#include "game/entities/qg_player.h"
#include "game/entities/qg_projectile.h"
#include "game/entities/qg_weapon.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "net/sync/protocol.h"
#include "support/session_test_support.h"

namespace {

constexpr int kWidth = 2048;
constexpr int kHeight = 1024;
constexpr unsigned int kPlayers = 16;
constexpr size_t kMaxProjectiles = 200;
constexpr float kDt = 1.0f / 60.0f;

// Hills of destructible earth over rock.
surface_test::SurfacePtr make_terrain() {
    auto s = surface_test::make_surface(kWidth, kHeight, color_air);
    for (int x = 0; x < kWidth; ++x) {
        const int ground = 760 + int(90.0 * std::sin(x / 113.0) + 40.0 * std::sin(x / 37.0));
        for (int y = ground; y < kHeight; ++y) {
            const ColorRGBA c = y >= ground + 120 ? color_rock : color_destructible;
            const uint32_t v = c.to_pixel();
            std::memcpy(static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 4, &v, 4);
        }
    }
    return s;
}

WeaponDefinition rapid_fire() {
    WeaponDefinition w;
    w.name = "Bench";
    w.collider_size = {24, 12};
    w.damage = 8.0f;
    w.force = 150.0f;
    w.radius = 14.0f;
    w.eject_speed = 700.0f;
    w.fire_timeout = 0.06f;
    w.projectile_collider_size = {6, 6};
    w.projectile_gravity_factor = 0.3f;
    w.projectile_life_time = 2.0f;
    w.projectile_spray_angle = 6.0f;
    return w;
}

struct Fight {
    Fight() {
        load_settings();
        surface_test::set_material_colors();
        weapon_definitions = {rapid_fire()};
        default_weapons = {0};
        default_items.clear();
        spawn_protection_time = 0.5f;
        random_seed(2024);
        terrain = make_terrain();
        game = std::make_unique<QGGame>(QGGame::ServerSide{});
        session_test::make_level_of(*game, terrain.get());  // as a match's server holds it
        game->rules.player_count = kPlayers;
        game->rules.lives = 0;
        game->rules.respawn_time = 1.0f;
        for (unsigned int i = 0; i < kPlayers; ++i)
            game->spawn_positions.push_back({60.0f + 120.0f * float(i), 500.0f});
        for (unsigned int i = 0; i < kPlayers; ++i) {
            auto* p = game->spawn<QGPlayer>(0, i, i, "Bot " + std::to_string(i));
            p->position = game->spawn_positions[i];
            p->enter_match();
            p->apply_input({i, InputKind::Use, 1});
            players.push_back(p);
        }
        game->active = true;
        game->match_running = true;
        game->paused = false;
        for (int i = 0; i < 240; ++i) step();
        bytes = 0;
        steps = 0;
    }
    ~Fight() {
        game.reset();
        load_settings();
    }

    size_t projectiles() const {
        size_t n = 0;
        for (QGPhysObject* o : game->registry().physics_objects()) n += dynamic_cast<QGProjectile*>(o) != nullptr;
        return n;
    }

    void step() {
        // Everyone aims at the next player and fires while the air is not too full.
        const bool fire = projectiles() < kMaxProjectiles;
        for (unsigned int i = 0; i < kPlayers; ++i) {
            QGPlayer* p = players[i];
            const dvec2d target = players[(i + 1) % kPlayers]->collider_centre();
            p->set_aim({i, target.x, target.y - 260.0f});
            p->apply_input({i, InputKind::Use, fire ? 1u : 0u});
            // Walk back and forth so that the bodies keep meeting the terrain.
            p->apply_input({i, (steps / 90) % 2 ? InputKind::Left : InputKind::Right, 1});
            p->apply_input({i, (steps / 90) % 2 ? InputKind::Right : InputKind::Left, 0});
        }
        game->update(kDt);
        if (steps % 2 == 0) {
            Protocol::build_sync_packet(game->registry().unreliable_objects(), steps, packet);
            bytes += packet.size();
            Protocol::build_sync_packet(game->registry().reliable_objects(), steps, packet);
            bytes += packet.size();
        }
        ++steps;
    }

    surface_test::SurfacePtr terrain;
    std::unique_ptr<QGGame> game;
    std::vector<QGPlayer*> players;
    ByteBuffer packet;
    uint64_t bytes = 0;
    uint64_t steps = 0;
};

void BM_ServerStep_SixteenPlayersFiring(benchmark::State& state) {
    Fight fight;
    uint64_t flying = 0;
    for (auto _ : state) {
        fight.step();
        state.PauseTiming();
        flying += fight.projectiles();
        state.ResumeTiming();
    }
    const double seconds = double(fight.steps) * kDt;
    state.counters["projectiles"] = double(flying) / double(fight.steps);
    state.counters["bytes_per_s_per_client"] = seconds > 0 ? double(fight.bytes) / seconds : 0.0;
    state.counters["objects"] = double(fight.game->registry().objects().size());
}
BENCHMARK(BM_ServerStep_SixteenPlayersFiring)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

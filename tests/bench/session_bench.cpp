// One server world step with 500 physics objects on a 2048 x 1024 terrain surface.
//
//   session_bench --benchmark_min_time=2
//
// Settled: the objects have fallen and mostly rest on the hills, as items and players do in a
// match. Airborne: every object is put back into the air before each step, so all of them are
// swept against the terrain. WithUdpSync: the settled world with the UDP sync packet of all 500
// objects built and sent to a loopback peer in every step (the game sends every 33 ms).
#include <SDL/SDL.h>
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "game/config/settings.h"
#include "game/physics/qg_phys_object.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "net/transport/udp.h"
#include "support/session_test_support.h"

namespace {

constexpr int kWidth = 2048;
constexpr int kHeight = 1024;
constexpr int kObjects = 500;
constexpr float kDt = 1.0f / 60.0f;

void set_materials() {
    surface_test::set_material_colors();
    gravity = {0.0f, 500.0f};
    step_height = 5;
}

// Hills of earth over rock, a water basin, a few ladders and floating rock ledges; a larger
// level holds that one mirrored side by side, and again below.
SDL_Surface* make_terrain(int width, int height) {
    SDL_Surface* s =
        SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0x00FF0000u, 0x0000FF00u, 0x000000FFu, 0xFF000000u);
    auto put = [s](int x, int y, ColorRGBA c) {
        uint32_t v = c.to_pixel();
        std::memcpy(static_cast<uint8_t*>(s->pixels) + y * s->pitch + x * 4, &v, 4);
    };
    for (int wx = 0; wx < width; ++wx) {
        const int x = wx / kWidth % 2 ? kWidth - 1 - wx % kWidth : wx % kWidth;
        const int ground = 700 + int(120.0 * std::sin(x / 97.0) + 60.0 * std::sin(x / 31.0));
        for (int wy = 0; wy < height; ++wy) {
            const int y = wy % kHeight;
            ColorRGBA c = color_air;
            if (y >= ground + 80) c = color_rock;
            else if (y >= ground) c = color_earth;
            else if (x > 900 && x < 1200 && y > 640) c = color_water;
            else if (x % 400 == 200 && y > ground - 200) c = color_ladder;
            else if (y > 380 && y < 396 && (x / 150) % 3 == 1) c = color_rock;
            put(wx, wy, c);
        }
    }
    return s;
}

struct World {
    // scale: the level's width and height in multiples of the 2048 x 1024 one.
    explicit World(int count = kObjects, int scale = 1) {
        set_materials();
        terrain = make_terrain(kWidth * scale, kHeight * scale);
        game = std::make_unique<QGGame>(QGGame::ServerSide{});
        session_test::make_level_of(*game, terrain);  // as a match's server holds it
        uint32_t seed = 20240611u;
        auto next = [&seed](int n) {
            seed = seed * 1664525u + 1013904223u;
            return int((seed >> 8) % uint32_t(n));
        };
        for (int i = 0; i < count; ++i) {
            const ivec2d size{8 + next(33), 8 + next(33)};
            auto* o = game->spawn<QGPhysObject>(0, size, false, 0.5f + next(40) / 10.0f, 2.0f, 0.1f, next(50) / 100.0f,
                                                uint16_t(1 << (1 + next(3))), 0xffff, 0.5f);
            const float x = float(next(kWidth * scale - 48));
            float y = float(next(500));
            if (scale > 1) y += float(kHeight * next(scale));
            o->position = {x, y};
            o->velocity = {float(next(400) - 200), float(next(200) - 100)};
            spawn.push_back({o, o->position, o->velocity});
        }
        game->active = true;
        game->match_running = true;
        game->paused = false;
        game->update(kDt);
        game->event_handler->queue.clear();
    }
    ~World() {
        game.reset();
        SDL_FreeSurface(terrain);
    }

    void settle(int steps) {
        for (int i = 0; i < steps; ++i) game->update(kDt);
        game->event_handler->queue.clear();
    }
    void relaunch() {
        for (auto& s : spawn) {
            s.object->position = s.position;
            s.object->velocity = s.velocity;
            s.object->on_ground = false;
        }
    }

    struct Spawn {
        QGPhysObject* object;
        dvec2d position;
        dvec2d velocity;
    };
    SDL_Surface* terrain = nullptr;
    std::unique_ptr<QGGame> game;
    std::vector<Spawn> spawn;
};

void BM_ServerStep_Settled(benchmark::State& state) {
    World world;
    world.settle(600);
    for (auto _ : state) world.game->update(kDt);
    int resting = 0;
    for (auto& s : world.spawn) resting += s.object->on_ground;
    state.counters["resting"] = resting;
}
BENCHMARK(BM_ServerStep_Settled)->Unit(benchmark::kMicrosecond);

// 2,000 objects at rest, piled up where they fell: the pair pass dominates the step.
void BM_ServerStep_Settled2000(benchmark::State& state) {
    World world(2000);
    world.settle(600);
    for (auto _ : state) world.game->update(kDt);
}
BENCHMARK(BM_ServerStep_Settled2000)->Unit(benchmark::kMicrosecond);

// 8,000 objects on a level of four times the area: piles as dense as those of 2,000, so the
// step costs what the code's scaling makes it, not what cramming a pile does.
void BM_ServerStep_Settled8000(benchmark::State& state) {
    World world(8000, 2);
    world.settle(600);
    for (auto _ : state) world.game->update(kDt);
}
BENCHMARK(BM_ServerStep_Settled8000)->Unit(benchmark::kMicrosecond);

void BM_ServerStep_Airborne(benchmark::State& state) {
    World world;
    for (auto _ : state) {
        state.PauseTiming();
        world.relaunch();
        state.ResumeTiming();
        world.game->update(kDt);
    }
}
BENCHMARK(BM_ServerStep_Airborne)->Unit(benchmark::kMicrosecond);

void BM_ServerStep_WithUdpSync(benchmark::State& state) {
    World world;
    world.settle(600);
    auto owned = std::make_unique<Udp>();
    Udp* udp = owned.get();
    Udp sink;
    sink.bind(0);
    udp->bind(0);
    udp->add_peer(Connection(sf::IpAddress::LocalHost, sink.local_port()));
    world.game->network().install_transports(nullptr, std::move(owned));
    udp->set_send_interval(0.0f);
    for (auto _ : state) {
        world.game->update(kDt);
        state.PauseTiming();
        sink.receive();
        sink.take_waiting_packets();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_ServerStep_WithUdpSync)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();

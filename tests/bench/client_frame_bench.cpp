// Frame times of the client during a match: a 1280 x 720 window (config.ini) showing a 2048 x 1024
// level with water, 16 players and explosions' particles, the client connected over loopback to
// a server session in this process. Only the client's frames are timed (events, update, draw);
// the server's steps run between them. Run from the run folder under an X server:
//   cd build/run && ../tests/bench/client_frame_bench [frames] [dump folder]
// With a dump folder, every 50th frame's picture is written there as frame_<n>.rgba (raw RGBA
// rows, bottom first), so that two builds' pictures of the same match can be compared byte for byte.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "client/qc_game.h"
#include "client/qc_game_play.h"
#include "client/qc_level_gen.h"
#include "client/qc_spawn_select.h"
#include "engine/gfx/gl_support.h"
#include "engine/core/logger.h"
#include "engine/core/random.h"
#include "engine/ui/button.h"
#include "engine/ui/edit.h"
#include "engine/ui/list_box.h"
#include "engine/ui/scrollbar.h"
#include "game/config/settings.h"
#include "game/entities/qg_player.h"
#include "game/match/qg_chat.h"
#include "game/match/qg_match_controller.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "game/terrain/qg_level.h"
#include "game/water/water_object.h"
#include "net/transport/tcp_server.h"
#include "net/transport/udp.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr float kDt = 1.0f / 60.0f;
constexpr unsigned kPlayers = 16;

struct Bench {
    QCGame* client = nullptr;
    QGGame server{QGGame::ServerSide{}};

    void client_frame() {
        client->poll_events();
        client->update(kDt);
        client->draw_frame(client->screen);
    }
    void server_step() { server.update(kDt); }
    template <typename Done>
    bool run_until(Done done, int limit_ms = 20000) {
        const auto end = Clock::now() + std::chrono::milliseconds(limit_ms);
        while (!done()) {
            if (Clock::now() > end) return false;
            server_step();
            client_frame();
        }
        return true;
    }
};

bool fail(const char* what) {
    std::fprintf(stderr, "client_frame_bench: %s\n", what);
    return false;
}

bool set_up(Bench& b) {
    auto tcp_owned = std::make_unique<TcpServer>();
    auto udp_owned = std::make_unique<Udp>();
    TcpServer* tcp = tcp_owned.get();
    Udp* udp = udp_owned.get();
    b.server.network().install_transports(std::move(tcp_owned), std::move(udp_owned));
    b.server.match_setup().setup_game({kPlayers, 3, 1.0f, 0, 0, {0, 0}});
    if (!tcp->listen_start(0, 0) || !udp->bind(tcp->listening_port())) return fail("no port");
    ready_time = 0.0f;
    b.server.spawn<QGMatchController>(0, MatchSettings{});
    b.server.spawn<QGChat>(0);

    auto* play = dynamic_cast<QCGamePlay*>(
        b.client->join(sf::IpAddress(127, 0, 0, 1), tcp->listening_port(), Callback<void, bool>()));
    const auto end = Clock::now() + std::chrono::seconds(10);
    while (tcp->client_count() == 0 && Clock::now() < end) {
        tcp->accept_client();
        b.client_frame();
    }
    b.server.registry().reliable_objects()[b.server.event_handler->entity_id] = b.server.event_handler;
    b.server.active = true;
    // The other fifteen play on the server itself.
    for (unsigned i = 1; i < kPlayers; ++i) b.server.spawn<QGPlayer>(0, i, i, "Player " + std::to_string(i));

    if (!b.run_until([] { return QCLevelGen::instance != nullptr; })) return fail("no level generator");
    QCLevelGen* generator = QCLevelGen::instance;
    generator->width_edit->set_text("2048");
    generator->height_edit->set_text("1024");
    generator->preset_list->select_item(5);
    generator->water_level_bar->set_value(0.35f);
    generator->scale_y_bar->set_value(0.25f);
    generator->offset_y_bar->set_value(0.75f);
    QCLevelGen::on_button(generator->done_button, nullptr);
    if (!b.run_until([] { return QCSpawnSelect::instance != nullptr; })) return fail("no level");
    b.client->close_top_state();

    // Spawn points spread over the level's width, on the surface.
    SpawnPositions spawns;
    spawns.count = kPlayers;
    QGPlayer* probe = b.server.registry().get_player(1);
    for (unsigned i = 0; i < kPlayers; ++i) {
        const int x = int(64 + i * (2048 - 192) / (kPlayers - 1));
        int y = 0;
        while (y + 66 < 1024 && !probe->overlaps_terrain(x, y + 2, 64, 64, false)) y += 2;
        spawns.positions[i] = {float(x), float(std::max(0, y - 4))};
    }
    b.server.match_setup().set_spawn_positions(spawns);
    if (!b.run_until([&] { return play->client_game->match_running && !play->client_game->paused; }))
        return fail("the match did not start");
    return true;
}

// Keeps the world busy: the server's players run and jump, and now and then something explodes.
void stir(Bench& b, int frame) {
    if (frame % 30 == 0) {
        for (unsigned i = 1; i < kPlayers; ++i) {
            QGPlayer* player = b.server.registry().get_player(i);
            if (!player) continue;
            player->apply_input({i, InputKind(1 + random_below(3)), uint32_t(random_below(2))});
        }
    }
    if (frame % 20 == 0 && b.server.level)
        b.server.terrain().explode({float(random_below(2048)), float(400 + random_below(500))}, 40.0f);
}

// The scene the last frame drew (the post-process pass only blends the damage flash over it).
void dump_frame(const CGameBase& game, const std::string& folder, int frame) {
    const int w = CGameBase::window_width, h = CGameBase::window_height;
    std::vector<unsigned char> pixels(std::size_t(w) * std::size_t(h) * 4);
    glBindFramebuffer(GL_FRAMEBUFFER, game.framebuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    const std::string path = folder + "/frame_" + std::to_string(frame) + ".rgba";
    if (FILE* out = std::fopen(path.c_str(), "wb")) {
        std::fwrite(pixels.data(), 1, pixels.size(), out);
        std::fclose(out);
    }
}

// CPU time of the whole process (the main thread and the GL driver's rasteriser threads), which
// a busy machine inflates far less than the wall clock, or of the calling thread alone.
double cpu_ms(clockid_t clock) {
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) * 1e-6;
}

double percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, std::size_t(p * double(values.size())))];
}

}  // namespace

int main(int argc, char** argv) {
    const int frames = argc > 1 ? std::max(10, std::atoi(argv[1])) : 1200;
    const std::string dump_folder = argc > 2 ? argv[2] : "";
    // A start-up failure ends the process: it says why on the console.
    log_enable();
    log_set_level(LogLevel::Error);
    load_settings();
    QCGame client(sf::IpAddress::None, 0);
    client.on_start();
    // The same match on every run, so that runs and builds compare.
    random_seed(12345);
    Bench bench;
    bench.client = &client;
    if (!set_up(bench)) return 1;

    std::vector<double> times, cpu_times, main_times;
    for (int i = 0; i < frames; ++i) {
        stir(bench, i);
        bench.server_step();
        const auto start = Clock::now();
        const double cpu_start = cpu_ms(CLOCK_PROCESS_CPUTIME_ID), main_start = cpu_ms(CLOCK_THREAD_CPUTIME_ID);
        bench.client_frame();
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        cpu_times.push_back(cpu_ms(CLOCK_PROCESS_CPUTIME_ID) - cpu_start);
        main_times.push_back(cpu_ms(CLOCK_THREAD_CPUTIME_ID) - main_start);
        if (!dump_folder.empty() && i % 50 == 0) dump_frame(client, dump_folder, i);
    }
    QGGame* session = nullptr;
    for (QCGameState* state : client.states)
        if (auto* play = dynamic_cast<QCGamePlay*>(state)) session = play->client_game.get();
    std::size_t players = 0, water = 0;
    if (session)
        for (QGPlayer* player : session->registry().players()) players += player != nullptr;
    for (auto& [id, object] : bench.server.registry().objects())
        if (auto* w = dynamic_cast<sph::WaterObject*>(object)) water = w->particles.size();
    std::printf("%dx%d window, level %dx%d, %zu players, %zu water particles, an explosion every 20 frames\n",
                CGameBase::window_width, CGameBase::window_height, session ? session->terrain().width() : 0,
                session ? session->terrain().height() : 0, players, water);
    std::printf("frames %d: median %.2f ms, 99th percentile %.2f ms, worst %.2f ms\n", frames, percentile(times, 0.5),
                percentile(times, 0.99), percentile(times, 1.0));
    std::printf("CPU time per frame (all threads): median %.2f ms, of the main thread %.2f ms\n",
                percentile(cpu_times, 0.5), percentile(main_times, 0.5));
    client.on_shutdown();
    return 0;
}

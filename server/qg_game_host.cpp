// The server's own constructor and hosting of the game session.
#include <iostream>

#include "game/session/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "net/transport/tcp_server.h"
#include "net/transport/udp.h"
#include "server/broadcaster.h"
#include "server/host_parameters.h"
#include "server/match_objects.h"

namespace {

// A record that did not change comes again at least once in this many packets to a client.
constexpr uint32_t kStateRefreshSends = 8;

}  // namespace

QGGame::QGGame(const HostParameters& params) : QGGame(ServerSide{}) {
    if (!host(params)) quit = true;
}

bool QGGame::host(const HostParameters& params) {
    auto* udp = new Udp();
    auto* tcp = new TcpServer();
    // Send interval, packets per receive, no receive time-out and the connection hooks.
    install_transports(tcp, udp);
    // A client sends only its own requests, a few hundred bytes per packet.
    tcp->max_client_frame_bytes = 256 * 1024;
    // The state goes to each client as what changed for it, at the pace its path carries, so that
    // a thin link keeps room for the events and keep-alives of its TCP stream.
    udp->refresh_sends = kStateRefreshSends;
    udp->path_monitor = tcp;
    game_port = params.port;

    GameParameters rules_record;
    rules_record.player_count = uint32_t(params.num_players);
    rules_record.lives = params.lives;
    rules_record.respawn_time = params.respawn_time;
    rules_record.teams = params.teams ? 1 : 0;
    rules_record.friendly_fire = params.friendly_fire ? 1 : 0;
    setup_game(rules_record);

    // Room for the suffix, so the full name keeps it.
    const std::string name =
        bounded_server_name(params.server_name, kMaxAnnouncedNameBytes - std::char_traits<char>::length(kFullSuffix));
    announce_running = true;
    announce_thread = std::thread(run_broadcaster, name, params.port, &announce_running, lan_announce_port);

    // The host's client leaving before all players came sets quit, which ends the wait: the
    // server then ends as after a match instead of holding its port for ever.
    tcp->cancel_wait = &quit;
    const bool all_came = tcp->listen_start(params.port, uint32_t(params.num_players));
    tcp->cancel_wait = nullptr;
    if (!all_came) {
        if (quit) std::cout << "The host left before all players joined. Closing the server." << std::endl;
        announce_running = false;
        announce_thread.join();
        return false;
    }

    announce_running = false;
    announce_thread.join();
    announce_running = true;
    announce_thread =
        std::thread(run_broadcaster, name + kFullSuffix, params.port, &announce_running, lan_announce_port);

    // Prints the failure line itself.
    if (!udp->bind(params.port)) return false;

    create_match_objects(*this, params);

    std::cout << "All players connected. Starting game..." << std::endl;
    // The set-up record waiting in the handler's queue goes out with the loop's first send.
    reliable_objects[event_handler->entity_id] = event_handler;
    quit = false;
    active = true;
    return true;
}

#include "server/server_hosting.h"

#include <iostream>
#include <memory>

#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "net/transport/tcp_server.h"
#include "net/transport/udp.h"
#include "server/broadcaster.h"
#include "server/host_parameters.h"
#include "server/match_objects.h"

ServerHosting::~ServerHosting() { stop_announcing(); }

void ServerHosting::stop_announcing() {
    announce_running = false;
    if (announce_thread.joinable()) announce_thread.join();
}

void ServerHosting::announce(const std::string& name, unsigned short port) {
    // A new thread only once the previous one has been joined.
    stop_announcing();
    announce_running = true;
    announce_thread = std::thread(run_broadcaster, name, port, &announce_running, lan_announce_port);
}

bool ServerHosting::host(QGGame& game, const HostParameters& params) {
    auto udp_owned = std::make_unique<Udp>();
    auto tcp_owned = std::make_unique<TcpServer>();
    Udp* udp = udp_owned.get();
    TcpServer* tcp = tcp_owned.get();
    // Send interval, packets per receive, no receive time-out and the connection hooks.
    game.network().install_transports(std::move(tcp_owned), std::move(udp_owned));
    // A client sends only its own requests, a few hundred bytes per packet.
    tcp->max_client_frame_bytes = 256 * 1024;
    // The state goes to each client as what changed for it, at the pace its path carries, so that
    // a thin link keeps room for the events and keep-alives of its TCP stream.
    udp->refresh_sends = kStateRefreshSends;
    udp->path_monitor = tcp;
    game.network().set_game_port(params.port);

    GameParameters rules_record;
    rules_record.player_count = uint32_t(params.num_players);
    rules_record.lives = params.lives;
    rules_record.respawn_time = params.respawn_time;
    rules_record.teams = params.teams ? 1 : 0;
    rules_record.friendly_fire = params.friendly_fire ? 1 : 0;
    game.match_setup().setup_game(rules_record);

    // Room for the suffix, so the full name keeps it.
    const std::string name =
        bounded_server_name(params.server_name, kMaxAnnouncedNameBytes - std::char_traits<char>::length(kFullSuffix));
    announce(name, params.port);

    // The host's client leaving before all players came sets quit, which ends the wait: the
    // server then ends as after a match instead of holding its port for ever.
    tcp->cancel_wait = &game.quit;
    const bool all_came = tcp->listen_start(params.port, uint32_t(params.num_players));
    tcp->cancel_wait = nullptr;
    if (!all_came) {
        if (game.quit) std::cout << "The host left before all players joined. Closing the server." << std::endl;
        stop_announcing();
        return false;
    }

    announce(name + kFullSuffix, params.port);

    // Prints the failure line itself.
    if (!udp->bind(params.port)) return false;

    create_match_objects(game, params);

    std::cout << "All players connected. Starting game..." << std::endl;
    // The set-up record waiting in the handler's queue goes out with the loop's first send.
    game.registry().reliable_objects()[game.event_handler->entity_id] = game.event_handler;
    game.quit = false;
    game.active = true;
    return true;
}

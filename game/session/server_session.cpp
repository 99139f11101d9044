#include "game/session/server_session.h"

#include <vector>

#include "engine/core/logger.h"
#include "game/session/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "game/session/qg_object.h"
#include "game/terrain/qg_map_synchronizer.h"
#include "net/transport/tcp_server.h"
#include "net/transport/udp.h"

ServerSession::ServerSession(QGGame& game, const NetClock* clock) : NetworkSession(game, clock) {
    replay_.set_clock(transport_clock_);
}

void ServerSession::exchange() {
    if (tcp_) {
        send_reliable();
        receive_from_clients();
    }
    if (udp_) udp_->send_objects(game_.unreliable_objects());
    // Late joiners become spectators (on_connect decides).
    if (auto* server = dynamic_cast<TcpServer*>(tcp_.get())) server->accept_client();
}

void ServerSession::send_reliable() {
    auto* server = dynamic_cast<TcpServer*>(tcp_.get());
    if (!tcp_->send_objects(game_.reliable_objects()) || !server) return;
    // Behind the packet to all, which carried their creation records.
    const int64_t now = tcp_->now_ms();
    for (auto& [id, object] : game_.registry().one_client_objects()) {
        NetworkableMap only{{id, object}};
        Protocol::build_sync_packet(only, now, one_client_packet_);
        if (one_client_packet_.size() > sync_header_size)
            server->send_to_client(*object->recipient(), one_client_packet_);
    }
}

void ServerSession::receive_from_clients() {
    // Clients may write only the fields that carry their requests; the rest of the world is
    // the server's.
    collect_client_fields_objects();

    tcp_->receive();
    auto* server = dynamic_cast<TcpServer*>(tcp_.get());
    auto& inbox = tcp_->inbox;
    // One client's packets at a time, so that what they carry is tied to that connection.
    while (!inbox.empty()) {
        const Connection from = inbox.begin()->first;
        while (!inbox.empty() && inbox.begin()->first == from) replay_.inbox.insert(inbox.extract(inbox.begin()));

        std::optional<unsigned int> sender;
        if (server) {
            for (auto& [id, client] : server->clients)
                if (!client.dropped && client.link && client.link->remote() == from) sender = id;
        }
        if (!sender) {
            log_peer_message(from.to_string(), game_.now_ms(), LogLevel::Warning,
                             "Dropped packets from " + from.to_string() + ", which is no client.",
                             log_class_name_of(game_));
            replay_.inbox.clear();
            continue;
        }
        game_.current_sender = sender;
        {
            // What a client sends may be refused record by record; the lines that costs are
            // limited per client.
            LogPeerScope scope(from.to_string(), game_.now_ms());
            replay_.receive_objects(client_fields_objects_);
        }
        game_.current_sender.reset();
        replay_.inbox.clear();
    }
    client_fields_objects_.clear();
}

void ServerSession::on_connect(Protocol*, unsigned int connection_id, unsigned short, Connection remote) {
    if (udp_) udp_->add_peer(remote);
    // A player slot before the start: the player comes with its join request.
    if (connection_id < game_.rules.player_count && !game_.match_running) return;
    // A connection watches once: its snapshot and map stream are not sent again.
    if (!spectators_.insert(connection_id).second) return;
    print_peer_line(address_text(remote.address), game_.now_ms(), "A spectator joins the game.");
    send_spectator_snapshot(connection_id, remote);
}

void ServerSession::on_disconnect(Protocol*, unsigned int connection_id, unsigned short, Connection remote) {
    if (udp_) udp_->remove_peer(remote);
    replay_.forget(remote);
    log_forget_peer(remote.to_string());
    spectators_.erase(connection_id);
    stop_map_synchronizers(connection_id);
    if (QGPlayer* player = game_.get_player(connection_id)) {
        if (unsigned int id = game_.registry().entity_of_player(player)) game_.remove_object(id);
    }
    // The host's client leaving before the start, or the last player leaving, ends the
    // session. The leaving player's slot is still occupied until the removal is committed.
    // While the hosting still waits for its players no one has joined yet, so only the host's
    // client counts; the others' places are taken again by the next newcomers.
    bool others = false;
    const std::vector<QGPlayer*>& players = game_.players();
    for (size_t i = 0; i < players.size(); ++i)
        if (i != connection_id && players[i]) others = true;
    const bool waiting = !game_.active.load(std::memory_order_acquire);
    if ((connection_id == 0 && !game_.match_running) || (!others && !waiting)) {
        game_.match_running = false;
        game_.quit = true;
    }
}

void ServerSession::stop_map_synchronizers(unsigned int connection_id) {
    // Collected first: stopping a pending one deletes it from the list being walked.
    for (QGMapSynchronizer* sync : game_.registry().all_of<QGMapSynchronizer>())
        if (sync->target == connection_id) sync->stop();
}

void ServerSession::send_spectator_snapshot(unsigned int connection_id, const Connection& remote) {
    auto* server = dynamic_cast<TcpServer*>(tcp_.get());
    if (!server) return;

    QGEventHandler snapshot(&game_, 1, true);
    game_.match_setup().post_snapshot(snapshot);

    // One packet to this connection alone, at once.
    NetworkableMap only{{1u, &snapshot}};
    Protocol::build_sync_packet(only, server->now_ms(), one_client_packet_);
    server->send_to_client(connection_id, one_client_packet_);

    // The level's record made the newcomer generate the level as it began; the explosions since
    // reach it tile by tile.
    if (game_.level) {
        print_peer_line(address_text(remote.address), game_.now_ms(), "Sending current map to spectator...");
        new QGMapSynchronizer(&game_, 0, connection_id);
    }
}

#include "game/session/server_session.h"

#include <algorithm>
#include <vector>

#include "engine/core/logger.h"
#include "game/entities/qg_player.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "game/base/qg_object.h"
#include "game/terrain/qg_map_synchronizer.h"
#include "net/transport/tcp_server.h"
#include "net/transport/udp.h"

ServerSession::ServerSession(QGGame& game, const NetClock* clock) : NetworkSession(game, clock) {}

void ServerSession::exchange() {
    if (tcp_) {
        send_reliable();
        receive_from_clients();
    }
    if (udp_) udp_->send_objects(game_.registry().unreliable_objects());
    // Late joiners become spectators (on_connect decides).
    if (TcpServer* tcp_server = server()) tcp_server->accept_client();
}

void ServerSession::send_reliable() {
    TcpServer* tcp_server = server();
    if (!tcp_->send_objects(game_.registry().reliable_objects()) || !tcp_server) return;
    // Behind the packet to all, which carried their creation records.
    const int64_t now = tcp_->now_ms();
    send_addressed_events(*tcp_server, now);
    for (auto& [id, object] : game_.registry().one_client_objects()) {
        // A joiner's map goes a tile at a time, the next once the last has left this machine:
        // its keep-alives are not queued behind the whole map, and the link it shares is not
        // flooded at once.
        if (backed_up(*tcp_server, *object->recipient())) continue;
        send_alone(*tcp_server, id, *object, *object->recipient(), now);
    }
}

void ServerSession::send_alone(TcpServer& tcp_server, unsigned int id, Networkable& object, unsigned int connection,
                               int64_t now) {
    NetworkableMap only{{id, &object}};
    Protocol::build_sync_packet(only, now, one_client_packet_);
    if (one_client_packet_.size() > sync_header_size) tcp_server.send_to_client(connection, one_client_packet_);
}

void ServerSession::send_addressed_events(TcpServer& tcp_server, int64_t now) {
    QGEventHandler* handler = game_.event_handler;
    if (!handler || handler->addressed.empty()) return;
    std::vector<QGEventHandler::AddressedEvent> events = std::move(handler->addressed);
    handler->addressed.clear();
    // Each client's events in the order they were posted, in one packet of the handler's record.
    std::ranges::stable_sort(events, {}, &QGEventHandler::AddressedEvent::connection);
    QGEventHandler one(&game_, handler->entity_id);
    for (auto from = events.begin(); from != events.end();) {
        const unsigned int connection = from->connection;
        for (; from != events.end() && from->connection == connection; ++from)
            one.queue.push_back(std::move(from->event));
        send_alone(tcp_server, one.entity_id, one, connection, now);
    }
}

bool ServerSession::backed_up(const TcpServer& tcp_server, unsigned int client) {
    const ConnectedClient* connected = tcp_server.client(client);
    PathReport path;
    return connected && connected->link && connected->link->path(path) &&
           path.unsent_bytes > SendPace::reliable_waiting_bytes;
}

void ServerSession::receive_from_clients() {
    TcpServer* tcp_server = server();
    if (!tcp_server) {
        tcp_->receive();
        for (auto& [from, packet] : tcp_->take_waiting_packets())
            log_peer_message(from.to_string(), game_.now_ms(), LogLevel::Warning,
                             "Dropped packets from " + from.to_string() + ", which is no client.",
                             log_class_name_of(game_));
        return;
    }
    // With the frames that came while the hosting waited for the players.
    tcp_server->receive();
    // The clients in the order of their addresses, each one's frames as they came.
    std::stable_sort(frames_.begin(), frames_.end(),
                     [](const Frame& a, const Frame& b) { return a.remote < b.remote; });
    for (size_t i = 0; i < frames_.size();) {
        // What a client sends may be refused record by record; the lines that costs are
        // limited per client.
        LogPeerScope scope(frames_[i].remote.to_string(), game_.now_ms());
        const unsigned int client = frames_[i].client;
        for (; i < frames_.size() && frames_[i].client == client; ++i)
            if (!frames_[i].gone) on_frame(client, frames_[i].remote, frames_[i].packet);
    }
    frames_.clear();
}

void ServerSession::transports_installed() {
    server_ = dynamic_cast<TcpServer*>(tcp_.get());
    if (server_)
        server_->on_frame = [this](unsigned int client, const Connection& remote, ByteBuffer& packet) {
            keep_frame(client, remote, packet);
        };
}

void ServerSession::keep_frame(unsigned int client, const Connection& remote, ByteBuffer& packet) {
    frames_.push_back({client, remote, std::move(packet)});
}

void ServerSession::on_frame(unsigned int client, const Connection& remote, ByteBuffer& packet) {
    // Frames come through the TCP transport, which keeps the newest send times per sender.
    if (!tcp_) return;
    // Clients may write only the fields that carry their requests; the rest of the world is the
    // server's.
    const ObjectRegistry& registry = game_.registry();
    const auto find = [&registry](uint32_t id) { return registry.client_writable(id); };
    const auto apply = [client](QGObject& object, const uint8_t* bytes, uint32_t size, int64_t) {
        // The record gets a buffer of its own, so a field list that reads too much or too little
        // cannot disturb the records behind it.
        ByteBuffer record(bytes, size);
        object.read_client_fields(record, client);
    };
    if (!tcp_->walk_sync_packet(remote, packet, find, apply))
        log_message(LogLevel::Warning,
                    "Dropped a malformed sync packet of " + std::to_string(packet.size()) + " bytes from client " +
                        std::to_string(client),
                    log_class_name_of(game_));
}

void ServerSession::on_connect(Protocol*, unsigned int connection_id, unsigned short, Connection remote) {
    if (udp_) udp_->add_peer(remote);
    // A player slot before the start: the player comes with its join request.
    if (connection_id < game_.rules.player_count && !game_.match_running) return;
    // A connection watches once: its snapshot and map stream are not sent again.
    if (!spectators_.insert(connection_id).second) return;
    // It answered its id as a player does: its lines print whole, within the console's cap.
    print_net_line("A spectator joins the game.");
    send_spectator_snapshot(connection_id);
}

void ServerSession::on_disconnect(Protocol*, unsigned int connection_id, unsigned short, Connection remote) {
    if (udp_) udp_->remove_peer(remote);
    // What it sent and has not been applied goes with it (the transport forgets its send times).
    for (Frame& frame : frames_)
        if (frame.client == connection_id) frame.gone = true;
    log_forget_peer(remote.to_string());
    spectators_.erase(connection_id);
    stop_map_synchronizers(connection_id);
    if (QGPlayer* player = game_.registry().get_player(connection_id)) {
        game_.remove_object(player->entity_id);
    }
    // The host's client leaving before the start, or the last player leaving, ends the
    // session. The leaving player's slot is still occupied until the removal is committed.
    // While the hosting still waits for its players no one has joined yet, so only the host's
    // client counts; the others' places are taken again by the next newcomers.
    bool others = false;
    const std::vector<QGPlayer*>& players = game_.registry().players();
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

void ServerSession::send_spectator_snapshot(unsigned int connection_id) {
    TcpServer* tcp_server = server();
    if (!tcp_server) return;

    QGEventHandler snapshot(&game_, 1);
    game_.match_setup().post_snapshot(snapshot);

    // One packet to this connection alone, at once.
    send_alone(*tcp_server, 1u, snapshot, connection_id, tcp_server->now_ms());

    // The level's record made the newcomer generate the level as it began; the explosions since
    // reach it tile by tile.
    if (game_.level) {
        print_net_line("Sending current map to spectator...");
        game_.spawn<QGMapSynchronizer>(0, connection_id);
    }
}

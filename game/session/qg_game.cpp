#include "game/session/qg_game.h"

#include <algorithm>
#include <chrono>
#include <iostream>

#include "engine/core/ini.h"
#include "engine/core/logger.h"
#include "game/config/settings.h"
#include "game/physics/qg_phys_object.h"
#include "game/base/drawing_services.h"
#include "game/session/qg_event_handler.h"
#include "game/base/qg_object.h"
#include "game/terrain/qg_map_synchronizer.h"
#include "net/transport/tcp_client.h"
#include "net/transport/tcp_server.h"
#include "net/transport/udp.h"

std::string QGGame::join_name_override;

namespace {

// Far enough ahead that every time-out of a connection attempt has run out.
constexpr int64_t kTeardownJumpMs = int64_t(1) << 40;

constexpr float kSendInterval = 0.033f;
// Longest frame a client takes from the server: far above the largest snapshot, map tile or
// water stream of a 4096 x 4096 level, far below what would hurt a client to hold.
constexpr uint32_t kMaxServerFrameBytes = 32 * 1024 * 1024;
constexpr uint32_t kPacketsPerReceive = 50;

}  // namespace

int64_t QGGame::TeardownClock::now_ms() const {
    const int64_t now = (base ? base : &NetClock::system())->now_ms();
    return tearing_down.load(std::memory_order_acquire) ? now + kTeardownJumpMs : now;
}

void QGGame::init_common() {
    transport_clock_.base = clock_ ? clock_ : &NetClock::system();
    replay_.set_clock(transport_clock_);
}

QGGame::QGGame(DrawingServices* drawing_, unsigned short port, sf::IpAddress server, Callback<void, bool> on_connected,
               const NetClock* clock)
    : drawing(drawing_), clock_(clock) {
    init_common();
    is_server = false;
    // Requested with id 0, which a client's registry refuses: the connect thread enters the
    // handler under id 1, the id it has on every side.
    event_handler = new QGEventHandler(this, 0);
    connect_thread_ = std::thread([this, port, server, result = std::move(on_connected)]() mutable {
        connect(port, server, std::move(result));
    });
}

QGGame::QGGame(ServerSide, const NetClock* clock) : clock_(clock) {
    init_common();
    is_server = true;
    event_handler = new QGEventHandler(this, 0);
}

QGGame::~QGGame() {
    announce_running = false;
    if (announce_thread.joinable()) announce_thread.join();
    // A connection attempt in progress gives up at once; its thread reports nothing more.
    transport_clock_.tearing_down.store(true, std::memory_order_release);
    if (connect_thread_.joinable()) connect_thread_.join();

    // Deleting a transport closes its connections; no hook may reach this half-destroyed
    // session from there.
    if (tcp_transport) {
        tcp_transport->on_connect = ConnectionCallback();
        tcp_transport->on_disconnect = ConnectionCallback();
    }
    if (!is_server) log_forget_peer(server_peer());

    std::set<QGObject*> owned;
    for (auto& [id, object] : objects) owned.insert(object);
    for (QGObject* object : pending_objects) owned.insert(object);
    if (event_handler) owned.insert(event_handler);
    objects.clear();
    pending_objects.clear();
    pending_physics.clear();
    physics_objects.clear();
    reliable_objects.clear();
    unreliable_objects.clear();
    client_fields_objects_.clear();
    one_client_objects_.clear();
    players.clear();
    removal_queue.clear();
    event_handler = nullptr;
    for (QGObject* object : owned) delete object;

    delete udp_transport;
    delete tcp_transport;
    udp_transport = nullptr;
    tcp_transport = nullptr;
}

std::string QGGame::server_peer() const {
    const auto* client = dynamic_cast<const TcpClient*>(tcp_transport);
    return client ? client->link.remote().to_string() : "the server";
}

int64_t QGGame::now_ms() const {
    if (clock_) return clock_->now_ms();
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// --- world step ---

void QGGame::update(float dt) {
    if (!active.load(std::memory_order_acquire)) return;
    // What a client's step logs comes of what its server sent: limited per kind as a server
    // limits each client's lines.
    std::optional<LogPeerScope> from_server;
    if (!is_server) from_server.emplace(server_peer(), now_ms());

    if (match_running) {
        if (is_server) {
            for (auto& [id, object] : objects) {
                if (paused && !object->updates_while_paused()) continue;
                object->update(dt);
            }
            if (!paused) run_collisions();
        } else {
            for (auto& [id, object] : objects)
                if (object->updates_on_client()) object->update(dt);
        }
    }

    flush_registrations();

    if (tcp_transport) {
        send_reliable();
        receive_reliable();
    }
    if (udp_transport) {
        if (is_server) udp_transport->send_objects(unreliable_objects);
        else udp_transport->receive_objects(unreliable_objects);
    }

    if (is_server) {
        // Late joiners become spectators (on_connect decides).
        if (auto* server = dynamic_cast<TcpServer*>(tcp_transport)) server->accept_client();
    } else {
        for (auto& [id, object] : objects) {
            object->update_sprite();
            if (ObjectLook* look = object->look()) look->update();
        }
    }

    flush_removals();
}

void QGGame::run_collisions() {
    // Every object meets every later one before it meets the terrain, in list order; the grid
    // only skips the pairs whose boxes cannot overlap. The box of object i is held in locals for
    // the exact test and read again whenever a pair response may have moved it.
    const size_t n = physics_objects.size();
    QGPhysObject* const* list = physics_objects.data();
    broad_phase_.build(list, n);
    for (size_t i = 0; i < n; ++i) {
        QGPhysObject* a = list[i];
        float ax = a->position.x, ay = a->position.y;
        float ax1 = ax + float(a->size.x), ay1 = ay + float(a->size.y);
        size_t after = i;
        for (bool again = true; again;) {
            again = false;
            for (const uint32_t j : broad_phase_.candidates(i, after)) {
                const QGPhysObject* b = list[j];
                const float bx = b->position.x, by = b->position.y;
                if (!(ax < bx + float(b->size.x) && ay < by + float(b->size.y) && bx < ax1 && by < ay1)) continue;
                const bool reacted = QGPhysObject::collide_pair(a, list[j]);
                ax = a->position.x;
                ay = a->position.y;
                ax1 = ax + float(a->size.x);
                ay1 = ay + float(a->size.y);
                after = j;
                // A reaction other than the plain one may have moved anything still to come.
                if (reacted && (!broad_phase_.plain(i) || !broad_phase_.plain(j))) {
                    broad_phase_.refresh_from(i + 1);
                    again = true;
                    break;
                }
                broad_phase_.refresh(j);
                if (broad_phase_.left_cells(i)) {
                    again = true;
                    break;
                }
            }
        }
        if (!a->is_static()) {
            const bool reacted = QGPhysObject::collide_with_terrain(a);
            if (reacted && !broad_phase_.plain(i)) broad_phase_.refresh_from(i + 1);
        }
    }
}

void QGGame::collect_client_fields_objects() {
    client_fields_objects_.clear();
    for (auto& [id, networkable] : reliable_objects) {
        auto* object = dynamic_cast<QGObject*>(networkable);
        if (object && object->accepts_client_fields()) client_fields_objects_.emplace(id, networkable);
    }
}

void QGGame::send_reliable() {
    if (!is_server) {
        // The server reads nothing else from a client: the rest would cross the link for nothing.
        collect_client_fields_objects();
        tcp_transport->send_objects(client_fields_objects_);
        return;
    }
    auto* server = dynamic_cast<TcpServer*>(tcp_transport);
    if (!tcp_transport->send_objects(reliable_objects) || !server) return;
    // Behind the packet to all, which carried their creation records.
    const int64_t now = tcp_transport->now_ms();
    for (auto& [id, object] : one_client_objects_) {
        NetworkableMap only{{id, object}};
        Protocol::build_sync_packet(only, now, one_client_packet_);
        if (one_client_packet_.size() > sync_header_size)
            server->send_to_client(*object->recipient(), one_client_packet_);
    }
}

void QGGame::receive_reliable() {
    if (is_server) receive_from_clients();
    else tcp_transport->receive_objects(reliable_objects);
}

void QGGame::receive_from_clients() {
    // Clients may write only the fields that carry their requests; the rest of the world is
    // the server's.
    collect_client_fields_objects();

    tcp_transport->receive();
    auto* server = dynamic_cast<TcpServer*>(tcp_transport);
    auto& inbox = tcp_transport->inbox;
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
            log_peer_message(from.to_string(), now_ms(), LogLevel::Warning,
                             "Dropped packets from " + from.to_string() + ", which is no client.",
                             log_class_name_of(*this));
            replay_.inbox.clear();
            continue;
        }
        current_sender = sender;
        {
            // What a client sends may be refused record by record; the lines that costs are
            // limited per client.
            LogPeerScope scope(from.to_string(), now_ms());
            replay_.receive_objects(client_fields_objects_);
        }
        current_sender.reset();
        replay_.inbox.clear();
    }
}

// --- registry ---

bool QGGame::register_object(QGObject* object) {
    if (!object) return false;
    const unsigned int id = object->entity_id;
    if (id == 0) {
        log_message(LogLevel::Warning, "Tried to register Object with invalid EntityID NULL. Object not registered.",
                    log_class_name_of(*this));
        return false;
    }
    auto found = objects.find(id);
    if (found != objects.end()) {
        if (found->second == object) return true;
        // The old object goes when the new one is committed, outside every walk over the
        // registry.
        log_message(LogLevel::Warning,
                    "Re-registering EntityID " + std::to_string(id) +
                        ". Replacing existing object, this may cause access violations.",
                    log_class_name_of(*this));
    }
    pending_objects.push_back(object);
    return true;
}

void QGGame::add_pending_physics(QGPhysObject* object) {
    if (!object) return;
    if (std::find(physics_objects.begin(), physics_objects.end(), object) != physics_objects.end()) return;
    pending_physics.insert(object);
}

void QGGame::flush_registrations() {
    if (pending_objects.empty() && pending_physics.empty()) return;
    committed_ids_.clear();
    committed_now_.clear();
    for (auto it = pending_objects.begin(); it != pending_objects.end();) {
        QGObject* object = *it;
        const unsigned int id = object->entity_id;
        if (committed_ids_.count(id)) {
            // Two new objects under one id: the first one keeps it.
            log_message(LogLevel::Warning,
                        "Dropped a second new object with EntityID " + std::to_string(id) + ".",
                        log_class_name_of(*this));
            it = std::next(it);
            destroy_pending(std::prev(it));
            continue;
        }
        auto found = objects.find(id);
        if (found != objects.end() && found->second != object) destroy_object(found->second);
        objects[id] = object;
        if (is_server && object->reliable && object->recipient()) one_client_objects_[id] = object;
        else (object->reliable ? reliable_objects : unreliable_objects)[id] = object;
        committed_ids_.insert(id);
        committed_now_.push_back(object);
        ++it;
    }
    for (QGPhysObject* object : pending_physics) physics_objects.push_back(object);

    // The clients build their copies from the creation records, sent with this step's packet.
    if (is_server && event_handler) {
        for (QGObject* object : committed_now_) {
            QGEvent record;
            object->write_creation_event(record);
            event_handler->enqueue(record);
        }
    }
    pending_objects.clear();
    pending_physics.clear();
    committed_now_.clear();
}

void QGGame::destroy_pending(std::list<QGObject*>::iterator it) {
    QGObject* object = *it;
    pending_objects.erase(it);
    for (auto p = pending_physics.begin(); p != pending_physics.end(); ++p) {
        if (static_cast<QGObject*>(*p) == object) {
            pending_physics.erase(p);
            break;
        }
    }
    delete object;
}

void QGGame::destroy_object(QGObject* object) {
    const unsigned int id = object->entity_id;
    for (auto p = physics_objects.begin(); p != physics_objects.end(); ++p) {
        if (static_cast<QGObject*>(*p) == object) {
            physics_objects.erase(p);
            break;
        }
    }
    // A player slot holds the player object itself, which is also the most derived object.
    const void* whole = dynamic_cast<const void*>(object);
    for (QGPlayer*& slot : players) {
        if (slot && static_cast<const void*>(slot) == whole) {
            slot = nullptr;
            break;
        }
    }
    for (NetworkableMap* map : {&reliable_objects, &unreliable_objects, &client_fields_objects_}) {
        auto found = map->find(id);
        if (found != map->end() && found->second == object) map->erase(found);
    }
    if (auto found = one_client_objects_.find(id); found != one_client_objects_.end() && found->second == object)
        one_client_objects_.erase(found);
    auto found = objects.find(id);
    if (found != objects.end() && found->second == object) objects.erase(found);
    if (event_handler == object) event_handler = nullptr;
    delete object;
}

void QGGame::flush_removals() {
    if (removal_queue.empty()) return;
    // Removals requested by destructors wait for the next step.
    std::set<unsigned int> ids;
    ids.swap(removal_queue);
    for (unsigned int id : ids) {
        auto found = objects.find(id);
        if (found != objects.end()) destroy_object(found->second);
    }
}

void QGGame::remove_object(unsigned int id) {
    if (id == 0) return;
    if (event_handler && id == event_handler->entity_id) {
        log_message(LogLevel::Warning, "Refused to remove the event handler (EntityID " + std::to_string(id) + ").",
                    log_class_name_of(*this));
        return;
    }
    bool known = false;
    for (auto it = pending_objects.begin(); it != pending_objects.end(); ++it) {
        if ((*it)->entity_id == id) {
            destroy_pending(it);
            known = true;
            break;
        }
    }
    if (!known) {
        // A second removal of the same id within a step is the same removal.
        if (!objects.count(id) || !removal_queue.insert(id).second) return;
    }
    if (is_server && event_handler) event_handler->post<EQGEventType::RemoveObject>(IdRecord{id}, true);
}

QGObject* QGGame::find_object(unsigned int id) const {
    auto found = objects.find(id);
    return found == objects.end() ? nullptr : found->second;
}

bool QGGame::holds_id(unsigned int id) const {
    if (objects.count(id)) return true;
    return std::any_of(pending_objects.begin(), pending_objects.end(),
                       [id](const QGObject* o) { return o->entity_id == id; });
}

QGPlayer* QGGame::get_player(unsigned int index) const {
    return index < players.size() ? players[index] : nullptr;
}

unsigned int QGGame::player_entity_id(const QGPlayer* player) const {
    const void* wanted = static_cast<const void*>(player);
    for (auto& [id, object] : objects)
        if (dynamic_cast<const void*>(object) == wanted) return id;
    return 0;
}

// --- connection ---

void QGGame::install_transports(Tcp* tcp, Udp* udp) {
    if (tcp_transport && tcp_transport != tcp) {
        tcp_transport->on_connect = ConnectionCallback();
        tcp_transport->on_disconnect = ConnectionCallback();
        delete tcp_transport;
    }
    if (udp_transport && udp_transport != udp) delete udp_transport;
    tcp_transport = tcp;
    udp_transport = udp;
    for (Protocol* p : {static_cast<Protocol*>(tcp), static_cast<Protocol*>(udp)}) {
        if (!p) continue;
        p->set_clock(transport_clock_);
        p->set_send_interval(kSendInterval);
        p->max_packets_per_receive = kPacketsPerReceive;
    }
    if (auto* client = dynamic_cast<TcpClient*>(tcp)) client->link.max_frame_bytes = kMaxServerFrameBytes;
    if (tcp) {
        // A long level generation must not end the connection.
        tcp->timeout_ms = 0;
        tcp->on_connect = ConnectionCallback(this, &QGGame::on_connect);
        tcp->on_disconnect = ConnectionCallback(this, &QGGame::on_disconnect);
    }
}

bool QGGame::connect(unsigned short port, sf::IpAddress server, Callback<void, bool> result) {
    event_handler->entity_id = 1;
    objects[1] = event_handler;
    reliable_objects[1] = event_handler;
    game_port = port;

    auto* udp = new Udp();
    log_message(LogLevel::Status, "UDP connection initialized.", log_class_name_of(*this));
    auto* tcp = new TcpClient();
    log_message(LogLevel::Status, "TCP connection initialized.", log_class_name_of(*this));
    install_transports(tcp, udp);

    log_message(LogLevel::Status, "Opening TCP connection...", log_class_name_of(*this));
    // A session torn down at once does not start the attempt, and one being torn down does not
    // call back into its owner, which is going away.
    const bool opened =
        !transport_clock_.tearing_down.load(std::memory_order_acquire) && tcp->open(server, port, 10.0f);
    const bool leaving = transport_clock_.tearing_down.load(std::memory_order_acquire);
    if (!opened) {
        log_message(LogLevel::Error, "Failed to open TCP connection.", log_class_name_of(*this));
        connect_failed = true;
        if (!leaving && result.is_valid()) result(false);
        quit = true;
        return false;
    }
    log_message(LogLevel::Status, "TCP connection opened.", log_class_name_of(*this));
    event_handler->delay_ms = udp->get_latency();
    if (!leaving && result.is_valid()) result(true);
    active.store(true, std::memory_order_release);
    return true;
}

void QGGame::on_connect(Protocol*, unsigned int connection_id, unsigned short local_port, Connection remote) {
    if (!is_server) {
        if (udp_transport) {
            udp_transport->bind(local_port);
            udp_transport->add_peer(Connection(remote.address, game_port));
        }
        local_player_id = connection_id;
        post_join_request(connection_id);
        return;
    }
    if (udp_transport) udp_transport->add_peer(remote);
    // A player slot before the start: the player comes with its join request.
    if (connection_id < rules.player_count && !match_running) return;
    // A connection watches once: its snapshot and map stream are not sent again.
    if (!spectators.insert(connection_id).second) return;
    print_peer_line(address_text(remote.address), now_ms(), "A spectator joins the game.");
    send_spectator_snapshot(connection_id, remote);
}

void QGGame::post_join_request(unsigned int connection_id) {
    // The name the main menu stores.
    const std::string name = join_name_override.empty() ? setting_keys::user_name.read()
                                                      : join_name_override;
    event_handler->post<EQGEventType::JoinGame>(JoinRequest{name, connection_id});
}

void QGGame::on_disconnect(Protocol*, unsigned int connection_id, unsigned short, Connection remote) {
    if (!is_server) {
        if (udp_transport) {
            udp_transport->unbind();
            udp_transport->remove_peer(Connection(remote.address, game_port));
        }
        match_running = false;
        log_forget_peer(remote.to_string());
        disconnect_hook();
        return;
    }
    if (udp_transport) udp_transport->remove_peer(remote);
    replay_.forget(remote);
    log_forget_peer(remote.to_string());
    spectators.erase(connection_id);
    stop_map_synchronizers(connection_id);
    if (QGPlayer* player = get_player(connection_id)) {
        if (unsigned int id = player_entity_id(player)) remove_object(id);
    }
    // The host's client leaving before the start, or the last player leaving, ends the
    // session. The leaving player's slot is still occupied until the removal is committed.
    // While the hosting still waits for its players no one has joined yet, so only the host's
    // client counts; the others' places are taken again by the next newcomers.
    bool others = false;
    for (size_t i = 0; i < players.size(); ++i)
        if (i != connection_id && players[i]) others = true;
    const bool waiting = !active.load(std::memory_order_acquire);
    if ((connection_id == 0 && !match_running) || (!others && !waiting)) {
        match_running = false;
        quit = true;
    }
}

void QGGame::stop_map_synchronizers(unsigned int connection_id) {
    // Collected first: stopping a pending one deletes it from the list being walked.
    std::vector<QGMapSynchronizer*> found;
    auto collect = [&](QGObject* object) {
        auto* sync = dynamic_cast<QGMapSynchronizer*>(object);
        if (sync && sync->target == connection_id) found.push_back(sync);
    };
    for (auto& [id, object] : objects) collect(object);
    for (QGObject* object : pending_objects) collect(object);
    for (QGMapSynchronizer* sync : found) sync->stop();
}

GameParameters QGGame::current_parameters() const {
    GameParameters p;
    p.player_count = rules.player_count;
    p.lives = rules.lives;
    p.respawn_time = rules.respawn_time;
    p.teams = rules.teams ? 1 : 0;
    p.friendly_fire = rules.friendly_fire ? 1 : 0;
    return p;
}

void QGGame::setup_game(const GameParameters& params) {
    players.resize(params.player_count, nullptr);
    rules.player_count = params.player_count;
    rules.lives = params.lives;
    rules.respawn_time = params.respawn_time;
    rules.teams = params.teams != 0;
    rules.friendly_fire = params.friendly_fire != 0;
    quit = false;
    if (is_server) {
        std::cout << "Performing initial game setup." << std::endl;
        event_handler->post<EQGEventType::SetupGame>(params);
    }
}

void QGGame::send_spectator_snapshot(unsigned int connection_id, const Connection& remote) {
    auto* server = dynamic_cast<TcpServer*>(tcp_transport);
    if (!server) return;

    QGEventHandler snapshot(this, 1, true);
    snapshot.post<EQGEventType::SetupGame>(current_parameters());
    if (match_running) {
        // The record holds 16 points; a longer list sends its first 16.
        SpawnPositions spawns;
        spawns.count = uint32_t(std::min<size_t>(spawn_positions.size(), kMaxSpawnPositions));
        for (uint32_t i = 0; i < spawns.count; ++i) {
            spawns.positions[i].x = spawn_positions[i].x;
            spawns.positions[i].y = spawn_positions[i].y;
        }
        snapshot.post<EQGEventType::SetSpawnPositions>(spawns);
    }
    for (auto& [id, object] : objects) {
        QGEvent creation;
        object->write_creation_event(creation);
        snapshot.enqueue(creation);
    }
    if (match_running) snapshot.post<EQGEventType::StartGame>();
    if (paused) snapshot.post<EQGEventType::Pause>();
    else snapshot.post<EQGEventType::Resume>();

    // One packet to this connection alone, at once.
    NetworkableMap only{{1u, &snapshot}};
    Protocol::build_sync_packet(only, server->now_ms(), one_client_packet_);
    server->send_to_client(connection_id, one_client_packet_);

    // The level's record made the newcomer generate the level as it began; the explosions since
    // reach it tile by tile.
    if (level) {
        print_peer_line(address_text(remote.address), now_ms(), "Sending current map to spectator...");
        new QGMapSynchronizer(this, 0, connection_id);
    }
}

#pragma once
#include <SFML/Network/IpAddress.hpp>

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/core/callback.h"
#include "engine/core/geometry.h"
#include "game/session/collision_pass.h"
#include "game/session/match_setup.h"
#include "game/session/network_session.h"
#include "game/session/object_registry.h"
#include "game/base/game_session.h"
#include "game/base/qg_object.h"
#include "game/base/session_records.h"
#include "game/session/session_terrain.h"
#include "net/sync/net_clock.h"
#include "net/sync/protocol.h"
#include "net/transport/connection.h"

class QGObject;
class QGPhysObject;
class QGPlayer;
class QGEventHandler;
class QGChat;
class QGLevel;
class ClientSession;
class DrawingServices;
class Udp;
struct SDL_Surface;
struct LevelCreation;
struct LevelObject;

// The game session: one per process in the programs, reached by every game object through its
// owner pointer as the GameSession it implements. The same class runs on the client and on the dedicated server; is_server
// selects the authoritative or the replicating behaviour. The session composes its parts (the
// object registry, the collision pass, the terrain, the match set-up and the network side, a
// client's or the server's) and runs the world step update(): object updates, collisions, the
// commit of new objects, the network exchange and the removal of dead objects, always in that
// order. One road per caller: the objects ask the GameSession; the programs use the session's own
// names below and, for anything else a part does, the part itself (registry(), terrain(),
// match_setup(), network()).
class QGGame final : public GameSession {
public:
    // Selects the server constructor.
    struct ServerSide {};
    // Selects the constructor of a client that never connects (tests): it replicates what is
    // handed to its objects.
    struct Offline {};

    // Client: keeps the drawing services (null: the session runs headless) and opens the
    // connection on a thread of its own; on_connected is called once on that thread. A clock may
    // be handed in (tests); it must outlive the session. The client joins under join_name, or
    // under config.ini's name when it is empty.
    QGGame(DrawingServices* drawing, unsigned short port, sf::IpAddress server, Callback<void, bool> on_connected,
           const NetClock* clock = nullptr, std::string join_name = {});
    // Server: the empty authoritative session, paused and idle. The server program's hosting
    // installs the transports, sets the game up, accepts the players and activates the session.
    explicit QGGame(ServerSide, const NetClock* clock = nullptr);
    // A client session without a connection, its event handler entered under id 1 at once.
    explicit QGGame(Offline, DrawingServices* drawing = nullptr, const NetClock* clock = nullptr);
    // Stops and joins the connect thread, clears the transports' hooks, deletes every object
    // and then the transports.
    ~QGGame();

    QGGame(const QGGame&) = delete;
    QGGame& operator=(const QGGame&) = delete;

    // The session of an object of the layers above this one (the match, the event table), which
    // hold only the GameSession they were made with: null when that is no QGGame.
    static QGGame* of(GameSession* session) { return dynamic_cast<QGGame*>(session); }

    // The world step; dt is the time since the previous step in seconds.
    void update(float dt);

    // --- the object registry ---

    // Objects are made with spawn (GameSession), which registers them here.
    bool register_object(std::unique_ptr<QGObject> object) override;
    // Commits the objects registered since the last commit; the server posts their creation
    // records, sent with this step's packet.
    void flush_registrations();
    // Deletes the objects queued for removal.
    void flush_removals() { registry_.remove_queued(); }
    void remove_object(unsigned int id) override;
    QGObject* find_object(unsigned int id) const override { return registry_.find(id); }
    QGPlayer* get_player(unsigned int index) const override { return registry_.player(index); }
    void register_player(QGPlayer* player) override;

    const std::map<unsigned int, QGObject*>& objects() const { return registry_.objects(); }
    const std::vector<QGPhysObject*>& physics_objects() const { return registry_.physics_objects(); }
    const std::vector<QGPlayer*>& players() const { return registry_.players(); }
    const std::list<QGObject*>& pending_objects() const override { return registry_.pending_objects(); }
    const std::set<QGPhysObject*>& pending_physics() const { return registry_.pending_physics(); }
    const std::set<unsigned int>& removal_queue() const { return registry_.removal_queue(); }
    NetworkableMap& reliable_objects() override { return registry_.reliable_objects(); }
    NetworkableMap& unreliable_objects() { return registry_.unreliable_objects(); }
    ObjectRegistry& registry() { return registry_; }
    const ObjectRegistry& registry() const { return registry_; }

    // --- the match set-up ---

    void setup_game(const GameParameters& params) { match_.setup_game(params); }
    void generate_level(const LevelCreation& record) override { match_.generate_level(record); }
    void set_spawn_positions(const SpawnPositions& record) { match_.set_spawn_positions(record); }
    void start_game() { match_.start_game(); }
    dvec2d choose_spawn_position(const QGPlayer* player) const override { return match_.choose_spawn_position(player); }
    MatchSetup& match_setup() { return match_; }

    // --- the network side ---

    // The TCP transport's connection hooks.
    void on_connect(Protocol* protocol, unsigned int connection_id, unsigned short local_port, Connection remote) {
        net_->on_connect(protocol, connection_id, local_port, remote);
    }
    void on_disconnect(Protocol* protocol, unsigned int connection_id, unsigned short local_port, Connection remote) {
        net_->on_disconnect(protocol, connection_id, local_port, remote);
    }
    Tcp* tcp_transport() const { return net_->tcp(); }
    Udp* udp_transport() const { return net_->udp(); }
    NetworkSession& network() { return *net_; }

    // --- the terrain ---

    void explode(const dvec2d& centre, float radius) override { terrain_.explode(centre, radius); }
    void affect_objects_near(const dvec2d& point, Callback<void, QGPhysObject*, const dvec2d&, float> callback,
                             float radius) override {
        terrain_.affect_objects_near(point, std::move(callback), radius);
    }
    void push_object(QGPhysObject* object, const dvec2d& direction, float strength) {
        terrain_.push_object(object, direction, strength);
    }
    int level_width() const { return terrain_.width(); }
    int level_height() const { return terrain_.height(); }
    ColorRGBA get_pixel(int x, int y) const { return terrain_.get_pixel(x, y); }
    void set_pixel(int x, int y, ColorRGBA colour) { terrain_.set_pixel(x, y, colour); }
    SessionTerrain& terrain() { return terrain_; }
    const SessionTerrain& terrain() const { return terrain_; }

    void play_sound(int sound_id) override;
    // The handed-in clock, else the steady clock.
    int64_t now_ms() const override;
    DrawingServices* drawing() const override { return drawing_; }
    void run_keeping_connection(const std::function<void()>& work) override;

    // The state every object reads (is_server, event_handler, local_player_id, rules,
    // match_running, spawn_positions, level and the message and status hooks) is GameSession's.
    bool paused = true;
    QGChat* chat = nullptr;
    std::atomic<bool> quit{false};
    std::atomic<bool> connect_failed{false};
    // The step does nothing until this is set: on a client by the connect thread as its last
    // store (release), on the server by the hosting.
    std::atomic<bool> active{false};
    // Client hook into the gameplay screen.
    Callback<void> disconnect_hook;

private:
    // What only the objects ask, through GameSession; the programs ask the parts.
    bool holds_id(unsigned int id) const override { return registry_.holds(id); }
    void drop_player(const QGPlayer* player) override { registry_.drop_player(player); }
    QGPlayer* player_with_entity(unsigned int entity_id) const override {
        return registry_.player_with_entity(entity_id);
    }
    void add_pending_physics(QGPhysObject* object) override { registry_.add_physics(object); }
    unsigned int issue_entity_id() override { return registry_.issue_id(); }
    void build_level_object(const LevelObject& object) override { match_.build_level_object(object); }
    SDL_Surface* terrain_surface() const override { return terrain_.surface(); }
    void set_terrain_surface(SDL_Surface* surface) override { terrain_.set_surface(surface); }
    void forget_terrain_surface(SDL_Surface* surface) override { terrain_.forget_surface(surface); }
    [[nodiscard]] ScopedLink attach_water(sph::WaterObject* water,
                                          Callback<float, float, float, float, float> coverage) override {
        return terrain_.attach_water(water, std::move(coverage));
    }
    bool has_water_coverage() const override { return terrain_.has_water_coverage(); }
    float water_coverage(float x, float y, float width, float height) const override {
        return terrain_.water_coverage(x, y, width, height);
    }

    // A client's event handler, held by the registry until its id is known.
    void hold_event_handler();

    const NetClock* clock_ = nullptr;
    DrawingServices* drawing_ = nullptr;
    ObjectRegistry registry_;
    CollisionPass collisions_;
    SessionTerrain terrain_;
    MatchSetup match_;
    std::unique_ptr<NetworkSession> net_;
    // The client half of net_, on a client; null on the server.
    ClientSession* client_net_ = nullptr;
};

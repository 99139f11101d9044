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
class DrawingServices;
class Udp;
struct SDL_Surface;
struct LevelCreation;
struct LevelObject;

// The rules of the match, as set up from GameParameters.
struct GameRules {
    uint32_t player_count = 0;
    int32_t lives = 0;
    float respawn_time = 0.0f;
    bool teams = false;
    bool friendly_fire = false;
};

// The game session: one per process in the programs, reached by every game object through its
// owner pointer. The same class runs on the client and on the dedicated server; is_server
// selects the authoritative or the replicating behaviour. The session composes its parts (the
// object registry, the collision pass, the terrain, the match set-up and the network side, a
// client's or the server's) and runs the world step update(): object updates, collisions, the
// commit of new objects, the network exchange and the removal of dead objects, always in that
// order.
class QGGame {
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

    // The world step; dt is the time since the previous step in seconds.
    void update(float dt);

    // --- the object registry ---

    // The one way to make a session object: T is built whole with this session and the entity id
    // (on the server the session's next one, whatever was asked), then registered. Null when
    // the registry refused it (id 0), which frees it.
    template <class T, class... Args>
    T* spawn(unsigned int entity_id, Args&&... args);
    // Takes a whole object into the registry, which owns it from then on, and builds its look in
    // a session with drawing services. False when it was refused (null, id 0): it is freed.
    bool register_object(std::unique_ptr<QGObject> object);
    // Commits the objects registered since the last commit; the server posts their creation
    // records, sent with this step's packet.
    void flush_registrations();
    // Deletes the objects queued for removal.
    void flush_removals() { registry_.remove_queued(); }
    // Removes one object: a pending one at once, a committed one at the end of the step. On
    // the server the removal is posted to the clients, delayed by their UDP latency.
    void remove_object(unsigned int id);
    // The committed object with the id, or null (pending objects are not found).
    QGObject* find_object(unsigned int id) const { return registry_.find(id); }
    // Whether the id is committed or pending.
    bool holds_id(unsigned int id) const { return registry_.holds(id); }
    // The slot's player, or null outside the table.
    QGPlayer* get_player(unsigned int index) const { return registry_.player(index); }
    // Puts the player into the table at its player index, growing the table (never beyond 16
    // slots) or replacing the slot's player.
    void register_player(QGPlayer* player);
    // The player of the table whose object has this entity id, or null.
    QGPlayer* player_with_entity(unsigned int entity_id) const { return registry_.player_with_entity(entity_id); }
    bool is_player_entity(unsigned int entity_id) const { return player_with_entity(entity_id) != nullptr; }
    // Puts a new physics object into the list of the next commit.
    void add_pending_physics(QGPhysObject* object) { registry_.add_physics(object); }
    // The next entity id of this server session (the first is 1; ids are never reused).
    unsigned int issue_entity_id() { return registry_.issue_id(); }
    unsigned int next_entity_id() const { return registry_.next_entity_id(); }

    const std::map<unsigned int, QGObject*>& objects() const { return registry_.objects(); }
    const std::vector<QGPhysObject*>& physics_objects() const { return registry_.physics_objects(); }
    const std::vector<QGPlayer*>& players() const { return registry_.players(); }
    const std::list<QGObject*>& pending_objects() const { return registry_.pending_objects(); }
    const std::set<QGPhysObject*>& pending_physics() const { return registry_.pending_physics(); }
    const std::set<unsigned int>& removal_queue() const { return registry_.removal_queue(); }
    NetworkableMap& reliable_objects() { return registry_.reliable_objects(); }
    NetworkableMap& unreliable_objects() { return registry_.unreliable_objects(); }
    ObjectRegistry& registry() { return registry_; }
    const ObjectRegistry& registry() const { return registry_; }

    // --- the match set-up ---

    void setup_game(const GameParameters& params) { match_.setup_game(params); }
    GameParameters current_parameters() const { return match_.current_parameters(); }
    void generate_level(const LevelCreation& record) { match_.generate_level(record); }
    // Server: builds an object the level asks for (its placements, the sweetroll) and registers it.
    void build_level_object(const LevelObject& object) { match_.build_level_object(object); }
    void set_spawn_positions(const SpawnPositions& record) { match_.set_spawn_positions(record); }
    void start_game() { match_.start_game(); }
    dvec2d choose_spawn_position(const QGPlayer* player) const { return match_.choose_spawn_position(player); }
    MatchSetup& match_setup() { return match_; }

    // --- the network side ---

    // Takes ownership of the transports and gives them the session's settings.
    void install_transports(std::unique_ptr<Tcp> tcp, std::unique_ptr<Udp> udp) {
        net_->install_transports(std::move(tcp), std::move(udp));
    }
    // The TCP transport's connection hooks.
    void on_connect(Protocol* protocol, unsigned int connection_id, unsigned short local_port, Connection remote) {
        net_->on_connect(protocol, connection_id, local_port, remote);
    }
    void on_disconnect(Protocol* protocol, unsigned int connection_id, unsigned short local_port, Connection remote) {
        net_->on_disconnect(protocol, connection_id, local_port, remote);
    }
    Tcp* tcp_transport() const { return net_->tcp(); }
    Udp* udp_transport() const { return net_->udp(); }
    unsigned short game_port() const { return net_->game_port(); }
    NetworkSession& network() { return *net_; }

    // --- the terrain ---

    void explode(const dvec2d& centre, float radius) { terrain_.explode(centre, radius); }
    void affect_objects_near(const dvec2d& point, Callback<void, QGPhysObject*, const dvec2d&, float> callback,
                             float radius) {
        terrain_.affect_objects_near(point, std::move(callback), radius);
    }
    void push_object(QGPhysObject* object, const dvec2d& direction, float strength) {
        terrain_.push_object(object, direction, strength);
    }
    int level_width() const { return terrain_.width(); }
    int level_height() const { return terrain_.height(); }
    ColorRGBA get_pixel(int x, int y) const { return terrain_.get_pixel(x, y); }
    void set_pixel(int x, int y, ColorRGBA colour) { terrain_.set_pixel(x, y, colour); }
    static bool is_destructible_colour(const ColorRGBA& colour);
    SDL_Surface* terrain_surface() const { return terrain_.surface(); }
    SessionTerrain& terrain() { return terrain_; }
    const SessionTerrain& terrain() const { return terrain_; }

    // Asks the clients to play the sound.
    void play_sound(int sound_id);
    // Milliseconds of the session's clock: the handed-in clock, else the steady clock.
    int64_t now_ms() const;
    // A client's drawing side, which outlives the session; null on the server and headless.
    DrawingServices* drawing() const { return drawing_; }

    bool is_server = false;
    QGEventHandler* event_handler = nullptr;
    // On a client the connection id of the handshake, which is also its player index.
    unsigned int local_player_id = 0;
    GameRules rules;
    bool paused = true;
    QGChat* chat = nullptr;
    bool match_running = false;
    std::atomic<bool> quit{false};
    std::atomic<bool> connect_failed{false};
    // The step does nothing until this is set: on a client by the connect thread as its last
    // store (release), on the server by the hosting.
    std::atomic<bool> active{false};
    std::vector<dvec2d> spawn_positions;
    QGLevel* level = nullptr;

    // Client hooks into the gameplay screen.
    Callback<void> disconnect_hook;
    Callback<void, const std::string&> message_hook;
    Callback<void, const std::string&> status_hook;

private:
    // A client's event handler, held by the registry until its id is known.
    void hold_event_handler();

    const NetClock* clock_ = nullptr;
    DrawingServices* drawing_ = nullptr;
    ObjectRegistry registry_;
    CollisionPass collisions_;
    SessionTerrain terrain_;
    MatchSetup match_;
    std::unique_ptr<NetworkSession> net_;
};

template <class T, class... Args>
T* QGGame::spawn(unsigned int entity_id, Args&&... args) {
    static_assert(std::is_base_of_v<QGObject, T>, "the session makes game objects");
    // A client keeps the id its creation record carried.
    if (is_server) entity_id = issue_entity_id();
    // Not make_unique: a class whose factory checks its arguments first lets the session build it.
    std::unique_ptr<T> object(new T(this, entity_id, std::forward<Args>(args)...));
    T* made = object.get();
    return register_object(std::move(object)) ? made : nullptr;
}

#pragma once
#include <SFML/Network/IpAddress.hpp>

#include <atomic>
#include <cstdint>
#include <list>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <unordered_set>
#include <vector>

#include "engine/core/callback.h"
#include "engine/core/geometry.h"
#include "game/session/broad_phase.h"
#include "game/base/session_records.h"
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
struct Explosion;
struct PixelRect;
struct ChainReaction;
namespace sph {
class WaterObject;
}
struct HostParameters;

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
// selects the authoritative or the replicating behaviour. The session owns every registered
// object, the transports and the event handler, and runs the world step update(): object
// updates, collisions, the commit of new objects, the network exchange and the removal of dead
// objects, always in that order.
class QGGame {
public:
    // Selects the server constructor.
    struct ServerSide {};

    // Client: keeps the drawing services (null: the session runs headless) and opens the
    // connection on a thread of its own; on_connected is called once on that thread. A clock may
    // be handed in (tests); it must outlive the session.
    QGGame(DrawingServices* drawing, unsigned short port, sf::IpAddress server, Callback<void, bool> on_connected,
           const NetClock* clock = nullptr);
    // Server: the empty authoritative session, paused and idle. The server program's hosting
    // installs the transports, sets the game up, accepts the players and activates the session.
    explicit QGGame(ServerSide, const NetClock* clock = nullptr);
    // The dedicated server's session: the empty server session, then host(); quit is set when
    // hosting fails. Returns when all players are connected or hosting failed. Defined by the
    // server program, as is host().
    explicit QGGame(const HostParameters& params);
    // Stops and joins the connect thread, clears the transports' hooks, deletes every object
    // and then the transports.
    ~QGGame();

    QGGame(const QGGame&) = delete;
    QGGame& operator=(const QGGame&) = delete;

    // The world step; dt is the time since the previous step in seconds.
    void update(float dt);

    // Called by the QGObject constructor. False when the object was not taken (null, id 0).
    bool register_object(QGObject* object);
    // Commits the objects registered since the last commit.
    void flush_registrations();
    // Deletes the objects queued for removal.
    void flush_removals();
    // Removes one object: a pending one at once, a committed one at the end of the step. On
    // the server the removal is posted to the clients, delayed by their UDP latency.
    void remove_object(unsigned int id);

    // The committed object with the id, or null (pending objects are not found).
    QGObject* find_object(unsigned int id) const;
    // Whether the id is committed or pending.
    bool holds_id(unsigned int id) const;
    // The slot's player, or null outside the table.
    QGPlayer* get_player(unsigned int index) const;
    // Puts the player into the table at its player index, growing the table (never beyond 16
    // slots) or replacing the slot's player.
    void register_player(QGPlayer* player);
    // The spawn point farthest from the player's nearest opponent (a random one without a
    // player); (0, 0) without spawn points.
    dvec2d choose_spawn_position(const QGPlayer* player);

    // Puts a new physics object into the list of the next commit.
    void add_pending_physics(QGPhysObject* object);
    // The next entity id of this server session (the first is 1; ids are never reused).
    unsigned int issue_entity_id() { return ++next_entity_id; }

    // Takes ownership of the transports and gives them the session's settings: send interval
    // 33 ms, 50 packets per receive, no receive time-out, the session's clock and the
    // session's connection hooks on the TCP transport; a client's link takes frames of at most
    // 32 MiB.
    void install_transports(Tcp* tcp, Udp* udp);

    // The connect thread's body (client).
    bool connect(unsigned short port, sf::IpAddress server, Callback<void, bool> result);
    // The TCP transport's connection hooks.
    void on_connect(Protocol* protocol, unsigned int connection_id, unsigned short local_port, Connection remote);
    void on_disconnect(Protocol* protocol, unsigned int connection_id, unsigned short local_port, Connection remote);
    // Creates and installs the transports, sets the game up, announces the server on the local
    // network, waits for all players, opens the UDP side and activates the session. False when
    // the TCP port cannot be listened on or the UDP port cannot be bound.
    bool host(const HostParameters& params);
    // Sizes the player table, stores the rules and clears quit; the server posts the record. The
    // player count is 1 to kMaxPlayers: the record's field list and the host's arguments hold it.
    void setup_game(const GameParameters& params);
    // Sends a newcomer that cannot play the current state of the game, to it alone; when a
    // level exists, a map synchronizer then streams the current terrain to it. The lines it prints
    // are limited per address of the remote end.
    void send_spectator_snapshot(unsigned int connection_id, const Connection& remote);
    GameParameters current_parameters() const;
    // Replaces the spawn list with the record's points (at most 16). The server then places every
    // waiting player on a point of its own (when there are enough; without any point, where
    // choose_spawn_position puts it), passes the record on and starts the match. A match that
    // runs already is neither placed nor started again.
    void set_spawn_positions(const SpawnPositions& record);
    // The match runs from now on, with a receive time-out of 5 s. The server brings every
    // waiting player into play with its loadout and tells the clients.
    void start_game();
    // Builds the level from the parameters (brought into range first, as they come from the
    // host's client or the network), once per session: a later record is ignored.
    void generate_level(const LevelCreation& record);
    // Server: builds an object the level asks for (its placements, the sweetroll) and registers it.
    void build_level_object(const LevelObject& object);

    // --- explosions and the level's pixels ---

    // Carves the disc into the terrain: destructible and explosive pixels become air,
    // indestructible ones destructible; explosive pixels go off in chains. The server posts
    // every disc to the clients (nested chain discs first) and runs the chains' effects, pushes
    // and sound; a client carves its copy and refreshes the changed area of the texture.
    void explode(const dvec2d& centre, float radius);
    // Server: calls back every physics object whose box reaches within radius of the point,
    // with the direction from the point and a strength of 1 within the object's half diagonal
    // falling to 0 at the radius. Objects closer than 0.1 to the point are skipped.
    void affect_objects_near(const dvec2d& point, Callback<void, QGPhysObject*, const dvec2d&, float> callback,
                             float radius);
    // The default blast reaction: an impulse away from the blast; a player also takes damage.
    void push_object(QGPhysObject* object, const dvec2d& direction, float strength);
    // Asks the clients to play the sound.
    void play_sound(int sound_id);
    // The player of the table whose object has this entity id, or null.
    QGPlayer* player_with_entity(unsigned int entity_id) const;
    bool is_player_entity(unsigned int entity_id) const { return player_with_entity(entity_id) != nullptr; }
    // The terrain's size in pixels; 0 without one.
    int level_width() const;
    int level_height() const;
    // A terrain pixel; air outside the terrain, which is never written.
    ColorRGBA get_pixel(int x, int y) const;
    void set_pixel(int x, int y, ColorRGBA colour);
    static bool is_destructible_colour(const ColorRGBA& colour);

    // The terrain surface the physics reads; null without a level. Set by the level (tests set
    // it directly); the session does not own it.
    SDL_Surface* terrain_surface() const { return terrain; }

    // Milliseconds of the session's clock: the handed-in clock, else the steady clock.
    int64_t now_ms() const;

    // --- registry ---
    std::map<unsigned int, QGObject*> objects;
    std::vector<QGPhysObject*> physics_objects;
    // By player index; a slot may be null. Each entry is the player object itself.
    std::vector<QGPlayer*> players;
    std::list<QGObject*> pending_objects;
    std::set<QGPhysObject*> pending_physics;

    bool is_server = false;
    QGEventHandler* event_handler = nullptr;
    // A client's drawing side; it outlives the session.
    DrawingServices* drawing = nullptr;
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

    Tcp* tcp_transport = nullptr;
    Udp* udp_transport = nullptr;
    unsigned short game_port = 0;
    NetworkableMap reliable_objects;
    NetworkableMap unreliable_objects;
    std::set<unsigned int> removal_queue;
    std::vector<dvec2d> spawn_positions;
    // Server: the connections that watch without a player and have had their snapshot.
    std::set<unsigned int> spectators;
    QGLevel* level = nullptr;

    // The LAN announcement thread of a hosting server and its running flag, the only datum it
    // shares with the session; the destructor stops and joins it.
    std::atomic<bool> announce_running{false};
    std::thread announce_thread;

    // Client hooks into the gameplay screen.
    Callback<void> disconnect_hook;
    Callback<void, const std::string&> message_hook;
    Callback<void, const std::string&> status_hook;

    // The level's terrain surface and its water: the fraction (0 to 1) of the box x, y, width,
    // height that is under water. Both empty until a level supplies them.
    SDL_Surface* terrain = nullptr;
    Callback<float, float, float, float, float> water_coverage;
    // The level's water object (its submerged_fraction answers how much of a box is water); null
    // without one. The water sets and clears it, and on the server binds water_coverage to it.
    sph::WaterObject* water_object = nullptr;

    // On the server, while the packets of one client are applied: its connection id.
    std::optional<unsigned int> current_sender;

    unsigned int next_entity_id = 0;

    // The name every client session of this process joins under, in place of config.ini's (a
    // headless bot); empty: config.ini's. Set before a session is built.
    static std::string join_name_override;

private:
    // A stand-in transport that replays the packets one client sent, so that what they carry
    // is applied knowing its sender.
    class SenderReplay : public Protocol {
    public:
        bool send(const ByteBuffer&) override { return false; }
        void receive() override {}
        void forget(const Connection& peer) { forget_peer(peer); }
    };

    // The transports' clock: the session's clock, which jumps past every time-out once the
    // session is being torn down, so that a connection attempt gives up at once.
    class TeardownClock : public NetClock {
    public:
        int64_t now_ms() const override;
        const NetClock* base = nullptr;
        std::atomic<bool> tearing_down{false};
    };

    void init_common();
    // The reliable objects whose fields a client may write.
    void collect_client_fields_objects();
    // A client sends those; the server sends every object to all clients, except the objects
    // meant for one connection, which go to it alone.
    void send_reliable();
    // What a client's log names its server by.
    std::string server_peer() const;
    void receive_reliable();
    void receive_from_clients();
    // Takes a committed object out of every container and deletes it.
    void destroy_object(QGObject* object);
    // Takes a pending object out of the pending containers and deletes it.
    void destroy_pending(std::list<QGObject*>::iterator it);
    void run_collisions();
    void post_join_request(unsigned int connection_id);
    // Stops the map synchronizers that stream to the connection, which has gone.
    void stop_map_synchronizers(unsigned int connection_id);
    // The entity id of the object in a player slot (0 when not found).
    unsigned int player_entity_id(const QGPlayer* player) const;
    // The server's side of an explosion, hooked into the carver.
    void on_pixel_carved(int x, int y);
    void on_disc_carved(const Explosion& blast, const PixelRect& box);
    void on_chain_finished(const ChainReaction& chain);

    const NetClock* clock_ = nullptr;
    TeardownClock transport_clock_;
    std::thread connect_thread_;
    SenderReplay replay_;
    NetworkableMap client_fields_objects_;
    // Server: the reliable objects whose records are for one connection only.
    std::map<unsigned int, QGObject*> one_client_objects_;
    ByteBuffer one_client_packet_;
    std::unordered_set<unsigned int> committed_ids_;
    std::vector<QGObject*> committed_now_;
    BroadPhase broad_phase_;
};

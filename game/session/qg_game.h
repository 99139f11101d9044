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
// order. What a part does is reached through the part, by the objects and the programs alike.
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

    // The world step; dt is the time since the previous step in seconds.
    void update(float dt);

    // Objects are made with spawn (GameSession), which registers them here.
    bool register_object(std::unique_ptr<QGObject> object) override;
    // Commits the objects registered since the last commit; the server posts their creation
    // records, sent with this step's packet.
    void flush_registrations();
    void remove_object(unsigned int id) override;

    // The parts, each the one road to what it does: the objects, the physics list, the player
    // table, the channels' maps and the removal of dead objects (find_object, get_player, objects,
    // players, reliable_objects, flush_removals ...) in the registry; setup_game, generate_level,
    // set_spawn_positions, start_game and choose_spawn_position in the match set-up; on_connect,
    // on_disconnect and the transports (tcp_transport, udp_transport) in the network side;
    // explode, affect_objects_near, push_object and the pixels in the terrain.
    ObjectRegistry& registry() override { return registry_; }
    const ObjectRegistry& registry() const override { return registry_; }
    MatchSetup& match_setup() override { return match_; }
    const MatchSetup& match_setup() const override { return match_; }
    NetworkSession& network() { return *net_; }
    // The client half of the network side; null on the server.
    ClientSession* client_network() const { return client_net_; }
    SessionTerrain& terrain() override { return terrain_; }
    const SessionTerrain& terrain() const override { return terrain_; }

    void play_sound(int sound_id) override;
    // The handed-in clock, else the steady clock.
    int64_t now_ms() const override;
    DrawingServices* drawing() const override { return drawing_; }
    void run_keeping_connection(const std::function<void()>& work) override;

    // The state every object reads (is_server, event_handler, local_player_id, rules,
    // match_running, spawn_positions, level, paused, quit, the chat and the message and status
    // hooks) is GameSession's.
    std::atomic<bool> connect_failed{false};
    // The step does nothing until this is set: on a client by the connect thread as its last
    // store (release), on the server by the hosting.
    std::atomic<bool> active{false};
    // Client hook into the gameplay screen.
    Callback<void> disconnect_hook;

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
    // The client half of net_, on a client; null on the server.
    ClientSession* client_net_ = nullptr;
};

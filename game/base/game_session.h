#pragma once
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/core/callback.h"
#include "engine/core/geometry.h"
#include "engine/core/scoped_link.h"
#include "game/base/qg_object.h"
#include "game/base/session_records.h"
#include "net/sync/protocol.h"

class QGPhysObject;
class QGPlayer;
class QGEventHandler;
class QGLevel;
class DrawingServices;
struct SDL_Surface;
struct LevelCreation;
struct LevelObject;
namespace sph {
class WaterObject;
}

// What a game object may ask of the session it belongs to: make, find and remove objects, the
// player table, the terrain, the match's set-up, sound, the clock and the drawing side, with the
// state every object reads. The session (QGGame) implements it; the layers of objects below the
// session know it only through this.
class GameSession {
public:
    GameSession() = default;
    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;

    // --- objects ---

    // The one way to make a session object: T is built whole with this session and the entity id
    // (on the server the session's next one, whatever was asked), then registered. Null when
    // the registry refused it (id 0), which frees it.
    template <class T, class... Args>
    T* spawn(unsigned int entity_id, Args&&... args);
    // Takes a whole object into the registry, which owns it from then on, and builds its look in
    // a session with drawing services. False when it was refused (null, id 0): it is freed.
    virtual bool register_object(std::unique_ptr<QGObject> object) = 0;
    // Removes one object, never the event handler: a pending one at once, a committed one at
    // the end of the step. On the server the removal is posted to the clients, which apply it
    // only once their UDP latency has passed.
    virtual void remove_object(unsigned int id) = 0;
    // The committed object with the id, or null (pending objects are not found).
    virtual QGObject* find_object(unsigned int id) const = 0;
    // Whether the id is committed or pending.
    virtual bool holds_id(unsigned int id) const = 0;
    virtual const std::list<QGObject*>& pending_objects() const = 0;
    // Puts a new physics object into the list of the next commit.
    virtual void add_pending_physics(QGPhysObject* object) = 0;
    // The next entity id of this server session (the first is 1; ids are never reused).
    virtual unsigned int issue_entity_id() = 0;
    virtual NetworkableMap& reliable_objects() = 0;

    // --- the player table ---

    // The slot's player, or null outside the table.
    virtual QGPlayer* get_player(unsigned int index) const = 0;
    // Puts the player into the table at its player index, growing the table when the index lies
    // beyond it (the records keep indexes below kMaxPlayers), or replacing the slot's player.
    virtual void register_player(QGPlayer* player) = 0;
    // Empties the player's slot while it holds the player.
    virtual void drop_player(const QGPlayer* player) = 0;
    // The player of the table whose object has this entity id, or null.
    virtual QGPlayer* player_with_entity(unsigned int entity_id) const = 0;
    bool is_player_entity(unsigned int entity_id) const { return player_with_entity(entity_id) != nullptr; }

    // --- the match's set-up ---

    virtual void generate_level(const LevelCreation& record) = 0;
    // Server: builds an object the level asks for (its placements, the sweetroll) and registers it.
    virtual void build_level_object(const LevelObject& object) = 0;
    virtual dvec2d choose_spawn_position(const QGPlayer* player) const = 0;

    // --- the terrain ---

    virtual void explode(const dvec2d& centre, float radius) = 0;
    // Server: calls back every physics object whose box reaches within radius of the point,
    // with the direction from the point and a strength of 1 within the object's half diagonal
    // falling to 0 at the radius.
    virtual void affect_objects_near(const dvec2d& point, Callback<void, QGPhysObject*, const dvec2d&, float> callback,
                                     float radius) = 0;
    // The terrain surface the physics reads; null without a level. The level sets it and, when
    // it goes, takes it back; the session does not own it.
    virtual SDL_Surface* terrain_surface() const = 0;
    virtual void set_terrain_surface(SDL_Surface* surface) = 0;
    virtual void forget_terrain_surface(SDL_Surface* surface) = 0;
    // The level's water attaches itself, on the server answering the coverage the physics reads
    // too, until the link it holds ends.
    [[nodiscard]] virtual ScopedLink attach_water(sph::WaterObject* water,
                                                  Callback<float, float, float, float, float> coverage) = 0;
    // The fraction (0 to 1) of the box x, y, width, height that is under water; there only
    // while a water supplies it.
    virtual bool has_water_coverage() const = 0;
    virtual float water_coverage(float x, float y, float width, float height) const = 0;

    // Asks the clients to play the sound.
    virtual void play_sound(int sound_id) = 0;
    // Milliseconds of the session's clock.
    virtual int64_t now_ms() const = 0;
    // A client's drawing side, which outlives the session; null on the server and headless.
    virtual DrawingServices* drawing() const = 0;
    // Runs work, which must touch nothing but its own data (a level's surface), to its end. A
    // connected client answers the server's pings meanwhile: work that lasts seconds (a large
    // level on a busy machine) would otherwise get it dropped once the server's match runs.
    virtual void run_keeping_connection(const std::function<void()>& work) { work(); }

    bool is_server = false;
    QGEventHandler* event_handler = nullptr;
    // On a client the connection id of the handshake, which is also its player index.
    unsigned int local_player_id = 0;
    // The rules of the match as the set-up gave them, the flags 0 or 1; zero until then.
    GameParameters rules;
    bool match_running = false;
    std::vector<dvec2d> spawn_positions;
    QGLevel* level = nullptr;

    // Client hooks into the gameplay screen.
    Callback<void, const std::string&> message_hook;
    Callback<void, const std::string&> status_hook;

protected:
    ~GameSession() = default;
};

template <class T, class... Args>
T* GameSession::spawn(unsigned int entity_id, Args&&... args) {
    static_assert(std::is_base_of_v<QGObject, T>, "the session makes game objects");
    // A client keeps the id its creation record carried.
    if (is_server) entity_id = issue_entity_id();
    // Not make_unique: a class whose factory checks its arguments first lets the session build it.
    std::unique_ptr<T> object(new T(this, entity_id, std::forward<Args>(args)...));
    T* made = object.get();
    return register_object(std::move(object)) ? made : nullptr;
}

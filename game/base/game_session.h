#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "engine/core/callback.h"
#include "engine/core/geometry.h"
#include "game/base/qg_object.h"
#include "game/base/session_parts.h"
#include "game/base/session_records.h"

class QGPlayer;
class QGChat;
class QGEventHandler;
class QGLevel;
class DrawingServices;

// What a game object may ask of the session it belongs to: make and remove objects, its parts
// (the registry, the terrain, the match's set-up), sound, the clock and the drawing side, with
// the state every object reads. The session (QGGame) implements it; the layers of objects below the
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

    // The parts, for what they answer on their own: the objects and the player table, the terrain
    // and the match's set-up.
    virtual RegistryAccess& registry() = 0;
    virtual const RegistryAccess& registry() const = 0;
    virtual TerrainAccess& terrain() = 0;
    virtual const TerrainAccess& terrain() const = 0;
    virtual MatchAccess& match_setup() = 0;
    virtual const MatchAccess& match_setup() const = 0;

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
    // Only what runs while paused is updated (the match controller pauses and resumes).
    bool paused = true;
    // Ends the program's loop: the match is over, or the session cannot go on.
    std::atomic<bool> quit{false};
    // The session's chat from its admission on; null before.
    QGChat* chat = nullptr;

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
    if (is_server) entity_id = registry().issue_id();
    // Not make_unique: a class whose factory checks its arguments first lets the session build it.
    std::unique_ptr<T> object(new T(this, entity_id, std::forward<Args>(args)...));
    T* made = object.get();
    return register_object(std::move(object)) ? made : nullptr;
}

#pragma once
#include "engine/core/geometry.h"
#include "game/base/session_parts.h"
#include "game/base/session_records.h"

class QGEventHandler;
class QGGame;
class QGPlayer;
struct LevelCreation;
struct LevelObject;

// The session's road into the match: the rules from the set-up record, the level, the spawn
// positions from the host's client and the start; and the state a late joiner is sent.
class MatchSetup final : public MatchAccess {
public:
    explicit MatchSetup(QGGame& game) : game_(game) {}

    // Sizes the player table, stores the rules and clears quit; the server posts the record. The
    // player count is 1 to kMaxPlayers: the record's field list and the host's arguments hold it.
    void setup_game(const GameParameters& params) override;
    // Builds the level from the parameters (brought into range first, as they come from the
    // host's client or the network), once per session: a later record is ignored.
    void generate_level(const LevelCreation& record) override;
    // Server: builds an object the level asks for (its placements, the sweetroll) and registers it.
    void build_level_object(const LevelObject& object) override;
    // Replaces the spawn list with the record's points (at most 16). The server then places every
    // waiting player on a point of its own (when there are enough; without any point, where
    // choose_spawn_position puts it), passes the record on and starts the match. A match that
    // runs already is neither placed nor started again.
    void set_spawn_positions(const SpawnPositions& record) override;
    // The match runs from now on, with a receive time-out of 5 s. The server brings every
    // waiting player into play with its loadout and tells the clients.
    void start_game() override;
    // The spawn point farthest from the player's nearest opponent (a random one without a
    // player); (0, 0) without spawn points.
    dvec2d choose_spawn_position(const QGPlayer* player) const override;
    // What a late joiner needs to follow the game: the set-up, the spawn points and the start of
    // a running match, every object's creation record and the pause state.
    void post_snapshot(QGEventHandler& snapshot) const;

private:
    QGGame& game_;
};

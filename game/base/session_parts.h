#pragma once
#include <list>

#include "engine/core/callback.h"
#include "engine/core/geometry.h"
#include "engine/core/scoped_link.h"
#include "net/sync/protocol.h"

class QGObject;
class QGPhysObject;
class QGPlayer;
struct GameParameters;
struct SpawnPositions;
struct SDL_Surface;
struct LevelCreation;
struct LevelObject;
namespace sph {
class WaterObject;
}

// What a game object may ask of the session's parts, each reached through GameSession (registry(),
// terrain(), match_setup()). The parts of the session layer implement them, and say there what
// each call does; the objects below that layer know the parts only through these.

// The session's objects: lookups, the player table and what a new object enters.
class RegistryAccess {
public:
    virtual QGObject* find_object(unsigned int id) const = 0;
    virtual bool holds(unsigned int id) const = 0;
    virtual const std::list<QGObject*>& pending_objects() const = 0;
    virtual void add_physics(QGPhysObject* object) = 0;
    virtual unsigned int issue_id() = 0;
    virtual NetworkableMap& reliable_objects() = 0;

    virtual QGPlayer* get_player(unsigned int index) const = 0;
    virtual void register_player(QGPlayer* player) = 0;
    virtual void drop_player(const QGPlayer* player) = 0;
    virtual QGPlayer* player_with_entity(unsigned int entity_id) const = 0;
    bool is_player_entity(unsigned int entity_id) const { return player_with_entity(entity_id) != nullptr; }

protected:
    ~RegistryAccess() = default;
};

// The session's terrain: the surface the physics reads, the level's water and the explosions.
class TerrainAccess {
public:
    virtual void explode(const dvec2d& centre, float radius) = 0;
    virtual void affect_objects_near(const dvec2d& point, Callback<void, QGPhysObject*, const dvec2d&, float> callback,
                                     float radius) = 0;
    virtual SDL_Surface* surface() const = 0;
    virtual void set_surface(SDL_Surface* surface) = 0;
    virtual void forget_surface(SDL_Surface* surface) = 0;
    [[nodiscard]] virtual ScopedLink attach_water(sph::WaterObject* water,
                                                  Callback<float, float, float, float, float> coverage) = 0;
    virtual bool has_water_coverage() const = 0;
    virtual float water_coverage(float x, float y, float width, float height) const = 0;

protected:
    ~TerrainAccess() = default;
};

// The match's set-up as the objects and the event table reach it: the rules, the level, its
// objects, the spawn points and the start.
class MatchAccess {
public:
    virtual void setup_game(const GameParameters& params) = 0;
    virtual void set_spawn_positions(const SpawnPositions& record) = 0;
    virtual void start_game() = 0;
    virtual void generate_level(const LevelCreation& record) = 0;
    virtual void build_level_object(const LevelObject& object) = 0;
    virtual dvec2d choose_spawn_position(const QGPlayer* player) const = 0;

protected:
    ~MatchAccess() = default;
};

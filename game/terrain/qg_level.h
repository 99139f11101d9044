#pragma once
#include <SDL/SDL.h>

#include <optional>
#include <vector>

#include "engine/core/geometry.h"
#include "game/levelgen/level_generator.h"
#include "game/levelgen/level_parameters.h"
#include "game/base/qg_object.h"
#include "game/base/session_records.h"
#include "game/terrain/solid_mask.h"
#include "game/terrain/terrain_carver.h"

class QGEventHandler;
struct MapSynchronizerRecord;
class QGLevel;

// What explosions need of the level's water simulation, which implements it.
class LevelWater {
public:
    virtual ~LevelWater() = default;
    // A blast of the radius at the centre stirs the water.
    virtual void add_explosion(const dvec2d& centre, float radius) = 0;
    // The pixel was carved: it holds no static water any more.
    virtual void clear_static_cell(int x, int y) = 0;
};

// What the level places in a free box of the generator: a definition of its table and the
// object's top-left corner.
struct LevelPlacement {
    unsigned int definition = 0;
    dvec2d position;
};

// The item definitions whose collider fits the box (width and height within it), in table
// order; r modulo their count picks one, which is centred in the box. None fits: nothing.
std::optional<LevelPlacement> choose_random_item(int x, int y, int width, int height, int r);
// The same over the weapon definitions.
std::optional<LevelPlacement> choose_random_weapon(int x, int y, int width, int height, int r);
// The first item definition of type Crate, at exactly (x, y); none: nothing.
std::optional<LevelPlacement> choose_crate(int x, int y);
// The portal goes only into a box no larger than the portal itself, at exactly (x, y).
std::optional<dvec2d> choose_portal_position(int x, int y, int width, int height);

// An object the level asks its session to build (server): a placement of the generator or the
// wandering sweetroll. The definition indexes the special items or the weapons; portals and
// sweetrolls have none.
enum class LevelObjectKind { SpecialItem, Weapon, Portal, Sweetroll };
struct LevelObject {
    LevelObjectKind kind = LevelObjectKind::SpecialItem;
    LevelPlacement placement;
};

// The game object that owns the level: its parameters, the terrain surface (each pixel's
// colour is its material) and the link to the water. Built on both sides from the same
// parameters, it generates the same terrain on every peer; only the server places objects while
// generating, which the session then builds. The server also spawns the wandering sweetroll.
//
// The level owns its surface and frees it exactly once, when it goes, after its look.
class QGLevel : public QGObject {
public:
    // Generates the terrain; once admitted it is the session's level and terrain.
    QGLevel(GameSession* game, unsigned int entity_id, LevelParameters parameters);
    ~QGLevel() override;
    void admitted() override;

    // GenerateLevel: the level's entity id, then its parameters.
    void write_creation_event(QGEvent& event) const override;
    // The sweetroll timer stands still during a pause.
    bool updates_while_paused() const override { return false; }
    // Server: the sweetroll timer.
    void update(float dt) override;

    // The generator's placement requests (x, y, width, height of a free box, a random number):
    // the server notes each object in `placements`; a client places nothing.
    bool place_random_item(int x, int y, int width, int height, int r);
    bool place_random_weapon(int x, int y, int width, int height, int r);
    bool place_crate(int x, int y, int width, int height, int r);
    bool place_portal(int x, int y, int width, int height, int r);

    SDL_Surface* surface() const { return surface_; }
    int width() const { return surface_ ? surface_->w : 0; }
    int height() const { return surface_ ? surface_->h : 0; }
    LevelWater* water = nullptr;
    LevelParameters parameters;
    // The surface's solid pixels for the physics; whatever writes the surface updates it.
    solid_terrain::SolidMask solid_mask;
    float sweetroll_timer = 2.0f;
    // The objects the generator placed, in its order, for the session to build once the level
    // stands (the session's generate_level); empty after that and on a client.
    std::vector<LevelObject> placements;

private:
    void spawn_sweetroll();
    // Notes the placement for the session (server); false without one.
    bool place(LevelObjectKind kind, const std::optional<LevelPlacement>& placement);

    SDL_Surface* surface_ = nullptr;
};

// The dispatch actions of the level's events: GenerateLevel (the level), Explode (the blast) and
// CreateMapSynchronizer (a late joiner's terrain stream), wired into the event table by
// game/game_events.cpp.
void generate_level_action(QGEventHandler& handler, const LevelCreation& record);
void explode_action(QGEventHandler& handler, const Explosion& blast);
void create_map_synchronizer_action(QGEventHandler& handler, const MapSynchronizerRecord& record);

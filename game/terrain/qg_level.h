#pragma once
#include <SDL/SDL.h>

#include <optional>

#include "engine/core/geometry.h"
#include "game/levelgen/level_generator.h"
#include "game/levelgen/level_parameters.h"
#include "game/physics/terrain_sweep.h"
#include "game/base/qg_object.h"
#include "game/base/session_records.h"
#include "game/terrain/terrain_carver.h"

class QGEventHandler;
class QGLevel;
class QGPlayer;

// What explosions need of the level's water simulation, which implements it.
class LevelWater {
public:
    virtual ~LevelWater() = default;
    // A blast of the radius at the centre stirs the water.
    virtual void add_explosion(const dvec2d& centre, float radius) = 0;
    // The pixel was carved: it holds no static water any more.
    virtual void clear_static_cell(int x, int y) = 0;
};

// The level and the explosions reach the object classes built on top of them (items, weapons,
// portals, sweetrolls, the water and the player) through these entries, which each class
// installs at start-up. An empty entry does nothing: the level then places nothing of that
// kind, builds no water, follows no player and damages nobody.
//
// The builders run on the server only, inside level generation or the world step; they build
// and register the object and answer whether they did. They must not draw random numbers:
// clients generate the same level without them.
struct LevelClassHooks {
    // A QGSpecialItem of item_definitions[definition] with its top-left corner at position.
    bool (*build_special_item)(QGGame& game, unsigned int definition, const dvec2d& position) = nullptr;
    // A QGWeapon of weapon_definitions[definition] at position.
    bool (*build_weapon)(QGGame& game, unsigned int definition, const dvec2d& position) = nullptr;
    // A QGPortal at position.
    bool (*build_portal)(QGGame& game, const dvec2d& position) = nullptr;
    // The wandering QGSweetroll at position.
    bool (*build_sweetroll)(QGGame& game, const dvec2d& position) = nullptr;
    // The level's water simulation (a game object of its own, owned by the session).
    LevelWater* (*build_water)(QGGame& game, QGLevel& level) = nullptr;
    // Whether the player is alive (health above 0), and the centre of its collider.
    bool (*player_view)(const QGPlayer& player, dvec2d& centre) = nullptr;
    // QGPlayer::change_health: amount is added to the player's health.
    void (*damage_player)(QGPlayer& player, const DamageCause& cause, float amount) = nullptr;
};
LevelClassHooks& level_class_hooks();

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

// The game object that owns the level: its parameters, the terrain surface (each pixel's
// colour is its material) and the link to the water. Built on both sides from the same
// parameters, it generates the same terrain on every peer; only the server places objects while
// generating. The server also spawns the wandering sweetroll.
//
// The level owns its surface and frees it exactly once, when it goes, after its look.
class QGLevel : public QGObject {
public:
    // Registers itself and becomes the session's level and terrain.
    QGLevel(QGGame* game, unsigned int entity_id, LevelParameters parameters);
    ~QGLevel() override;

    // GenerateLevel: the level's entity id, then its parameters.
    void write_creation_event(QGEvent& event) const override;
    // The sweetroll timer stands still during a pause.
    bool updates_while_paused() const override { return false; }
    // Server: the sweetroll timer.
    void update(float dt) override;

    // The generator's placement requests (x, y, width, height of a free box, a random number);
    // a client places nothing.
    bool place_random_item(int x, int y, int width, int height, int r);
    bool place_random_weapon(int x, int y, int width, int height, int r);
    bool place_crate(int x, int y, int width, int height, int r);
    bool place_portal(int x, int y, int width, int height, int r);

    SDL_Surface* surface() const { return surface_; }
    int width() const { return surface_ ? surface_->w : 0; }
    int height() const { return surface_ ? surface_->h : 0; }
    // The local player's centre while it is alive in a running match.
    bool followed_player(dvec2d& centre) const;

    LevelWater* water = nullptr;
    LevelParameters parameters;
    // The surface's solid pixels for the physics; whatever writes the surface updates it.
    terrain_sweep::SolidMask solid_mask;
    float sweetroll_timer = 2.0f;

private:
    void spawn_sweetroll();

    SDL_Surface* surface_ = nullptr;
};

// The dispatch actions of the level's events: GenerateLevel (the level), Explode (the blast) and
// CreateMapSynchronizer (a late joiner's terrain stream), wired into the event table by
// game/game_events.cpp.
void generate_level_action(QGEventHandler& handler, const QGEvent& event);
void explode_action(QGEventHandler& handler, const QGEvent& event);
void create_map_synchronizer_action(QGEventHandler& handler, const QGEvent& event);

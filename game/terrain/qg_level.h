#pragma once
#include <SDL/SDL.h>

#include <optional>

#include "engine/core/geometry.h"
#include "game/levelgen/level_generator.h"
#include "game/levelgen/level_parameters.h"
#include "game/physics/terrain_sweep.h"
#include "game/session/qg_object.h"
#include "game/session/session_records.h"
#include "game/terrain/terrain_carver.h"

class CImageSprite;
class CParticleEngine;
class CTexture;
class CTextureManager;
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
// colour is its material), the link to the water and, on a client with drawing services, the
// terrain sprite with the world shader, the background picture and the particle engine. Built
// on both sides from the same parameters, it generates the same terrain on every peer; only the
// server places objects while generating. The server also spawns the wandering sweetroll; a
// client fits or follows the view and plays the effects the server announces.
//
// The level owns its surface and frees it exactly once, when it goes. On a client with drawing
// services the cached texture "gfx/dummy.png" draws the surface without owning it: unloading or
// reloading that texture never frees it, and the level gives a texture still drawing it its own
// image back before freeing it. One level at a time draws through a texture manager, and the
// session's drawing services outlive the session.
class QGLevel : public QGObject {
public:
    // Registers itself and becomes the session's level and terrain.
    QGLevel(QGGame* game, unsigned int entity_id, LevelParameters parameters);
    ~QGLevel() override;

    // GenerateLevel: the level's entity id, then its parameters.
    void write_creation_event(QGEvent& event) const override;
    bool updates_on_client() const override { return true; }
    // The sweetroll timer stands still during a pause.
    bool updates_while_paused() const override { return false; }
    // Server: the sweetroll timer. Client: fits the level into the view unless the own player
    // is alive in a running match.
    void update(float dt) override;
    // Client: follows the own player while it is alive in a running match.
    void update_sprite() override;

    // Moves the view onto a point of the level without showing space beyond its edges; a level
    // smaller than the view is centred.
    void focus_view(float x, float y);
    // Scales the view so the whole level fits and centres it.
    void fit_view();

    // The generator's placement requests (x, y, width, height of a free box, a random number);
    // a client places nothing.
    bool place_random_item(int x, int y, int width, int height, int r);
    bool place_random_weapon(int x, int y, int width, int height, int r);
    bool place_crate(int x, int y, int width, int height, int r);
    bool place_portal(int x, int y, int width, int height, int r);

    // The SpawnEffect listener: starts the announced effect on the particle engine.
    void on_spawn_effect(const void* payload);

    // Uploads the rectangle of the surface to the terrain texture (client with drawing services).
    void refresh_texture(const PixelRect& area);

    SDL_Surface* surface() const { return surface_; }
    int width() const { return surface_ ? surface_->w : 0; }
    int height() const { return surface_ ? surface_->h : 0; }
    // The effects of the particle file (0 without an engine or a file).
    int effect_count() const;
    // Whether the terrain texture is still cached and currently draws this level's surface.
    bool texture_holds_surface() const;

    LevelWater* water = nullptr;
    LevelParameters parameters;
    // The surface's solid pixels for the physics; whatever writes the surface updates it.
    terrain_sweep::SolidMask solid_mask;
    float sweetroll_timer = 2.0f;
    CImageSprite* terrain_sprite = nullptr;
    CImageSprite* background_sprite = nullptr;
    CParticleEngine* particle_engine = nullptr;
    CTexture* terrain_texture = nullptr;

private:
    void build_visuals();
    void spawn_sweetroll();
    // The local player's centre while it is alive in a running match.
    bool followed_player(dvec2d& centre) const;

    // The terrain texture while the cache still holds it (unloading it there deletes it), else null.
    CTexture* cached_terrain_texture() const;

    SDL_Surface* surface_ = nullptr;
    CTextureManager* texture_cache_ = nullptr;
};

// Most particles one announced effect may start on a client.
constexpr int kMaxEffectParticles = 4096;

// The dispatch actions of the level's events: GenerateLevel (the level), Explode (the blast) and
// CreateMapSynchronizer (a late joiner's terrain stream). They are part of the dispatcher's
// default action table, so no program has to install them.
void generate_level_action(QGEventHandler& handler, const QGEvent& event);
void explode_action(QGEventHandler& handler, const QGEvent& event);
void create_map_synchronizer_action(QGEventHandler& handler, const QGEvent& event);

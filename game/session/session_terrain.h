#pragma once
#include "engine/core/callback.h"
#include "engine/core/geometry.h"
#include "engine/core/scoped_link.h"
#include "game/base/session_parts.h"

class QGGame;
class QGPhysObject;
struct SDL_Surface;
struct Explosion;
struct PixelRect;
struct ChainReaction;
namespace sph {
class WaterObject;
}

// The session's terrain: the surface the physics reads, the level's water, pixel access and the
// explosions that carve the terrain and push what stands near.
class SessionTerrain final : public TerrainAccess {
public:
    explicit SessionTerrain(QGGame& game) : game_(game) {}

    // The terrain surface the physics reads; null without a level. Set by the level (tests set
    // it directly); the session does not own it.
    SDL_Surface* surface() const override { return surface_; }
    void set_surface(SDL_Surface* surface) override { surface_ = surface; }
    // The surface is the terrain no longer (the level that set it goes).
    void forget_surface(SDL_Surface* surface) override {
        if (surface_ == surface) surface_ = nullptr;
    }

    // The level's water object (its submerged_fraction answers how much of a box is water); null
    // without one. The water attaches itself, on the server answering the coverage the physics
    // reads too, until the link it holds ends.
    sph::WaterObject* water_object() const { return water_; }
    [[nodiscard]] ScopedLink attach_water(sph::WaterObject* water,
                                          Callback<float, float, float, float, float> coverage) override;
    // The fraction (0 to 1) of the box x, y, width, height that is under water; empty until a
    // water supplies it.
    bool has_water_coverage() const override { return coverage_.is_valid(); }
    float water_coverage(float x, float y, float width, float height) const override {
        return coverage_(x, y, width, height);
    }
    // Tests stand in for the water.
    void set_water_coverage(Callback<float, float, float, float, float> coverage) { coverage_ = std::move(coverage); }

    // Carves the disc into the terrain: destructible and explosive pixels become air,
    // indestructible ones destructible; explosive pixels go off in chains. The server posts
    // every disc to the clients (nested chain discs first) and runs the chains' effects, pushes
    // and sound; a client carves its copy and refreshes the changed area of the texture.
    void explode(const dvec2d& centre, float radius) override;
    // Server: calls back every physics object whose box reaches within radius of the point,
    // with the direction from the point and a strength of 1 within the object's half diagonal
    // falling to 0 at the radius. Objects closer than 0.1 to the point are skipped.
    void affect_objects_near(const dvec2d& point, Callback<void, QGPhysObject*, const dvec2d&, float> callback,
                             float radius) override;
    // The default blast reaction: an impulse away from the blast; a player also takes damage.
    void push_object(QGPhysObject* object, const dvec2d& direction, float strength);

    // The terrain's size in pixels; 0 without one.
    int width() const;
    int height() const;
    // A terrain pixel; air outside the terrain, which is never written.
    ColorRGBA get_pixel(int x, int y) const;
    void set_pixel(int x, int y, ColorRGBA colour);

private:
    void detach_water(sph::WaterObject* water);
    // The server's side of an explosion, hooked into the carver.
    void on_pixel_carved(int x, int y);
    void on_disc_carved(const Explosion& blast, const PixelRect& box);
    void on_chain_finished(const ChainReaction& chain);

    QGGame& game_;
    SDL_Surface* surface_ = nullptr;
    sph::WaterObject* water_ = nullptr;
    // Whether the attached water answers the coverage.
    bool water_covers_ = false;
    Callback<float, float, float, float, float> coverage_;
};

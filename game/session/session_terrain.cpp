#include "game/session/session_terrain.h"

#include <SDL/SDL.h>

#include <cmath>
#include <vector>

#include "game/config/settings.h"
#include "game/entities/entity_support.h"
#include "game/entities/qg_player.h"
#include "game/physics/qg_phys_object.h"
#include "game/base/drawing_services.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "game/terrain/qg_level.h"
#include "game/terrain/terrain_carver.h"
#include "game/base/terrain_pixels.h"

ScopedLink SessionTerrain::attach_water(sph::WaterObject* water, Callback<float, float, float, float, float> coverage) {
    water_ = water;
    water_covers_ = coverage.is_valid();
    if (water_covers_) coverage_ = std::move(coverage);
    return ScopedLink([this, water] { detach_water(water); });
}

void SessionTerrain::detach_water(sph::WaterObject* water) {
    if (water_ != water) return;
    water_ = nullptr;
    if (water_covers_) coverage_ = {};
    water_covers_ = false;
}

void SessionTerrain::explode(const dvec2d& centre, float radius) {
    if (!surface_) return;
    QGLevel* level = game_.level;
    const Explosion blast{centre.x, centre.y, radius};
    if (!game_.is_server) {
        // The server's nested chain discs arrive as events of their own.
        ExplosionSummary summary = explode_terrain(surface_, blast, false);
        if (level) level->solid_mask.update(surface_, summary.changed);
        DrawingServices* drawing = game_.drawing();
        if (level && drawing && !summary.changed.empty()) drawing->terrain_changed(*level, summary.changed);
        return;
    }
    ExplosionHooks hooks;
    if (level && level->water) hooks.pixel_carved = Callback<void, int, int>(this, &SessionTerrain::on_pixel_carved);
    hooks.disc_carved = Callback<void, const Explosion&, const PixelRect&>(this, &SessionTerrain::on_disc_carved);
    hooks.chain_finished = Callback<void, const ChainReaction&>(this, &SessionTerrain::on_chain_finished);
    const ExplosionSummary summary = explode_terrain(surface_, blast, true, &hooks);
    if (level) level->solid_mask.update(surface_, summary.changed);
}

void SessionTerrain::on_pixel_carved(int x, int y) {
    QGLevel* level = game_.level;
    if (level && level->water) level->water->clear_static_cell(x, y);
}

void SessionTerrain::on_disc_carved(const Explosion& blast, const PixelRect&) {
    if (game_.event_handler) {
        game_.event_handler->post<EQGEventType::Explode>(blast);
    }
    QGLevel* level = game_.level;
    if (level && level->water) level->water->add_explosion({blast.x, blast.y}, blast.radius);
}

void SessionTerrain::on_chain_finished(const ChainReaction& chain) {
    // With no configured radius the chain still shows one effect and pushes nothing.
    const ChainEffectLayout layout = chain_effect_layout(chain.pixels, default_explosion_radius);
    for (int i = 0; i < layout.count; ++i) {
        const fvec2d at = draw_chain_effect_position(chain, layout.spread);
        post_spawn_effect(&game_, default_explosion_effect_id, default_explosion_particles,
                          default_explosion_particle_time, dvec2d(at.x, at.y));
        affect_objects_near(at, Callback<void, QGPhysObject*, const dvec2d&, float>(this, &SessionTerrain::push_object),
                            default_explosion_radius);
    }
    game_.play_sound(default_snd_explode);
}

void SessionTerrain::affect_objects_near(const dvec2d& point,
                                         Callback<void, QGPhysObject*, const dvec2d&, float> callback, float radius) {
    if (!game_.is_server || !callback.is_valid()) return;
    // A blast that reaches nothing (or is not a number) divides by nothing either.
    if (!(radius > 0.0f) || !std::isfinite(radius)) return;
    // The callback may build or remove objects; those wait for the commit, so the list stays.
    const std::vector<QGPhysObject*> candidates = game_.registry().physics_objects();
    for (QGPhysObject* object : candidates) {
        const dvec2d half(static_cast<float>(object->size.x) * 0.5f, static_cast<float>(object->size.y) * 0.5f);
        const dvec2d offset = object->position + half - point;
        const float dist = offset.length();
        if (!(dist > 0.1f)) continue;
        const dvec2d direction = offset / dist;
        float edge = dist - half.length();
        if (!(edge <= radius)) continue;
        if (edge < 0.0f) edge = 0.0f;
        callback(object, direction, (radius - edge) / radius);
    }
}

void SessionTerrain::push_object(QGPhysObject* object, const dvec2d& direction, float strength) {
    if (!object) return;
    const dvec2d impulse = direction * (strength * default_explosion_force);
    // A massless object would fly off to infinity.
    if (!object->is_static() && object->mass > 0.0f) object->velocity += impulse / object->mass;
    if (QGPlayer* player = game_.registry().player_with_entity(object->entity_id)) {
        DamageCause cause;
        cause.type = DamageType::Environment;
        player->change_health(cause, -(default_explosion_damage * strength));
    }
}

int SessionTerrain::width() const { return surface_ ? surface_->w : 0; }

int SessionTerrain::height() const { return surface_ ? surface_->h : 0; }

ColorRGBA SessionTerrain::get_pixel(int x, int y) const {
    if (!surface_ || x < 0 || y < 0 || x >= surface_->w || y >= surface_->h) return color_air;
    SurfaceLock lock(surface_);
    return TerrainPixels(surface_).get(x, y);
}

void SessionTerrain::set_pixel(int x, int y, ColorRGBA colour) {
    if (!surface_ || x < 0 || y < 0 || x >= surface_->w || y >= surface_->h) return;
    SurfaceLock lock(surface_);
    TerrainPixels(surface_).set(x, y, colour);
    if (QGLevel* level = game_.level) level->solid_mask.update(surface_, {x, y, 1, 1});
}

// The session's side of the terrain: the level with the objects it places, explosions with their chains, effects, pushes
// and sounds, and pixel access to the level surface.
#include <SDL/SDL.h>

#include <cmath>
#include <vector>

#include "engine/core/logger.h"
#include "game/config/settings.h"
#include "game/levelgen/level_parameters.h"
#include "game/base/drawing_services.h"
#include "game/entities/qg_player.h"
#include "game/entities/qg_portal.h"
#include "game/entities/qg_special_item.h"
#include "game/entities/qg_sweetroll.h"
#include "game/entities/qg_weapon.h"
#include "game/physics/qg_phys_object.h"
#include "game/session/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "game/terrain/qg_level.h"
#include "game/terrain/terrain_carver.h"
#include "game/water/water_object.h"
#include "game/base/terrain_pixels.h"

void QGGame::generate_level(const LevelCreation& record) {
    if (level) {
        log_message(LogLevel::Warning, "Ignored level parameters: the level exists already.",
                    log_class_name_of(*this));
        return;
    }
    log_message(LogLevel::Status, "Received level parameters, generating...", log_class_name_of(*this));
    LevelParameters parameters = record.parameters;
    sanitize_level_parameters(parameters);
    auto* created = new QGLevel(this, record.level_entity_id, parameters);
    // The level's objects, then its water, take the ids after the level's.
    std::vector<LevelObject> placed;
    placed.swap(created->placements);
    for (const LevelObject& object : placed) build_level_object(object);
    if (is_server) {
        auto* water = new sph::WaterObject(this, 0, created);
        if (water->is_registered()) created->water = water;
        else delete water;
    }
    if (!created->is_registered()) {
        delete created;
        return;
    }
    log_message(LogLevel::Status, "Level generation finished.", log_class_name_of(*this));
}

void QGGame::build_level_object(const LevelObject& object) {
    const dvec2d& position = object.placement.position;
    QGPhysObject* built = nullptr;
    switch (object.kind) {
        case LevelObjectKind::SpecialItem: built = QGSpecialItem::create(this, 0, object.placement.definition); break;
        case LevelObjectKind::Weapon: built = QGWeapon::create(this, 0, object.placement.definition); break;
        case LevelObjectKind::Portal: built = new QGPortal(this, 0); break;
        case LevelObjectKind::Sweetroll: built = new QGSweetroll(this, 0); break;
    }
    if (!built) return;
    built->position = position;
    // Items and weapons keep the previous position they were made with.
    if (object.kind == LevelObjectKind::Portal || object.kind == LevelObjectKind::Sweetroll)
        built->previous_position = position;
}

void QGGame::explode(const dvec2d& centre, float radius) {
    if (!terrain) return;
    const Explosion blast{centre.x, centre.y, radius};
    if (!is_server) {
        // The server's nested chain discs arrive as events of their own.
        ExplosionSummary summary = explode_terrain(terrain, blast, false);
        if (level) level->solid_mask.update(terrain, summary.changed);
        if (level && drawing && !summary.changed.empty()) drawing->terrain_changed(*level, summary.changed);
        return;
    }
    ExplosionHooks hooks;
    if (level && level->water) hooks.pixel_carved = Callback<void, int, int>(this, &QGGame::on_pixel_carved);
    hooks.disc_carved = Callback<void, const Explosion&, const PixelRect&>(this, &QGGame::on_disc_carved);
    hooks.chain_finished = Callback<void, const ChainReaction&>(this, &QGGame::on_chain_finished);
    const ExplosionSummary summary = explode_terrain(terrain, blast, true, &hooks);
    if (level) level->solid_mask.update(terrain, summary.changed);
}

void QGGame::on_pixel_carved(int x, int y) {
    if (level && level->water) level->water->clear_static_cell(x, y);
}

void QGGame::on_disc_carved(const Explosion& blast, const PixelRect&) {
    if (event_handler) {
        event_handler->post<EQGEventType::Explode>(blast);
    }
    if (level && level->water) level->water->add_explosion({blast.x, blast.y}, blast.radius);
}

void QGGame::on_chain_finished(const ChainReaction& chain) {
    // With no configured radius the chain still shows one effect and pushes nothing.
    const ChainEffectLayout layout = chain_effect_layout(chain.pixels, default_explosion_radius);
    for (int i = 0; i < layout.count; ++i) {
        const fvec2d at = draw_chain_effect_position(chain, layout.spread);
        if (event_handler) {
            EffectSpawn effect;
            effect.effect_id = default_explosion_effect_id;
            effect.particles = default_explosion_particles;
            effect.particle_time = default_explosion_particle_time;
            effect.x = at.x;
            effect.y = at.y;
            event_handler->post<EQGEventType::SpawnEffect>(effect, true);
        }
        affect_objects_near(at, Callback<void, QGPhysObject*, const dvec2d&, float>(this, &QGGame::push_object),
                            default_explosion_radius);
    }
    play_sound(default_snd_explode);
}

void QGGame::affect_objects_near(const dvec2d& point, Callback<void, QGPhysObject*, const dvec2d&, float> callback,
                                 float radius) {
    if (!is_server || !callback.is_valid()) return;
    // A blast that reaches nothing (or is not a number) divides by nothing either.
    if (!(radius > 0.0f) || !std::isfinite(radius)) return;
    // The callback may build or remove objects; those wait for the commit, so the list stays.
    const std::vector<QGPhysObject*> candidates = physics_objects;
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

void QGGame::push_object(QGPhysObject* object, const dvec2d& direction, float strength) {
    if (!object) return;
    const dvec2d impulse = direction * (strength * default_explosion_force);
    // A massless object would fly off to infinity.
    if (!object->is_static() && object->mass > 0.0f) object->velocity += impulse / object->mass;
    if (QGPlayer* player = player_with_entity(object->entity_id)) {
        DamageCause cause;
        cause.type = DamageType::Environment;
        player->change_health(cause, -(default_explosion_damage * strength));
    }
}

void QGGame::play_sound(int sound_id) {
    if (!event_handler) return;
    SoundRequest request;
    request.sound_id = sound_id;
    event_handler->post<EQGEventType::PlaySound>(request);
}

QGPlayer* QGGame::player_with_entity(unsigned int entity_id) const {
    const QGObject* object = find_object(entity_id);
    if (!object) return nullptr;
    // A player slot holds the player object itself, which is also the most derived object.
    const void* whole = dynamic_cast<const void*>(object);
    for (QGPlayer* slot : players)
        if (slot && static_cast<const void*>(slot) == whole) return slot;
    return nullptr;
}

int QGGame::level_width() const { return terrain ? terrain->w : 0; }

int QGGame::level_height() const { return terrain ? terrain->h : 0; }

ColorRGBA QGGame::get_pixel(int x, int y) const {
    if (!terrain || x < 0 || y < 0 || x >= terrain->w || y >= terrain->h) return color_air;
    SurfaceLock lock(terrain);
    return TerrainPixels(terrain).get(x, y);
}

void QGGame::set_pixel(int x, int y, ColorRGBA colour) {
    if (!terrain || x < 0 || y < 0 || x >= terrain->w || y >= terrain->h) return;
    SurfaceLock lock(terrain);
    TerrainPixels(terrain).set(x, y, colour);
    if (level) level->solid_mask.update(terrain, {x, y, 1, 1});
}

bool QGGame::is_destructible_colour(const ColorRGBA& colour) {
    return ::is_destructible_colour(colour);
}

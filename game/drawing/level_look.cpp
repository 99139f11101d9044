// The level's look (terrain, background, effects, camera) and the water's.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>

#include "engine/core/logger.h"
#include "engine/gfx/shader.h"
#include "engine/gfx/texture.h"
#include "engine/gfx/texture_manager.h"
#include "engine/particles/particle_engine.h"
#include "engine/particles/particle_loader.h"
#include "game/config/object_definitions.h"
#include "game/config/settings.h"
#include "game/drawing/game_drawing.h"
#include "game/drawing/terrain_look.h"
#include "game/drawing/water.h"
#include "game/base/qg_event.h"
#include "game/base/qg_event_handler.h"
#include "game/entities/qg_player.h"
#include "game/session/qg_game.h"
#include "game/terrain/qg_level.h"
#include "game/water/water_object.h"

namespace {

// The cached texture every level draws its terrain through.
constexpr const char* kTerrainTextureName = "gfx/dummy.png";

}  // namespace

LevelLook::LevelLook(const GameDrawing& drawing, QGLevel& level) : drawing_(drawing), level_(level) {
    build_terrain();
    build_effects();
    if (QGEventHandler* events = level.game->event_handler)
        effects_ = events->subscribe<EQGEventType::SpawnEffect>([this](const EffectSpawn& e) { on_spawn_effect(e); });
    fit_view();
}

LevelLook::~LevelLook() {
    terrain_->forget_look();
    for (CSprite* sprite : {static_cast<CSprite*>(terrain_sprite), static_cast<CSprite*>(background_sprite),
                            static_cast<CSprite*>(particle_engine)})
        sprite->set_finished(true);
    // The texture only borrowed the surface: one still drawing it takes its own image back.
    if (texture_holds_surface()) terrain_texture->load(terrain_texture->get_name());
}

void LevelLook::build_terrain() {
    CSpriteManager* view = drawing_.sprites;
    CTextureManager* textures = view->get_texture_manager();
    SDL_Surface* surface = level_.surface();

    auto* terrain = new TerrainSprite();
    terrain_ = terrain;
    terrain_sprite = terrain;
    view->add_child(terrain_sprite);
    float w = static_cast<float>(level_.width()), h = static_cast<float>(level_.height());
    if (textures) {
        // Every level draws through the same cached texture entry.
        texture_cache_ = textures;
        terrain_texture = textures->get_texture(false, false, kTerrainTextureName);
        if (surface && !terrain_texture->is_read_only()) terrain_texture->set_surface(surface, false);
        terrain_texture->set_linear_filtering(false);
        terrain_sprite->set_texture(terrain_texture);
        if (!surface) {
            w = static_cast<float>(terrain_texture->get_image_width());
            h = static_cast<float>(terrain_texture->get_image_height());
        }
    }
    terrain_sprite->set_size(w, h);

    if (CShaderProgram* program = kept_program(drawing_.shaders, "shader/world.frag")) {
        terrain_sprite->set_shader_program(program);
        program->set_texture("texture", terrain_texture);
        program->set_uniform("waterLevel", level_.parameters.water_level);
        program->set_uniform("waterColor", color_water);
        program->set_uniform("staticWaterColor", color_staticwater);
        program->set_uniform("airColor", color_air);
        program->set_uniform("destructibleColor", color_destructible);
        program->set_uniform("indestructibleColor", color_indestructible);
        program->set_uniform("explosiveColor", color_explosive);
        program->set_uniform("ladderColor", color_ladder);
        if (terrain_texture) {
            program->set_uniform("texelsX", float(terrain_texture->get_image_width()));
            program->set_uniform("texelsY", float(terrain_texture->get_image_height()));
            terrain->keep_look(*this, terrain_texture, program, drawing_.shaders, view);
        }
    }

    background_sprite = new BackgroundSprite(terrain);
    view->add_child(background_sprite);
    // A preset without a configured picture shows none.
    const std::string background = background_name_for(level_.parameters.gen, background_names);
    if (textures && !background.empty()) background_sprite->set_texture(textures->get_texture(true, false, background));
    background_sprite->set_size(w, h);
    background_sprite->set_z(-0.999f);
}

void LevelLook::build_effects() {
    particle_engine = new CParticleEngine(terrain_sprite);
    drawing_.sprites->add_child(particle_engine);
    particle_engine->set_z(0.2f);
    ParticleLoader::ParticleFileTemplate file(drawing_.sprites->get_texture_manager());
    if (!ParticleLoader::load_from_file(file, "gfx\\particles.vp")) return;
    // The effect ids the server announces are the indices of the file's records.
    for (const ParticleEffectSettings& record : file.events) {
        ParticleEffect* effect = particle_engine->get_effect(particle_engine->add_effect());
        if (!effect) continue;
        effect->settings = new ParticleEffectSettings(record);
        effect->keep_when_empty = true;
        effect->owns_settings = true;
    }
}

namespace {

// The local player's centre while it is alive in a running match.
bool followed_player(const QGLevel& level, dvec2d& centre) {
    const GameSession* game = level.game;
    if (!game || !game->match_running) return false;
    const QGPlayer* player = game->registry().get_player(game->local_player_id);
    if (!player) return false;
    centre = player->collider_centre();
    return player->health > 0.0f;
}

}  // namespace

void LevelLook::update() {
    dvec2d centre;
    const bool following = followed_player(level_, centre);
    // The whole level comes into view the step after the player was last followed in a running
    // match, before the view would follow it again.
    if (fit_next_) fit_view();
    fit_next_ = level_.game->match_running && !following;
    if (!following) return;
    CSprite* view = drawing_.sprites;
    view->set_scale(view->get_height() / camera_viewport_height);
    focus_view(centre.x, centre.y);
}

void LevelLook::fit_view() {
    CSprite* view = drawing_.sprites;
    const float vw = view->get_width(), vh = view->get_height();
    const float tw = terrain_sprite->get_width(), th = terrain_sprite->get_height();
    if (!(vw > 0.0f && vh > 0.0f && tw > 0.0f && th > 0.0f)) return;
    view->set_scale(vw / vh <= tw / th ? vw / tw : vh / th);
    focus_view(tw * 0.5f, th * 0.5f);
}

void LevelLook::focus_view(float x, float y) {
    CSprite* view = drawing_.sprites;
    const fvec2d screen = view->point_to_global({x, y});

    // Centres the point on one axis but never shows space beyond the level's edges.
    auto place = [](float view_size, float level_size, float view_absolute, float point) -> std::optional<float> {
        if (view_size >= level_size) return std::nullopt;
        const float o = view_absolute - (point - view_size * 0.5f);
        if (o > 0.0f) return 0.0f;
        if (level_size + o < view_size) return view_size - level_size;
        return o;
    };
    const float vw = view->get_width(), lw = terrain_sprite->get_absolute_width();
    if (auto nx = place(vw, lw, view->get_absolute_x(), screen.x)) view->set_absolute_x(*nx);
    else view->set_x((vw - lw) * 0.5f);
    const float vh = view->get_height(), lh = terrain_sprite->get_absolute_height();
    if (auto ny = place(vh, lh, view->get_absolute_y(), screen.y)) view->set_absolute_y(*ny);
    else view->set_y((vh - lh) * 0.5f);
}

int LevelLook::effect_count() const { return particle_engine->get_effect_count(); }

void LevelLook::on_spawn_effect(const EffectSpawn& spawn) {
    // The record holds a number for every place and time, and an index of 0 or more.
    if (spawn.effect_id >= particle_engine->get_effect_count()) {
        log_message(LogLevel::Warning,
                    "Ignored particle effect " + std::to_string(spawn.effect_id) + ": the particle file holds " +
                        std::to_string(particle_engine->get_effect_count()) + " effects.",
                    log_class_name_of(level_));
        return;
    }
    float angle;
    static_assert(sizeof angle == sizeof spawn.angle_bits);
    std::memcpy(&angle, &spawn.angle_bits, sizeof angle);
    if (!std::isfinite(angle)) angle = 0.0f;
    const float time = spawn.particle_time;
    const int count = std::min(spawn.particles, kMaxEffectParticles);
    particle_engine->spawn_effect(spawn.effect_id, count, time, spawn.x, spawn.y, angle);
}

CTexture* LevelLook::cached_terrain_texture() const {
    if (!terrain_texture || !texture_cache_ || texture_cache_->find_texture(kTerrainTextureName) < 0) return nullptr;
    // The entry exists, so this only looks it up.
    return texture_cache_->get_texture(true, false, kTerrainTextureName) == terrain_texture ? terrain_texture : nullptr;
}

bool LevelLook::texture_holds_surface() const {
    CTexture* texture = cached_terrain_texture();
    return texture && level_.surface() && !texture->is_read_only() && texture->get_surface() == level_.surface();
}

void LevelLook::refresh_texture(const PixelRect& area) {
    if (area.empty() || !texture_holds_surface()) return;
    terrain_texture->update_area(area.x, area.y, area.width, area.height);
    terrain_->surface_changed(area);
}

// --- water ---

WaterLook::WaterLook(const GameDrawing& drawing, const sph::WaterObject& water) {
    GameSession* game = water.game;
    auto* level = look_of<LevelLook>(game->level);
    CSprite* parent = level ? static_cast<CSprite*>(level->terrain_sprite) : static_cast<CSprite*>(drawing.sprites);
    SDL_Surface* terrain = game->level ? game->level->surface() : game->terrain().surface();
    renderer = new sph::Water(parent, drawing.shaders, water.level_width(), water.level_height(),
                              water.settings().quadtree_size, terrain);
    drawing.sprites->add_child(renderer);
}

WaterLook::~WaterLook() { renderer->set_finished(true); }

#include "game/terrain/qg_level.h"

#include <GL/glew.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/logger.h"
#include "engine/core/random.h"
#include "engine/gfx/shader.h"
#include "engine/gfx/texture.h"
#include "engine/gfx/texture_manager.h"
#include "engine/particles/particle_engine.h"
#include "engine/particles/particle_loader.h"
#include "engine/scene/image_sprite.h"
#include "engine/scene/sprite_manager.h"
#include "game/config/object_definitions.h"
#include "game/config/settings.h"
#include "game/session/qg_event.h"
#include "game/session/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "game/terrain/qg_map_synchronizer.h"
#include "game/water/water_object.h"

namespace {

constexpr float kSweetrollInterval = 2.0f;
// The cached texture every level draws its terrain through.
constexpr const char* kTerrainTextureName = "gfx/dummy.png";

// r modulo n as a non-negative index (r comes from the generator, but the callback takes any int).
unsigned int pick(int r, std::size_t n) {
    long long m = static_cast<long long>(r) % static_cast<long long>(n);
    if (m < 0) m += static_cast<long long>(n);
    return static_cast<unsigned int>(m);
}

// The definitions whose collider fits the box, one picked by r and centred in the box.
template <typename Definitions>
std::optional<LevelPlacement> choose_fitting(const Definitions& table, int x, int y, int width, int height,
                                             int r) {
    std::vector<unsigned int> candidates;
    for (std::size_t i = 0; i < table.size(); ++i) {
        const ivec2d size = table[i].collider_size;
        if (size.x <= width && size.y <= height) candidates.push_back(static_cast<unsigned int>(i));
    }
    if (candidates.empty()) return std::nullopt;
    LevelPlacement placement;
    placement.definition = candidates[pick(r, candidates.size())];
    const ivec2d size = table[placement.definition].collider_size;
    placement.position = {static_cast<float>(x) + static_cast<float>(width - size.x) * 0.5f,
                          static_cast<float>(y) + static_cast<float>(height - size.y) * 0.5f};
    return placement;
}

}  // namespace

LevelClassHooks& level_class_hooks() {
    // The water is part of every level; the other classes install their entries at start-up.
    static LevelClassHooks hooks = [] {
        LevelClassHooks h;
        h.build_water = &sph::build_level_water;
        return h;
    }();
    return hooks;
}

std::optional<LevelPlacement> choose_random_item(int x, int y, int width, int height, int r) {
    return choose_fitting(item_definitions, x, y, width, height, r);
}

std::optional<LevelPlacement> choose_random_weapon(int x, int y, int width, int height, int r) {
    return choose_fitting(weapon_definitions, x, y, width, height, r);
}

std::optional<LevelPlacement> choose_crate(int x, int y) {
    for (std::size_t i = 0; i < item_definitions.size(); ++i) {
        if (item_definitions[i].type != static_cast<int>(SpecialItemType::Crate)) continue;
        LevelPlacement placement;
        placement.definition = static_cast<unsigned int>(i);
        placement.position = {static_cast<float>(x), static_cast<float>(y)};
        return placement;
    }
    return std::nullopt;
}

std::optional<dvec2d> choose_portal_position(int x, int y, int width, int height) {
    // The opposite test from items: the box must not be larger than the portal.
    if (width > portal_definition.collider_size.x || height > portal_definition.collider_size.y) return std::nullopt;
    return dvec2d(static_cast<float>(x), static_cast<float>(y));
}

// --- QGLevel ---

QGLevel::QGLevel(QGGame* game_, unsigned int entity_id_, LevelParameters parameters_)
    : QGObject(game_, entity_id_, false), parameters(parameters_) {
    PlacementCallback item(this, &QGLevel::place_random_item);
    PlacementCallback weapon(this, &QGLevel::place_random_weapon);
    PlacementCallback crate(this, &QGLevel::place_crate);
    PlacementCallback portal(this, &QGLevel::place_portal);
    GeneratorCallbacks callbacks(&item, &weapon, &crate, &portal);
    surface_ = generate_level_surface(nullptr, false, &callbacks, parameters);
    if (!surface_) {
        log_message(LogLevel::Error, "Failed to create the level surface.", log_class_name_of(*this));
    }
    solid_mask.build(surface_);
    if (!game) return;
    game->level = this;
    game->terrain = surface_;

    if (game->is_server) {
        if (auto build = level_class_hooks().build_water) water = build(*game, *this);
        return;
    }
    if (has_drawing_services()) build_visuals();
    if (game->event_handler) {
        game->event_handler->listeners[uint32_t(EQGEventType::SpawnEffect)] =
            Callback<void, const void*>(this, &QGLevel::on_spawn_effect);
    }
    fit_view();
}

QGLevel::~QGLevel() {
    if (game) {
        // The listener is bound to this level.
        if (!game->is_server && game->event_handler)
            game->event_handler->listeners[uint32_t(EQGEventType::SpawnEffect)] = Callback<void, const void*>();
        if (game->level == this) game->level = nullptr;
        if (game->terrain == surface_) game->terrain = nullptr;
    }
    for (CSprite* sprite : {static_cast<CSprite*>(terrain_sprite), static_cast<CSprite*>(background_sprite),
                            static_cast<CSprite*>(particle_engine)}) {
        if (sprite) sprite->set_finished(true);
    }
    // The texture only borrowed the surface: one still drawing it takes its own image back.
    if (texture_holds_surface()) terrain_texture->load(terrain_texture->get_name());
    if (surface_) SDL_FreeSurface(surface_);
    surface_ = nullptr;
}

void QGLevel::build_visuals() {
    CSpriteManager* view = game->sprite_manager;
    CTextureManager* textures = view->get_texture_manager();

    terrain_sprite = new CImageSprite();
    view->add_child(terrain_sprite);
    float w = static_cast<float>(width()), h = static_cast<float>(height());
    if (textures) {
        // Every level draws through the same cached texture entry.
        texture_cache_ = textures;
        terrain_texture = textures->get_texture(false, false, kTerrainTextureName);
        if (surface_ && !terrain_texture->is_read_only()) terrain_texture->set_surface(surface_, false);
        terrain_texture->set_linear_filtering(false);
        terrain_sprite->set_texture(terrain_texture);
        if (!surface_) {
            w = static_cast<float>(terrain_texture->get_image_width());
            h = static_cast<float>(terrain_texture->get_image_height());
        }
    }
    terrain_sprite->set_size(w, h);

    if (CShaderFactory* shaders = game->shader_factory) {
        CShader* fragment = shaders->get_shader(GL_FRAGMENT_SHADER, "shader/world.frag");
        CShaderProgram* program = shaders->get_program(shaders->create_program({fragment}));
        if (program && program->get_id() != 0) {
            terrain_sprite->set_shader_program(program);
            program->set_texture("texture", terrain_texture);
            program->set_uniform("waterLevel", parameters.water_level);
            program->set_uniform("waterColor", color_water);
            program->set_uniform("staticWaterColor", color_staticwater);
            program->set_uniform("airColor", color_air);
            program->set_uniform("destructibleColor", color_destructible);
            program->set_uniform("indestructibleColor", color_indestructible);
            program->set_uniform("explosiveColor", color_explosive);
            program->set_uniform("ladderColor", color_ladder);
        }
    }

    background_sprite = new CImageSprite(terrain_sprite);
    view->add_child(background_sprite);
    // A preset without a configured picture shows none.
    const std::string background = background_name_for(parameters.gen, background_names);
    if (textures && !background.empty()) background_sprite->set_texture(textures->get_texture(true, false, background));
    background_sprite->set_size(w, h);
    background_sprite->set_z(-0.999f);

    particle_engine = new CParticleEngine(terrain_sprite);
    view->add_child(particle_engine);
    particle_engine->set_z(0.2f);
    ParticleLoader::ParticleFileTemplate file(textures);
    if (ParticleLoader::load_from_file(file, "gfx\\particles.vp")) {
        // The effect ids the server announces are the indices of the file's records.
        for (const ParticleEffectSettings& record : file.events) {
            ParticleEffect* effect = particle_engine->get_effect(particle_engine->add_effect());
            if (!effect) continue;
            effect->settings = new ParticleEffectSettings(record);
            effect->keep_when_empty = true;
            effect->owns_settings = true;
        }
    }
}

void QGLevel::write_creation_event(QGEvent& event) const {
    event.set_type(EQGEventType::GenerateLevel);
    event.set_delayed(false);
    LevelCreation record;
    record.level_entity_id = entity_id;
    record.parameters = parameters;
    ByteBuffer bytes;
    write_level_creation(bytes, record);
    event.set_payload(bytes);
}

bool QGLevel::followed_player(dvec2d& centre) const {
    if (!game || !game->match_running) return false;
    const QGPlayer* player = game->get_player(game->local_player_id);
    auto view = level_class_hooks().player_view;
    return player && view && view(*player, centre);
}

void QGLevel::update(float dt) {
    if (!game) return;
    if (game->is_server) {
        sweetroll_timer -= dt;
        if (sweetroll_timer < 0.0f) {
            sweetroll_timer = kSweetrollInterval;
            const int r = random_draw();
            // A chance of 0 or less never makes one.
            if (sweetroll_draw_hits(r, chance_of_sweetroll)) spawn_sweetroll();
        }
        return;
    }
    dvec2d centre;
    if (!followed_player(centre)) fit_view();
}

void QGLevel::spawn_sweetroll() {
    // A random spawn point, as for a player-less spawn; without spawn points there is no place
    // for it to come from.
    if (game->spawn_positions.empty()) return;
    const dvec2d position = game->choose_spawn_position(nullptr);
    if (auto build = level_class_hooks().build_sweetroll) build(*game, position);
}

void QGLevel::update_sprite() {
    if (!game || game->is_server || !terrain_sprite || !game->sprite_manager) return;
    dvec2d centre;
    if (!followed_player(centre)) return;
    CSprite* view = game->sprite_manager;
    if (camera_viewport_height > 0.0f) view->set_scale(view->get_height() / camera_viewport_height);
    focus_view(centre.x, centre.y);
}

void QGLevel::fit_view() {
    if (!game || !terrain_sprite || !game->sprite_manager) return;
    CSprite* view = game->sprite_manager;
    const float vw = view->get_width(), vh = view->get_height();
    const float tw = terrain_sprite->get_width(), th = terrain_sprite->get_height();
    if (!(vw > 0.0f && vh > 0.0f && tw > 0.0f && th > 0.0f)) return;
    view->set_scale(vw / vh <= tw / th ? vw / tw : vh / th);
    focus_view(tw * 0.5f, th * 0.5f);
}

void QGLevel::focus_view(float x, float y) {
    if (!game || !terrain_sprite || !game->sprite_manager) return;
    CSprite* view = game->sprite_manager;
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

bool QGLevel::place_random_item(int x, int y, int width, int height, int r) {
    if (!game || !game->is_server) return false;
    auto placement = choose_random_item(x, y, width, height, r);
    auto build = level_class_hooks().build_special_item;
    return placement && build && build(*game, placement->definition, placement->position);
}

bool QGLevel::place_random_weapon(int x, int y, int width, int height, int r) {
    if (!game || !game->is_server) return false;
    auto placement = choose_random_weapon(x, y, width, height, r);
    auto build = level_class_hooks().build_weapon;
    return placement && build && build(*game, placement->definition, placement->position);
}

bool QGLevel::place_crate(int x, int y, int, int, int) {
    if (!game || !game->is_server) return false;
    auto placement = choose_crate(x, y);
    auto build = level_class_hooks().build_special_item;
    return placement && build && build(*game, placement->definition, placement->position);
}

bool QGLevel::place_portal(int x, int y, int width, int height, int) {
    if (!game || !game->is_server) return false;
    auto position = choose_portal_position(x, y, width, height);
    auto build = level_class_hooks().build_portal;
    return position && build && build(*game, *position);
}

int QGLevel::effect_count() const {
    return particle_engine ? particle_engine->get_effect_count() : 0;
}

void QGLevel::on_spawn_effect(const void* payload) {
    if (!particle_engine || !payload) return;
    // The dispatcher hands over only payloads of the type's full size.
    ByteBuffer in(static_cast<const uint8_t*>(payload), kEffectSpawnSize);
    EffectSpawn spawn;
    if (!read_effect_spawn(in, spawn)) return;
    if (spawn.effect_id < 0 || spawn.effect_id >= particle_engine->get_effect_count()) {
        log_message(LogLevel::Warning,
                    "Ignored particle effect " + std::to_string(spawn.effect_id) + ": the particle file holds " +
                        std::to_string(particle_engine->get_effect_count()) + " effects.",
                    log_class_name_of(*this));
        return;
    }
    if (!std::isfinite(spawn.x) || !std::isfinite(spawn.y)) return;
    float angle;
    static_assert(sizeof angle == sizeof spawn.angle_bits);
    std::memcpy(&angle, &spawn.angle_bits, sizeof angle);
    if (!std::isfinite(angle)) angle = 0.0f;
    const float time = std::isfinite(spawn.particle_time) ? spawn.particle_time : 0.0f;
    const int count = std::min(spawn.particles, kMaxEffectParticles);
    particle_engine->spawn_effect(spawn.effect_id, count, time, spawn.x, spawn.y, angle);
}

CTexture* QGLevel::cached_terrain_texture() const {
    if (!terrain_texture || !texture_cache_ || texture_cache_->find_texture(kTerrainTextureName) < 0) return nullptr;
    // The entry exists, so this only looks it up.
    return texture_cache_->get_texture(true, false, kTerrainTextureName) == terrain_texture ? terrain_texture
                                                                                            : nullptr;
}

bool QGLevel::texture_holds_surface() const {
    CTexture* texture = cached_terrain_texture();
    return texture && surface_ && !texture->is_read_only() && texture->get_surface() == surface_;
}

void QGLevel::refresh_texture(const PixelRect& area) {
    if (area.empty() || !texture_holds_surface()) return;
    terrain_texture->update_area(area.x, area.y, area.width, area.height);
}

// --- dispatch actions ---

void generate_level_action(QGEventHandler& handler, const QGEvent& event) {
    LevelCreation record;
    if (!decode_level_creation(event.data.data(), event.data.size(), record)) return;
    handler.game->generate_level(record);
}

void explode_action(QGEventHandler& handler, const QGEvent& event) {
    ByteBuffer in = event.reader();
    Explosion blast;
    if (!read_explosion(in, blast)) return;
    handler.game->explode({blast.x, blast.y}, blast.radius);
}

void create_map_synchronizer_action(QGEventHandler& handler, const QGEvent& event) {
    ByteBuffer in = event.reader();
    uint32_t id = 0, target = 0;
    if (!in.read_u32_le(id) || !in.read_u32_le(target)) return;
    auto* synchronizer = new QGMapSynchronizer(handler.game, id, target);
    if (!synchronizer->is_registered()) delete synchronizer;
}

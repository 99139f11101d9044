#include "game/terrain/qg_level.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/logger.h"
#include "engine/core/random.h"
#include "game/config/object_definitions.h"
#include "game/config/settings.h"
#include "game/base/qg_event.h"
#include "game/base/qg_event_handler.h"
#include "game/base/game_session.h"
#include "game/terrain/qg_map_synchronizer.h"

namespace {

constexpr float kSweetrollInterval = 2.0f;

// r modulo n as a non-negative index (r comes from the generator, but the callback takes any int).
unsigned int pick(int r, std::size_t n) {
    long long m = static_cast<long long>(r) % static_cast<long long>(n);
    if (m < 0) m += static_cast<long long>(n);
    return static_cast<unsigned int>(m);
}

// The definitions whose collider fits the box, one picked by r and centred in the box.
template <typename Definitions>
std::optional<LevelPlacement> choose_fitting(const Definitions& table, int x, int y, int width, int height, int r) {
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

QGLevel::QGLevel(GameSession* game_, unsigned int entity_id_, LevelParameters parameters_)
    : QGObject(game_, entity_id_, false), parameters(parameters_) {
    PlacementCallback item(this, &QGLevel::place_random_item);
    PlacementCallback weapon(this, &QGLevel::place_random_weapon);
    PlacementCallback crate(this, &QGLevel::place_crate);
    PlacementCallback portal(this, &QGLevel::place_portal);
    GeneratorCallbacks callbacks(&item, &weapon, &crate, &portal);
    // Touches only this level (and the generator's random numbers, which nothing else draws meanwhile).
    auto generate = [&] {
        surface_ = generate_level_surface(nullptr, false, &callbacks, parameters);
        solid_mask.build(surface_);
    };
    if (game) game->run_keeping_connection(generate);
    else generate();
    if (!surface_) {
        log_message(LogLevel::Error, "Failed to create the level surface.", log_class_name_of(*this));
    }
}

void QGLevel::admitted() {
    game->level = this;
    game->terrain().set_surface(surface_);
}

QGLevel::~QGLevel() {
    // The look may still draw the surface.
    drop_look();
    if (game) {
        if (game->level == this) game->level = nullptr;
        game->terrain().forget_surface(surface_);
    }
    if (surface_) SDL_FreeSurface(surface_);
    surface_ = nullptr;
}

void QGLevel::write_creation_event(QGEvent& event) const {
    LevelCreation record;
    record.level_entity_id = entity_id;
    record.parameters = parameters;
    event.set_record<EQGEventType::GenerateLevel>(record);
}

void QGLevel::update(float dt) {
    if (!game || !game->is_server) return;
    sweetroll_timer -= dt;
    if (sweetroll_timer < 0.0f) {
        sweetroll_timer = kSweetrollInterval;
        const int r = random_draw();
        // A chance of 0 or less never makes one.
        if (sweetroll_draw_hits(r, chance_of_sweetroll)) spawn_sweetroll();
    }
}

void QGLevel::spawn_sweetroll() {
    // A random spawn point, as for a player-less spawn; without spawn points there is no place
    // for it to come from.
    if (game->spawn_positions.empty()) return;
    LevelObject sweetroll;
    sweetroll.kind = LevelObjectKind::Sweetroll;
    sweetroll.placement.position = game->match_setup().choose_spawn_position(nullptr);
    game->match_setup().build_level_object(sweetroll);
}

bool QGLevel::place_random_item(int x, int y, int width, int height, int r) {
    return place(LevelObjectKind::SpecialItem, choose_random_item(x, y, width, height, r));
}

bool QGLevel::place_random_weapon(int x, int y, int width, int height, int r) {
    return place(LevelObjectKind::Weapon, choose_random_weapon(x, y, width, height, r));
}

bool QGLevel::place_crate(int x, int y, int, int, int) {
    return place(LevelObjectKind::SpecialItem, choose_crate(x, y));
}

bool QGLevel::place_portal(int x, int y, int width, int height, int) {
    auto position = choose_portal_position(x, y, width, height);
    return place(LevelObjectKind::Portal, position ? std::optional<LevelPlacement>({0, *position}) : std::nullopt);
}

bool QGLevel::place(LevelObjectKind kind, const std::optional<LevelPlacement>& placement) {
    if (!game || !game->is_server || !placement) return false;
    placements.push_back({kind, *placement});
    return true;
}

// --- dispatch actions ---

void generate_level_action(QGEventHandler& handler, const LevelCreation& record) {
    handler.game->match_setup().generate_level(record);
}

void explode_action(QGEventHandler& handler, const Explosion& blast) {
    handler.game->terrain().explode({blast.x, blast.y}, blast.radius);
}

void create_map_synchronizer_action(QGEventHandler& handler, const MapSynchronizerRecord& r) {
    handler.game->spawn<QGMapSynchronizer>(r.entity_id, r.target);
}

#include "game/session/match_setup.h"

#include <algorithm>
#include <iostream>
#include <limits>
#include <vector>

#include "engine/core/logger.h"
#include "engine/core/random.h"
#include "game/entities/qg_player.h"
#include "game/entities/qg_portal.h"
#include "game/entities/qg_special_item.h"
#include "game/entities/qg_sweetroll.h"
#include "game/entities/qg_weapon.h"
#include "game/levelgen/level_parameters.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "game/terrain/qg_level.h"
#include "game/water/water_object.h"
#include "net/transport/udp.h"

namespace {

// Once the match runs, a connection that drops for this long is gone.
constexpr int64_t kMatchReceiveTimeoutMs = 5000;

void place(QGPlayer& player, const dvec2d& point) {
    player.position = point;
    player.previous_position = point;
}

}  // namespace

void MatchSetup::setup_game(const GameParameters& params) {
    game_.registry().size_player_table(params.player_count);
    GameParameters& rules = game_.rules;
    rules = params;
    // Any byte but 0 sets a flag; stored as 0 or 1, as a spectator's snapshot repeats them.
    rules.teams = params.teams != 0;
    rules.friendly_fire = params.friendly_fire != 0;
    rules.padding[0] = rules.padding[1] = 0;
    game_.quit = false;
    if (game_.is_server) {
        std::cout << "Performing initial game setup." << std::endl;
        game_.event_handler->post<EQGEventType::SetupGame>(params);
    }
}

void MatchSetup::generate_level(const LevelCreation& record) {
    if (game_.level) {
        log_message(LogLevel::Warning, "Ignored level parameters: the level exists already.", log_class_name_of(game_));
        return;
    }
    log_message(LogLevel::Status, "Received level parameters, generating...", log_class_name_of(game_));
    LevelParameters parameters = record.parameters;
    sanitize_level_parameters(parameters);
    QGLevel* created = game_.spawn<QGLevel>(record.level_entity_id, parameters);
    if (!created) return;
    // The level's objects, then its water, take the ids after the level's.
    std::vector<LevelObject> placed;
    placed.swap(created->placements);
    for (const LevelObject& object : placed) build_level_object(object);
    if (game_.is_server) created->water = game_.spawn<sph::WaterObject>(0, created);
    log_message(LogLevel::Status, "Level generation finished.", log_class_name_of(game_));
}

void MatchSetup::build_level_object(const LevelObject& object) {
    const dvec2d& position = object.placement.position;
    QGPhysObject* built = nullptr;
    switch (object.kind) {
    case LevelObjectKind::SpecialItem: built = QGSpecialItem::create(&game_, 0, object.placement.definition); break;
    case LevelObjectKind::Weapon: built = QGWeapon::create(&game_, 0, object.placement.definition); break;
    case LevelObjectKind::Portal: built = game_.spawn<QGPortal>(0); break;
    case LevelObjectKind::Sweetroll: built = game_.spawn<QGSweetroll>(0); break;
    }
    if (!built) return;
    built->position = position;
    // Items and weapons keep the previous position they were made with.
    if (object.kind == LevelObjectKind::Portal || object.kind == LevelObjectKind::Sweetroll)
        built->previous_position = position;
}

void MatchSetup::set_spawn_positions(const SpawnPositions& record) {
    // The record holds 16 points whatever count it claims.
    SpawnPositions kept = record;
    kept.count = std::min(record.count, kMaxSpawnPositions);
    // A later record replaces the list: the host may send any number of them.
    std::vector<dvec2d>& spawn_positions = game_.spawn_positions;
    spawn_positions.clear();
    for (uint32_t i = 0; i < kept.count; ++i) spawn_positions.push_back({kept.positions[i].x, kept.positions[i].y});
    if (!game_.is_server) return;

    const bool starting = !game_.match_running;
    if (starting) {
        std::cout << "Setting player spawn positions." << std::endl;
        std::vector<dvec2d> free_points = spawn_positions;
        const std::vector<QGPlayer*>& players = game_.registry().players();
        const uint32_t player_count = game_.rules.player_count;
        // Players share points only when there are not enough of them.
        const bool distinct = player_count <= spawn_positions.size();
        for (size_t i = 0; i < player_count && i < players.size(); ++i) {
            QGPlayer* player = players[i];
            if (!player) continue;
            if (free_points.empty()) {
                place(*player, choose_spawn_position(player));
                continue;
            }
            const size_t r = size_t(random_below(int(free_points.size())));
            place(*player, free_points[r]);
            if (distinct) free_points.erase(free_points.begin() + std::ptrdiff_t(r));
        }
    }
    game_.event_handler->post<EQGEventType::SetSpawnPositions>(kept);
    if (starting) start_game();
}

void MatchSetup::start_game() {
    const bool already = game_.match_running;
    game_.match_running = true;
    if (Tcp* tcp = game_.network().tcp_transport()) tcp->timeout_ms = kMatchReceiveTimeoutMs;
    if (!game_.is_server || already) return;
    std::cout << "Starting game." << std::endl;
    const std::vector<QGPlayer*>& players = game_.registry().players();
    for (size_t i = 0; i < game_.rules.player_count && i < players.size(); ++i)
        if (players[i]) players[i]->enter_match();
    game_.event_handler->post<EQGEventType::StartGame>();
}

dvec2d MatchSetup::choose_spawn_position(const QGPlayer* player) const {
    const std::vector<dvec2d>& spawn_positions = game_.spawn_positions;
    if (spawn_positions.empty()) return {0.0f, 0.0f};
    const size_t pick = size_t(random_below(int(spawn_positions.size())));
    if (!player) return spawn_positions[pick];

    // The point farthest from its nearest opponent; earlier points win ties, and without any
    // opponent the first point is taken.
    const std::vector<QGPlayer*>& players = game_.registry().players();
    const GameParameters& rules = game_.rules;
    dvec2d best = spawn_positions[pick];
    float best_distance = 0.0f;
    for (const dvec2d& point : spawn_positions) {
        float nearest = std::numeric_limits<float>::infinity();
        for (size_t i = 0; i < players.size() && i < rules.player_count; ++i) {
            const QGPlayer* other = players[i];
            if (!other || i == player->player_index) continue;
            if (rules.teams && other->team == player->team) continue;
            nearest = std::min(nearest, (point - other->position).length());
        }
        if (nearest > best_distance) {
            best = point;
            best_distance = nearest;
        }
    }
    return best;
}

void MatchSetup::post_snapshot(QGEventHandler& snapshot) const {
    snapshot.post<EQGEventType::SetupGame>(game_.rules);
    const std::vector<dvec2d>& spawn_positions = game_.spawn_positions;
    if (game_.match_running) {
        // The record holds 16 points; a longer list sends its first 16.
        SpawnPositions spawns;
        spawns.count = uint32_t(std::min<size_t>(spawn_positions.size(), kMaxSpawnPositions));
        for (uint32_t i = 0; i < spawns.count; ++i) {
            spawns.positions[i].x = spawn_positions[i].x;
            spawns.positions[i].y = spawn_positions[i].y;
        }
        snapshot.post<EQGEventType::SetSpawnPositions>(spawns);
    }
    for (auto& [id, object] : game_.registry().objects()) {
        QGEvent creation;
        object->write_creation_event(creation);
        snapshot.enqueue(creation);
    }
    if (game_.match_running) snapshot.post<EQGEventType::StartGame>();
    if (game_.paused) snapshot.post<EQGEventType::Pause>();
    else snapshot.post<EQGEventType::Resume>();
}

// The session's player table and spawn choice, which need the player class.
#include <limits>

#include "engine/core/logger.h"
#include "engine/core/random.h"
#include "game/entities/qg_player.h"
#include "game/session/qg_game.h"

void QGGame::register_player(QGPlayer* player) {
    if (!player) return;
    const unsigned int index = player->player_index;
    if (index >= players.size()) {
        log_message(LogLevel::Warning, "Tried to register player with out-of-range ID, resizing player array.",
                    log_class_name_of(*this));
        players.resize(size_t(index) + 1, nullptr);
    } else if (players[index] && players[index] != player) {
        log_message(LogLevel::Warning, "Reregistering already assigned player ID!", log_class_name_of(*this));
    }
    players[index] = player;
}

dvec2d QGGame::choose_spawn_position(const QGPlayer* player) {
    if (spawn_positions.empty()) return {0.0f, 0.0f};
    const size_t pick = size_t(random_below(int(spawn_positions.size())));
    if (!player) return spawn_positions[pick];

    // The point farthest from its nearest opponent; earlier points win ties, and without any
    // opponent the first point is taken.
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

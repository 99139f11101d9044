// The session's road into the match: the spawn positions from the host's client and the start.
#include <algorithm>
#include <iostream>

#include "engine/core/random.h"
#include "game/entities/qg_player.h"
#include "game/session/qg_event_handler.h"
#include "game/session/qg_game.h"

namespace {

// Once the match runs, a connection that drops for this long is gone.
constexpr int64_t kMatchReceiveTimeoutMs = 5000;

void place(QGPlayer& player, const dvec2d& point) {
    player.position = point;
    player.previous_position = point;
}

}  // namespace

void QGGame::set_spawn_positions(const SpawnPositions& record) {
    // The record holds 16 points whatever count it claims.
    SpawnPositions kept = record;
    kept.count = std::min(record.count, kMaxSpawnPositions);
    // A later record replaces the list: the host may send any number of them.
    spawn_positions.clear();
    for (uint32_t i = 0; i < kept.count; ++i) spawn_positions.push_back({kept.positions[i].x, kept.positions[i].y});
    if (!is_server) return;

    const bool starting = !match_running;
    if (starting) {
        std::cout << "Setting player spawn positions." << std::endl;
        std::vector<dvec2d> free_points = spawn_positions;
        // Players share points only when there are not enough of them.
        const bool distinct = rules.player_count <= spawn_positions.size();
        for (size_t i = 0; i < rules.player_count && i < players.size(); ++i) {
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
    event_handler->post<EQGEventType::SetSpawnPositions>(kept);
    if (starting) start_game();
}

void QGGame::start_game() {
    const bool already = match_running;
    match_running = true;
    if (tcp_transport) tcp_transport->timeout_ms = kMatchReceiveTimeoutMs;
    if (!is_server || already) return;
    std::cout << "Starting game." << std::endl;
    for (size_t i = 0; i < rules.player_count && i < players.size(); ++i)
        if (players[i]) players[i]->enter_match();
    event_handler->post<EQGEventType::StartGame>();
}

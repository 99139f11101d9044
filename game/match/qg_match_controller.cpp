#include "game/match/qg_match_controller.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "engine/core/saturate.h"
#include "game/config/settings.h"
#include "game/entities/qg_player.h"
#include "game/base/qg_event.h"
#include "game/base/game_session.h"
#include "game/base/qg_event_handler.h"

namespace {

// From here on the label shows its longest time, 99:59:59:99; a countdown counts from no more.
constexpr float kMaxShownSeconds = 359999.0f;

}  // namespace

QGMatchController::QGMatchController(GameSession* game_, unsigned int entity_id_, const MatchSettings& settings_)
    : QGObject(game_, entity_id_, false), settings(settings_), timer(ready_time) {}

void QGMatchController::sync_fields() {
    sync_field(timer, InterpolationCallback<float>(this, &QGMatchController::interpolate_timer));
    int32_t wire_state = int32_t(state);
    // Only the four phases are taken from the network: a record with another is refused whole.
    sync_field(wire_state, Within{int32_t(State::Countdown), int32_t(State::Closing)});
    if (mode == Read && wire_state >= 0 && wire_state <= int32_t(State::Closing)) state = State(wire_state);
}

void QGMatchController::interpolate_timer(float& out, const float& old_value, const float& new_value, float t) {
    if (!std::isfinite(new_value)) return;
    if (!std::isfinite(old_value) || !std::isfinite(t)) {
        out = new_value;
        return;
    }
    interpolate_linear(out, old_value, new_value, t);
    if (!std::isfinite(out)) out = new_value;
}

void QGMatchController::write_creation_event(QGEvent& event) const {
    event.set_record<EQGEventType::CreateMatchController>(MatchControllerRecord{entity_id, settings});
}

void QGMatchController::enter(State next, float seconds) {
    state = next;
    timer = seconds;
}

void QGMatchController::update(float dt) {
    if (!game || !game->is_server) return;
    timer -= dt;
    switch (state) {
    case State::Countdown:
        if (timer > 0.0f) return;
        enter(State::Running, settings.time_limit * 60.0f);
        game->paused = false;
        game->event_handler->post<EQGEventType::Resume>();
        return;
    case State::Running:
        if ((settings.time_limit > 0.0f && timer <= 0.0f) || match_decided()) enter(State::GameOver, ending_timeout);
        return;
    case State::GameOver:
        if (timer > 0.0f) return;
        enter(State::Closing, result_display_time);
        game->paused = true;
        // The clients' MatchOver listener opens the scoreboard.
        game->event_handler->post<EQGEventType::Pause>();
        game->event_handler->post<EQGEventType::MatchOver>();
        return;
    case State::Closing:
        if (timer > 0.0f) return;
        game->match_running = false;
        game->quit = true;
        return;
    }
}

int QGMatchController::living_players() const {
    int alive = 0;
    // A slot outside the table holds no one.
    for (unsigned int i = 0; i < game->rules.player_count; ++i)
        if (const QGPlayer* player = game->registry().get_player(i); player && player->health > 0.0f) ++alive;
    return alive;
}

bool QGMatchController::match_decided() const {
    const GameParameters& rules = game->rules;
    if (rules.player_count == 0) return true;
    if (rules.lives < 1) {
        size_t present = 0;
        for (unsigned int i = 0; i < rules.player_count; ++i)
            if (game->registry().get_player(i)) ++present;
        return present < 2;
    }
    if (!rules.teams) return living_players() < 2;
    // Teams other than the two the join hands out count for neither.
    bool team_alive[2] = {false, false};
    for (unsigned int i = 0; i < rules.player_count; ++i) {
        const QGPlayer* player = game->registry().get_player(i);
        if (player && player->health > 0.0f && player->team < 2) team_alive[player->team] = true;
    }
    return !(team_alive[0] && team_alive[1]);
}

std::string QGMatchController::format_time(float seconds) {
    if (seconds >= kMaxShownSeconds) return "99:59:59:99";
    const float t = seconds > 0.0f ? seconds : 0.0f;
    const long long hundredths = static_cast<long long>(t * 100.0f) % 100;
    const long long s = static_cast<long long>(std::floor(t));
    const long long hours = s / 3600, minutes = (s - hours * 3600) / 60, secs = s % 60;
    char text[96];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld:%02lld", hours, minutes, secs, hundredths);
    return text;
}

std::string QGMatchController::mode_text(int32_t lives, float time_limit, bool teams, bool friendly_fire) {
    const bool timed = time_limit > 0.0f;
    std::string text;
    if (lives < 1) {
        if (timed) text = teams ? "Team Deathmatch" : "Free for All";
        else text = teams ? "Endless Mode - Teams" : "Endless Mode";
    } else if (lives == 1) {
        text = teams ? "Team Sudden Death" : "Sudden Death";
        if (timed) text += " - Timed";
    } else {
        text = teams ? "Annihilation" : "Last Man Standing";
        if (timed) text += " - Timed";
    }
    if (teams) text += friendly_fire ? "\nFriendly Fire enabled." : "\nFriendly Fire disabled.";
    return text;
}

std::string QGMatchController::info_text() const {
    const GameParameters& rules = game->rules;
    std::string text = mode_text(rules.lives, settings.time_limit, rules.teams, settings.friendly_fire);
    // Whole seconds still to count, as the countdown shows them: 3, 2, 1.
    const auto whole = [this] {
        return std::to_string(saturate_cast<long long>(std::clamp(timer + 1.0f, 0.0f, kMaxShownSeconds)));
    };
    switch (state) {
    case State::Countdown: text += "\nMatch starting in " + whole() + "..."; break;
    case State::Running:
        if (settings.time_limit > 0.0f) text += "\nTime Remaining: " + format_time(timer);
        if (rules.lives >= 1) text += "\nPlayers Remaining: " + std::to_string(living_players());
        break;
    case State::GameOver: text += "\nGame over."; break;
    case State::Closing: text += "\nGame over. Closing in " + whole() + "..."; break;
    }
    return text;
}

void create_match_controller_action(QGEventHandler& handler, const MatchControllerRecord& r) {
    handler.game->spawn<QGMatchController>(r.entity_id, r.settings);
}

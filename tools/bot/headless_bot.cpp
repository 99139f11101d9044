#include "tools/bot/headless_bot.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <sstream>
#include <thread>
#include <vector>

#include "engine/core/byte_buffer.h"
#include "engine/core/random.h"
#include "game/config/settings.h"
#include "game/entities/entity_records.h"
#include "game/entities/qg_player.h"
#include "game/levelgen/level_parameters.h"
#include "game/base/qg_event_handler.h"
#include "game/session/qg_game.h"
#include "game/base/session_records.h"
#include "game/session/client_session.h"
#include "net/transport/udp.h"

namespace {

constexpr float kStepSeconds = 0.016f;
// How long the connection may take before the bot gives up (the session's own attempt lasts 10 s).
constexpr float kConnectWaitSeconds = 12.0f;
// How long the bot waits for the other players before it leaves.
constexpr float kSetupWaitSeconds = 120.0f;
// The level the host's bot asks for: smaller than the screen's default, so that every peer
// generates it quickly.
constexpr uint32_t kLevelWidth = 1024;
constexpr uint32_t kLevelHeight = 512;
// The bot's last seconds of play, without input; the host's bot, which scripts/load_test keeps
// on for longer than the others, is still from where they are.
constexpr float kQuietSeconds = 4.0f;
constexpr float kHostStaysSeconds = 5.0f;

bool solid(const ColorRGBA& c) {
    return !(is_material(c, Material::Air) || is_material(c, Material::Water) ||
             is_material(c, Material::StaticWater) || is_material(c, Material::Ladder));
}

}  // namespace

bool parse_bot_options(int argc, const char* const* argv, BotOptions& out) {
    if (argc < 7) return false;
    BotOptions o;
    o.server = sf::IpAddress(argv[1]);
    const long port = std::strtol(argv[2], nullptr, 10);
    o.name = argv[3];
    const std::string host = argv[4];
    o.host = host == "true";
    o.seed = uint32_t(std::strtoul(argv[5], nullptr, 10));
    o.play_seconds = std::strtof(argv[6], nullptr);
    if (o.server == sf::IpAddress::None || port <= 0 || port > 65535 || (host != "true" && host != "false") ||
        !(o.play_seconds >= 0.0f && o.play_seconds < 86400.0f))
        return false;
    o.port = static_cast<unsigned short>(port);
    out = o;
    return true;
}

HeadlessBot::HeadlessBot(const BotOptions& options) : options_(options) {}

HeadlessBot::~HeadlessBot() = default;

void HeadlessBot::on_connected(bool ok) { connect_result_ = ok ? 1 : 0; }

void HeadlessBot::on_disconnected() { lost_connection_ = true; }

void HeadlessBot::on_match_over() { std::cout << "Bot " << options_.name << ": match over." << std::endl; }

bool HeadlessBot::run() {
    random_seed(options_.seed);
    game_ = std::make_unique<QGGame>(nullptr, options_.port, options_.server,
                                     Callback<void, bool>(this, &HeadlessBot::on_connected), nullptr, options_.name);
    game_->disconnect_hook = Callback<void>(this, &HeadlessBot::on_disconnected);
    match_over_ =
        game_->event_handler->subscribe<EQGEventType::MatchOver>([this](const NoPayload&) { on_match_over(); });

    using clock = std::chrono::steady_clock;
    const auto started = clock::now();
    while (connect_result_ < 0 || !game_->active) {
        if (connect_result_ == 0) return false;
        if (std::chrono::duration<float>(clock::now() - started).count() > kConnectWaitSeconds) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }

    auto last = clock::now();
    float waited_s = 0.0f;
    while (played_s_ < options_.play_seconds && waited_s < kSetupWaitSeconds && !lost_connection_) {
        const auto now = clock::now();
        const float dt = std::chrono::duration<float>(now - last).count();
        last = now;
        step(dt);
        // The play time counts from the set-up, which comes once all players are connected.
        (setup_players_ > 0 ? played_s_ : waited_s) += dt;
        std::this_thread::sleep_for(std::chrono::duration<float>(kStepSeconds));
    }
    if (!lost_connection_) measure_view();
    return true;
}

void HeadlessBot::measure_view() {
    std::vector<double> distances;
    for (QGPlayer* player : game_->registry().players()) {
        if (!player || player->received_state.empty()) continue;
        // The received values at full weight are the newest state; the bot ends here, so the
        // player may keep them.
        const dvec2d shown = player->position;
        player->interpolation_factor = 1.0f;
        player->run_pass(Networkable::Interpolate, &player->received_state);
        distances.push_back(std::hypot(player->position.x - shown.x, player->position.y - shown.y));
    }
    view_players_ = distances.size();
    if (distances.empty()) return;
    std::sort(distances.begin(), distances.end());
    view_median_px_ = distances[distances.size() / 2];
    view_max_px_ = distances.back();
}

void HeadlessBot::step(float dt) {
    game_->update(dt);
    if (game_->rules.player_count > 0) setup_players_ = game_->rules.player_count;
    if (game_->level && level_width_ == 0) {
        level_width_ = game_->terrain().width();
        level_height_ = game_->terrain().height();
        std::cout << "Bot " << options_.name << ": level " << level_width_ << " x " << level_height_ << "."
                  << std::endl;
    }
    watch_state(dt);
    if (options_.host && setup_players_ > 0 && !level_sent_) send_level_parameters();
    if (options_.host && level_width_ > 0 && !spawns_sent_) send_spawn_positions();
    play(dt);
}

void HeadlessBot::watch_state(float dt) {
    const Udp* udp = game_->network().udp_transport();
    if (setup_players_ == 0 || !udp) return;
    state_gap_s_ += dt;
    if (udp->bytes_received() != state_bytes_) {
        if (state_seen_ && state_gap_s_ > longest_state_gap_s_) {
            longest_state_gap_s_ = state_gap_s_;
            longest_state_gap_end_s_ = played_s_;
        }
        state_seen_ = true;
        state_bytes_ = udp->bytes_received();
        state_gap_s_ = 0.0f;
    }
}

void HeadlessBot::send_level_parameters() {
    LevelCreation record;
    record.parameters.gen = options_.seed % kGeneratorPresetCount;
    record.parameters.seed = options_.seed;
    record.parameters.size_x = kLevelWidth;
    record.parameters.size_y = kLevelHeight;
    game_->event_handler->post<EQGEventType::GenerateLevel>(record);
    level_sent_ = true;
}

void HeadlessBot::send_spawn_positions() {
    // One point per player slot, spread over the width, each just above the ground of its
    // column (or at the top where the column has no free place).
    SpawnPositions spawns;
    spawns.count = std::min<uint32_t>(std::max<uint32_t>(setup_players_, 1), kMaxSpawnPositions);
    const int player_h = int(player_size.y);
    for (uint32_t i = 0; i < spawns.count; ++i) {
        const int x = int((i + 1) * uint32_t(level_width_) / (spawns.count + 1));
        int y = 0;
        while (y < level_height_ && !solid(game_->terrain().get_pixel(x, y))) ++y;
        spawns.positions[i].x = float(x);
        spawns.positions[i].y = float(std::max(0, y - player_h - 2));
    }
    game_->event_handler->post<EQGEventType::SetSpawnPositions>(spawns);
    spawns_sent_ = true;
}

void HeadlessBot::play(float dt) {
    // A spectator (or a player not yet in the game) has nothing to steer: the server would
    // refuse every record.
    if (setup_players_ == 0 || !game_->registry().get_player(game_->local_player_id)) return;
    // The last seconds it stands still, so that what it shows of the players at the end can be
    // held against where they stay on the server.
    if (played_s_ + kQuietSeconds + (options_.host ? kHostStaysSeconds : 0.0f) >= options_.play_seconds) {
        if (quiet_) return;
        for (uint32_t kind = uint32_t(InputKind::Left); kind <= uint32_t(InputKind::Up); ++kind) {
            PlayerInput release{game_->local_player_id};
            release.kind = InputKind(kind);
            release.value = 0;
            game_->event_handler->post<EQGEventType::Input>(release);
        }
        walked_bytes_ = bytes_received();
        walked_s_ = played_s_;
        quiet_ = true;
        return;
    }
    next_action_s_ -= dt;
    if (next_action_s_ > 0.0f) return;
    next_action_s_ = 0.1f;

    // Press or release one of the movement keys (left, right, up), and aim somewhere in the level.
    PlayerInput input{game_->local_player_id};
    input.kind = InputKind(uint32_t(InputKind::Left) + uint32_t(random_below(3)));
    input.value = uint32_t(random_below(2));
    game_->event_handler->post<EQGEventType::Input>(input);

    PlayerAim aim{game_->local_player_id};
    aim.x = float(random_below(std::max(level_width_, 1)));
    aim.y = float(random_below(std::max(level_height_, 1)));
    game_->event_handler->post<EQGEventType::Aim>(aim);
    ++inputs_sent_;
}

uint64_t HeadlessBot::bytes_received() const {
    // The transports are the connect thread's until the session is active.
    const ClientSession* net = game_ && game_->active ? game_->client_network() : nullptr;
    return net ? net->bytes_received() : 0;
}

std::string HeadlessBot::summary() const {
    std::ostringstream s;
    const uint64_t bytes = bytes_received();
    // The rate is that of the match while the bot moved.
    const float rate_s = quiet_ ? walked_s_ : played_s_;
    s << "Bot " << options_.name << ": connection " << (game_ ? game_->local_player_id : 0) << ", set-up for "
      << setup_players_ << " players, level " << level_width_ << " x " << level_height_ << ", " << inputs_sent_
      << " inputs sent, " << bytes << " bytes received in " << played_s_ << " s ("
      << (rate_s > 0.0f ? uint64_t(double(quiet_ ? walked_bytes_ : bytes) / rate_s) : 0)
      << " bytes/s), longest gap between state packets "
      << (state_seen_ ? std::max(longest_state_gap_s_, state_gap_s_) : played_s_) << " s (ending at "
      << (state_gap_s_ > longest_state_gap_s_ ? played_s_ : longest_state_gap_end_s_) << " s of play)"
      << "; at the end, " << view_players_ << " players shown within " << view_median_px_ << " px (median), "
      << view_max_px_ << " px (most) of the newest state, received " << state_gap_s_ << " s before"
      << (lost_connection_ ? ", the server closed the connection" : "");
    return s.str();
}

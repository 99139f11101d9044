#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include <SFML/Network/IpAddress.hpp>

#include "game/base/qg_event_handler.h"

class QGGame;

// What a bot is told on its command line.
struct BotOptions {
    sf::IpAddress server = sf::IpAddress::LocalHost;
    unsigned short port = 0;
    std::string name = "Bot";
    // The host's client: sends the level parameters and the spawn positions.
    bool host = false;
    uint32_t seed = 1;
    float play_seconds = 10.0f;
};

// Reads "<address> <port> <name> <host: true|false> <seed> <seconds>"; false when any is
// missing or unreadable.
bool parse_bot_options(int argc, const char* const* argv, BotOptions& out);

// A client session without drawing services that joins a server under a name and plays with
// scripted input and aim. As the host's client it also does what the host's screens do: it sends
// the level parameters once the game is set up, and the spawn positions once the level exists.
class HeadlessBot {
public:
    explicit HeadlessBot(const BotOptions& options);
    ~HeadlessBot();
    HeadlessBot(const HeadlessBot&) = delete;
    HeadlessBot& operator=(const HeadlessBot&) = delete;

    // Connects and plays for the given time from the game's set-up on, or until the server ends
    // the connection. False when the connection could not be opened.
    bool run();
    // One line on what the bot saw: its connection id, the set-up, the level, the bytes it
    // received per second while it moved and the longest time it went without a state packet, with the time of
    // play at which that gap ended; at the end of play, how far the players it showed were from
    // the newest state it had for them, and how old that state was.
    std::string summary() const;

private:
    void on_connected(bool ok);
    void on_disconnected();
    void on_match_over();
    // One world step and the scripted part of it.
    void step(float dt);
    void send_level_parameters();
    void send_spawn_positions();
    void play(float dt);
    uint64_t bytes_received() const;
    // Notes the arrival of state packets, for the longest gap between them.
    void watch_state(float dt);
    // How far the players as this bot shows them are from the newest state received for them.
    void measure_view();

    BotOptions options_;
    std::unique_ptr<QGGame> game_;
    EventSubscription match_over_;
    std::atomic<int> connect_result_{-1};
    bool lost_connection_ = false;
    bool level_sent_ = false;
    bool spawns_sent_ = false;
    float next_action_s_ = 0.0f;
    // Standing still at the end; the bytes received and the time played until then.
    bool quiet_ = false;
    uint64_t walked_bytes_ = 0;
    float walked_s_ = 0.0f;
    float played_s_ = 0.0f;
    uint32_t inputs_sent_ = 0;
    uint32_t setup_players_ = 0;
    int level_width_ = 0;
    int level_height_ = 0;
    // Datagram bytes seen at the previous step, and the time since more came; counted from the
    // first state packet after the set-up.
    uint64_t state_bytes_ = 0;
    bool state_seen_ = false;
    float state_gap_s_ = 0.0f;
    float longest_state_gap_s_ = 0.0f;
    // When that gap ended, in seconds of play.
    float longest_state_gap_end_s_ = 0.0f;
    // At the end of play: the players measured, and the median and largest distance in pixels.
    size_t view_players_ = 0;
    double view_median_px_ = 0.0;
    double view_max_px_ = 0.0;
};
